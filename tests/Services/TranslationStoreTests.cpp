#include "Fakes/FakeClock.h"
#include "Services/Translation/TranslationStore.h"
#include "Support/TestSupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace std::chrono_literals;

namespace {

class TranslationStoreTest : public ::testing::Test
{
protected:
    std::shared_ptr<Testing::FakeClock> clock = std::make_shared<Testing::FakeClock>();
    std::shared_ptr<PreferenceStore> defaults = std::make_shared<PreferenceStore>(QString(), clock);

    std::unique_ptr<TranslationStore> makeStore(int limit, double delay = 2.0)
    {
        return std::make_unique<TranslationStore>(defaults, limit, delay, clock);
    }

    void storeCache(const std::map<QString, QString> &map, const QStringList &order)
    {
        defaults->set(TranslationStore::key, PreferenceValue::fromStringMap(map));
        defaults->set(TranslationStore::orderKey, order);
    }

    std::optional<QStringList> storedOrder() const { return defaults->stringList(TranslationStore::orderKey); }
};

QString word(int i)
{
    return QStringLiteral("es:auto:w%1").arg(i, 4, 10, QLatin1Char('0'));
}

} // namespace

TEST_F(TranslationStoreTest, EvictsByFirstInsertionWhateverWasReadOrUpdated)
{
    auto store = makeStore(3000);
    for (int i = 0; i < 3000; ++i)
        store->set(QStringLiteral("t%1").arg(i), word(i));
    EXPECT_EQ(store->value(word(0)), QStringLiteral("t0"));
    store->set(QStringLiteral("updated"), word(0)); // replacing keeps the place and the count
    EXPECT_EQ(store->count(), 3000);
    EXPECT_EQ(store->order().first(), word(0));

    store->set(QStringLiteral("new"), word(3000));
    EXPECT_EQ(store->count(), 3000);
    EXPECT_EQ(store->value(word(0)), std::nullopt);
    EXPECT_EQ(store->value(word(1)), QStringLiteral("t1"));
    EXPECT_EQ(store->order().first(), word(1));
    EXPECT_EQ(store->order().last(), word(3000));
}

TEST_F(TranslationStoreTest, AnOversizedStoredCacheIsTrimmedToTheNewestAndWrittenBackAtOnce)
{
    std::map<QString, QString> map;
    QStringList order;
    for (int i = 0; i < 3005; ++i) {
        map.emplace(word(i), QStringLiteral("t%1").arg(i));
        order.append(word(i));
    }
    storeCache(map, order);
    auto store = makeStore(3000);
    EXPECT_EQ(store->count(), 3000);
    EXPECT_EQ(store->value(word(4)), std::nullopt);
    EXPECT_EQ(store->value(word(5)), QStringLiteral("t5"));
    ASSERT_TRUE(storedOrder());
    EXPECT_EQ(storedOrder()->size(), 3000);
    EXPECT_EQ(storedOrder()->first(), word(5));
    EXPECT_EQ(defaults->dictionary(TranslationStore::key)->size(), 3000u);
}

