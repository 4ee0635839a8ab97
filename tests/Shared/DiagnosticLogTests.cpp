#include "Fakes/FakeClock.h"
#include "Shared/Diagnostics/DiagnosticLog.h"
#include "Support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>

#include <sys/stat.h>

using namespace Lumivox;
using namespace std::chrono_literals;
using Testing::await;
using Reason = DiagnosticReason;
using Update = AppTally::Update;

namespace {

QDateTime at(int seconds)
{
    return QDateTime::fromSecsSinceEpoch(1'800'000'000 + seconds, Qt::UTC);
}

class DiagnosticLogTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    std::shared_ptr<Testing::FakeClock> clock = std::make_shared<Testing::FakeClock>();

    QString path() const { return dir.filePath(QStringLiteral("Lumivox/diagnostics.json")); }

    std::unique_ptr<DiagnosticLog> makeLog(std::optional<QString> file, bool load = true)
    {
        return std::make_unique<DiagnosticLog>(std::move(file), load, 1500ms, clock);
    }
    std::unique_ptr<DiagnosticLog> makeLog() { return makeLog(path()); }

    void writeFile(const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path()).absolutePath());
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readFile() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Waits for the executor (jobs run in order) after the fake clock fired a delayed write.
    static void settle(DiagnosticLog &log) { await(log.snapshot()); }

    static void record(DiagnosticLog &log, Reason reason, DiagnosticLog::Note note, int second = 0)
    {
        await(log.record(reason, std::move(note), at(second)));
    }
};

TEST_F(DiagnosticLogTest, RepeatsFoldIntoOneEntryButEachHoverIsAnEvent)
{
    auto log = makeLog(std::nullopt);
    for (int i = 0; i < 3; ++i)
        record(*log, Reason::ocrMiss, {.detail = QStringLiteral("no text"), .app = QStringLiteral("org.gnome.Gedit")},
               i);

    auto entries = await(log->snapshot());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].count, 3);
    EXPECT_EQ(entries[0].first, at(0));
    EXPECT_EQ(entries[0].last, at(2));
    EXPECT_EQ(await(log->recordedEvents()).size(), 3u);

    // Only the last entry is compared: A, B, A are three entries.
    record(*log, Reason::busy, {}, 3);
    record(*log, Reason::ocrMiss, {.detail = QStringLiteral("no text"), .app = QStringLiteral("org.gnome.Gedit")}, 4);
    EXPECT_EQ(await(log->snapshot()).size(), 3u);
}

TEST_F(DiagnosticLogTest, DetailAndAppAreSanitizedBeforeTheyAreCompared)
{
    auto log = makeLog(std::nullopt);
    record(*log, Reason::googleFailed, {.detail = QStringLiteral("HTTP, 403\n"), .app = QStringLiteral("a\"pp")});
    record(*log, Reason::googleFailed, {.detail = QStringLiteral("HTTP 403"), .app = QStringLiteral("app")});

    const auto entries = await(log->snapshot());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].detail, QStringLiteral("HTTP 403"));
    EXPECT_EQ(entries[0].app, QStringLiteral("app"));
    EXPECT_EQ(entries[0].count, 2);
}

TEST_F(DiagnosticLogTest, EntriesKeepTheNewestForty)
{
    auto log = makeLog(std::nullopt);
    for (int i = 0; i < 41; ++i)
        record(*log, Reason::ocrMiss, {.detail = QString::number(i)}, i);
    const auto entries = await(log->snapshot());
    ASSERT_EQ(entries.size(), 40u);
    EXPECT_EQ(entries.front().detail, QStringLiteral("1"));
    EXPECT_EQ(entries.back().detail, QStringLiteral("40"));
}

TEST_F(DiagnosticLogTest, EventsEvictTheOldestSkipFirst)
{
    auto log = makeLog(std::nullopt);
    for (int i = 0; i < 200; ++i)
        record(*log, i == 149 ? Reason::pointerMoved : Reason::ocrMiss, {.detail = QString::number(i)}, i);
    record(*log, Reason::ocrMiss, {.detail = QStringLiteral("200")}, 200);

    auto events = await(log->recordedEvents());
    ASSERT_EQ(events.size(), 200u);
    EXPECT_EQ(events[0].source, QStringLiteral("0"));
    EXPECT_EQ(events[148].source, QStringLiteral("148"));
    EXPECT_EQ(events[149].source, QStringLiteral("150"));
    EXPECT_TRUE(
        std::none_of(events.begin(), events.end(), [](const auto &e) { return e.reason == Reason::pointerMoved; }));

    // No skip left: the oldest goes.
    record(*log, Reason::ocrMiss, {.detail = QStringLiteral("201")}, 201);
    events = await(log->recordedEvents());
    EXPECT_EQ(events.front().source, QStringLiteral("1"));
    EXPECT_EQ(events.back().source, QStringLiteral("201"));
}

