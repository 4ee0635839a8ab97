#pragma once

// Handing a message to the user's mail program: which program the desktop opens mail links with, a
// new message with a file attached, and, when there is no mail program to take it, the clipboard
// and the file manager. GUI thread only (the clipboard lives there).

#include <QString>

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

    /// What the desktop opens mailto: links with.
    enum class Handler {
        /// A program that writes mail: it can take a message with a file attached.
        mailProgram,
        /// A web browser: it opens a mail link in a web page, which ignores any attachment.
        webBrowser,
        /// Nothing is set up for mail links.
        none,
    };

    struct HandlerInfo
    {
        Handler kind = Handler::none;
        /// The desktop entry's id ("thunderbird.desktop"); empty when there is none.
        QString desktopID;
    };

    virtual ~MailHandOff() = default;

    /// Asks the desktop which program opens mailto: links. `done` runs once, later, from the
    /// calling thread's event loop.
    virtual void findHandler(std::function<void(HandlerInfo)> done) = 0;

    /// Opens a new message in the user's mail program. `done` runs once, later, from the calling
    /// thread's event loop; never inside this call. Some mail programs keep the helper waiting until
    /// the user closes them: a helper still running after `timeout` counts as composed and is left
    /// running.
    virtual void compose(const Draft &draft, std::chrono::milliseconds timeout, std::function<void(Outcome)> done) = 0;

    /// Opens the folder in the desktop's file manager. `done` runs once, later, from the calling
    /// thread's event loop: false when nothing could open it; a file manager still starting after
    /// `timeout` counts as opened.
    virtual void showFolder(const QString &path, std::chrono::milliseconds timeout, std::function<void(bool)> done) = 0;

    /// Puts plain text on the clipboard. False when there is no clipboard (no GUI application).
    virtual bool copyToClipboard(const QString &text) = 0;

    /// What kind of program a desktop entry (the text of its .desktop file) is: a web browser when it
    /// is in the WebBrowser category or opens web links, else a mail program; an empty text is none.
    static Handler handlerKind(const QString &desktopEntry);

    static std::shared_ptr<MailHandOff> makeDefault();
};

} // namespace Lumivox::Native
