#include "Fakes/FakeWordBookEnvironment.h"
#include "Support/TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <limits>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

const QString sentence = QStringLiteral("We run every morning.");

class WordBookHistoryTest : public ::testing::Test, protected WordBookEnvironment
{
protected:
    void SetUp() override { defaults->set(WordBook::keepsHistoryKey, true); }

    static WordKey runKey() { return WordKey(QStringLiteral("run"), QStringLiteral("en"), QStringLiteral("es")); }
};

} // namespace

TEST_F(WordBookHistoryTest, TheSameWordInTheSameSentenceCountsOncePerHalfHour)
{
    auto book = makeBook(false);
    const Date start = now();
    EXPECT_TRUE(book->record(lookup(QStringLiteral("run"), start, sentence)));
    EXPECT_FALSE(book->record(lookup(QStringLiteral("run"), plusSeconds(start, 29 * 60), sentence)));
    // Other words in between do not hide the earlier look-up; letter case and spaces do not make
    // another word.
    EXPECT_TRUE(book->record(lookup(QStringLiteral("morning"), plusSeconds(start, 29 * 60), sentence)));
    EXPECT_FALSE(book->record(lookup(QStringLiteral(" Run\n"), plusSeconds(start, 1799), sentence)));
    EXPECT_TRUE(book->record(lookup(QStringLiteral("run"), plusSeconds(start, 60), QStringLiteral("Run!"))));
    EXPECT_TRUE(book->record(lookup(QStringLiteral("run"), plusSeconds(start, 1800), sentence)));
    // A look-up without a sentence is another sentence, and repeats like one.
    EXPECT_TRUE(book->record(lookup(QStringLiteral("run"), plusSeconds(start, 1900))));
    EXPECT_FALSE(book->record(lookup(QStringLiteral("RUN"), plusSeconds(start, 1901))));

    EXPECT_EQ(book->lookupCount(runKey()), 4);
    const auto found = book->lookups(runKey());
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found.front().date, plusSeconds(start, 1900)) << "newest first";
    EXPECT_EQ(found.back().date, start);
}

TEST_F(WordBookHistoryTest, NothingIsKeptWhileHistoryIsOffOrFromAnExcludedApplication)
{
    auto book = makeBook();
    book->save(lookup(QStringLiteral("run"), now()), now());
    book->flush();
    const auto before = book->saved();

    book->setKeepsHistory(false);
    QSignalSpy history(book.get(), &WordBook::historyChanged);
    EXPECT_FALSE(book->record(lookup(QStringLiteral("run"), plusSeconds(now(), 5000), sentence)));
    book->setKeepsHistory(true);
    WordLookup excluded = lookup(QStringLiteral("run"), plusSeconds(now(), 5000), sentence);
    excluded.appID = QStringLiteral("org.telegram.desktop");
    EXPECT_FALSE(book->record(excluded));

    EXPECT_EQ(book->saved(), before);
    EXPECT_TRUE(book->history().empty());
    EXPECT_EQ(history.count(), 0);
    EXPECT_EQ(clock->pendingCount(), 0u);
    EXPECT_FALSE(QFileInfo::exists(historyPath()));
}

TEST_F(WordBookHistoryTest, ALookUpOfASavedWordBecomesItsNewestEncounter)
{
    auto book = makeBook(false);
    WordLookup first = lookup(QStringLiteral("house"), now(), QStringLiteral("A house."));
    first.meaning = QStringLiteral("casa");
    book->save(first, now());

    const auto meet = [&](int i, const QString &meaning) {
        WordLookup l =
            lookup(QStringLiteral("House"), plusSeconds(now(), 2000.0 * i), QStringLiteral("Sentence %1.").arg(i));
        l.meaning = meaning;
        l.grammarTag = QStringLiteral("Noun");
        EXPECT_TRUE(book->record(l));
        return l;
    };
    meet(1, QStringLiteral("Casas")); // same meaning: starts with the same three letters
    meet(2, QStringLiteral("hogar")); // a second sense
    meet(3, QStringLiteral("ca")); // too short to share three letters: a third sense
    meet(4, QStringLiteral("vivienda")); // no room for a fourth
    WordLookup last;
    for (int i = 5; i <= 10; ++i)
        last = meet(i, QStringLiteral("casa"));

    const SavedWord word = book->saved().front();
    EXPECT_EQ(word.metCount, 11);
    ASSERT_EQ(word.encounters.size(), 8u);
    EXPECT_EQ(word.encounters.front(), last);
    EXPECT_EQ(word.encounters.back().sentence, QStringLiteral("Sentence 3."));
    ASSERT_EQ(word.senses.size(), 3u);
    EXPECT_EQ(word.senses[0].meaning, QStringLiteral("casa"));
    EXPECT_EQ(word.senses[1], (WordSense {QStringLiteral("hogar"), QStringLiteral("Noun"), std::nullopt}));
    EXPECT_EQ(word.senses[2].meaning, QStringLiteral("ca"));
}

TEST_F(WordBookHistoryTest, AHandEditedCountAtItsLimitStaysThere)
{
    SavedWord word;
    word.id = QUuid::createUuid();
    word.word = QStringLiteral("run");
    word.source = QStringLiteral("en");
    word.target = QStringLiteral("es");
    word.metCount = std::numeric_limits<qint64>::max();
    ASSERT_TRUE(WordBookStorage::write({word}, savedPath()));
    auto book = makeBook();
    ASSERT_TRUE(book->record(lookup(QStringLiteral("run"), now())));
    EXPECT_EQ(book->saved().front().metCount, std::numeric_limits<qint64>::max());
    EXPECT_EQ(book->saved().front().senses.size(), 1u);
}