TEST_F(DiagnosticLogTest, EventFields)
{
    auto log = makeLog(std::nullopt);
    record(*log, Reason::shown,
           {.detail = QStringLiteral("ocr"),
            .app = QStringLiteral("app"),
            .word = QStringLiteral("run"),
            .meaning = QStringLiteral("correr"),
            .role = QStringLiteral("AXStaticText"),
            .ms = 120,
            .stages = QStringLiteral("window 3 \u00B7 ocr 80")});
    record(*log, Reason::wordFiltered, {.detail = QStringLiteral("code"), .stages = QStringLiteral("window 3")});
    record(*log, Reason::captureEmpty, {.detail = QStringLiteral("blank"), .ms = 0});

    const auto events = await(log->recordedEvents());
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0],
              (DiagnosticEvent {at(0), QStringLiteral("app"), Reason::shown, QStringLiteral("run"),
                                QStringLiteral("correr"), QStringLiteral("ocr"), QStringLiteral("AXStaticText"),
                                QString(), 120, QStringLiteral("window 3 \u00B7 ocr 80")}));
    // Stages only travel with a duration; the detail doubles as extra except for shown and filtered.
    EXPECT_EQ(events[1].extra, QString());
    EXPECT_EQ(events[1].stages, std::nullopt);
    EXPECT_EQ(events[2].extra, QStringLiteral("blank"));
    EXPECT_EQ(events[2].ms, 0);
    EXPECT_EQ(events[2].stages, std::nullopt);
}

TEST_F(DiagnosticLogTest, TalliesCountPerApplication)
{
    auto log = makeLog(std::nullopt);
    const QString app = QStringLiteral("org.mozilla.firefox");
    auto note = [&](Update update) { record(*log, Reason::ocrMiss, {.app = app, .tally = update}); };
    note(Update::shown(QStringLiteral("ocr")));
    note(Update::shown(QStringLiteral("accessibility")));
    note(Update::axMiss(QStringLiteral("capture empty"), QStringLiteral("r1"), QStringLiteral("first")));
    note(Update::axMiss(QStringLiteral("ocr"), QStringLiteral("r1"), QStringLiteral("already")));
    for (int i = 2; i <= 7; ++i) // r2..r6 fill the six places; r7 finds none
        note(Update::axMiss(QStringLiteral("ocr"), QStringLiteral("r%1").arg(i), QString()));
    note(Update::translation(QString(100, QLatin1Char('e'))));
    note(Update::translation(QString()));
    for (int i = 0; i < 9; ++i)
        note(Update::translation(QStringLiteral("error %1").arg(i)));

    const AppTally t = await(log->appTallies()).at(app);
    EXPECT_EQ(t.shownOCR, 1);
    EXPECT_EQ(t.shownAccessibility, 1);
    EXPECT_EQ(t.axThenCaptureEmpty, 1);
    EXPECT_EQ(t.axThenUnreadable, 7);
    EXPECT_EQ(t.webAXFirst, 1);
    EXPECT_EQ(t.webAXStillMissed, 1);
    EXPECT_EQ(t.roles.size(), 6u);
    EXPECT_EQ(t.roles.at(QStringLiteral("r1")), 2);
    EXPECT_FALSE(t.roles.contains(QStringLiteral("r7")));
    EXPECT_EQ(t.translationErrors.size(), 8u);
    EXPECT_EQ(t.translationErrors.at(QString(80, QLatin1Char('e'))), 1);
}

