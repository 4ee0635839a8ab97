#include "Fakes/FakeMailHandOff.h"
#include "Shared/Diagnostics/DiagnosticReport.h"
#include "Support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Lumivox;
using Testing::await;
using Delivery = DiagnosticReport::Delivery;

namespace {

unsigned mode(const QString &path)
{
    struct stat info
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

// Points the runtime and cache folders at a temporary place for one test.
class MailTest : public ::testing::Test
{
protected:
    QTemporaryDir home;
    QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    QByteArray savedCache = qgetenv("XDG_CACHE_HOME");

    void SetUp() override
    {
        QDir().mkpath(runtime());
        ::chmod(QFile::encodeName(runtime()).constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime()));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QStringLiteral("cache"))));
    }
    void TearDown() override
    {
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        qputenv("XDG_CACHE_HOME", savedCache);
    }
    QString runtime() const { return home.filePath(QStringLiteral("run")); }
};

TEST_F(MailTest, AttachmentIsAPrivateFileInAPrivateFolder)
{
    const auto folder = DiagnosticReport::attachmentFolder();
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, runtime() + QStringLiteral("/Lumivox"));
    EXPECT_EQ(mode(*folder), 0700u);

    ASSERT_TRUE(DiagnosticReport::writeAttachment(QStringLiteral("old"), *folder));
    const auto file = DiagnosticReport::writeAttachment(QStringLiteral("r\u00E9port"), *folder);
    ASSERT_TRUE(file);
    EXPECT_EQ(*file, *folder + QStringLiteral("/Lumivox-diagnostic-report.txt"));
    EXPECT_EQ(mode(*file), 0600u);
    QFile read(*file);
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    EXPECT_EQ(read.readAll(), QByteArray("r\xC3\xA9port"));

    EXPECT_EQ(DiagnosticReport::writeAttachment(QStringLiteral("x"), home.filePath(QStringLiteral("missing"))),
              std::nullopt);
}

TEST_F(MailTest, LinksInTheWayAreRefusedNotFollowed)
{
    const QString elsewhere = home.filePath(QStringLiteral("elsewhere"));
    QDir().mkpath(elsewhere);

    // A link at the file's name would send the report wherever it points.
    const QString folder = home.filePath(QStringLiteral("plain"));
    QDir().mkpath(folder);
    const QString target = elsewhere + QStringLiteral("/target.txt");
    ASSERT_TRUE(QFile::link(target, folder + QStringLiteral("/Lumivox-diagnostic-report.txt")));
    EXPECT_EQ(DiagnosticReport::writeAttachment(QStringLiteral("secret"), folder), std::nullopt);
    EXPECT_FALSE(QFile::exists(target));

    // A link where the private folder goes is not taken for it.
    ASSERT_TRUE(QFile::link(elsewhere, runtime() + QStringLiteral("/Lumivox")));
    EXPECT_EQ(DiagnosticReport::attachmentFolder(), std::nullopt);
}

TEST_F(MailTest, WithoutARuntimeFolderTheCacheIsUsedAndMadePrivate)
{
    qunsetenv("XDG_RUNTIME_DIR");
    const QString expected = home.filePath(QStringLiteral("cache/Lumivox/reports"));
    QDir().mkpath(expected);
    ::chmod(QFile::encodeName(expected).constData(), 0755);

    EXPECT_EQ(DiagnosticReport::attachmentFolder(), expected);
    EXPECT_EQ(mode(expected), 0700u);
}

TEST_F(MailTest, SendAttachesTheReportToANewMessage)
{
    auto mail = std::make_shared<Testing::FakeMailHandOff>();
    const Delivery delivery = await(DiagnosticReport::send(QStringLiteral("the report"), QStringLiteral("1.2"), mail));
    EXPECT_TRUE(delivery.attached());

    ASSERT_EQ(mail->drafts.size(), 1u);
    const auto &draft = mail->drafts[0];
    EXPECT_EQ(draft.recipient, DiagnosticReport::supportAddress);
    EXPECT_EQ(draft.subject, QStringLiteral("Lumivox 1.2 diagnostic report"));
    EXPECT_EQ(draft.body, DiagnosticReport::mailBody);
    EXPECT_EQ(draft.attachmentPath, delivery.file);
    QFile attached(draft.attachmentPath);
    ASSERT_TRUE(attached.open(QIODevice::ReadOnly));
    EXPECT_EQ(attached.readAll(), QByteArray("the report"));
    EXPECT_TRUE(mail->clipboard.empty());
    EXPECT_TRUE(mail->folders.empty());
}

// Without a mail program that takes the message, nothing claims an attachment: the report goes on
// the clipboard, its folder is opened, and the result says which way it went.
TEST_F(MailTest, WithoutAMailProgramTheReportIsOnTheClipboardAndItsFolderOpens)
{
    using Handler = Native::MailHandOff::Handler;
    using Route = Delivery::Route;
    struct Case
    {
        Handler handler;
        Native::MailHandOff::Status composed;
        Route route;
        bool composeAsked;
    };
    for (const Case &c : std::vector<Case> {
             {Handler::none, Native::MailHandOff::Status::composed, Route::noMailProgram, false},
             {Handler::webBrowser, Native::MailHandOff::Status::composed, Route::webBrowser, false},
             {Handler::mailProgram, Native::MailHandOff::Status::failed, Route::mailProgramFailed, true},
             {Handler::mailProgram, Native::MailHandOff::Status::toolMissing, Route::mailProgramFailed, true},
         }) {
        auto mail = std::make_shared<Testing::FakeMailHandOff>();
        mail->handler = {c.handler, QStringLiteral("x.desktop")};
        mail->composeOutcome = {c.composed, 1, QStringLiteral("no")};
        const Delivery delivery =
            await(DiagnosticReport::send(QStringLiteral("the report"), QStringLiteral("1.2"), mail));
        SCOPED_TRACE(int(c.route));
        EXPECT_EQ(delivery.route, c.route);
        EXPECT_EQ(mail->drafts.size(), c.composeAsked ? 1u : 0u);
        EXPECT_EQ(mail->clipboard, std::vector<QString> {QStringLiteral("the report")});
        ASSERT_TRUE(delivery.file);
        EXPECT_EQ(mail->folders, std::vector<QString> {runtime() + QStringLiteral("/Lumivox")});
        EXPECT_TRUE(delivery.onClipboard && delivery.folderShown);
    }

    auto mail = std::make_shared<Testing::FakeMailHandOff>();
    mail->handler = {Handler::none, {}};
    mail->folderOpens = false;
    mail->clipboardTakes = false;
    const Delivery delivery = await(DiagnosticReport::send(QStringLiteral("r"), QStringLiteral("1.2"), mail));
    EXPECT_FALSE(delivery.onClipboard || delivery.folderShown) << "what failed is not reported as done";
}

TEST_F(MailTest, WithoutAPrivateFolderNothingIsAttached)
{
    qunsetenv("XDG_RUNTIME_DIR");
    // A plain file where the cache folder would be.
    QFile blocker(home.filePath(QStringLiteral("cache")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    auto mail = std::make_shared<Testing::FakeMailHandOff>();
    const Delivery delivery = await(DiagnosticReport::send(QStringLiteral("the report"), QStringLiteral("1.2"), mail));
    EXPECT_EQ(delivery.route, Delivery::Route::noFile);
    EXPECT_FALSE(delivery.file);
    EXPECT_TRUE(mail->drafts.empty());
    EXPECT_EQ(mail->clipboard.size(), 1u);
    EXPECT_TRUE(mail->folders.empty());
}

} // namespace
