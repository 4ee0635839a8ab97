// The mail hand-off over the real freedesktop tools in the private session: the installed xdg-email
// (with $MAILER pointing at a stand-in mail program that records the link it is given), and the whole
// report hand-off with stand-in programs registered as the desktop's handlers (a mail program, a web
// browser, a file manager) through the real xdg-mime and xdg-open, and the X clipboard.

#include "Features/Shell/NoticeTexts.h"
#include "Features/Shell/Views/NoticeDialog.h"
#include "Native/Session/MailHandOff.h"
#include "Shared/Diagnostics/DiagnosticReport.h"
#include "Support/TestSupport.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace std::chrono_literals;
using Status = Native::MailHandOff::Status;
using Outcome = Native::MailHandOff::Outcome;

namespace {

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

class MailHandOffTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString bin;
    QByteArray savedPath = qgetenv("PATH");
    std::shared_ptr<Native::MailHandOff> mail = Native::MailHandOff::makeDefault();

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        bin = dir.filePath(QStringLiteral("bin"));
        QDir().mkpath(bin);
        qputenv("PATH", QFile::encodeName(bin) + ':' + savedPath);
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("xdg-email")).isEmpty())
            << "xdg-utils is not installed";
    }
    void TearDown() override
    {
        qputenv("PATH", savedPath);
        qunsetenv("MAILER");
    }

    QString out(const QString &name) const { return dir.filePath(name + QStringLiteral(".out")); }

    QString script(const QString &name, const QString &body)
    {
        const QString path = bin + QLatin1Char('/') + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body.toUtf8());
        file.close();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return path;
    }

    // The stand-in mail program that xdg-email hands the message to.
    void mailProgram(const QString &body)
    {
        qputenv("MAILER", QFile::encodeName(script(QStringLiteral("mail-program"), body)));
    }

    Outcome compose(const Native::MailHandOff::Draft &draft, std::chrono::milliseconds timeout = 8s)
    {
        std::optional<Outcome> outcome;
        mail->compose(draft, timeout, [&](Outcome o) { outcome = std::move(o); });
        EXPECT_FALSE(outcome) << "answered inside the call";
        EXPECT_TRUE(Testing::spinUntil([&] { return outcome.has_value(); }, 15s));
        return outcome.value_or(Outcome {Status::failed, -1, QStringLiteral("no answer")});
    }

    QString attachment()
    {
        const QString path = dir.filePath(QStringLiteral("report file.txt"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("report");
        return path;
    }
};

TEST_F(MailHandOffTest, TheMessageReachesTheMailProgramWordForWord)
{
    mailProgram(QStringLiteral("printf '%s' \"$1\" > '%1'\n").arg(out(QStringLiteral("mail"))));
    const QString marker = dir.filePath(QStringLiteral("marker"));
    const QString subject = QStringLiteral("Lumivox \"1.2\" $(touch %1); `touch %1` report").arg(marker);
    const QString body = QStringLiteral("Line one & two\nd\u00E9j\u00E0 vu = 100% 'quoted'");
    const QString file = attachment();

    const Outcome outcome = compose({QStringLiteral("support@lumivox.app"), subject, body, file});
    EXPECT_EQ(outcome.status, Status::composed) << outcome.message.toStdString();

    const QUrl link(readText(out(QStringLiteral("mail"))), QUrl::StrictMode);
    ASSERT_EQ(link.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(link.path(QUrl::FullyDecoded), QStringLiteral("support@lumivox.app"));
    const QUrlQuery query(link);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded), subject);
    // Line ends of a mail body travel as CR LF in a mailto: link.
    EXPECT_EQ(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
              QString(body).replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("attach"), QUrl::FullyDecoded), file);
    EXPECT_FALSE(QFile::exists(marker)) << "a text of the message ran as a command";
}

TEST_F(MailHandOffTest, AMailProgramThatFailsIsAFailure)
{
    mailProgram(QStringLiteral("exit 1\n"));
    const Outcome outcome =
        compose({QStringLiteral("support@lumivox.app"), QStringLiteral("s"), QStringLiteral("b"), attachment()});
    EXPECT_EQ(outcome.status, Status::failed);
    EXPECT_NE(outcome.exitCode, 0);
}

TEST_F(MailHandOffTest, AMailProgramStillOpenAtTheTimeOutCountsAsComposed)
{
    const QString done = dir.filePath(QStringLiteral("closed"));
    mailProgram(QStringLiteral("sleep 1\ntouch '%1'\n").arg(done));
    const Outcome outcome =
        compose({QStringLiteral("support@lumivox.app"), QStringLiteral("s"), QStringLiteral("b"), attachment()}, 200ms);
    EXPECT_EQ(outcome.status, Status::composed);
    // The helper is left to finish on its own, not killed.
    EXPECT_TRUE(Testing::spinUntil([&] { return QFile::exists(done); }, 10s));
    Testing::spinUntil([] { return false; }, 300ms);
}

TEST_F(MailHandOffTest, WithoutXdgEmailTheToolIsMissing)
{
    qputenv("PATH", QFile::encodeName(bin));
    const Outcome outcome =
        compose({QStringLiteral("support@lumivox.app"), QStringLiteral("s"), QStringLiteral("b"), attachment()});
    EXPECT_EQ(outcome.status, Status::toolMissing);
}