TEST_F(DiagnosticLogTest, TalliesNeedAnAppAndKeepTheFortyMostActive)
{
    auto log = makeLog(std::nullopt);
    record(*log, Reason::shown, {.tally = Update::shown(QStringLiteral("ocr"))});
    EXPECT_TRUE(await(log->appTallies()).empty());
    EXPECT_EQ(await(log->snapshot()).size(), 1u);

    for (int i = 0; i < 40; ++i) {
        const QString app = QStringLiteral("app%1").arg(i, 2, 10, QLatin1Char('0'));
        record(*log, Reason::shown, {.app = app, .tally = Update::shown(QStringLiteral("ocr"))});
        if (i != 7)
            record(*log, Reason::shown, {.app = app, .tally = Update::shown(QStringLiteral("ocr"))});
    }
    // A newcomer with one hover is as active as app07; the map's order puts app07 first.
    record(*log, Reason::shown, {.app = QStringLiteral("new"), .tally = Update::shown(QStringLiteral("ocr"))});
    auto tallies = await(log->appTallies());
    EXPECT_EQ(tallies.size(), 40u);
    EXPECT_FALSE(tallies.contains(QStringLiteral("app07")));
    EXPECT_TRUE(tallies.contains(QStringLiteral("new")));

    // The newcomer is the quietest and goes itself.
    record(*log, Reason::wordFiltered, {.app = QStringLiteral("zz"), .tally = Update::filtered()});
    tallies = await(log->appTallies());
    EXPECT_EQ(tallies.size(), 40u);
    EXPECT_FALSE(tallies.contains(QStringLiteral("zz")));
}

TEST_F(DiagnosticLogTest, PostCleansTheTexts)
{
    auto log = makeLog(std::nullopt);
    const QString longWord = QString(60, QLatin1Char('w'));
    log->post(Reason::shown,
              {.detail = QStringLiteral("ocr!"),
               .app = QStringLiteral("com.example.Editor\n"),
               .tally = Update::axMiss(QStringLiteral("ocr"), QStringLiteral("AX<Role>"), QString()),
               .word = QStringLiteral("\"quoted\"\r\nword\u202E"),
               .meaning = longWord,
               .role = QStringLiteral("AX\tText")});

    const auto events = await(log->recordedEvents());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].word, QStringLiteral("quotedword"));
    EXPECT_EQ(events[0].meaning, QString(48, QLatin1Char('w')));
    EXPECT_EQ(events[0].app, QStringLiteral("com.example.Editor"));
    EXPECT_EQ(events[0].source, QStringLiteral("ocr"));
    EXPECT_EQ(events[0].role, QStringLiteral("AXText"));
    EXPECT_TRUE(
        await(log->appTallies()).at(QStringLiteral("com.example.Editor")).roles.contains(QStringLiteral("AXRole")));
    EXPECT_EQ(events[0].at, QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC));

    // A translation error's text is cleaned like a detail; a note without a tally touches no tally.
    log->post(
        Reason::googleFailed,
        {.app = QStringLiteral("com.example.Editor"), .tally = Update::translation(QStringLiteral("HTTP 500\n<b>"))});
    log->post(Reason::busy, {.app = QStringLiteral("com.example.Editor"), .word = QStringLiteral("w\n")});
    const AppTally tally = await(log->appTallies()).at(QStringLiteral("com.example.Editor"));
    EXPECT_EQ(tally.translationErrors, (std::map<QString, qint64> {{QStringLiteral("HTTP 500b"), 1}}));
    EXPECT_EQ(tally.roles.size(), 1u);
    EXPECT_EQ(await(log->recordedEvents()).back().word, QStringLiteral("w"));
}

// The log line of a new entry is read by people and says the reason as the report does; the stored
// file keeps the raw name.
TEST_F(DiagnosticLogTest, TheLogLineNamesTheReasonInTheReportsWords)
{
    static QMutex mutex;
    static QStringList lines;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &context, const QString &message) {
            if (QLatin1String(context.category) == QLatin1String("app.lumivox.Outcomes")) {
                const QMutexLocker lock(&mutex);
                lines.append(message);
            }
        });
    auto log = makeLog();
    record(*log, Reason::appleModelMissing, {.detail = QStringLiteral("en-zh")});
    await(log->flushNow());
    qInstallMessageHandler(previous);
    const QMutexLocker lock(&mutex);
    EXPECT_EQ(lines, QStringList {QStringLiteral("on-device model missing en-zh")});
    EXPECT_TRUE(readFile().contains("\"appleModelMissing\"")) << readFile().toStdString();
}

TEST_F(DiagnosticLogTest, NoteDoesNothingInATestHost)
{
    EXPECT_EQ(DiagnosticLog::storeURL(), std::nullopt);
    auto log = makeLog();
    log->note(Reason::ocrMiss, {.detail = QStringLiteral("x")});
    EXPECT_TRUE(await(log->snapshot()).empty());
}

