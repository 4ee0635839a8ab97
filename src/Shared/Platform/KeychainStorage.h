#pragma once

// Small secrets of the user (the Google Cloud Translation key) in the desktop's secret store, handed
// out through a process-wide in-memory cache.
//
// The secret store may be slow, absent, or locked behind a password dialog, so nothing here waits
// for it on the UI thread: the program starts reading its key at start (`readInBackground`), writes
// it when the user changes it (`save`, `remove`), and `get` serves the cache. Whoever shows
// something that depends on the key listens to `announcer()` and asks `get` again when it speaks. All store traffic
// runs one call at a time on the "app.lumivox.secret-store" worker, each call bounded by a time-out. Reads never show a
// password dialog; `save` and `remove` may, since they only run when the user acts in the settings.
//
// A read that found the item, or found that there is none, is cached for the life of the process;
// changes made by other programs afterwards are not seen until the next start. A read that failed
// (locked keyring, no secret service, time-out) is not cached, so a later call asks again.
//
// Values are never logged; log lines name the account only.

#include "Native/Secrets/Secrets.h"

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <chrono>
#include <optional>

namespace Lumivox::KeychainStorage {

/// The one item the program keeps: the user's Google Cloud Translation key. The service string is
/// stored state; items written by earlier installations are found only under it.
inline const QString googleAPIKeyAccount = QStringLiteral("googleTranslateAPIKey");
inline const QString licenseService = QStringLiteral("app.lumivox.license");

struct Failure
{
    Native::Secrets::Status status = Native::Secrets::Status::failed;
    int code = 0;
    /// Short technical text for diagnostics ("locked: the keyring is locked"); never the value.
    QString detail;
};

struct ReadResult
{
    /// The item's text; absent when there is no item, its bytes are not UTF-8, or the read failed.
    std::optional<QString> value;
    std::optional<Failure> failure;
};

struct WriteResult
{
    std::optional<Failure> failure;
    bool succeeded() const { return !failure; }
    explicit operator bool() const { return succeeded(); }
};

struct Timeouts
{
    std::chrono::milliseconds read {3000};
    /// Long enough for the user to type a keyring password when asked.
    std::chrono::milliseconds write {60000};
};

/// Says that the cache has learnt the answer for an item: a read finished (found or not found), or
/// a save or a removal succeeded. Emitted on the thread that learnt it, so receivers on the UI thread
/// get it queued; a failed read says nothing, since the cache did not change.
class Announcer final : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
signals:
    void answerCached(const QString &key, const QString &service);
};

/// The process's one announcer.
Announcer &announcer();

/// Starts one read of the item on the store's worker unless the cache already holds its answer or
/// a read is on its way; returns at once. Any thread.
void readInBackground(const QString &key, const QString &service);

/// The cached text of the item (account `key`, service `service`). On a cache miss on the UI thread
/// it answers "none" at once and starts one background read whose answer serves later calls; on any
/// other thread it waits for the bounded read.
std::optional<QString> get(const QString &key, const QString &service);

/// The item's text from the cache, or read from the store (bounded by the read time-out) and cached
/// by the rules above. The program's start-up read.
QCoro::Task<ReadResult> load(QString key, QString service);

/// Creates or overwrites the item; on success the cache holds the new value.
QCoro::Task<WriteResult> save(QString key, QString value, QString service);

/// Removes the item; no item at all is a success. On success the cache records the absence.
QCoro::Task<WriteResult> remove(QString key, QString service);

/// Waits until every save and removal that has started has reached the store, at most `limit`; true
/// when none is left. The program ends without waiting for the store's worker, so it calls this at
/// quit: a key saved just before Quit is there at the next start. Any thread but the store's worker.
bool finishWrites(std::chrono::milliseconds limit);

Timeouts timeouts();
void setTimeouts(Timeouts timeouts);

} // namespace Lumivox::KeychainStorage
