#include "Fakes/FakeMailHandOff.h"
#include "Shared/Diagnostics/DiagnosticReport.h"
#include "Support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

/// Failures print paths readably (found by argument-dependent lookup, so in QString's namespace).
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

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

// Points the data and runtime folders at a temporary place for one test.
class MailTest : public ::testing::Test
{
protected:
    QTemporaryDir home;
    QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    QByteArray savedData = qgetenv("XDG_DATA_HOME");

    void SetUp() override
    {
        QDir().mkpath(runtime());
        ::chmod(QFile::encodeName(runtime()).constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    }
    void TearDown() override
    {
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        qputenv("XDG_DATA_HOME", savedData);
    }
    QString runtime() const { return home.filePath(QStringLiteral("run")); }
    QString reports() const { return home.filePath(QStringLiteral("data/Lumivox/Reports")); }
};

QDateTime at(int seconds)
{
    return QDateTime(QDate(2025, 3, 9), QTime(14, 15, 0)).addSecs(seconds);
}

TEST_F(MailTest, EachReportIsAPrivateFileInAPrivateFolderThatOutlivesTheSession)
{
    const QString existing = reports();
    QDir().mkpath(existing);
    ::chmod(QFile::encodeName(existing).constData(), 0755);
    const auto folder = DiagnosticReport::attachmentFolder();
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, existing) << "in the user's data folder, not the runtime folder a logout empties";
    EXPECT_EQ(mode(*folder), 0700u) << "an existing folder others could enter is made private";

    ASSERT_TRUE(DiagnosticReport::writeAttachment(QStringLiteral("old"), *folder, at(2)));
    const auto file = DiagnosticReport::writeAttachment(QStringLiteral("r\u00E9port"), *folder, at(2));
    ASSERT_TRUE(file);
    EXPECT_EQ(*file, *folder + QStringLiteral("/Lumivox-diagnostic-report-2025-03-09-141502.txt"));
    EXPECT_EQ(mode(*file), 0600u);
    QFile read(*file);
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    EXPECT_EQ(read.readAll(), QByteArray("r\xC3\xA9port")) << "a report of the same second is replaced";

    EXPECT_EQ(DiagnosticReport::writeAttachment(QStringLiteral("x"), home.filePath(QStringLiteral("missing"))),
              std::nullopt);
}

// The newest reports are kept, the oldest removed, by the time each was written (a name written
// under another clock or zone can sort wrongly), and nothing in the folder that is not one of the
// program's own report files is ever touched.
TEST_F(MailTest, OnlyTheNewestReportsAreKept)
{
    const auto folder = DiagnosticReport::attachmentFolder();
    ASSERT_TRUE(folder);
    const auto name = [](int seconds) { return DiagnosticReport::attachmentName(at(seconds)); };
    const auto age = [&](const QString &file, int minutes) {
        QFile f(*folder + u'/' + file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(
            f.setFileTime(QDateTime::currentDateTime().addSecs(-60 * minutes), QFileDevice::FileModificationTime));
    };
    // Six earlier reports, one of them named for a later time than it was written at.
    for (int i = 1; i <= 6; ++i) {
        ASSERT_TRUE(DiagnosticReport::writeAttachment(QStringLiteral("r"), *folder, at(i)));
        age(name(i), 60 - i);
    }
    age(name(1), 5);
    // What the user or anyone else put there.
    const QString elsewhere = home.filePath(QStringLiteral("elsewhere.txt"));
    QFile(elsewhere).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::link(elsewhere, *folder + u'/' + name(0)));
    QDir().mkpath(*folder + u'/' + name(-1));
    QFile(*folder + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly);
    QFile(*folder + QStringLiteral("/Lumivox-diagnostic-report-copy.doc")).open(QIODevice::WriteOnly);

    const auto newest = DiagnosticReport::writeAttachment(QStringLiteral("new"), *folder, at(7));
    ASSERT_TRUE(newest);
    QStringList left = QDir(*folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    EXPECT_EQ(left,
              (QStringList {QStringLiteral("Lumivox-diagnostic-report-2025-03-09-141459.txt"),
                            QStringLiteral("Lumivox-diagnostic-report-2025-03-09-141500.txt"), name(1), name(4),
                            name(5), name(6), name(7), QStringLiteral("Lumivox-diagnostic-report-copy.doc"),
                            QStringLiteral("notes.txt")}))
        << "kept: the new one and the four written last; the link, the folder and other files untouched";
    EXPECT_EQ(DiagnosticReport::keptReports, 5);
    EXPECT_TRUE(QFile::exists(elsewhere));
}

TEST_F(MailTest, LinksInTheWayAreRefusedNotFollowed)
{
    const QString elsewhere = home.filePath(QStringLiteral("elsewhere"));
    QDir().mkpath(elsewhere);

    // A link at the file's name would send the report wherever it points.
    const QString folder = home.filePath(QStringLiteral("plain"));
    QDir().mkpath(folder);
    const QString target = elsewhere + QStringLiteral("/target.txt");
    ASSERT_TRUE(QFile::link(target, folder + u'/' + DiagnosticReport::attachmentName(at(0))));
    EXPECT_EQ(DiagnosticReport::writeAttachment(QStringLiteral("secret"), folder, at(0)), std::nullopt);
    EXPECT_FALSE(QFile::exists(target));

    // A link where the private folder goes is not taken for it.
    QDir().mkpath(home.filePath(QStringLiteral("data/Lumivox")));
    ASSERT_TRUE(QFile::link(elsewhere, reports()));
    EXPECT_EQ(DiagnosticReport::attachmentFolder(), std::nullopt);
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
// the clipboard, the desktop is asked to open its folder, and the result says which way it went.
TEST_F(MailTest, WithoutAMailProgramTheReportIsOnTheClipboardAndItsFolderIsAskedFor)
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
        EXPECT_EQ(mail->folders, std::vector<QString> {reports()});
        EXPECT_TRUE(delivery.onClipboard && delivery.folderAsked);
    }

    auto mail = std::make_shared<Testing::FakeMailHandOff>();
    mail->handler = {Handler::none, {}};
    mail->folderOpens = false;
    mail->clipboardTakes = false;
    const Delivery delivery = await(DiagnosticReport::send(QStringLiteral("r"), QStringLiteral("1.2"), mail));
    EXPECT_FALSE(delivery.onClipboard || delivery.folderAsked) << "what failed is not reported as done";
}

TEST_F(MailTest, WithoutAPrivateFolderNothingIsAttached)
{
    // A plain file where the data folder would be.
    QFile blocker(home.filePath(QStringLiteral("data")));
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
