// Every file the program keeps, held to one standard: the preference file (and the translation cache
// inside it), Words.json, History.jsonl and diagnostics.json. Whatever is found in a file's place, a
// start never hangs, never floods memory, never writes through a link and never loses what could
// be read; files are the user's alone; a kill at any moment leaves each file whole and no leftovers
// after the next start.

#include "Fakes/FakeWordBookEnvironment.h"
#include "Services/Translation/TranslationStore.h"
#include "Shared/Diagnostics/DiagnosticLog.h"
#include "Shared/Storage/FolderLock.h"
#include "Support/TestSupport.h"

#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

using FileStatus = struct stat;

const QString preferencesFile = QStringLiteral("Lumivox/app.lumivox.json");
const QString diagnosticsFile = QStringLiteral("Lumivox/diagnostics.json");
const QString bookFolder = QStringLiteral("app.lumivox");

struct Store
{
    const char *name;
    QString file; // inside the folder
    /// Starts the store over the folder as the program does, changes something and writes it out;
    /// whether the store says the file holds the change (the diagnostics log does not say).
    std::function<bool(const QString &folder, const std::shared_ptr<FakeClock> &clock)> startAndWrite;
    /// The largest file it reads.
    qint64 cap;
};

WordBook book(const QString &folder, const std::shared_ptr<FakeClock> &clock, bool keepsHistory)
{
    auto defaults = std::make_shared<PreferenceStore>(QString(), clock);
    defaults->set(WordBook::keepsHistoryKey, keepsHistory);
    return WordBook(QDir(folder).filePath(bookFolder), defaults, Date::fromWallTime(clock->wallNow()), clock,
                    Calendar(QTimeZone::utc()));
}

const std::vector<Store> &stores()
{
    static const std::vector<Store> all {
        {"preferences", preferencesFile,
         [](const QString &folder, const std::shared_ptr<FakeClock> &clock) {
             PreferenceStore store(QDir(folder).filePath(preferencesFile), clock);
             store.set(QStringLiteral("holdKey"), QStringLiteral("alt"));
             return store.synchronize();
         },
         PrivateFile::preferencesCap},
        {"translation cache", preferencesFile,
         [](const QString &folder, const std::shared_ptr<FakeClock> &clock) {
             auto defaults = std::make_shared<PreferenceStore>(QDir(folder).filePath(preferencesFile), clock);
             TranslationStore cache(defaults, 3000, 0, clock);
             cache.set(QStringLiteral("casa"), QStringLiteral("es:en:house"));
             return defaults->synchronize();
         },
         PrivateFile::preferencesCap},
        {"Words.json", bookFolder + QStringLiteral("/Words.json"),
         [](const QString &folder, const std::shared_ptr<FakeClock> &clock) {
             auto words = book(folder, clock, false);
             const Date now = Date::fromWallTime(clock->wallNow());
             words.save(lookup(QStringLiteral("house"), now), now);
             return words.flush();
         },
         PrivateFile::wordBookCap},
        {"History.jsonl", bookFolder + QStringLiteral("/History.jsonl"),
         [](const QString &folder, const std::shared_ptr<FakeClock> &clock) {
             auto words = book(folder, clock, true);
             words.record(lookup(QStringLiteral("house"), Date::fromWallTime(clock->wallNow())));
             return words.flush();
         },
         PrivateFile::wordBookCap},
        {"diagnostics.json", diagnosticsFile,
         [](const QString &folder, const std::shared_ptr<FakeClock> &clock) {
             DiagnosticLog log(QDir(folder).filePath(diagnosticsFile), true, 1500ms, clock);
             await(log.record(DiagnosticReason::ocrMiss, {}, QDateTime::currentDateTimeUtc()));
             await(log.flushNow());
             return true;
         },
         PrivateFile::diagnosticsCap},
    };
    return all;
}