TEST_F(DiagnosticLogTest, ABurstOfNotesIsOneWriteOnceActivityPauses)
{
    auto log = makeLog();
    for (int i = 0; i < 10; ++i) {
        log->post(Reason::ocrMiss, {.detail = QString::number(i)});
        // Recorded, and its write scheduled, before the clock moves on.
        settle(*log);
        clock->advance(100ms);
    }
    settle(*log);
    EXPECT_FALSE(QFile::exists(path()));

    // The last note came at 0.9 s.
    clock->advance(1300ms);
    settle(*log);
    EXPECT_FALSE(QFile::exists(path()));
    clock->advance(100ms);
    settle(*log);
    ASSERT_TRUE(QFile::exists(path()));

    QFile::remove(path());
    clock->advance(10s);
    settle(*log);
    EXPECT_FALSE(QFile::exists(path())) << "a second write came from the same burst";
}

// Hovers with the hold key "always" and no pause between them: the file must not wait for a pause
// that never comes, or a crash or a kill after minutes of hovering leaves no diagnostics at all.
TEST_F(DiagnosticLogTest, HoversThatNeverPauseAreWrittenWithinTheBoundOfTheFirstUnwrittenOne)
{
    auto log = makeLog();
    constexpr auto spacing = 250ms;
    std::optional<int> firstUnwritten;
    int writes = 0;
    for (int i = 0; i < 200; ++i) {
        SCOPED_TRACE(i);
        log->post(Reason::ocrMiss, {.detail = QStringLiteral("hover %1").arg(i)});
        settle(*log);
        if (!firstUnwritten)
            firstUnwritten = i;
        clock->advance(spacing);
        settle(*log);
        if (!QFile::exists(path())) {
            ASSERT_LT((i - *firstUnwritten + 1) * spacing, DiagnosticLog::maxPersistWait)
                << "hover " << *firstUnwritten << " is still not in the file";
            continue;
        }
        const auto events = nlohmann::json::parse(readFile().toStdString())["events"];
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back()["source"], QStringLiteral("hover %1").arg(i).toStdString());
        ++writes;
        firstUnwritten.reset();
        QFile::remove(path());
    }
    EXPECT_GE(writes, 9) << "fifty seconds of hovers, written every few seconds";
}

TEST_F(DiagnosticLogTest, RepeatedSkipsScheduleNoWrite)
{
    auto log = makeLog();
    record(*log, Reason::busy, {});
    clock->advance(2s);
    settle(*log);
    ASSERT_TRUE(QFile::exists(path()));

    QFile::remove(path());
    record(*log, Reason::busy, {});
    clock->advance(2s);
    settle(*log);
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(DiagnosticLogTest, WrittenFileReloadsTheSameViews)
{
    auto log = makeLog();
    record(*log, Reason::shown,
           {.detail = QStringLiteral("ocr"),
            .app = QStringLiteral("app"),
            .tally = Update::shown(QStringLiteral("ocr")),
            .word = QStringLiteral("b\u00E4r"),
            .meaning = QStringLiteral("bear"),
            .ms = 90,
            .stages = QStringLiteral("ocr 80")});
    record(*log, Reason::ocrMiss,
           {.app = QStringLiteral("app"), .tally = Update::axMiss(QString(), QStringLiteral("AXGroup"), QString())}, 5);
    await(log->flushNow());

    const QByteArray bytes = readFile();
    const auto json = nlohmann::json::parse(bytes.toStdString());
    EXPECT_EQ(json["entries"][0]["first"], "2027-01-15T08:00:00Z");
    EXPECT_FALSE(json["events"][1].contains("ms"));
    EXPECT_TRUE(bytes.startsWith("{\"apps\":{\"app\":{\"axThenCaptureEmpty\":0,")) << bytes.left(60).constData();
    struct stat info
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600);

    auto reloaded = makeLog();
    EXPECT_EQ(await(reloaded->snapshot()), await(log->snapshot()));
    EXPECT_EQ(await(reloaded->appTallies()), await(log->appTallies()));
    EXPECT_EQ(await(reloaded->recordedEvents()), await(log->recordedEvents()));
}

