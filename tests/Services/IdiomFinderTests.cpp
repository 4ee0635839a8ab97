// The idiom table and the matcher with its gloss rewrite, over hand-made tokens.

#include "Services/Learn/IdiomFinder.h"

#include "Fakes/FakeTagger.h"
#include "Fakes/HandMadeTokens.h"
#include "Native/Services.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

using namespace Lumivox;
using namespace Lumivox::IdiomFinder;
using Testing::handMadeTokens;

namespace {

struct Case
{
    const char *sentence;
    const char *tokens;
    const char *result; // "idiom = meaning -> rewritten", or "" for no match
    const char *hovered = nullptr; // any position when absent
};

QString shown(const std::optional<Match> &match)
{
    if (!match)
        return {};
    return match->idiom + QStringLiteral(" = ") + match->meaning + QStringLiteral(" -> ") + match->rewritten;
}

void check(std::initializer_list<Case> cases)
{
    for (const Case &c : cases) {
        const QString sentence = QString::fromUtf8(c.sentence);
        std::optional<EnglishGrammar::Range> covering;
        if (c.hovered) {
            const QString hovered = QString::fromUtf8(c.hovered);
            covering = EnglishGrammar::Range {sentence.indexOf(hovered), hovered.size()};
        }
        const auto found = find(sentence, covering, handMadeTokens(sentence, QString::fromUtf8(c.tokens)));
        EXPECT_EQ(shown(found).toStdString(), c.result) << c.sentence;
    }
}

const Entry &entry(const char *pattern)
{
    const auto &all = entries();
    return *std::find_if(all.begin(), all.end(), [&](const Entry &e) { return e.pattern == QLatin1String(pattern); });
}

} // namespace

TEST(IdiomTable, EntriesAndTheOrderTheyAreTriedIn)
{
    ASSERT_EQ(entries().size(), 112u);
    EXPECT_EQ(entries().front().pattern, QStringLiteral("a piece of cake"));
    EXPECT_EQ(entries().back().pattern, QStringLiteral("get one's act together"));
    EXPECT_EQ(std::count_if(entries().begin(), entries().end(), [](const Entry &e) { return !e.context; }), 86);
    const QRegularExpression slot(QStringLiteral("\\{(?!subj\\}|obj\\}|poss\\})"));
    for (const Entry &e : entries()) {
        EXPECT_EQ(QString(e.pattern).replace(QStringLiteral("ONE"), QStringLiteral("one")), e.pattern.toLower());
        EXPECT_LE(e.plain.count(QStringLiteral("V:")), 1) << e.plain.toStdString();
        EXPECT_FALSE(e.plain.contains(slot)) << e.plain.toStdString();
    }

    const auto &sorted = sortedEntries();
    ASSERT_EQ(sorted.size(), entries().size());
    EXPECT_EQ(sorted[0].pattern, QStringLiteral("bite|bit off more than ONE can|could chew"));
    EXPECT_EQ(sorted[1].pattern, QStringLiteral("give someone the benefit of the doubt"));
    EXPECT_EQ(sorted[2].pattern, QStringLiteral("cross that bridge when ONE come to it"));
    auto position = [&](const char *pattern) {
        return std::find_if(sorted.begin(), sorted.end(), [&](const Entry &e) { return e.pattern == pattern; })
            - sorted.begin();
    };
    EXPECT_LT(position("rain cats and dogs"), position("speak of the devil"));
    EXPECT_LT(position("feel under the weather"), position("under the weather"));
    for (size_t i = 1; i < sorted.size(); ++i)
        EXPECT_GE(sorted[i - 1].pattern.size(), sorted[i].pattern.size());

    const Context &hang = *entry("hang in there").context;
    EXPECT_EQ(hang.kind, Context::Kind::either);
    EXPECT_EQ(hang.first->kind, Context::Kind::opening);
    EXPECT_EQ(hang.first->words.size(), 0);
    EXPECT_EQ(hang.second->words.size(), 12);
    const Context &hook = *entry("off the hook").context;
    EXPECT_EQ(hook.first->kind, Context::Kind::afterBe);
    EXPECT_EQ(hook.second->kind, Context::Kind::afterObjectOf);
    EXPECT_EQ(hook.second->words.entries().back(), QStringLiteral("getting"));
}

TEST(IdiomTable, WordSets)
{
    EXPECT_EQ(possessiveToObject().size(), 7);
    EXPECT_EQ(possessiveToObject().value(QStringLiteral("her")), QStringLiteral("her"));
    EXPECT_EQ(possessiveToObject().value(QStringLiteral("their")), QStringLiteral("them"));
    const std::pair<const WordSet &, qsizetype> sets[] = {
        {reflexives(), 8}, {articles(), 3}, {sameFormPast(), 13}, {doublesLastLetter(), 12},
        {fillers(), 22},   {linking(), 33}, {clauseClosers(), 14}};
    for (const auto &[set, count] : sets) {
        EXPECT_EQ(set.size(), count);
        EXPECT_EQ(set.entries().size(), count); // nothing doubled
    }
    for (const char *word : {"very", "totally", "n't", "never"})
        EXPECT_TRUE(fillers().contains(QString::fromUtf8(word))) << word;
    for (const char *word : {"'m", "got", "seem", "stayed"})
        EXPECT_TRUE(linking().contains(QString::fromUtf8(word))) << word;
}