QByteArray contents(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void put(const QString &file, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

mode_t modeOf(const QString &file)
{
    FileStatus info {};
    return ::lstat(QFile::encodeName(file).constData(), &info) == 0 ? info.st_mode : 0;
}

/// Everything under the folder, links and pipes included, never through a link.
QStringList everything(const QString &folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out.append(it.next());
    return out;
}

long peakMemoryKilobytes()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

TEST(StoreFiles, WhateverIsInAFilesPlaceTheStartEndsAndLosesNothingReadable)
{
    const QByteArray notes = "the user's own notes";
    const QByteArray brackets(20 * 1024 * 1024, '[');
    struct Hostile
    {
        const char *what;
        std::function<void(const QString &path, const QString &home)> put;
        QString linkTarget; // what a link in the file's place leads to
        QByteArray readable; // what must still be found in the store's folder afterwards
    };
    const std::vector<Hostile> hostiles {
        {"a pipe", [](const QString &path, const QString &) { ::mkfifo(QFile::encodeName(path).constData(), 0600); }},
        {"a link to a device",
         [](const QString &path, const QString &) { QFile::link(QStringLiteral("/dev/zero"), path); },
         QStringLiteral("/dev/zero")},
        {"a link to a file of the user's",
         [&](const QString &path, const QString &home) {
             put(home + QStringLiteral("/notes.txt"), notes);
             QFile::link(home + QStringLiteral("/notes.txt"), path);
         },
         QStringLiteral("notes.txt")},
        {"20 MB of [", [&](const QString &path, const QString &) { put(path, brackets); }, QString(), brackets},
        {"a folder", [](const QString &path, const QString &) { put(path + QStringLiteral("/precious"), "keep me"); },
         QString(), "keep me"},
    };

    for (const Store &store : stores()) {
        for (const Hostile &hostile : hostiles) {
            SCOPED_TRACE(std::string(store.name) + " with " + hostile.what + " in its place");
            QTemporaryDir folder;
            QTemporaryDir home;
            const QString path = QDir(folder.path()).filePath(store.file);
            QDir().mkpath(QFileInfo(path).absolutePath());
            hostile.put(path, home.path());
            const long memoryBefore = peakMemoryKilobytes();

            // A start that blocked on the pipe or read the device would never come back: the test
            // program's time-out fails it.
            const bool written = store.startAndWrite(folder.path(), std::make_shared<FakeClock>());

            // Parsing is refused past the nesting limit before a tree is built: tens of megabytes
            // at most, where the whole tree would take gigabytes.
            EXPECT_LT(peakMemoryKilobytes() - memoryBefore, 200 * 1024);
            if (hostile.linkTarget == QStringLiteral("notes.txt")) {
                EXPECT_EQ(contents(home.filePath(QStringLiteral("notes.txt"))), notes) << "written through the link";
            }

            const QStringList found = everything(folder.path());
            if (!hostile.linkTarget.isEmpty()) {
                // The link is kept, beside the new file, leading where it led.
                const bool linkKept = std::any_of(found.cbegin(), found.cend(), [&](const QString &entry) {
                    return QFileInfo(entry).isSymLink()
                        && QFileInfo(entry).symLinkTarget().endsWith(hostile.linkTarget);
                });
                EXPECT_TRUE(linkKept);
            }
            if (!hostile.readable.isEmpty()) {
                const bool kept = std::any_of(found.cbegin(), found.cend(), [&](const QString &entry) {
                    return QFileInfo(entry).isFile() && !QFileInfo(entry).isSymLink()
                        && contents(entry) == hostile.readable;
                });
                EXPECT_TRUE(kept);
            }
            // Written afresh, as a file of ours.
            EXPECT_TRUE(written);
            EXPECT_TRUE(S_ISREG(modeOf(path)));
        }
    }
}

TEST(StoreFiles, EachFileIsReadUpToItsCapAndSetAsideBeyondIt)
{
    for (const Store &store : stores()) {
        for (const qint64 extra : {0, 1}) {
            SCOPED_TRACE(std::string(store.name) + (extra ? ", one byte over its cap" : ", at its cap"));
            QTemporaryDir folder;
            const QString path = QDir(folder.path()).filePath(store.file);
            ASSERT_TRUE(store.startAndWrite(folder.path(), std::make_shared<FakeClock>()));
            // What the store wrote itself, made up to the size with line feeds (white space in JSON,
            // empty lines in the history).
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::Append));
            ASSERT_TRUE(file.write(QByteArray(store.cap + extra - file.size(), '\n')));
            file.close();

            ASSERT_TRUE(store.startAndWrite(folder.path(), std::make_shared<FakeClock>()));
            const QStringList aside = QDir(QFileInfo(path).absolutePath())
                                          .entryList({QStringLiteral("*-unreadable-*")}, QDir::Files | QDir::System);
            EXPECT_EQ(aside.size(), extra) << aside.join(' ').toStdString();
        }
    }
}

TEST(StoreFiles, AreTheUsersAloneWhateverTheUmaskAndAnOpenFolderIsNarrowed)
{
    const mode_t previous = ::umask(0);
    for (const Store &store : stores()) {
        SCOPED_TRACE(store.name);
        QTemporaryDir folder;
        const QString path = QDir(folder.path()).filePath(store.file);
        const QString storeFolder = QFileInfo(path).absolutePath();
        ASSERT_TRUE(QDir().mkpath(storeFolder));
        ::chmod(QFile::encodeName(storeFolder).constData(), 0755);

        EXPECT_TRUE(store.startAndWrite(folder.path(), std::make_shared<FakeClock>()));
        EXPECT_EQ(modeOf(path) & 07777, 0600u);
        EXPECT_EQ(modeOf(storeFolder) & 07777, 0700u);
    }
    ::umask(previous);
}

