// A full disk, for real: a small tmpfs mounted in a private user and mount namespace (so no
// privileges are needed and nothing outlives the test). Saves that fail there are logged with the
// system's reason, told once per cause, never reported as done, leave the old files whole (a history
// line whole or not at all) and no temporary behind, and are made again once there is room, without
// waiting for a change. The real program tells of a save it could not make by notification, and of
// one it still could not make as it ends, on the terminal too, and ends with a failure.

#include "Fakes/FakeClock.h"
#include "Fakes/FakeWordBookEnvironment.h"
#include "Support/NotificationWatch.h"
#include "Support/RunningLumivox.h"
#include "Support/TestSupport.h"

#include <QProcess>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
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

// Runs the test `child` of this program in a user and mount namespace of its own, the user mapped as
// `mapping` says; the child's output, for a failure's message.
void runInOwnNamespaces(const QString &child, const QStringList &mapping, const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("unshare"),
                  mapping
                      + QStringList {QStringLiteral("--mount"), QCoreApplication::applicationFilePath(),
                                     QStringLiteral("--gtest_filter=") + child,
                                     QStringLiteral("--gtest_also_run_disabled_tests")});
    ASSERT_TRUE(process.waitForFinished(400'000));
    const QByteArray output = process.readAll();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
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
    QSignalSpy bookFailures(&book, &WordBook::writeFailed);
    QSignalSpy settingsFailures(defaults.get(), &PreferenceStore::writeFailed);
    book.record(lookup(QStringLiteral("house"), now));
    book.save(lookup(QStringLiteral("house"), now), now);
    ASSERT_TRUE(book.flush());
    ASSERT_TRUE(defaults->synchronize());
    const QByteArray savedBefore = WordBookEnvironment::contents(saved);
    const QString historyFile = bookFolder + QStringLiteral("/History.jsonl");
    const QByteArray historyBefore = WordBookEnvironment::contents(historyFile);

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
    EXPECT_TRUE(WordBookEnvironment::contents(historyFile) == historyBefore) << "a line whole or not at all";
    EXPECT_EQ(
        entries(bookFolder),
        (QStringList {QStringLiteral(".lumivox.lock"), QStringLiteral("History.jsonl"), QStringLiteral("Words.json")}));
    EXPECT_EQ(entries(folder + QStringLiteral("/config")), QStringList {QStringLiteral("app.lumivox.json")});

    // Told once for each file, with the system's number, however often the writes fail again.
    book.save(lookup(QStringLiteral("tree"), now), now);
    defaults->set(QStringLiteral("holdKey"), QStringLiteral("shift"));
    EXPECT_FALSE(book.flush());
    EXPECT_FALSE(defaults->synchronize());
    QCoreApplication::processEvents();
    ASSERT_EQ(bookFailures.size(), 2);
    const auto told = [](const QList<QVariant> &signal) { return signal.at(0).value<WriteFailure>(); };
    // The look-up's line was queued before the saved words.
    EXPECT_EQ(told(bookFailures.at(0)).file, UserFile::history);
    EXPECT_EQ(told(bookFailures.at(1)).file, UserFile::savedWords);
    ASSERT_EQ(settingsFailures.size(), 1);
    EXPECT_EQ(told(settingsFailures.at(0)).path, preferencesFile);
    for (const auto &failure : book.writeFailures())
        EXPECT_EQ(failure.why.code, ENOSPC) << failure.why.error.toStdString();
    EXPECT_EQ(book.writeFailures().size(), 2u);
    EXPECT_EQ(defaults->writeFailure()->why.code, ENOSPC);

    // Room again: both stores write what they kept without waiting for another change.
    ASSERT_TRUE(QFile::remove(folder + QStringLiteral("/filler")));
    clock->advance(WordBook::retryDelay);
    WordBookStorage::writeQueue().drain();
    QCoreApplication::processEvents();
    // The settings are written on their own writer.
    EXPECT_TRUE(spinUntil([&] { return WordBookEnvironment::contents(preferencesFile).contains("shift"); }));
    EXPECT_TRUE(book.writeFailures().empty());
    EXPECT_FALSE(defaults->writeFailure());
    const auto written = WordBookStorage::decodeWordBookFile(WordBookEnvironment::contents(saved));
    ASSERT_TRUE(written) << written.error.toStdString();
    EXPECT_EQ(*written.value, book.saved());
    EXPECT_EQ(written.value->size(), 3u);
    const auto history = WordBookStorage::readHistory(historyFile, clock->wallNow());
    EXPECT_EQ(history.lookups, std::vector<WordLookup>(book.history().cbegin(), book.history().cend()));
    EXPECT_EQ(history.lookups.size(), 2u);
    EXPECT_TRUE(book.flush());
    EXPECT_TRUE(defaults->synchronize());
}

TEST(FullDisk, FailedSavesAreToldOnceAndMadeAgainOnceThereIsRoom)
{
    QTemporaryDir mountPoint;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LUMIVOX_FULL_DISK_FOLDER"), mountPoint.path());
    // A user namespace makes the test the root of its own mount namespace, where it may mount.
    runInOwnNamespaces(QStringLiteral("FullDiskChild.DISABLED_SavesOnAFullDisk"),
                       {QStringLiteral("--user"), QStringLiteral("--map-root-user")}, environment);
}

// The child half of the next test: the real program in the private session, the folder of its word
// book on a small tmpfs.
TEST(FullDiskChild, DISABLED_TheProgramOnAFullDisk)
{
    NotificationWatch watch;
    ASSERT_TRUE(watch.started()) << "dbus-monitor did not start";
    XTestInjector keys;
    ASSERT_TRUE(keys.ok());
    FixtureProcess gtk;
    ASSERT_TRUE(gtk.start(QStringLiteral("gtk_text_fixture"),
                          {"--at", "40", "40", "--text", "The clever fox found a pineapple and a lantern."}));
    QString folder;
    const QByteArray before = WordBookStorage::encodeWordBookFile(wordsNamed(QStringLiteral("kept"), 1));
    RunningLumivox app(RunningLumivox::everydayPreferences, {QStringLiteral("--autostart")}, [&](const QString &home) {
        const QString book = home + QStringLiteral("/app.lumivox");
        if (!QDir().mkpath(book)
            || ::mount("tmpfs", QFile::encodeName(book).constData(), "tmpfs", 0, "size=256k,mode=0700") != 0)
            return;
        folder = book;
        WordBookEnvironment::put(folder + QStringLiteral("/Words.json"), before);
        fill(folder + QStringLiteral("/filler"));
    });
    ASSERT_FALSE(folder.isEmpty()) << "no tmpfs: " << std::strerror(errno);
    ASSERT_TRUE(app.waitUntilIdle()) << app.logText();
    const QString words = folder + QStringLiteral("/Words.json");
    const auto hasWords = [&](std::initializer_list<const char *> wanted) {
        const QByteArray bytes = WordBookEnvironment::contents(words);
        return std::all_of(wanted.begin(), wanted.end(),
                           [&](const char *word) { return bytes.contains(QByteArray("\"") + word + '"'); });
    };

    // The tooltip says "Saved to Words"; the write a moment later fails, and a notification says so.
    ASSERT_TRUE(app.saveWordAt(keys, wordBox(gtk, "view:pineapple"))) << app.logText();
    ASSERT_TRUE(
        spinUntil([&] { return !watch.callsContaining(QStringLiteral("could not save your words")).isEmpty(); }, 20s))
        << watch.calls().join(QStringLiteral("---\n")).toStdString() << app.logText();
    EXPECT_TRUE(watch.calls().constLast().contains(QStringLiteral("Words.json could not be written: the disk is full")))
        << watch.calls().constLast().toStdString();
    EXPECT_EQ(WordBookEnvironment::contents(words), before);

    // Room again: the next change writes the word kept in memory with it.
    ASSERT_TRUE(QFile::remove(folder + QStringLiteral("/filler")));
    ASSERT_TRUE(app.saveWordAt(keys, wordBox(gtk, "view:lantern"))) << app.logText();
    ASSERT_TRUE(spinUntil([&] { return hasWords({"kept0", "pineapple", "lantern"}); }, 20s)) << app.logText();
    const QByteArray written = WordBookEnvironment::contents(words);

    // Full again, and the program is ended before the next word is written.
    fill(folder + QStringLiteral("/filler"));
    ASSERT_TRUE(app.saveWordAt(keys, wordBox(gtk, "view:clever"))) << app.logText();
    ::kill(app.process.processId(), SIGTERM);
    ASSERT_TRUE(app.process.waitForFinished(30000));
    app.log += app.process.readAllStandardError();
    EXPECT_EQ(app.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.process.exitCode(), 1) << app.logText();
    EXPECT_TRUE(app.log.contains("Words.json could not be written (No space left on device)")) << app.logText();
    EXPECT_TRUE(spinUntil(
        [&] { return !watch.callsContaining(QStringLiteral("Lumivox quit without saving your words")).isEmpty(); },
        10s))
        << watch.calls().join(QStringLiteral("---\n")).toStdString();
    EXPECT_EQ(WordBookEnvironment::contents(words), written) << "the file on disk is as it was";
    ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
}

TEST(FullDisk, TheProgramTellsOfAWordItCouldNotSaveAndEndsWithAFailure)
{
    // The user stays who they are, so that the session's bus knows the program; the capabilities the
    // namespace gives are kept for the mount.
    runInOwnNamespaces(QStringLiteral("FullDiskChild.DISABLED_TheProgramOnAFullDisk"),
                       {QStringLiteral("--map-current-user"), QStringLiteral("--keep-caps")},
                       QProcessEnvironment::systemEnvironment());
}