TEST_F(DiagnosticLogTest, LoadAcceptsTheStoreOrTheOlderBareArray)
{
    const QByteArray entry = R"({"reason":"ocrMiss","detail":"d","app":"a","count":4,
        "first":"2026-01-31T08:15:00Z","last":"2026-01-31T08:16:00Z"})";

    writeFile("[" + entry + "]");
    auto bare = makeLog();
    auto entries = await(bare->snapshot());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].count, 4);
    EXPECT_EQ(entries[0].last, QDateTime(QDate(2026, 1, 31), QTime(8, 16), Qt::UTC));
    EXPECT_TRUE(await(bare->recordedEvents()).empty());

    writeFile(R"({"entries":[)" + entry + R"(],"apps":{}})");
    auto noEvents = makeLog();
    EXPECT_EQ(await(noEvents->snapshot()).size(), 1u);
    EXPECT_TRUE(await(noEvents->recordedEvents()).empty());
}

TEST_F(DiagnosticLogTest, AnUnusableFileIsSetAsideAndTheLogStartsEmpty)
{
    const QByteArray tallyWithoutRoles = R"({"apps":{"a":{"shownAccessibility":1,"shownOCR":0,"shownCache":0,
        "axThenUnreadable":0,"axThenCaptureEmpty":0,"axThenCaptureFailed":0,"axThenNoScreenRecording":0,
        "pointerMoved":0,"filtered":0,"webAXFirst":0,"webAXStillMissed":0,"translationErrors":{}}}})";
    const std::vector<std::pair<const char *, QByteArray>> files = {
        {"truncated", R"({"entries":[{"reason":"ocrMiss","detail":)"},
        {"not JSON", "\x89PNG\r\n\x1a\n binary"},
        {"unknown reason",
         R"([{"reason":"Shown","detail":"","app":"","count":1,"first":"2026-01-31T08:15:00Z","last":"2026-01-31T08:15:00Z"}])"},
        {"a tally without a key", tallyWithoutRoles},
        {"nested beyond reason", QByteArray(200000, '[') + QByteArray(200000, ']')},
        {"enormous", "[" + QByteArray(DiagnosticLog::maxFileSize, ' ') + "]"},
    };
    const QDir folder(QFileInfo(path()).absolutePath());
    const QStringList asideNames {QStringLiteral("diagnostics-unreadable-*.json")};
    for (const auto &[what, bytes] : files) {
        SCOPED_TRACE(what);
        writeFile(bytes);
        const qsizetype asideBefore = folder.entryList(asideNames, QDir::Files).size();
        auto log = makeLog();
        EXPECT_TRUE(await(log->snapshot()).empty());
        EXPECT_TRUE(await(log->appTallies()).empty());
        // Kept whole beside the new file, under a name of its own.
        const QStringList aside = folder.entryList(asideNames, QDir::Files, QDir::Time);
        ASSERT_EQ(aside.size(), asideBefore + 1);
        const bool kept = std::any_of(aside.cbegin(), aside.cend(), [&](const QString &name) {
            QFile file(folder.filePath(name));
            return file.open(QIODevice::ReadOnly) && file.readAll() == bytes;
        });
        EXPECT_TRUE(kept);

        record(*log, Reason::ocrMiss, {});
        clock->advance(2s);
        settle(*log);
        const auto json = nlohmann::json::parse(readFile().toStdString(), nullptr, false);
        ASSERT_TRUE(json.is_object());
        EXPECT_EQ(json["entries"].size(), 1u);
    }
}

TEST_F(DiagnosticLogTest, AnUnwritableFolderKeepsTheLogInMemory)
{
    // A plain file where the folder should be.
    QFile blocker(dir.filePath(QStringLiteral("Lumivox")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    auto log = makeLog();
    record(*log, Reason::ocrMiss, {});
    await(log->flushNow());
    EXPECT_EQ(await(log->snapshot()).size(), 1u);
    EXPECT_TRUE(log->flushBeforeQuit(2s));
}

TEST_F(DiagnosticLogTest, QuittingWritesWhatTheDelayedWriteWouldHave)
{
    auto log = makeLog();
    record(*log, Reason::ocrMiss, {.detail = QStringLiteral("last words")});
    ASSERT_FALSE(QFile::exists(path()));

    // The event loop ends before the 1.5 s pass; the quit hook must write with its bounded wait.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();

    EXPECT_TRUE(readFile().contains("last words"));
}

TEST_F(DiagnosticLogTest, DestroyingTheLogWritesAPendingChange)
{
    auto log = makeLog();
    record(*log, Reason::ocrMiss, {.detail = QStringLiteral("pending")});
    log.reset();
    EXPECT_TRUE(readFile().contains("pending"));
}

} // namespace
