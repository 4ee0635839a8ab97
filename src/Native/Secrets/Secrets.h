#pragma once

// The user's secret store: generic-password items found by a service and an account name.
//
// Every call blocks its calling thread for at most the time-out it is given (plus a short grace for
// the store to acknowledge a cancellation), so callers run it on a worker thread, never on the UI
// thread. A desktop keyring that is locked may want to show a password dialog: `read` never asks
// for one (it reports `locked` instead), while `write` and `remove` may, because they only run when
// the user acts in the settings.

#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>

namespace Lumivox::Native {

class Secrets
{
public:
    enum class Status {
        success,
        /// No item for that service and account.
        notFound,
        /// The item exists but its keyring is locked and was not unlocked.
        locked,
        /// No secret service answers on the session bus (or there is no session bus).
        noService,
        /// The store did not answer within the time-out; the call was cancelled.
        timedOut,
        failed,
    };

    struct Outcome
    {
        Status status = Status::success;
        /// The store's own error code (0 on success), for log lines.
        int code = 0;
        /// A short technical message for log lines and diagnostics; never contains secret data.
        QString message;
        /// The item's bytes, for a successful read.
        QByteArray data;

        bool succeeded() const { return status == Status::success; }
    };

    virtual ~Secrets() = default;

    /// The item's bytes. Never prompts.
    virtual Outcome read(const QString &service, const QString &account, std::chrono::milliseconds timeout) = 0;

    /// Creates the item (in the default keyring, under `label`) or overwrites the bytes of the existing
    /// one, keeping a single item for the pair.
    virtual Outcome write(const QString &service, const QString &account, const QString &label, const QByteArray &data,
                          std::chrono::milliseconds timeout) = 0;

    /// Removes every item for the pair. No item at all is a success.
    virtual Outcome remove(const QString &service, const QString &account, std::chrono::milliseconds timeout) = 0;

    static std::shared_ptr<Secrets> makeDefault();
};

QString toString(Secrets::Status status);

} // namespace Lumivox::Native
