#include "Fakes/FakeWordBookEnvironment.h"
#include "Services/Words/ReviewSchedule.h"
#include "Support/TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

class WordBookSavedTest : public ::testing::Test, protected WordBookEnvironment
{
protected:
    void SetUp() override
    {
        defaults->set(WordBook::keepsHistoryKey, true);
        book = makeBook();
        QObject::connect(book.get(), &WordBook::reviewChanged, [this] { ++reviewChanges; });
    }

    std::unique_ptr<WordBook> book;
    int reviewChanges = 0;

    QUuid saveWord(const QString &word, Date at)
    {
        book->save(lookup(word, at), at);
        return book->saved().front().id;
    }
};

} // namespace

TEST_F(WordBookSavedTest, ANewSavedWordGathersItsHistory)
{
    // Twelve look-ups, far enough apart not to repeat; the last one is saved.
    WordLookup current;
    for (int i = 0; i < 12; ++i) {
        current = lookup(QStringLiteral("Run"), plusSeconds(now(), 2000.0 * i), QStringLiteral("Run %1.").arg(i));
        current.grammarTag = QStringLiteral("Verb");
        ASSERT_TRUE(book->record(current));
    }
    const Date savedAt = plusSeconds(now(), 30'000);
    book->save(current, savedAt);

    ASSERT_EQ(book->saved().size(), 1u);
    const SavedWord &word = book->saved().front();
    EXPECT_EQ(word.word, QStringLiteral("Run"));
    EXPECT_EQ(word.metCount, 12);
    ASSERT_EQ(word.encounters.size(), 8u);
    EXPECT_EQ(word.encounters[0], current);
    EXPECT_EQ(word.encounters[1].sentence, QStringLiteral("Run 10."));
    EXPECT_EQ(word.encounters[7].sentence, QStringLiteral("Run 4."));
    EXPECT_EQ(word.senses, (std::vector<WordSense> {{current.meaning, QStringLiteral("Verb"), std::nullopt}}));
    EXPECT_NE(word.id, current.id);
    EXPECT_EQ(word.savedAt, savedAt);
    EXPECT_EQ(word.review, (ReviewState {0, ReviewSchedule::firstDue(savedAt, calendar), std::nullopt, false}));
    EXPECT_EQ(book->savedWord(WordKey(QStringLiteral(" RUN "), QStringLiteral("EN"), QStringLiteral("es"))), word);
    EXPECT_EQ(reviewChanges, 1);

    // A second save of the word, in any letter case, changes nothing.
    book->save(lookup(QStringLiteral("run"), savedAt), savedAt);
    EXPECT_EQ(book->saved().size(), 1u);
    EXPECT_EQ(reviewChanges, 1);

    // With no history the word is met once, in the look-up that saved it.
    saveWord(QStringLiteral("fresh"), savedAt);
    EXPECT_EQ(book->saved().front().metCount, 1);
    EXPECT_EQ(book->saved().front().encounters.size(), 1u);
}

TEST_F(WordBookSavedTest, ALookUpFromAnExcludedApplicationIsSavedWithoutItsText)
{
    WordLookup secret = lookup(QStringLiteral("code"), now(), QStringLiteral("The code is 1234."));
    secret.appID = QStringLiteral("org.keepassxc.KeePassXC");
    secret.title = QStringLiteral("Vault");
    book->save(secret, now());
    const WordLookup &kept = book->saved().front().encounters.front();
    EXPECT_EQ(kept.sentence, std::nullopt);
    EXPECT_EQ(kept.title, std::nullopt);
    EXPECT_EQ(kept.meaning, secret.meaning);
}

TEST_F(WordBookSavedTest, ToggleAndRemove)
{
    for (int i = 0; i < 4; ++i)
        saveWord(QStringLiteral("w%1").arg(i), now());
    const WordLookup run = lookup(QStringLiteral("run"), now());
    EXPECT_EQ(book->toggleSave(run, now()), SaveOutcome::saved(5));
    EXPECT_EQ(book->saved().front().word, QStringLiteral("run"));
    EXPECT_EQ(book->toggleSave(run, now()), SaveOutcome::removed());
    EXPECT_EQ(book->savedWord(run.key()), std::nullopt);
    EXPECT_EQ(book->saved().size(), 4u);
    EXPECT_EQ(reviewChanges, 6);

    // The index follows the removal: the remaining words are still found where they are.
    const QUuid w2 = book->savedWord(WordKey(QStringLiteral("w2"), QStringLiteral("en"), QStringLiteral("es")))->id;
    book->remove(w2);
    EXPECT_EQ(book->saved().size(), 3u);
    for (const SavedWord &word : book->saved())
        EXPECT_EQ(book->savedWord(word.key())->id, word.id);

    // An unknown id removes nothing but still saves and tells the reminder.
    book->flush();
    QSignalSpy changes(book.get(), &WordBook::savedChanged);
    book->remove(QUuid::createUuid());
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(reviewChanges, 8);
    EXPECT_EQ(clock->pendingCount(), 1u);
}

TEST_F(WordBookSavedTest, AnsweringMovesOnlyTheReviewState)
{
    const QUuid id = saveWord(QStringLiteral("run"), now());
    ASSERT_TRUE(book->record(lookup(QStringLiteral("run"), plusSeconds(now(), 10))));
    book->flush();
    const SavedWord before = book->saved().front();
    const int changesBefore = reviewChanges;

    const Date answeredAt = plusSeconds(now(), 90'000);
    book->answer(id, ReviewAnswer::gotIt, answeredAt);
    SavedWord after = book->saved().front();
    EXPECT_EQ(after.review, ReviewSchedule::next(before.review, ReviewAnswer::gotIt, answeredAt, calendar));
    EXPECT_EQ(after.review.streak, 1);
    after.review = before.review;
    EXPECT_EQ(after, before);
    EXPECT_EQ(reviewChanges, changesBefore + 1);
    EXPECT_EQ(clock->pendingCount(), 1u);

    book->flush();
    book->answer(QUuid::createUuid(), ReviewAnswer::again, answeredAt);
    EXPECT_EQ(reviewChanges, changesBefore + 1);
    EXPECT_EQ(clock->pendingCount(), 0u);
}

TEST_F(WordBookSavedTest, NextDueIsTheEarliestWordNotYetLearned)
{
    EXPECT_EQ(book->nextDue(), std::nullopt);
    const QUuid early = saveWord(QStringLiteral("early"), now());
    saveWord(QStringLiteral("late"), plusSeconds(now(), 86'400 * 3));
    EXPECT_EQ(book->nextDue(), ReviewSchedule::firstDue(now(), calendar));

    for (int i = 0; i < 4; ++i)
        book->answer(early, ReviewAnswer::gotIt, now());
    EXPECT_EQ(book->nextDue(), ReviewSchedule::firstDue(plusSeconds(now(), 86'400 * 3), calendar));

    book->remove(book->saved().front().id);
    EXPECT_EQ(book->nextDue(), std::nullopt) << "only a learned word is left";
}

TEST_F(WordBookSavedTest, TheReviewQueueKeepsToTheDailyLimitAndTheBooksOrder)
{
    book->setReviewsPerDay(2);
    const Date dayOne = localDate(calendar.timeZone(), 2027, 1, 14, 10, 0);
    for (const char *word : {"d", "c", "b", "a"})
        saveWord(QString::fromLatin1(word), dayOne); // the book reads a, b, c, d; all due at one instant
    const Date review = localDate(calendar.timeZone(), 2027, 1, 16, 9, 0);

    const auto words = [](const std::vector<SavedWord> &queue) {
        QStringList out;
        for (const SavedWord &w : queue)
            out.append(w.word);
        return out;
    };
    EXPECT_EQ(words(book->reviewQueue(review)), (QStringList {QStringLiteral("a"), QStringLiteral("b")}));

    // "again" keeps a word in today's queue, ahead of new ones, and it counts against the day's limit.
    book->answer(book->saved()[0].id, ReviewAnswer::again, review);
    const Date later = plusSeconds(review, 700);
    EXPECT_EQ(words(book->reviewQueue(later)), (QStringList {QStringLiteral("a"), QStringLiteral("b")}));
    book->answer(book->saved()[1].id, ReviewAnswer::hard, later);
    EXPECT_EQ(words(book->reviewQueue(plusSeconds(later, 700))), QStringList {QStringLiteral("a")});
    // A new day: the earliest due first, equal due dates in the book's order.
    EXPECT_EQ(words(book->reviewQueue(plusSeconds(review, 86'400))),
              (QStringList {QStringLiteral("c"), QStringLiteral("d")}));
}
