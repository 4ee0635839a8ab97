#pragma once

// Handing a message to the user's mail program: a new message with a file attached, or, when that
// is not possible, a mailto: link for the desktop to open, with the clipboard to carry what a link
// cannot. GUI thread only (the clipboard and the desktop's URL handler live there).

#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>

namespace Lumivox::Native {

class MailHandOff
{
public:
    struct Draft
    {
        QString recipient;
        QString subject;
        QString body;
        /// An absolute path of a file the mail program can read.
        QString attachmentPath;
    };

    enum class Status {
        /// The mail program took the message (or is still showing it when the time-out passed).
        composed,
        /// The desktop's mail helper is not installed.
        toolMissing,
        /// The helper could not be started or reported a failure.
        failed,
    };

    struct Outcome
    {
        Status status = Status::composed;
        /// The helper's exit status when it ended; 0 otherwise.
        int exitCode = 0;
        /// A short technical text for log lines.
        QString message;

        bool succeeded() const { return status == Status::composed; }
    };

    virtual ~MailHandOff() = default;

    /// Opens a new message in the user's mail program. `done` runs once, later, from the calling
    /// thread's event loop; never inside this call. Some mail programs keep the helper waiting until
    /// the user closes them: a helper still running after `timeout` counts as composed and is left
    /// running.
    virtual void compose(const Draft &draft, std::chrono::milliseconds timeout, std::function<void(Outcome)> done) = 0;

    /// Opens a mailto: link with the desktop's handler. False when nothing could be started.
    virtual bool openLink(const QUrl &link) = 0;

    /// Puts plain text on the clipboard. False when there is no clipboard (no GUI application).
    virtual bool copyToClipboard(const QString &text) = 0;

    static std::shared_ptr<MailHandOff> makeDefault();
};

} // namespace Lumivox::Native
