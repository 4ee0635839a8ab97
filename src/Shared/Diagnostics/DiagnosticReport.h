#pragma once

// The diagnostic report: a plain-text summary of the diagnostic log and of the program's settings
// and permissions, for the user to mail to support when tooltips do not appear, and its delivery:
// as a file attached to a new message in the user's mail program, or else on the clipboard with the
// desktop asked to show its file's folder, for the user to send by hand.

#include "Native/Services.h"
#include "Native/Session/MailHandOff.h"
#include "Shared/Diagnostics/AppTally.h"
#include "Shared/Diagnostics/DiagnosticLog.h"

#include <QCoroTask>
#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <map>
#include <optional>
#include <vector>

namespace Lumivox {

/// The program's state as the report prints it; filled by the hover coordinator.
struct DiagnosticSnapshot
{
    QString version;
    /// Empty on Linux, where packages carry the version alone; then the report shows none.
    QString build;
    /// The operating system's name and version ("Debian GNU/Linux 12 (bookworm), kernel 6.1.0").
    QString system;
    bool enabled = false;
    /// The display label of the hold-key mode.
    QString trigger;
    bool accessibility = false;
    bool screenRecording = false;
    QString targetLanguage;
    /// This computer translates into the target language on the device.
    bool appleLanguage = false;
    bool hasGoogleKey = false;
    bool limitToSelectedApps = false;
    qint64 allowedAppCount = 0;
};

namespace DiagnosticReport {

/// The whole report, lines joined by "\n". Event times are shown in `timeZone` (the user's own by
/// default); the other times in UTC.
QString text(const std::vector<DiagnosticLog::Entry> &entries, const std::map<QString, AppTally> &apps,
             const std::vector<DiagnosticEvent> &events, const DiagnosticSnapshot &snapshot,
             const QTimeZone &timeZone = QTimeZone::systemTimeZone());

/// Support's address, used for the attached message and the mailto: link alike.
inline const QString supportAddress = QStringLiteral("support@lumivox.app");
/// Each report is a file of its own, named for when it was made: the prefix, the local time as
/// "2025-03-09-141502", ".txt". The newest few are kept (keptReports); older ones are removed.
inline const QString attachmentPrefix = QStringLiteral("Lumivox-diagnostic-report-");
inline constexpr int keptReports = 5;
QString attachmentName(const QDateTime &made);
/// The body of the mail. The report's events list recent hovered words and meanings, so the body
/// says so.
inline const QString mailBody =
    QStringLiteral("The diagnostic report is attached. It includes the words I hovered recently and their meanings.");

/// "Lumivox <version> diagnostic report"
QString subject(const QString &version);

/// A folder only the user can enter (mode 0700), made on demand, that outlives the session (the
/// user is told where the report is, and may send it days later): "Lumivox/Reports" in the user's
/// data folder ($XDG_DATA_HOME). Absent when it cannot be made private (for example a symbolic link
/// or another owner's folder is in the way).
std::optional<QString> attachmentFolder();

/// Writes the text as UTF-8, atomically, readable by the user only (0600), as attachmentName(made)
/// in `folder` (replacing a report made in the same second), then removes the oldest reports beyond
/// keptReports; nothing but the program's own report files is ever removed. Absent when the folder
/// does not exist, a symbolic link or anything but a plain file stands at the file's name, or the
/// write fails.
std::optional<QString> writeAttachment(const QString &text, const QString &folder,
                                       const QDateTime &made = QDateTime::currentDateTime());

/// How the report left.
struct Delivery
{
    enum class Route {
        /// A new message in the mail program, with the report attached.
        attached,
        /// Nothing on this desktop opens mail links.
        noMailProgram,
        /// Mail links open in a web browser, and a web page cannot take an attached file.
        webBrowser,
        /// The mail program did not take the message.
        mailProgramFailed,
        /// The report's file could not be written, so there was nothing to attach.
        noFile,
    };

    Route route = Route::attached;
    /// The report's file, when it was written.
    std::optional<QString> file;
    /// On every route but `attached`: the report is on the clipboard.
    bool onClipboard = false;
    /// On every route but `attached`: the desktop was asked to open the file's folder and did not
    /// refuse. Which program opens it, if any, is the desktop's choice: nothing says it is open.
    bool folderAsked = false;

    bool attached() const { return route == Route::attached; }
    bool operator==(const Delivery &) const = default;
};

/// The mail program is given this long to take the message, and the file manager to say that it
/// cannot open the report's folder.
inline constexpr std::chrono::milliseconds composeTimeout {8000};
inline constexpr std::chrono::milliseconds folderTimeout {3000};

/// Mails the report: attached to a new message when the file can be written and mail links open in
/// a mail program that takes the message; otherwise the report goes on the clipboard and the desktop
/// is asked to open its folder, and the result says which, for the user to be told. Never claims an
/// attachment that was not made. GUI thread.
QCoro::Task<Delivery> send(QString report, QString version,
                           std::shared_ptr<Native::MailHandOff> mail = Native::service<Native::MailHandOff>());

} // namespace DiagnosticReport

} // namespace Lumivox
