// A full disk, for real: a small tmpfs mounted in a private user and mount namespace (so no
// privileges are needed and nothing outlives the test). Saves that fail there are logged with the
// system's reason, never reported as done, leave the old files whole and no temporary behind, and
// are made again once there is room.

#include "Fakes/FakeClock.h"
#include "Fakes/FakeWordBookEnvironment.h"
#include "Support/TestSupport.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

QStringList messages;

void keepMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    messages.append(message);
}

qsizetype countOf(const QString &needle)
{
    return std::count_if(messages.cbegin(), messages.cend(), [&](const QString &m) { return m.contains(needle); });
}

// Takes every free byte of the file system that holds `file`.
void fill(const QString &file)
{
    const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const QByteArray block(4096, 'x');
    while (::write(fd, block.constData(), std::size_t(block.size())) > 0) { }
    const int error = errno;
    ::close(fd);
    ASSERT_EQ(error, ENOSPC);
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

// The child half of the next test, run inside the namespaces with the tmpfs mounted on the folder.
TEST(FullDiskChild, DISABLED_SavesOnAFullDisk)
{
    const QString folder = qEnvironmentVariable("LUMIVOX_FULL_DISK_FOLDER");
    ASSERT_FALSE(folder.isEmpty());
    ASSERT_EQ(::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=256k"), 0)
        << std::strerror(errno);
    qInstallMessageHandler(keepMessage);

    const QString bookFolder = folder + QStringLiteral("/book");
    const QString preferencesFile = folder + QStringLiteral("/config/app.lumivox.json");
    const QString saved = bookFolder + QStringLiteral("/Words.json");
    auto clock = std::make_shared<FakeClock>();
    const Date now = Date::fromWallTime(clock->wallNow());
    auto defaults = std::make_shared<PreferenceStore>(preferencesFile, clock);
    defaults->set(WordBook::keepsHistoryKey, true);
    WordBook book(bookFolder, defaults, now, clock, Calendar(QTimeZone::utc()));
    book.record(lookup(QStringLiteral("house"), now));
    book.save(lookup(QStringLiteral("house"), now), now);
    ASSERT_TRUE(book.flush());
    ASSERT_TRUE(defaults->synchronize());
    const QByteArray savedBefore = WordBookEnvironment::contents(saved);

    fill(folder + QStringLiteral("/filler"));
    // Long enough to need room of its own, past what the file's last page has left.
    const WordLookup garden = lookup(QStringLiteral("garden"), now, QStringLiteral("a garden ").repeated(800));
    book.save(garden, now);
    book.record(garden);
    defaults->set(QStringLiteral("holdKey"), QStringLiteral("ctrl"));
    EXPECT_FALSE(book.flush());
    EXPECT_FALSE(defaults->synchronize());

    // Said, with the reason, and nothing half-done left behind.
    EXPECT_GE(
        countOf(QStringLiteral("saved words not written to ") + saved + QStringLiteral(" : No space left on device")),
        1);
    EXPECT_EQ(countOf(QStringLiteral("History.jsonl : No space left on device")), 1) << "once per failing spell";
    EXPECT_GE(countOf(QStringLiteral("cannot write ") + preferencesFile + QStringLiteral(" : No space left on device")),
              1);
    EXPECT_EQ(countOf(QStringLiteral("Unknown error")), 0);
    EXPECT_EQ(WordBookEnvironment::contents(saved), savedBefore);
    EXPECT_EQ(entries(bookFolder), (QStringList {QStringLiteral("History.jsonl"), QStringLiteral("Words.json")}));
    EXPECT_EQ(entries(folder + QStringLiteral("/config")), QStringList {QStringLiteral("app.lumivox.json")});

    // Room again: the next change writes the saved words, the next look-up the whole history.
    ASSERT_TRUE(QFile::remove(folder + QStringLiteral("/filler")));
    const WordLookup sky = lookup(QStringLiteral("sky"), now);
    book.save(sky, now);
    book.record(sky);
    clock->advance(WordBook::saveDelay);
    WordBookStorage::writeQueue().drain();
    const auto written = WordBookStorage::decodeWordBookFile(WordBookEnvironment::contents(saved));
    ASSERT_TRUE(written) << written.error.toStdString();
    EXPECT_EQ(*written.value, book.saved());
    const auto history = WordBookStorage::readHistory(bookFolder + QStringLiteral("/History.jsonl"), clock->wallNow());
    EXPECT_EQ(history.lookups, std::vector<WordLookup>(book.history().cbegin(), book.history().cend()));
    EXPECT_EQ(history.lookups.size(), 3u);
    EXPECT_TRUE(book.flush());

    // The preferences at quit.
    EXPECT_TRUE(defaults->synchronize());
    EXPECT_EQ(PreferenceStore(preferencesFile, clock).string(QStringLiteral("holdKey")), QStringLiteral("ctrl"));
}

TEST(FullDisk, FailedSavesAreLoggedAndMadeAgainOnceThereIsRoom)
{
    QTemporaryDir mountPoint;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LUMIVOX_FULL_DISK_FOLDER"), mountPoint.path());
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    // A user namespace makes the test the root of its own mount namespace, where it may mount.
    child.start(QStringLiteral("unshare"),
                {QStringLiteral("--user"), QStringLiteral("--map-root-user"), QStringLiteral("--mount"),
                 QCoreApplication::applicationFilePath(),
                 QStringLiteral("--gtest_filter=FullDiskChild.DISABLED_SavesOnAFullDisk"),
                 QStringLiteral("--gtest_also_run_disabled_tests")});
    ASSERT_TRUE(child.waitForFinished(240'000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}
