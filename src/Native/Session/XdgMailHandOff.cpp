// The mail hand-off over the freedesktop tools: xdg-mime for the program that opens mail links,
// xdg-email for a message with an attachment, xdg-open for a folder, and the Qt clipboard.
//
// xdg-email is a shell script that finds the user's mail program. It, like the other tools, is
// started with an argument list, never through a shell, so no text of the message is ever read as a
// command.

#include "Native/Session/MailHandOff.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

Q_LOGGING_CATEGORY(lcMail, "app.lumivox.Session")

namespace Lumivox::Native {

namespace {

// Desktop-entry ids may stand for a path below applications/ ("kde4-kmail.desktop" is
// kde4/kmail.desktop); the first match in the data folders wins.
QString desktopEntryText(const QString &id)
{
    if (id.isEmpty() || id.contains(QLatin1Char('/')))
        return {};
    QString relative = id;
    while (true) {
        const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, relative);
        if (!path.isEmpty()) {
            QFile file(path);
            // An entry is a few kilobytes; anything far larger is not one.
            if (file.open(QIODevice::ReadOnly))
                return QString::fromUtf8(file.read(1 << 20));
            return {};
        }
        const qsizetype dash = relative.indexOf(QLatin1Char('-'));
        if (dash < 0)
            return {};
        relative[dash] = QLatin1Char('/');
    }
}

// The value of a key of the [Desktop Entry] group, split at semicolons.
QStringList entryList(const QString &entry, QLatin1String key)
{
    bool inMainGroup = false;
    for (const QString &raw : entry.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup || !line.startsWith(key))
            continue;
        const QString rest = line.mid(key.size()).trimmed();
        if (rest.startsWith(QLatin1Char('=')))
            return rest.mid(1).trimmed().split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
    return {};
}

class XdgMailHandOff final : public MailHandOff
{
public:
    void findHandler(std::function<void(HandlerInfo)> done) override
    {
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
        if (tool.isEmpty()) {
            QTimer::singleShot(0, QCoreApplication::instance(), [done = std::move(done)] { done({}); });
            return;
        }
        auto *process = new QProcess;
        process->setProgram(tool);
        process->setArguments(
            {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/mailto")});
        process->setStandardInputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        auto report = std::make_shared<std::function<void(HandlerInfo)>>(std::move(done));
        const auto finish = [report, process](HandlerInfo info) {
            if (*report)
                std::exchange(*report, nullptr)(std::move(info));
            process->deleteLater();
        };
        QObject::connect(process, &QProcess::errorOccurred, process, [finish](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                finish({});
        });
        QObject::connect(process, &QProcess::finished, process, [process, finish](int exitCode, QProcess::ExitStatus) {
            const QString id =
                exitCode == 0 ? QString::fromUtf8(process->readAllStandardOutput()).trimmed() : QString();
            const Handler kind = handlerKind(desktopEntryText(id));
            qCInfo(lcMail).noquote() << "mail links open with" << (id.isEmpty() ? QStringLiteral("nothing") : id);
            finish({kind, kind == Handler::none ? QString() : id});
        });
        // xdg-mime answers in a few tens of milliseconds; one that hangs counts as no answer.
        QTimer::singleShot(std::chrono::seconds(5), process, [finish] { finish({}); });
        process->start();
    }

    void compose(const Draft &draft, std::chrono::milliseconds timeout, std::function<void(Outcome)> done) override
    {
        // Called once, whichever of the process's signals or the time-out comes first.
        auto report = std::make_shared<std::function<void(Outcome)>>(std::move(done));
        auto finish = [report](Outcome outcome) {
            if (!*report)
                return;
            auto callback = std::move(*report);
            *report = nullptr;
            callback(std::move(outcome));
        };

        const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
        if (tool.isEmpty()) {
            QTimer::singleShot(0, QCoreApplication::instance(), [finish] {
                finish({Status::toolMissing, 0, QStringLiteral("xdg-email not found")});
            });
            return;
        }

        auto *process = new QProcess;
        process->setProgram(tool);
        process->setArguments({QStringLiteral("--utf8"), QStringLiteral("--subject"), draft.subject,
                               QStringLiteral("--body"), draft.body, QStringLiteral("--attach"), draft.attachmentPath,
                               draft.recipient});
        // The mail program may stay attached and talk a lot; nothing of it is needed here, and
        // buffering it would grow without bound.
        process->setStandardInputFile(QProcess::nullDevice());
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());

        QObject::connect(process, &QProcess::errorOccurred, process, [process, finish](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            qCWarning(lcMail, "xdg-email could not be started: %s", qUtf8Printable(process->errorString()));
            finish({Status::failed, 0, QStringLiteral("xdg-email could not be started")});
            process->deleteLater();
        });
        QObject::connect(
            process, &QProcess::finished, process, [process, finish](int exitCode, QProcess::ExitStatus exitStatus) {
                if (exitStatus == QProcess::NormalExit && exitCode == 0) {
                    finish({Status::composed, 0, QString()});
                } else {
                    qCWarning(lcMail, "xdg-email failed with status %d", exitCode);
                    finish({Status::failed, exitCode, QStringLiteral("xdg-email exited with status %1").arg(exitCode)});
                }
                process->deleteLater();
            });
        QTimer::singleShot(timeout, process, [finish] {
            finish({Status::composed, 0, QStringLiteral("mail program still open")});
        });
        process->start();
    }

    void showFolder(const QString &path, std::chrono::milliseconds timeout, std::function<void(bool)> done) override
    {
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (tool.isEmpty()) {
            QTimer::singleShot(0, QCoreApplication::instance(), [done = std::move(done)] { done(false); });
            return;
        }
        // xdg-open runs the file manager itself and ends with it, or at once with a failure when no
        // program opens folders: an end within the time-out tells which.
        auto *process = new QProcess;
        process->setProgram(tool);
        process->setArguments({path});
        process->setStandardInputFile(QProcess::nullDevice());
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        auto report = std::make_shared<std::function<void(bool)>>(std::move(done));
        const auto finish = [report](bool shown) {
            if (*report)
                std::exchange(*report, nullptr)(shown);
        };
        QObject::connect(process, &QProcess::errorOccurred, process, [process, finish](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            finish(false);
            process->deleteLater();
        });
        QObject::connect(process, &QProcess::finished, process,
                         [process, finish](int exitCode, QProcess::ExitStatus exitStatus) {
                             if (exitStatus != QProcess::NormalExit || exitCode != 0)
                                 qCWarning(lcMail, "xdg-open could not open the report's folder (status %d)", exitCode);
                             finish(exitStatus == QProcess::NormalExit && exitCode == 0);
                             process->deleteLater();
                         });
        // A file manager that stays attached is left running, like a mail program.
        QTimer::singleShot(timeout, process, [finish] { finish(true); });
        process->start();
    }

    bool copyToClipboard(const QString &text) override
    {
        if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
            return false;
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (!clipboard)
            return false;
        clipboard->setText(text);
        return true;
    }
};

} // namespace

MailHandOff::Handler MailHandOff::handlerKind(const QString &desktopEntry)
{
    if (desktopEntry.trimmed().isEmpty())
        return Handler::none;
    if (entryList(desktopEntry, QLatin1String("Categories")).contains(QStringLiteral("WebBrowser")))
        return Handler::webBrowser;
    const QStringList types = entryList(desktopEntry, QLatin1String("MimeType"));
    if (types.contains(QStringLiteral("x-scheme-handler/http"))
        || types.contains(QStringLiteral("x-scheme-handler/https")))
        return Handler::webBrowser;
    return Handler::mailProgram;
}

std::shared_ptr<MailHandOff> MailHandOff::makeDefault()
{
    return std::make_shared<XdgMailHandOff>();
}

} // namespace Lumivox::Native
