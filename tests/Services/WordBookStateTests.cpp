#include "Fakes/FakeWordBookEnvironment.h"
#include "Support/TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

class WordBookStateTest : public ::testing::Test, protected WordBookEnvironment
{
};

} // namespace

TEST_F(WordBookStateTest, AFreshInstallReadsTheDefaultsAndFixesTheKeyHintsDate)
{
    auto book = makeBook(false);
    EXPECT_FALSE(book->keepsHistory());
    EXPECT_FALSE(book->hasAskedAboutHistory());
    EXPECT_EQ(book->historyRetention(), HistoryRetention::quarter);
    EXPECT_EQ(book->suggestAfter(), 3);
    EXPECT_EQ(book->reviewsPerDay(), 8);
    EXPECT_FALSE(book->remindsToReview());
    EXPECT_EQ(book->excludedAppIDs(),
              (QStringList {QStringLiteral("org.keepassxc.KeePassXC"), QStringLiteral("org.gnome.seahorse.Application"),
                            QStringLiteral("org.telegram.desktop")}));
    EXPECT_EQ(book->keyHintsSince(), now());
    EXPECT_EQ(defaults->keys(), QStringList {WordBook::keyHintsSinceKey}) << "only the first-start date is written";

    clock->advance(1h);
    EXPECT_EQ(makeBook(false)->keyHintsSince(), book->keyHintsSince());
}

TEST_F(WordBookStateTest, StoredValuesOfTheWrongTypeReadAsAbsent)
{
    defaults->set(WordBook::suggestAfterKey, QStringLiteral("5"));
    defaults->set(WordBook::reviewsPerDayKey, 2.5);
    defaults->set(WordBook::historyRetentionKey, QStringLiteral("decade"));
    defaults->set(WordBook::excludedAppsKey, PreferenceValue(PreferenceValue::List {PreferenceValue(1)}));
    defaults->set(WordBook::keyHintsSinceKey, QStringLiteral("yesterday"));
    auto book = makeBook(false);
    EXPECT_EQ(book->suggestAfter(), 3);
    EXPECT_EQ(book->reviewsPerDay(), 8);
    EXPECT_EQ(book->historyRetention(), HistoryRetention::quarter);
    EXPECT_EQ(book->excludedAppIDs(), WordBook::defaultExcludedAppIDs);
    EXPECT_EQ(book->keyHintsSince(), now());
    EXPECT_EQ(defaults->date(WordBook::keyHintsSinceKey), now().toDateTime());
}

TEST_F(WordBookStateTest, SettersWriteEveryTimeButNotifyOnlyOnChange)
{
    auto book = makeBook(false);
    int reviewChanges = 0;
    QObject::connect(book.get(), &WordBook::reviewChanged, [&] { ++reviewChanges; });
    QSignalSpy suggest(book.get(), &WordBook::suggestAfterChanged);
    QSignalSpy reminder(book.get(), &WordBook::remindsToReviewChanged);
    QSignalSpy keeps(book.get(), &WordBook::keepsHistoryChanged);

    book->setSuggestAfter(3);
    EXPECT_EQ(suggest.count(), 0);
    EXPECT_EQ(defaults->integer(WordBook::suggestAfterKey), 3);
    book->setSuggestAfter(6);
    EXPECT_EQ(suggest.count(), 1);

    book->setRemindsToReview(false);
    EXPECT_EQ(reminder.count(), 0);
    EXPECT_EQ(reviewChanges, 1) << "the reminder is rescheduled even when nothing changed";
    EXPECT_TRUE(defaults->contains(WordBook::reviewReminderKey));
    book->setRemindsToReview(true);
    EXPECT_EQ(reminder.count(), 1);
    EXPECT_EQ(reviewChanges, 2);

    book->setKeepsHistory(true);
    book->setKeepsHistory(true);
    EXPECT_EQ(keeps.count(), 1);
    book->setHasAskedAboutHistory(true);
    book->setReviewsPerDay(20);

    EXPECT_EQ(makeBook(false)->reviewsPerDay(), 20);
}