namespace {

std::deque<WordLookup> historyNamed(const QString &stem, Date when)
{
    std::deque<WordLookup> history;
    for (const SavedWord &word : wordsNamed(stem, 200)) {
        WordLookup l = word.encounters.front();
        l.date = when;
        history.push_back(l);
    }
    return history;
}

// Where the writer child and the restarts find the files.
struct Layout
{
    QString folder;
    QString book() const { return QDir(folder).filePath(bookFolder); }
    QString saved() const { return QDir(book()).filePath(WordBookStorage::savedFileName); }
    QString history() const { return QDir(book()).filePath(WordBookStorage::historyFileName); }
    QString preferences() const { return QDir(folder).filePath(preferencesFile); }
    QString diagnostics() const { return QDir(folder).filePath(diagnosticsFile); }
};

const Date historyDate = Date::fromWallTime(std::chrono::system_clock::time_point(std::chrono::seconds(1'800'000'000)));

} // namespace

// The child half of the next test: writes every store, with two alternating versions, until killed.
TEST(StoreFilesChild, DISABLED_WritesEveryStoreUntilKilled)
{
    const Layout files {qEnvironmentVariable("LUMIVOX_STORES_FOLDER")};
    ASSERT_FALSE(files.folder.isEmpty());
    const auto alpha = wordsNamed(QStringLiteral("alpha"), 300);
    const auto beta = wordsNamed(QStringLiteral("beta"), 300);
    const auto historyAlpha = historyNamed(QStringLiteral("alpha"), historyDate);
    const auto historyBeta = historyNamed(QStringLiteral("beta"), historyDate);
    PreferenceStore preferences(files.preferences());
    DiagnosticLog log(files.diagnostics(), false, 1h);
    for (int i = 0;; ++i) {
        const bool even = i % 2 == 0;
        WordBookStorage::write(even ? alpha : beta, files.saved());
        WordBookStorage::rewrite(even ? historyAlpha : historyBeta, files.history());
        preferences.set(QStringLiteral("version"), even ? QStringLiteral("alpha") : QStringLiteral("beta"));
        preferences.synchronize();
        log.post(DiagnosticReason::ocrMiss, {.detail = even ? QStringLiteral("alpha") : QStringLiteral("beta")});
        log.flushBeforeQuit(10s);
    }
}

TEST(StoreFilesKill, AWriteKilledAtAnyMomentLeavesEveryFileWholeAndNoLeftoversAfterTheNextStart)
{
    QTemporaryDir folder;
    const Layout files {folder.path()};
    const auto alpha = wordsNamed(QStringLiteral("alpha"), 300);
    const auto beta = wordsNamed(QStringLiteral("beta"), 300);
    const auto historyAlpha = historyNamed(QStringLiteral("alpha"), historyDate);
    const auto historyBeta = historyNamed(QStringLiteral("beta"), historyDate);
    const QStringList ours {WordBookStorage::savedFileName, WordBookStorage::historyFileName,
                            QStringLiteral("app.lumivox.json"), QStringLiteral("diagnostics.json"),
                            FolderLock::fileName};
    // Copies the user made beside the files: no start may take them for leftovers of a write.
    const QStringList usersCopies {
        files.saved() + QStringLiteral(".bak123"),   files.saved() + QStringLiteral(".Backup"),
        files.saved() + QStringLiteral(".OLD123"),   files.saved() + QStringLiteral(".Ab12Cd"),
        files.history() + QStringLiteral(".backup"), files.preferences() + QStringLiteral(".old001")};
    QRandomGenerator random(11);

    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        FileStatus before {};
        ::stat(QFile::encodeName(files.diagnostics()).constData(), &before);

        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LUMIVOX_STORES_FOLDER"), files.folder);
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=StoreFilesChild.DISABLED_WritesEveryStoreUntilKilled"),
                     QStringLiteral("--gtest_also_run_disabled_tests")});
        ASSERT_TRUE(child.waitForStarted());
        // Kill only once the child has been round every store at least once, at a random moment after.
        const bool wrote = spinUntil(
            [&] {
                FileStatus now {};
                return ::stat(QFile::encodeName(files.diagnostics()).constData(), &now) == 0
                    && now.st_ino != before.st_ino;
            },
            30s);
        QThread::usleep(random.bounded(50'000));
        child.kill();
        child.waitForFinished();
        ASSERT_TRUE(wrote) << child.readAllStandardError().toStdString();

        if (round == 0) {
            for (const QString &copy : usersCopies)
                put(copy, "the user's copy");
            // A temporary of ours that an earlier kill left goes the same way as this kill's.
            put(QDir(files.book()).filePath(QStringLiteral(".Words.json.lumivox-Qx7Kp2")), "stray");
        }

        // The next start.
        auto clock = std::make_shared<FakeClock>();
        auto words = book(files.folder, clock, true);
        EXPECT_TRUE(words.saved() == alpha || words.saved() == beta);
        EXPECT_TRUE(words.history() == historyAlpha || words.history() == historyBeta);
        PreferenceStore preferences(files.preferences(), clock);
        EXPECT_TRUE(preferences.string(QStringLiteral("version")) == QStringLiteral("alpha")
                    || preferences.string(QStringLiteral("version")) == QStringLiteral("beta"));
        DiagnosticLog log(files.diagnostics(), true, 1h, clock);
        EXPECT_FALSE(await(log.snapshot()).empty());

        for (const QString &entry : everything(files.folder)) {
            const QFileInfo info(entry);
            EXPECT_TRUE(info.isDir() || ours.contains(info.fileName()) || usersCopies.contains(entry))
                << entry.toStdString();
        }
        for (const QString &copy : usersCopies)
            EXPECT_EQ(contents(copy), "the user's copy") << copy.toStdString();
    }
}