TEST_F(WordBookHistoryTest, SameMeaningComparesTheFirstThreeCharactersIgnoringCase)
{
    EXPECT_TRUE(WordBook::sameMeaning(QStringLiteral("run"), QStringLiteral("running")));
    EXPECT_TRUE(WordBook::sameMeaning(QStringLiteral("Run"), QStringLiteral("run")));
    EXPECT_TRUE(WordBook::sameMeaning(QStringLiteral("house"), QStringLiteral("Houses")));
    EXPECT_TRUE(WordBook::sameMeaning(QStringLiteral("go"), QStringLiteral("GO")));
    EXPECT_FALSE(WordBook::sameMeaning(QStringLiteral("go"), QStringLiteral("gone")));
    EXPECT_FALSE(WordBook::sameMeaning(QStringLiteral("home"), QStringLiteral("house")));
    // Characters as the user sees them: an accent written as a combining mark is part of its letter.
    EXPECT_FALSE(WordBook::sameMeaning(QStringLiteral("noe\u0301"), QStringLiteral("noel")));
    EXPECT_TRUE(WordBook::sameMeaning(QStringLiteral("ne\u0301ce"), QStringLiteral("ne\u0301cessaire")));
    EXPECT_TRUE(WordBook::sameMeaning(QStringLiteral("👍👍👍a"), QStringLiteral("👍👍👍b")));
    EXPECT_FALSE(WordBook::sameMeaning(QStringLiteral("👍👍"), QStringLiteral("👍👍b")));
}

TEST_F(WordBookHistoryTest, TheHistoryIsCappedAndTheFileCompactedInBatches)
{
    std::deque<WordLookup> stored;
    for (int i = 0; i < 10'500; ++i)
        stored.push_back(lookup(QStringLiteral("w%1").arg(i), plusSeconds(now(), i - 20'000.0)));
    putHistory(stored);
    auto book = makeBook();
    ASSERT_EQ(book->history().size(), 10'000u) << "the start-up trim has no batch";
    EXPECT_EQ(historyLines().size(), 10'000);
    EXPECT_EQ(book->lookupCount(stored.front().key()), 0);

    // Up to 500 over the cap, nothing is dropped; one more and the newest 10,000 remain, on disk too.
    for (int i = 0; i < 500; ++i)
        ASSERT_TRUE(book->record(lookup(QStringLiteral("n%1").arg(i), plusSeconds(now(), i))));
    EXPECT_EQ(book->history().size(), 10'500u);
    EXPECT_EQ(historyLines().size(), 10'500);
    ASSERT_TRUE(book->record(lookup(QStringLiteral("last"), plusSeconds(now(), 600))));
    EXPECT_EQ(book->history().size(), 10'000u);
    const auto lines = historyLines();
    ASSERT_EQ(lines.size(), 10'000);
    EXPECT_EQ(lines.front(), WordRecords::encode(book->history().front()));
    EXPECT_EQ(lines.back(), WordRecords::encode(book->history().back()));
    EXPECT_EQ(book->history().back().word, QStringLiteral("last"));
}

TEST_F(WordBookHistoryTest, OldLookUpsLeaveMemoryAtTheNextRecordingAndTheFileAtTheNextStart)
{
    defaults->set(WordBook::historyRetentionKey, QStringLiteral("month"));
    auto book = makeBook();
    ASSERT_TRUE(book->record(lookup(QStringLiteral("first"), now())));
    ASSERT_TRUE(book->record(lookup(QStringLiteral("second"), plusSeconds(now(), 100))));

    const Date later = plusSeconds(now(), 31 * 86'400.0 + 50);
    ASSERT_TRUE(book->record(lookup(QStringLiteral("new"), later)));
    ASSERT_EQ(book->history().size(), 2u);
    EXPECT_EQ(book->history().front().word, QStringLiteral("second"));
    EXPECT_EQ(historyLines().size(), 3) << "the file lags behind until the slack is used up";

    clock->advance(std::chrono::hours(24 * 40));
    book->flush();
    book = makeBook();
    ASSERT_EQ(book->history().size(), 1u);
    EXPECT_EQ(historyLines(), QList<QByteArray> {WordRecords::encode(book->history().front())});
}

TEST_F(WordBookHistoryTest, ATitleGoesOnlyOnTheSavedWordsEncounterOfThatLookUp)
{
    auto book = makeBook(false);
    const WordLookup saved = lookup(QStringLiteral("run"), now(), sentence);
    ASSERT_TRUE(book->record(saved));
    book->save(saved, now());
    const WordLookup unsaved = lookup(QStringLiteral("walk"), now(), sentence);
    ASSERT_TRUE(book->record(unsaved));
    QSignalSpy changes(book.get(), &WordBook::savedChanged);

    book->setTitle(QStringLiteral("Walking"), unsaved);
    book->setTitle(QStringLiteral("Stranger"), lookup(QStringLiteral("run"), now(), sentence));
    EXPECT_EQ(changes.count(), 0);

    book->setTitle(QStringLiteral("Running — Notes"), saved);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(book->saved().front().encounters.front().title, QStringLiteral("Running — Notes"));
    EXPECT_EQ(book->history().front().title, std::nullopt);
}