TEST_F(WordBookStateTest, SettingTheSameRetentionStillTrimsAndRewritesTheFile)
{
    defaults->set(WordBook::keepsHistoryKey, true);
    defaults->set(WordBook::historyRetentionKey, QStringLiteral("forever"));
    auto book = makeBook();
    ASSERT_TRUE(book->record(lookup(QStringLiteral("old"), plusSeconds(now(), -40 * 86'400.0))));
    ASSERT_TRUE(book->record(lookup(QStringLiteral("new"), now())));
    QSignalSpy retention(book.get(), &WordBook::historyRetentionChanged);
    QSignalSpy history(book.get(), &WordBook::historyChanged);

    book->setHistoryRetention(HistoryRetention::forever_);
    EXPECT_EQ(retention.count(), 0);
    EXPECT_EQ(history.count(), 0);
    EXPECT_EQ(defaults->string(WordBook::historyRetentionKey), QStringLiteral("forever"));

    book->setHistoryRetention(HistoryRetention::month);
    EXPECT_EQ(retention.count(), 1);
    EXPECT_EQ(history.count(), 1);
    ASSERT_EQ(book->history().size(), 1u);
    EXPECT_EQ(book->history().front().word, QStringLiteral("new"));
    EXPECT_EQ(historyLines(), QList<QByteArray> {WordRecords::encode(book->history().front())});
    EXPECT_EQ(book->lookupCount(WordKey(QStringLiteral("old"), QStringLiteral("en"), QStringLiteral("es"))), 0);
}

TEST_F(WordBookStateTest, ExcludingAnApplicationForgetsWhatWasKeptFromIt)
{
    defaults->set(WordBook::keepsHistoryKey, true);
    auto book = makeBook();
    WordLookup fromChat = lookup(QStringLiteral("secret"), now(), QStringLiteral("The secret is out."));
    fromChat.appID = QStringLiteral("org.example.Chat");
    fromChat.title = std::nullopt;
    const WordLookup fromEditor =
        lookup(QStringLiteral("plain"), plusSeconds(now(), 1), QStringLiteral("A plain text."));
    ASSERT_TRUE(book->record(fromChat));
    ASSERT_TRUE(book->record(fromEditor));
    book->save(fromChat, now());
    book->setTitle(QStringLiteral("Chat with Ann"), fromChat);
    book->flush();
    int reviewChanges = 0;
    QObject::connect(book.get(), &WordBook::reviewChanged, [&] { ++reviewChanges; });

    book->setExcludedAppIDs(QStringList(book->excludedAppIDs()) << QStringLiteral("org.example.Chat"));
    EXPECT_EQ(book->history(), std::deque<WordLookup> {fromEditor});
    EXPECT_EQ(historyLines(), QList<QByteArray> {WordRecords::encode(fromEditor)});
    ASSERT_EQ(book->saved().size(), 1u);
    const SavedWord &word = book->saved().front();
    ASSERT_EQ(word.encounters.size(), 1u);
    const WordLookup &encounter = word.encounters.front();
    EXPECT_EQ(encounter.sentence, std::nullopt);
    EXPECT_EQ(encounter.wordOffset, std::nullopt);
    EXPECT_EQ(encounter.translation, std::nullopt);
    EXPECT_EQ(encounter.title, std::nullopt);
    EXPECT_EQ(encounter.appName, QStringLiteral("Editor"));
    EXPECT_EQ(encounter.id, fromChat.id);
    EXPECT_EQ(word.metCount, 1);
    EXPECT_EQ(reviewChanges, 0);
    book->flush();
    EXPECT_EQ(makeBook()->saved(), book->saved());

    // Excluded look-ups are no longer kept; lifting the exclusion brings nothing back.
    WordLookup later = lookup(QStringLiteral("again"), plusSeconds(now(), 2), QStringLiteral("Again, the secret."));
    later.appID = QStringLiteral("org.example.Chat");
    EXPECT_FALSE(book->record(later));
    book->setExcludedAppIDs(WordBook::defaultExcludedAppIDs);
    EXPECT_EQ(book->history().size(), 1u);
    EXPECT_EQ(book->saved().front().encounters.front().sentence, std::nullopt);
}

TEST_F(WordBookStateTest, ClearingTheHistoryKeepsSavedWordsWhole)
{
    defaults->set(WordBook::keepsHistoryKey, true);
    auto book = makeBook();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(book->record(lookup(QStringLiteral("run"), plusSeconds(now(), i * 2000.0))));
    book->save(lookup(QStringLiteral("run"), plusSeconds(now(), 7000)), now());
    const auto saved = book->saved();
    ASSERT_EQ(saved.front().metCount, 3);

    QSignalSpy history(book.get(), &WordBook::historyChanged);
    book->clearHistory();
    EXPECT_EQ(history.count(), 1);
    book->clearHistory(); // nothing left to clear: no second notice
    EXPECT_EQ(history.count(), 1);
    EXPECT_TRUE(book->history().empty());
    EXPECT_EQ(book->lookupCount(saved.front().key()), 0);
    EXPECT_EQ(book->saved(), saved);
    EXPECT_TRUE(historyLines().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(historyPath()));
    EXPECT_FALSE(book->isExcluded(std::nullopt));
}
