#pragma once

// A long-lived Apertium pipeline in null-flush mode: each request is text followed by "\n\0" and
// each reply ends with one NUL. Starting a pipeline costs a few hundred milliseconds; a request to a
// running one costs about a millisecond. Shared by the tagger and the on-device translator.
//
// Thread-safe: requests are serialised by an internal lock. Calls block (bounded by the time-out),
// so never make them on the UI thread.

#include <QString>
#include <QStringList>

#include <chrono>
#include <mutex>
#include <optional>

#include <sys/types.h>

namespace Lumivox::Native::Apertium {

/// Where the installed mode files are (/usr/share/apertium/modes unless LUMIVOX_APERTIUM_MODES says).
QString modesDirectory();

/// The installed mode file of a mode name ("eng-spa"), if there is one.
std::optional<QString> modeFile(const QString &mode);

/// Escapes text the way apertium-destxt does: a backslash before any of [ ] ^ $ / < > { } \ @.
QString escape(QStringView text);

/// Removes the backslash escapes of a reply.
QString unescape(QStringView text);

class NullFlushPipeline
{
public:
    /// `script` is a shell pipeline run with `bash -c`; `arguments` become its $1, $2, ….
    NullFlushPipeline(QString name, QString script, QStringList arguments,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
    ~NullFlushPipeline();

    NullFlushPipeline(const NullFlushPipeline &) = delete;
    NullFlushPipeline &operator=(const NullFlushPipeline &) = delete;

    /// The null-flush form of an installed translation mode, made by apertium-wblank-mode -z.
    /// Absent when the mode is not installed or the tool fails.
    static std::optional<QString> translationScript(const QString &mode);

    /// Starts the processes if they are not running. False when they cannot start.
    bool start();
    bool isRunning();

    /// Sends one request (raw: the caller escapes) and returns the reply without its NUL. Restarts a
    /// pipeline that has died and retries once. A request that timed out is not retried: the same
    /// text would hold the pipeline as long again. The first request after a start may take twice
    /// the time-out, since every stage loads its data then. Absent on time-out or failure (the
    /// pipeline is then stopped, so the next request starts it afresh).
    std::optional<QString> request(const QString &text);

    /// Stops the processes (the next request starts them again).
    void stop();

    /// The process group of the running pipeline, or 0 (for tests that kill it mid-use).
    pid_t processGroup();

private:
    bool startLocked();
    void stopLocked();
    enum class Failure { none, timedOut, ended };
    std::optional<QString> exchangeLocked(const QByteArray &payload, Failure &failure);

    QString m_name;
    QString m_script;
    QStringList m_arguments;
    std::chrono::milliseconds m_timeout;
    std::mutex m_mutex;
    pid_t m_pid = 0;
    int m_fd = -1; // our end of the socket pair (the child's stdin and stdout)
    QByteArray m_pending; // bytes read past the last reply's NUL
    bool m_loaded = false; // the running pipeline has answered once, so its stages have their data
};

} // namespace Lumivox::Native::Apertium