// The desktop's handlers, as a user's session registers them: desktop entries of stand-in programs
// that record what they are given, made the defaults with xdg-mime.
class ReportHandOffTest : public MailHandOffTest
{
protected:
    QString applications = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);

    void SetUp() override
    {
        MailHandOffTest::SetUp();
        QDir().mkpath(applications);
        handler(QStringLiteral("lumivox-test-files.desktop"), QStringLiteral("files"),
                QStringLiteral("MimeType=inode/directory;\n"));
        makeDefault(QStringLiteral("lumivox-test-files.desktop"), QStringLiteral("inode/directory"));
    }
    void TearDown() override
    {
        QFile::remove(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                      + QStringLiteral("/mimeapps.list"));
        for (const char *name : {"lumivox-test-files.desktop", "lumivox-test-mail.desktop", "lumivox-test-web.desktop"})
            QFile::remove(applications + QLatin1Char('/') + QString::fromLatin1(name));
        MailHandOffTest::TearDown();
    }

    // A desktop entry whose program writes its first argument to <name>.out.
    void handler(const QString &entry, const QString &name, const QString &keys)
    {
        const QString program = script(name, QStringLiteral("printf '%s' \"$1\" > '%1'\n").arg(out(name)));
        QFile file(applications + QLatin1Char('/') + entry);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2 %u\n%3")
                       .arg(name, program, keys)
                       .toUtf8());
    }
    static void makeDefault(const QString &entry, const QString &type)
    {
        ASSERT_EQ(QProcess::execute(QStringLiteral("xdg-mime"), {QStringLiteral("default"), entry, type}), 0);
    }

    DiagnosticReport::Delivery send(const QString &report)
    {
        return Testing::await(DiagnosticReport::send(report, QStringLiteral("1.2"), mail));
    }
    QString received(const QString &name)
    {
        Testing::spinUntil([&] { return !readText(out(name)).isEmpty(); }, 10s);
        return readText(out(name));
    }
};

TEST_F(ReportHandOffTest, AMailProgramGetsTheReportAttached)
{
    handler(QStringLiteral("lumivox-test-mail.desktop"), QStringLiteral("mail"),
            QStringLiteral("MimeType=x-scheme-handler/mailto;\n"));
    makeDefault(QStringLiteral("lumivox-test-mail.desktop"), QStringLiteral("x-scheme-handler/mailto"));
    QGuiApplication::clipboard()->clear();

    const auto delivery = send(QStringLiteral("Lumivox diagnostic report\nApp: 1.2"));
    EXPECT_TRUE(delivery.attached()) << int(delivery.route);
    const QUrl link(received(QStringLiteral("mail")), QUrl::StrictMode);
    ASSERT_EQ(link.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(QUrlQuery(link).queryItemValue(QStringLiteral("attach"), QUrl::FullyDecoded), delivery.file.value_or(""));
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty()) << "nothing else was needed";
}

// A browser would open a web page that drops the attachment, and no handler opens nothing: in both
// cases the report is on the clipboard, the desktop is asked to open its folder, the notice names the
// file, and the file is still there when the session's runtime folder is gone (at logout).
TEST_F(ReportHandOffTest, WithoutAMailProgramTheClipboardAndTheFolderCarryTheReport)
{
    const QByteArray sessionRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QString runtime = dir.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    const auto restoreRuntime = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", sessionRuntime); });

    handler(QStringLiteral("lumivox-test-web.desktop"), QStringLiteral("web"),
            QStringLiteral("Categories=Network;WebBrowser;\nMimeType=text/html;x-scheme-handler/http;"
                           "x-scheme-handler/mailto;\n"));
    for (const bool browser : {true, false}) {
        SCOPED_TRACE(browser ? "web browser" : "no handler");
        if (browser)
            makeDefault(QStringLiteral("lumivox-test-web.desktop"), QStringLiteral("x-scheme-handler/mailto"));
        else
            QFile::remove(applications + QStringLiteral("/lumivox-test-web.desktop"));
        QFile::remove(out(QStringLiteral("files")));
        const QString report = QStringLiteral("Lumivox diagnostic report\nApp: 1.2\n%1").arg(browser);

        const auto delivery = send(report);
        using Route = DiagnosticReport::Delivery::Route;
        EXPECT_EQ(delivery.route, browser ? Route::webBrowser : Route::noMailProgram);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), report);
        ASSERT_TRUE(delivery.file);
        EXPECT_EQ(received(QStringLiteral("files")), QFileInfo(*delivery.file).absolutePath());
        EXPECT_TRUE(delivery.folderAsked);
        EXPECT_FALSE(QFile::exists(out(QStringLiteral("web")))) << "the browser was started";

        NoticeDialog *dialog = NoticeDialog::present(NoticeTexts::reportNotice(delivery));
        const QString text = dialog->findChild<QLabel *>(QStringLiteral("reportNotice.text"))->text();
        EXPECT_TRUE(text.contains(QStringLiteral("on the clipboard"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QFileInfo(*delivery.file).fileName())) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("asked your desktop to open its folder"))) << text.toStdString();
        dialog->close();

        ASSERT_TRUE(QDir(runtime).removeRecursively());
        EXPECT_EQ(readText(*delivery.file), report) << "the report went with the session's runtime folder";
        QDir().mkpath(runtime);
    }
}

} // namespace