TEST(IdiomFinder, MatchesAndRewritesInTheSentencesTense)
{
    check({
        {"He finally spilled the beans.", "He finally spilled/Verb/spill the beans/Noun/bean",
         "spill the beans = reveal the secret -> He finally revealed the secret."},
        {"His plan went down in flames.", "His plan/Noun went/Verb/go down in flames/Noun/flame",
         "go down in flames = fail badly -> His plan failed badly."},
        {"Don't pull my leg.", "Do/Verb/do n't/Adverb/not pull/Verb/pull my leg",
         "pull one's leg = joke with someone -> Don't joke with me."},
        {"It was the last straw.", "It was/Verb/be the last straw",
         "last straw = the final problem -> It was the final problem."},
        {"Time flies.", "Time/Noun/time flies/Noun/fly", "time fly = time pass quickly -> Time passes quickly."},
        {"I bit off more than I could chew.", "I bit/Verb/bite off more than I could/Verb/can chew/Verb/chew",
         "bite off more than someone can chew = take on more than someone can handle -> I took on more than I can "
         "handle."},
        {"The ball is in your court.", "The ball is/Verb/be in your court",
         "the ball be in one's court = it is someone's decision -> It is your decision."},
        {"It is not my cup of tea.", "It is/Verb/be not my cup of tea",
         "not one's cup of tea = not what someone like -> It is not what they like."},
        {"Give him the benefit of the doubt.", "Give/Verb/give him the benefit of the doubt",
         "give someone the benefit of the doubt = trust them -> Trust them."},
        {"He is spilling the beans.", "He is/Verb/be spilling/Verb/spill the beans",
         "spill the beans = reveal the secret -> He is revealing the secret."},
        {"We are calling it a day.", "We are calling/Verb/call it a day",
         "call it a day = stop working for today -> We are stopping working for today."},
        {"They called it a day.", "They called/Verb/call it a day",
         "call it a day = stop working for today -> They stopped working for today."},
        {"She hits the sack.", "She hits/Verb/hit the sack", "hit the sack = go to bed -> She goes to bed."},
        {"She hits the books.", "She hits/Verb/hit the books", "hit the books = study -> She studies."},
        {"He hit the books.", "He hit/Verb/hit the books", "hit the books = study -> He studied."},
        {"The boy hit the books.", "The boy/Noun hit/Verb/hit the books", "hit the books = study -> The boy studied."},
        {"They hit the books.", "They hit/Verb/hit the books", "hit the books = study -> They study."},
        {"She keeps an eye on him.", "She keeps/Verb/keep an eye on him", "keep an eye on = watch -> She watches him."},
        {"She has a heart of gold.", "She has/Verb/have a heart of gold",
         "have a heart of gold = be very kind -> She is very kind."},
        {"She took a rain check.", "She took/Verb/take a rain check", "take a rain check = postpone -> She postponed."},
        {"He cut corners.", "He cut/Verb/cut corners",
         "cut corners = do something badly to save time -> He did something badly to save time."},
        {"She is taking a rain check.", "She is/Verb/be taking/Verb/take a rain check",
         "take a rain check = postpone -> She is postponing."},
        {"We are seeing eye to eye.", "We are/Verb/be seeing/Verb/see eye to eye",
         "see eye to eye = agree -> We are agreeing."},
        {"He is kicking the bucket.", "He is/Verb/be kicking/Verb/kick the bucket",
         "kick the bucket = die -> He is dying."},
        // A verb the tagger took for a noun leaves the gloss's verb as it is; the plural after it is no verb.
        {"Just spill the beans!", "Just spill/Noun/spill the beans/Noun/bean",
         "spill the beans = reveal the secret -> Just reveal the secret!"},
    });
}

