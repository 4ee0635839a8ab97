#pragma once

// The diagnostic report: a plain-text summary of the diagnostic log and of the program's settings
// and permissions, for the user to mail to support when tooltips do not appear, and its delivery:
// as a file attached to a new message in the user's mail program, or else on the clipboard with a
// mailto: link.

#include "Native/Services.h"
#include "Native/Session/MailHandOff.h"
#include "Shared/Diagnostics/AppTally.h"
#include "Shared/Diagnostics/DiagnosticLog.h"

#include <QCoroTask>
#include <QString>
#include <QTimeZone>
#include <QUrl>

#include <map>
#include <optional>
#include <vector>

namespace Lumivox {

/// The program's state as the report prints it; filled by the hover coordinator.
struct DiagnosticSnapshot
{
    QString version;
    QString build;
    /// The operating system's version text.
    QString macOS;
    bool enabled = false;
    /// The display label of the hold-key mode.
    QString trigger;
    bool accessibility = false;
    bool screenRecording = false;
    QString targetLanguage;
    /// The target language can be translated on the device.
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
inline const QString attachmentName = QStringLiteral("Lumivox-diagnostic-report.txt");
/// The body of the mail. The report's events list recent hovered words and meanings, so the body
/// says so.
inline const QString mailBody =
    QStringLiteral("The diagnostic report is attached. It includes the words I hovered recently and their meanings.");

/// "Lumivox <version> diagnostic report"
QString subject(const QString &version);

/// A folder only the user can enter (mode 0700), made on demand: "Lumivox" in $XDG_RUNTIME_DIR, else
/// "Lumivox/reports" in the user's cache folder. Absent when it cannot be made private (for example a
/// symbolic link or another owner's folder is in the way).
std::optional<QString> attachmentFolder();

/// Writes the text as UTF-8, atomically, readable by the user only, to attachmentName in `folder`,
/// replacing an earlier report. Absent when the folder does not exist, a symbolic link or anything but
/// a plain file stands at the file's name, or the write fails.
std::optional<QString> writeAttachment(const QString &text, const QString &folder);

/// A mailto: link to support with the subject and the body, followed by the note that the full report
/// is on the clipboard; a body over 1200 characters is cut to 1200 and marked with "…".
std::optional<QUrl> mailtoURL(const QString &version, const QString &body);

/// How the report left.
enum class Delivery {
    /// A new message in the mail program, with the report attached.
    attached,
    /// The report is on the clipboard and a mailto: link was opened.
    mailLink,
    /// The report is on the clipboard, but no link could be opened.
    clipboardOnly,
};

/// The mail program is given this long to take the message.
inline constexpr std::chrono::milliseconds composeTimeout {8000};

/// Mails the report: attached to a new message when the file and the mail program work, else on the
/// clipboard with a mailto: link. GUI thread.
QCoro::Task<Delivery> send(QString report, QString version,
                           std::shared_ptr<Native::MailHandOff> mail = Native::service<Native::MailHandOff>());

} // namespace DiagnosticReport

} // namespace Lumivox
