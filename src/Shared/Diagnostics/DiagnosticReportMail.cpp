// Getting the report to support. The report lists words the user pointed at, so its file goes to a
// folder only the user can enter, never to the shared temporary folder where another user could read
// it or plant a file or link under its name first. Nor to the session's runtime folder: that is
// emptied at logout, and the user, told where the file is, may come back for it later.

#include "Shared/Diagnostics/DiagnosticReport.h"

#include "Shared/Storage/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <coroutine>

#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcDiagnostics)

namespace Lumivox::DiagnosticReport {

namespace {

bool isOwnDirectory(const struct stat &info)
{
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
}

// Makes `path` (whose parent exists) a directory of ours with mode 0700, or says why not. A symbolic
// link is refused, never followed: it could lead anywhere.
bool makePrivateDirectory(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info
    {
    };
    if (::lstat(native.constData(), &info) != 0 || !isOwnDirectory(info))
        return false;
    if ((info.st_mode & 07777) != 0700 && ::chmod(native.constData(), 0700) != 0)
        return false;
    return true;
}

QString baseForAttachments()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty() || !QDir::isAbsolutePath(data))
        return QString();
    if (const PrivateFile::Outcome made = PrivateFile::makeFolder(data + QStringLiteral("/Lumivox")); !made) {
        qCWarning(lcDiagnostics).noquote() << "no folder for the report:" << made.error;
        return QString();
    }
    return data + QStringLiteral("/Lumivox/Reports");
}

// The program's own reports in `folder` (plain files under its names), newest first.
std::vector<QString> reportsIn(const QString &folder)
{
    struct Report
    {
        QString path;
        qint64 modified;
    };
    std::vector<Report> found;
    const QStringList names = QDir(folder).entryList({attachmentPrefix + QStringLiteral("*.txt")},
                                                     QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &name : names) {
        const QString path = QDir(folder).filePath(name);
        struct stat info
        {
        };
        if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode))
            found.push_back({path, qint64(info.st_mtime)});
    }
    // Names carry the local time, which a change of clock or zone can reorder: the time of writing
    // decides, the name only between files of one second.
    std::sort(found.begin(), found.end(), [](const Report &a, const Report &b) {
        return a.modified != b.modified ? a.modified > b.modified : a.path > b.path;
    });
    std::vector<QString> paths;
    for (Report &report : found)
        paths.push_back(std::move(report.path));
    return paths;
}

// Keeps `written` and the newest others up to keptReports in all.
void pruneReports(const QString &folder, const QString &written)
{
    int kept = 1;
    for (const QString &path : reportsIn(folder)) {
        if (path == written)
            continue;
        if (kept < keptReports) {
            ++kept;
            continue;
        }
        if (!QFile::remove(path))
            qCWarning(lcDiagnostics, "an old report could not be removed");
    }
}

struct HandlerAwaiter
{
    Native::MailHandOff *mail;
    Native::MailHandOff::HandlerInfo handler {};

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle)
    {
        mail->findHandler([this, handle](Native::MailHandOff::HandlerInfo found) {
            handler = std::move(found);
            handle.resume();
        });
    }
    Native::MailHandOff::HandlerInfo await_resume() { return handler; }
};

struct FolderAwaiter
{
    Native::MailHandOff *mail;
    QString folder;
    bool shown = false;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle)
    {
        mail->showFolder(folder, folderTimeout, [this, handle](bool opened) {
            shown = opened;
            handle.resume();
        });
    }
    bool await_resume() const { return shown; }
};

struct ComposeAwaiter
{
    Native::MailHandOff *mail;
    Native::MailHandOff::Draft draft;
    Native::MailHandOff::Outcome outcome {};

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle)
    {
        mail->compose(draft, composeTimeout, [this, handle](Native::MailHandOff::Outcome result) {
            outcome = std::move(result);
            handle.resume();
        });
    }
    Native::MailHandOff::Outcome await_resume() { return outcome; }
};

} // namespace

QString attachmentName(const QDateTime &made)
{
    return attachmentPrefix + made.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) + QStringLiteral(".txt");
}

QString subject(const QString &version)
{
    return QStringLiteral("Lumivox ") + version + QStringLiteral(" diagnostic report");
}

std::optional<QString> attachmentFolder()
{
    const QString folder = baseForAttachments();
    if (folder.isEmpty() || !makePrivateDirectory(folder)) {
        qCWarning(lcDiagnostics, "no private folder for the report attachment");
        return std::nullopt;
    }
    return folder;
}

std::optional<QString> writeAttachment(const QString &text, const QString &folder, const QDateTime &made)
{
    if (!QFileInfo(folder).isDir())
        return std::nullopt;
    const QString path = QDir(folder).absoluteFilePath(attachmentName(made));

    // Nothing but a file of ours is replaced here: a link or anything else in its place was put
    // there by someone else, and the report does not go out.
    struct stat info
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return std::nullopt;

    if (const PrivateFile::Outcome written = PrivateFile::replace(path, text.toUtf8()); !written) {
        qCWarning(lcDiagnostics).noquote() << "report attachment not written:" << written.error;
        return std::nullopt;
    }
    pruneReports(folder, path);
    return path;
}

QCoro::Task<Delivery> send(QString report, QString version, std::shared_ptr<Native::MailHandOff> mail)
{
    Delivery delivery;
    if (const auto folder = attachmentFolder())
        delivery.file = writeAttachment(report, *folder);

    HandlerAwaiter asking {mail.get()};
    const Native::MailHandOff::HandlerInfo handler = co_await asking;
    if (!delivery.file) {
        delivery.route = Delivery::Route::noFile;
    } else if (handler.kind == Native::MailHandOff::Handler::none) {
        delivery.route = Delivery::Route::noMailProgram;
    } else if (handler.kind == Native::MailHandOff::Handler::webBrowser) {
        // A browser would open a web form that drops the attachment while the text says it is there.
        delivery.route = Delivery::Route::webBrowser;
    } else {
        ComposeAwaiter composing {mail.get(), {supportAddress, subject(version), mailBody, *delivery.file}};
        const Native::MailHandOff::Outcome outcome = co_await composing;
        if (outcome.succeeded())
            co_return delivery;
        qCWarning(lcDiagnostics, "mail program not reached (%s)", qUtf8Printable(outcome.message));
        delivery.route = Delivery::Route::mailProgramFailed;
    }

    delivery.onClipboard = mail->copyToClipboard(report);
    if (delivery.file) {
        FolderAwaiter showing {mail.get(), QFileInfo(*delivery.file).absolutePath()};
        delivery.folderAsked = co_await showing;
    }
    co_return delivery;
}

} // namespace Lumivox::DiagnosticReport