TEST_F(TranslationStoreTest, RepairsTheStoredOrder)
{
    // "gone" has no entry; "b" and "a" are missing from the order; "c" is listed twice.
    storeCache({{QStringLiteral("c"), QStringLiteral("3")},
                {QStringLiteral("d"), QStringLiteral("4")},
                {QStringLiteral("b"), QStringLiteral("2")},
                {QStringLiteral("a"), QStringLiteral("1")}},
               {QStringLiteral("c"), QStringLiteral("gone"), QStringLiteral("d"), QStringLiteral("c")});
    const auto stored = storedOrder();
    // Exactly at its limit: full, but nothing to trim.
    auto store = makeStore(4);
    EXPECT_EQ(store->order(),
              (QStringList {QStringLiteral("c"), QStringLiteral("d"), QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(store->count(), 4);
    EXPECT_EQ(storedOrder(), stored) << "a cache within its limit is not rewritten on load";
    EXPECT_EQ(clock->pendingCount(), 0u);
}

TEST_F(TranslationStoreTest, ARepeatedStoredKeyDoesNotEvictAFreshEntryEarly)
{
    storeCache({{QStringLiteral("a"), QStringLiteral("1")}, {QStringLiteral("b"), QStringLiteral("2")}},
               {QStringLiteral("a"), QStringLiteral("a"), QStringLiteral("b")});
    auto store = makeStore(2);
    EXPECT_EQ(store->count(), 2);
    store->set(QStringLiteral("3"), QStringLiteral("c"));
    EXPECT_EQ(store->value(QStringLiteral("a")), std::nullopt);
    EXPECT_EQ(store->value(QStringLiteral("b")), QStringLiteral("2"));
    EXPECT_EQ(store->value(QStringLiteral("c")), QStringLiteral("3"));
    EXPECT_EQ(store->order(), (QStringList {QStringLiteral("b"), QStringLiteral("c")}));
}

TEST_F(TranslationStoreTest, StoredDataOfTheWrongShapeCountsAsAbsent)
{
    defaults->set(
        TranslationStore::key,
        PreferenceValue(PreferenceValue::Dictionary {{QStringLiteral("a"), PreferenceValue(QStringLiteral("1"))},
                                                     {QStringLiteral("b"), PreferenceValue(qint64(2))}}));
    defaults->set(TranslationStore::orderKey, QStringLiteral("a"));
    EXPECT_EQ(makeStore(10)->count(), 0);

    // An order that is not a list of strings is rebuilt from the map, sorted.
    storeCache({{QStringLiteral("z"), QStringLiteral("1")}, {QStringLiteral("m"), QStringLiteral("2")}}, {});
    defaults->set(TranslationStore::orderKey, PreferenceValue(PreferenceValue::List {PreferenceValue(1)}));
    EXPECT_EQ(makeStore(10)->order(), (QStringList {QStringLiteral("m"), QStringLiteral("z")}));
}

TEST_F(TranslationStoreTest, LegacyKeysAreRemovedAndNeverRead)
{
    defaults->set(QStringLiteral("translationCache"),
                  PreferenceValue::fromStringMap({{QStringLiteral("es:auto:old"), QStringLiteral("viejo")}}));
    defaults->set(QStringLiteral("translationCacheOrder"), QStringList {QStringLiteral("es:auto:old")});
    auto store = makeStore(10);
    EXPECT_FALSE(defaults->contains(QStringLiteral("translationCache")));
    EXPECT_FALSE(defaults->contains(QStringLiteral("translationCacheOrder")));
    EXPECT_EQ(store->value(QStringLiteral("es:auto:old")), std::nullopt);
}

TEST_F(TranslationStoreTest, ChangesWithinTheDelayAreSavedOnceTwoSecondsAfterTheFirst)
{
    auto store = makeStore(100, 2.0);
    QSignalSpy writes(defaults.get(), &PreferenceStore::changed);
    for (int i = 0; i < 10; ++i) {
        store->set(QStringLiteral("t"), word(i));
        clock->advance(100ms);
    }
    // One second has passed; later changes did not push the save back.
    EXPECT_EQ(writes.count(), 0);
    clock->advance(999ms);
    EXPECT_EQ(writes.count(), 0);
    clock->advance(1ms);
    EXPECT_EQ(writes.count(), 2); // the map and the order, once each
    EXPECT_EQ(storedOrder()->size(), 10);
    clock->advance(10s);
    EXPECT_EQ(writes.count(), 2);
}

TEST_F(TranslationStoreTest, WithoutADelayEveryChangeIsSavedAtOnce)
{
    auto store = makeStore(100, 0.0);
    store->set(QStringLiteral("uno"), QStringLiteral("k1"));
    EXPECT_EQ(storedOrder(), QStringList {QStringLiteral("k1")});
    store->set(QStringLiteral("dos"), QStringLiteral("k2"));
    EXPECT_EQ(storedOrder()->size(), 2);
    EXPECT_EQ(clock->pendingCount(), 0u);
}

TEST_F(TranslationStoreTest, ClearRemovesBothKeysAndDropsThePendingSave)
{
    auto store = makeStore(100);
    store->set(QStringLiteral("uno"), QStringLiteral("k1"));
    store->flush();
    store->set(QStringLiteral("dos"), QStringLiteral("k2"));
    store->clear();
    EXPECT_FALSE(defaults->contains(TranslationStore::key));
    EXPECT_FALSE(defaults->contains(TranslationStore::orderKey));
    store->flush();
    clock->advance(5s);
    EXPECT_FALSE(defaults->contains(TranslationStore::key));
    EXPECT_EQ(store->count(), 0);
}

TEST(TranslationStoreFile, AFlushedCacheSurvivesARestart)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("prefs.json"));
    auto clock = std::make_shared<Testing::FakeClock>();
    {
        auto defaults = std::make_shared<PreferenceStore>(path, clock);
        TranslationStore store(defaults, 3000, 2.0, clock);
        store.set(QStringLiteral("casa"), QStringLiteral("es:auto:house"));
        store.set(QStringLiteral("Haus"), QStringLiteral("de:en:house"));
        store.flush(); // what the application does when it is about to quit, well before the 2 s
    }
    auto defaults = std::make_shared<PreferenceStore>(path, clock);
    TranslationStore reloaded(defaults, 3000, 2.0, clock);
    EXPECT_EQ(reloaded.value(QStringLiteral("es:auto:house")), QStringLiteral("casa"));
    EXPECT_EQ(reloaded.order(), (QStringList {QStringLiteral("es:auto:house"), QStringLiteral("de:en:house")}));
}

TEST(TranslationStoreFile, QuittingTheApplicationFlushesAPendingSave)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("prefs.json"));
    auto clock = std::make_shared<Testing::FakeClock>();
    auto defaults = std::make_shared<PreferenceStore>(path, clock);
    TranslationStore store(defaults, 3000, 2.0, clock);
    store.set(QStringLiteral("casa"), QStringLiteral("es:auto:house"));
    QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection);
    EXPECT_EQ(PreferenceStore(path, clock).stringList(TranslationStore::orderKey),
              QStringList {QStringLiteral("es:auto:house")});
}
