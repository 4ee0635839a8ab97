#pragma once

// The program's preference store ("user defaults"): typed values under string keys, kept in one JSON
// file, by default $XDG_CONFIG_HOME/Lumivox/<app id>.json.
//
// Reading and writing:
// - Getters follow the conversion rules of PreferenceValue; a missing key reads as false, 0, 0.0 or
//   none. `set` replaces a key's value whatever its type was.
// - Changes are kept in memory at once and written out together a moment later (all changes made in
//   one pass of the event loop become one write), whole and atomically (write a temporary file, then
//   rename), on a worker thread so the UI never waits for the disk. `synchronize()` writes now; the
//   destructor and application quit write what is still pending.
// - Any thread may read and write; `changed` is emitted on the thread that made the change.
//
// The stored form keeps every type apart: booleans, integers and reals are JSON's own (a real always
// has a decimal point or an exponent), strings and lists are JSON's, dictionaries are objects, and a
// date or data value is an object with the single key "$date" (ISO 8601 text, UTC, milliseconds) or
// "$data" (Base64). A key of a stored dictionary that starts with "$" is written with one more "$" in
// front, so no dictionary is ever mistaken for a date or data value.
//
// The file is read and written under PrivateFile's rules (a regular file only, never through a link,
// 0600 in a 0700 folder, leftovers of a killed write removed at start). A preference file that cannot
// be parsed, or that is not a file of ours at all (a link, a folder, a pipe, a file too large), is
// never overwritten: it is renamed beside itself, with "-unreadable-" and the Unix time in seconds
// before its extension, and the store starts empty. A file that exists but cannot be opened is left
// alone and the store keeps its values in memory only. A key whose stored value has no valid form is
// dropped on load; the other keys load. A write that fails keeps the changes in memory and is made
// again at the next change, after retryDelay and at quit; `writeFailed` tells of it once per cause.

#include "Shared/Async/Clock.h"
#include "Shared/Preferences/PreferenceValue.h"
#include "Shared/Storage/WriteTrouble.h"

#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace Lumivox {

class SerialExecutor;

class PreferenceStore : public QObject
{
    Q_OBJECT
public:
    /// How long a failed write waits before it is tried again without a change.
    static constexpr std::chrono::seconds retryDelay {30};

    /// A store kept in the file at `filePath` (loaded now), or in memory only when the path is empty.
    /// The clock schedules the deferred writes on this object's thread.
    explicit PreferenceStore(QString filePath, std::shared_ptr<Clock> clock = Clock::system(),
                             QObject *parent = nullptr);
    /// Writes pending changes.
    ~PreferenceStore() override;

    /// The user's store, shared by the whole program. Kept in memory only in a test host, so tests
    /// never touch the user's settings.
    static std::shared_ptr<PreferenceStore> standard();
    /// $XDG_CONFIG_HOME/Lumivox/<app id>.json
    static QString standardFilePath();

    QString filePath() const { return m_filePath; }
    /// False for a memory-only store, including one whose file exists but could not be opened.
    bool isPersistent() const;
    /// Where the file the store could not read at load now is, when it was set aside.
    std::optional<QString> setAsideAs() const { return m_setAsideAs; }

    std::optional<PreferenceValue> object(const QString &key) const;
    bool contains(const QString &key) const;
    QStringList keys() const;

    bool boolValue(const QString &key) const;
    qint64 integer(const QString &key) const;
    double doubleValue(const QString &key) const;
    std::optional<QString> string(const QString &key) const;
    std::optional<QStringList> stringList(const QString &key) const;
    std::optional<QDateTime> date(const QString &key) const;
    std::optional<QByteArray> data(const QString &key) const;
    std::optional<PreferenceValue::List> list(const QString &key) const;
    std::optional<PreferenceValue::Dictionary> dictionary(const QString &key) const;

    void set(const QString &key, PreferenceValue value);
    void remove(const QString &key);

    /// Writes pending changes now and waits for the file. True when the file holds every change (a
    /// memory-only store: true).
    bool synchronize();
    /// Why the last write of the file failed; none when it worked. Any thread.
    std::optional<WriteFailure> writeFailure() const;

    /// The stored form of a set of values, and back (exposed for tests and tools). `decode` gives none
    /// for a text that is not a JSON object; keys whose values have no valid form are left out.
    static QByteArray encode(const std::map<QString, PreferenceValue> &values);
    static std::optional<std::map<QString, PreferenceValue>> decode(const QByteArray &json);

signals:
    void changed(const QString &key);
    /// A write failed, for the first time since one worked or for another cause than the last time.
    /// Emitted on the writer's thread.
    void writeFailed(const Lumivox::WriteFailure &failure);

private:
    void load();
    void markDirty();
    void writePending();
    QByteArray snapshotIfDirty();
    bool writeFile(const QByteArray &bytes);
    void scheduleRetry();

    const QString m_filePath;
    std::shared_ptr<Clock> m_clock;
    std::unique_ptr<SerialExecutor> m_writer;

    mutable std::mutex m_mutex;
    std::map<QString, PreferenceValue> m_values;
    bool m_persistent = false;
    std::optional<QString> m_setAsideAs;
    bool m_dirty = false;
    bool m_writeScheduled = false;
    TimerHandle m_pendingWrite;
    bool m_retryScheduled = false;
    TimerHandle m_pendingRetry;
    WriteTrouble m_trouble;
};

} // namespace Lumivox
