// The mail hand-off over the real freedesktop tools in the private session: the installed xdg-email
// (with $MAILER pointing at a stand-in mail program that records the link it is given), Qt's desktop
// services opening a mailto: link through xdg-open (a stand-in earlier on PATH records it), and the
// X clipboard.

#include "Native/Session/MailHandOff.h"
#include "Shared/Diagnostics/DiagnosticReport.h"
#include "Support/TestSupport.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
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
        // Earlier on PATH than the real one, so no browser or mail program of the machine is started.
        script(QStringLiteral("xdg-open"),
               QStringLiteral("printf '%s' \"$1\" > '%1'\n").arg(out(QStringLiteral("xdg-open"))));
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

TEST_F(MailHandOffTest, SendingWithoutXdgEmailPutsTheReportOnTheClipboardAndOpensTheLink)
{
    qputenv("PATH", QFile::encodeName(bin));
    const QString report = QStringLiteral("Lumivox diagnostic report\nApp: 1.2 (34)");

    const auto delivery = Testing::await(DiagnosticReport::send(report, QStringLiteral("1.2"), mail));
    EXPECT_EQ(delivery, DiagnosticReport::Delivery::mailLink);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), report);

    ASSERT_TRUE(Testing::spinUntil([&] { return !readText(out(QStringLiteral("xdg-open"))).isEmpty(); }, 10s));
    const QUrl link(readText(out(QStringLiteral("xdg-open"))), QUrl::StrictMode);
    EXPECT_EQ(link.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(QUrlQuery(link).queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
              DiagnosticReport::mailBody + QStringLiteral("\n\nFull report is on the clipboard."));
}

} // namespace
