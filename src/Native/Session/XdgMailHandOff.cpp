// The mail hand-off over the freedesktop tools: xdg-email for a message with an attachment, the
// desktop's URL handler (QDesktopServices) for a mailto: link, and the Qt clipboard.
//
// xdg-email is a shell script that finds the user's mail program. It is started with an argument
// list, never through a shell, so no text of the message is ever read as a command.

#include "Native/Session/MailHandOff.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

Q_LOGGING_CATEGORY(lcMail, "app.lumivox.Session")

namespace Lumivox::Native {

namespace {

class XdgMailHandOff final : public MailHandOff
{
public:
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

    bool openLink(const QUrl &link) override { return QDesktopServices::openUrl(link); }

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

std::shared_ptr<MailHandOff> MailHandOff::makeDefault()
{
    return std::make_shared<XdgMailHandOff>();
}

} // namespace Lumivox::Native
