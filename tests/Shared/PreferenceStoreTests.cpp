#include "Fakes/FakeClock.h"
#include "Shared/Preferences/PreferenceStore.h"
#include "Support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

using namespace Lumivox;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class PreferenceStoreFile : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("Lumivox/app.lumivox.json")); }
    std::shared_ptr<Testing::FakeClock> clock = std::make_shared<Testing::FakeClock>();
};

} // namespace

TEST_F(PreferenceStoreFile, EveryTypeSurvivesARestartAsTheSameType)
{
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(1'712'345'678'901, Qt::UTC);
    const QByteArray binary("\x00\xff\x10 bytes", 9);
    PreferenceValue::Dictionary nested {
        {QStringLiteral("$date"), PreferenceValue(QStringLiteral("a key that looks like a tag"))},
        {QStringLiteral("$$odd"), PreferenceValue(qint64(2))},
        {QStringLiteral("plain"), PreferenceValue(PreferenceValue::List {PreferenceValue(true), PreferenceValue(1.5)})},
    };
    {
        PreferenceStore store(path(), clock);
        store.set(QStringLiteral("flag"), true);
        store.set(QStringLiteral("count"), qint64(std::numeric_limits<qint64>::min()));
        store.set(QStringLiteral("whole real"), 3.0);
        store.set(QStringLiteral("size"), 0.1);
        store.set(QStringLiteral("inf"), std::numeric_limits<double>::infinity());
        store.set(QStringLiteral("name"), QStringLiteral("Grüße 日本 😀"));
        store.set(QStringLiteral("apps"), QStringList {QStringLiteral("a"), QStringLiteral("b")});
        store.set(QStringLiteral("when"), when);
        store.set(QStringLiteral("blob"), binary);
        store.set(QStringLiteral("tagLike"),
                  PreferenceValue(PreferenceValue::Dictionary {{QStringLiteral("$date"), PreferenceValue(qint64(5))}}));
        store.set(QStringLiteral("nested"), PreferenceValue(nested));
        ASSERT_TRUE(store.synchronize());
    }
    PreferenceStore reloaded(path(), clock);
    EXPECT_EQ(reloaded.object(QStringLiteral("flag"))->type(), PreferenceValue::Type::boolean);
    EXPECT_EQ(reloaded.integer(QStringLiteral("count")), std::numeric_limits<qint64>::min());
    EXPECT_EQ(reloaded.object(QStringLiteral("whole real"))->type(), PreferenceValue::Type::real);
    EXPECT_EQ(reloaded.doubleValue(QStringLiteral("size")), 0.1);
    EXPECT_TRUE(std::isinf(reloaded.doubleValue(QStringLiteral("inf"))));
    EXPECT_EQ(reloaded.string(QStringLiteral("name")), QStringLiteral("Grüße 日本 😀"));
    EXPECT_EQ(reloaded.stringList(QStringLiteral("apps")), (QStringList {QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(reloaded.date(QStringLiteral("when")), when);
    EXPECT_EQ(reloaded.data(QStringLiteral("blob")), binary);
    const auto tagLike = reloaded.dictionary(QStringLiteral("tagLike"));
    ASSERT_TRUE(tagLike);
    EXPECT_EQ(tagLike->at(QStringLiteral("$date")), PreferenceValue(qint64(5)));
    EXPECT_EQ(reloaded.object(QStringLiteral("nested")), PreferenceValue(nested));
}

TEST(PreferenceValue, ConvertsBetweenTypesByPropertyListRules)
{
    // Booleans
    EXPECT_TRUE(PreferenceValue(qint64(2)).toBool());
    EXPECT_FALSE(PreferenceValue(0.0).toBool());
    EXPECT_TRUE(PreferenceValue(QStringLiteral("  yes")).toBool());
    EXPECT_TRUE(PreferenceValue(QStringLiteral("true")).toBool());
    EXPECT_TRUE(PreferenceValue(QStringLiteral("-007")).toBool());
    EXPECT_FALSE(PreferenceValue(QStringLiteral("0")).toBool());
    EXPECT_FALSE(PreferenceValue(QStringLiteral("no")).toBool());
    EXPECT_FALSE(PreferenceValue(QStringLiteral("false")).toBool());
    EXPECT_FALSE(PreferenceValue(QStringList {QStringLiteral("1")}).toBool());

    // Integers
    EXPECT_EQ(PreferenceValue(true).toInteger(), 1);
    EXPECT_EQ(PreferenceValue(-3.9).toInteger(), -3);
    EXPECT_EQ(PreferenceValue(1e300).toInteger(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(PreferenceValue(std::nan("")).toInteger(), 0);
    EXPECT_EQ(PreferenceValue(QStringLiteral(" 42abc")).toInteger(), 42);
    EXPECT_EQ(PreferenceValue(QStringLiteral("3.9")).toInteger(), 3);
    EXPECT_EQ(PreferenceValue(QStringLiteral("-99999999999999999999")).toInteger(), std::numeric_limits<qint64>::min());
    EXPECT_EQ(PreferenceValue(QStringLiteral("abc")).toInteger(), 0);
    EXPECT_EQ(PreferenceValue(QByteArray("12")).toInteger(), 0);

    // Reals
    EXPECT_EQ(PreferenceValue(qint64(7)).toDouble(), 7.0);
    EXPECT_EQ(PreferenceValue(QStringLiteral("2.5e3x")).toDouble(), 2500.0);
    EXPECT_EQ(PreferenceValue(QStringLiteral("-.5")).toDouble(), -0.5);
    EXPECT_EQ(PreferenceValue(QStringLiteral("e5")).toDouble(), 0.0);
    EXPECT_EQ(PreferenceValue(QStringLiteral("1e")).toDouble(), 1.0);
    EXPECT_TRUE(std::isinf(PreferenceValue(QStringLiteral("1e999")).toDouble()));
    // The exponent takes its own sign, in either letter case.
    EXPECT_EQ(PreferenceValue(QStringLiteral("1.5e-3")).toDouble(), 0.0015);
    EXPECT_EQ(PreferenceValue(QStringLiteral("1E+2")).toDouble(), 100.0);

    // Strings and string lists
    EXPECT_EQ(PreferenceValue(qint64(-12)).toString(), QStringLiteral("-12"));
    EXPECT_EQ(PreferenceValue(0.1).toString(), QStringLiteral("0.1"));
    EXPECT_EQ(PreferenceValue(true).toString(), QStringLiteral("1"));
    EXPECT_EQ(PreferenceValue(QByteArray("x")).toString(), std::nullopt);
    EXPECT_EQ(PreferenceValue(PreferenceValue::List {PreferenceValue(QStringLiteral("a")), PreferenceValue(1)})
                  .toStringList(),
              std::nullopt);
    EXPECT_EQ(PreferenceValue(QStringLiteral("a")).toStringList(), std::nullopt);

    // Dates and data are never made from other types
    EXPECT_EQ(PreferenceValue(QStringLiteral("2024-01-01T00:00:00Z")).toDate(), std::nullopt);
    EXPECT_EQ(PreferenceValue(QStringLiteral("abc")).toData(), std::nullopt);
}

TEST_F(PreferenceStoreFile, ChangesOfOnePassAreWrittenTogetherLater)
{
    PreferenceStore store(path(), clock);
    QSignalSpy changes(&store, &PreferenceStore::changed);
    store.set(QStringLiteral("a"), 1);
    store.set(QStringLiteral("b"), 2);
    store.remove(QStringLiteral("missing")); // nothing to remove: no change
    EXPECT_EQ(changes.count(), 2);
    EXPECT_FALSE(QFile::exists(path())) << "written before the event loop came round";
    clock->advance(std::chrono::milliseconds(0));
    store.synchronize(); // waits for the writer thread
    const auto onDisk = PreferenceStore::decode(readFile(path()));
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(onDisk->size(), 2u);
    EXPECT_EQ(clock->pendingCount(), 0u);
}

TEST_F(PreferenceStoreFile, ReadersNeverSeeAHalfWrittenFile)
{
    PreferenceStore store(path(), clock);
    std::map<QString, QString> big;
    for (int i = 0; i < 4000; ++i)
        big.emplace(QStringLiteral("es:auto:word%1").arg(i), QStringLiteral("palabra número %1").arg(i));
    store.set(QStringLiteral("big"), PreferenceValue::fromStringMap(big));
    ASSERT_TRUE(store.synchronize());

    std::atomic<bool> done {false};
    std::atomic<int> reads {0};
    std::atomic<int> broken {0};
    std::thread reader([&] {
        while (!done.load()) {
            const QByteArray bytes = readFile(path());
            ++reads;
            if (!PreferenceStore::decode(bytes))
                ++broken;
        }
    });
    for (int round = 0; round < 25; ++round) {
        store.set(QStringLiteral("round"), round);
        store.synchronize();
    }
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(broken.load(), 0);
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("Lumivox"))).entryList(QDir::Files).size(), 1)
        << "temporary files were left behind";
}

TEST_F(PreferenceStoreFile, AnUnreadableFileIsSetAsideAndNeverOverwritten)
{
    QDir().mkpath(dir.filePath(QStringLiteral("Lumivox")));
    const QByteArray garbage("{\"holdKey\": \"option\", truncated");
    writeFile(path(), garbage);
    clock->setWallNow(std::chrono::system_clock::time_point(std::chrono::seconds(1'700'000'123)));

    PreferenceStore store(path(), clock);
    EXPECT_TRUE(store.keys().isEmpty());
    EXPECT_TRUE(store.isPersistent());
    const QString aside = dir.filePath(QStringLiteral("Lumivox/app.lumivox-unreadable-1700000123.json"));
    EXPECT_EQ(readFile(aside), garbage);

    store.set(QStringLiteral("holdKey"), QStringLiteral("shift"));
    ASSERT_TRUE(store.synchronize());
    EXPECT_EQ(readFile(aside), garbage);
    EXPECT_EQ(PreferenceStore(path(), clock).string(QStringLiteral("holdKey")), QStringLiteral("shift"));
}

TEST_F(PreferenceStoreFile, OtherFilesThatAreNotAnObjectAreSetAsideToo)
{
    for (const QByteArray &content :
         {QByteArray(""), QByteArray("[1,2]"), QByteArray("\"text\""), QByteArray("{\"a\": \"\xff\xfe\"}")}) {
        QTemporaryDir scratch;
        const QString file = scratch.filePath(QStringLiteral("prefs.json"));
        writeFile(file, content);
        PreferenceStore store(file, clock);
        EXPECT_TRUE(store.keys().isEmpty()) << content.constData();
        EXPECT_FALSE(QFile::exists(file)) << content.constData();
        EXPECT_EQ(QDir(scratch.path()).entryList({QStringLiteral("prefs-unreadable-*.json")}).size(), 1);
    }
}

TEST_F(PreferenceStoreFile, AValueWithoutAValidFormIsDroppedAndTheRestLoads)
{
    QDir().mkpath(dir.filePath(QStringLiteral("Lumivox")));
    writeFile(path(),
              R"({"good": 1, "nothing": null, "badDate": {"$date": "yesterday"},
                         "badData": {"$data": "***"}, "listWithNull": [1, null],
                         "deep": )"
                  + QByteArray(100, '[') + QByteArray(100, ']') + "}");
    PreferenceStore store(path(), clock);
    EXPECT_EQ(store.keys(), QStringList {QStringLiteral("good")});
    EXPECT_TRUE(QFile::exists(path())) << "a readable file is not set aside";
}

TEST(PreferenceStore, MemoryOnlyStoresNeverWrite)
{
    PreferenceStore memory(QString(), std::make_shared<Testing::FakeClock>());
    memory.set(QStringLiteral("a"), 1);
    EXPECT_FALSE(memory.isPersistent());
    EXPECT_TRUE(memory.synchronize());
    // Tests run as a test host: the shared store must not touch the user's real settings.
    EXPECT_FALSE(PreferenceStore::standard()->isPersistent());
}