TEST(IdiomFinder, ContextsKeepLiteralUsesOut)
{
    check({
        {"She spilled the beans on the floor.", "She spilled/Verb/spill the beans on the floor", ""},
        {"The plane went down in flames.", "The plane went/Verb/go down in flames", ""},
        {"A plane, sadly, went down in flames.", "A plane sadly went/Verb/go down in flames", ""},
        {"It is a piece of cake.", "It is/Verb/be a piece of cake", "a piece of cake = very easy -> It is very easy."},
        {"A piece of cake.", "A piece of cake", ""},
        {"Just break a leg!", "Just break a leg", "break a leg = good luck -> Just good luck!"},
        {"Well, break a leg.", "Well break a leg", "break a leg = good luck -> Well, good luck."},
        {"I will break a leg.", "I will break a leg", ""},
        {"We should sleep on it.", "We should sleep/Verb/sleep on it",
         "sleep on it = think about it before deciding -> We should think about it before deciding."},
        {"It rained on my parade.", "It rained/Verb/rain on my parade", ""},
        {"They let him off the hook.", "They let him off the hook",
         "off the hook = free from blame -> They let him free from blame."},
        {"You are off the hook.", "You are/Verb/be off the hook",
         "off the hook = free from blame -> You are free from blame."},
        {"We jumped off the hook.", "We jumped off the hook", ""},
        {"She is just so over the moon.", "She is just so over the moon",
         "over the moon = very happy -> She is just so very happy."},
        {"He called out of the blue.", "He called out of the blue",
         "out of the blue = unexpectedly -> He called unexpectedly."},
        {"It came out of the blue sky.", "It came out of the blue sky/Noun", ""},
        {"You missed the boat again.", "You missed/Verb/miss the boat again",
         "miss the boat = miss the chance -> You missed the chance again."},
        {"You missed the boat, sadly.", "You missed/Verb/miss the boat sadly",
         "miss the boat = miss the chance -> You missed the chance, sadly."},
        {"You missed the boat to Paris.", "You missed/Verb/miss the boat to Paris", ""},
        {"Hang in there.", "Hang in there", "hang in there = keep going -> Keep going."},
        {"They hang in there.", "They hang in there", ""},
    });
}

TEST(IdiomFinder, LongestIdiomFirstAndOnlyWhereHovered)
{
    check({
        {"I feel under the weather.", "I feel under the weather", "feel under the weather = feel sick -> I feel sick.",
         "weather"},
        {"Break a leg and make a long story short.", "Break a leg and make a long story short",
         "make a long story short = say it briefly -> Break a leg and say it briefly."},
        {"Break a leg and make a long story short.", "Break a leg and make a long story short",
         "break a leg = good luck -> Good luck and make a long story short.", "leg"},
        {"He finally spilled the beans.", "He finally spilled/Verb/spill the beans",
         "spill the beans = reveal the secret -> He finally revealed the secret.", "beans"},
        {"He finally spilled the beans.", "He finally spilled/Verb/spill the beans", "", "finally"},
        {"He finally spilled the beans.", "He finally spilled/Verb/spill the beans", "", "finally "}, // touches it
        {"He finally spilled the beans.", "He finally spilled/Verb/spill the beans", "", "."},
        {"Spill the", "Spill the", ""},
        {"", "", ""},
    });
}

TEST(IdiomFinder, OddInputGivesAResultOrNothing)
{
    // Tokens of another, longer sentence: every slice and the rewrite stay inside the text.
    const QString longer = QStringLiteral("Well then, you missed the boat again today.");
    const auto tokens = handMadeTokens(longer, QStringLiteral("Well then you missed/Verb/miss the boat again today"));
    for (const QString &sentence : {QStringLiteral("Well then, you missed"), QString()}) {
        const auto found = find(sentence, std::nullopt, tokens);
        ASSERT_TRUE(found);
        EXPECT_TRUE(found->rewritten.startsWith(sentence.left(11)));
    }

    const QString broken = QChar(0xD800) + QStringLiteral(" break a leg ") + QChar(0xDC00);
    EXPECT_EQ(shown(find(broken, std::nullopt, handMadeTokens(broken, QStringLiteral("break a leg")))),
              QStringLiteral("break a leg = good luck -> ") + QChar(0xD800) + QStringLiteral(" good luck ")
                  + QChar(0xDC00));

    // Through the tagger: a long text, and a tagger whose pipeline died.
    auto tagger = std::make_shared<Testing::FakeTagger>();
    tagger->define(QStringLiteral("spilled"), {QStringLiteral("Verb"), QStringLiteral("spill")});
    Native::ScopedOverride<Native::Tagger> installed {tagger};
    QString large;
    while (large.size() < 100'000)
        large += QStringLiteral("Words upon words here. ");
    large += QStringLiteral("He spilled the beans.");
    const auto found = find(large, EnglishGrammar::Range {large.size() - 6, 5});
    ASSERT_TRUE(found);
    EXPECT_TRUE(found->rewritten.endsWith(QStringLiteral("He revealed the secret.")));
    EXPECT_EQ(found->range.start, large.size() - 18);
    EXPECT_FALSE(find(QStringLiteral("?! ... ()")));

    struct DeadTagger final : Native::Tagger
    {
        std::vector<Native::TaggedWord> words(QStringView, Native::TextRange, Native::TaggerOptions) override
        {
            return {};
        }
    };
    Native::ScopedOverride<Native::Tagger> dead {std::make_shared<DeadTagger>()};
    EXPECT_FALSE(find(QStringLiteral("He spilled the beans.")));
}
