// The English tokens, the adjective probe and the name test over the real tagger.

#include "Services/Filtering/WordFilter.h"
#include "Services/Learn/EnglishGrammar.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <ostream>

using namespace Lumivox;
using namespace Lumivox::EnglishGrammar;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

// These tests need the tagger, not the display: stay off the X server, whose keyboard set-up trips
// AddressSanitizer's strict string checks inside libxkbcommon-x11.
const bool offscreen = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}();

struct Case
{
    QString sentence;
    QStringList texts;
};

// "word/Class/lemma" for each token, with "-" for what is absent.
QStringList described(const std::vector<Token> &tokens)
{
    QStringList out;
    for (const Token &t : tokens)
        out << t.text + QLatin1Char('/') + t.cls.value_or(QStringLiteral("-")) + QLatin1Char('/')
                + t.lemma.value_or(QStringLiteral("-"));
    return out;
}

} // namespace

TEST(EnglishTokens, SentencesSliceExactlyAndSplitContractions)
{
    const Case cases[] = {
        {QStringLiteral("I don't know."), {"I", "do", "n't", "know"}},
        {QStringLiteral("She's happy, isn't she?"), {"She", "'s", "happy", "is", "n't", "she"}},
        {QStringLiteral("\U0001F600 Cats were running home."), {"Cats", "were", "running", "home"}},
        {QStringLiteral("The zorblax flies."), {"The", "zorblax", "flies"}},
        {QStringLiteral("We'll see what they've done."), {"We", "'ll", "see", "what", "they", "'ve", "done"}},
        {QStringLiteral("I can't and won't go."), {"I", "can", "'t", "and", "wo", "n't", "go"}},
        {QStringLiteral("It costs $5 (about 50%)."), {"It", "costs", "5", "about", "50%"}},
        {QStringLiteral("\u201CDon\u2019t\u201D \u2014 he said."), {"Do", "n\u2019t", "he", "said"}},
        {QStringLiteral("John's cafe\u0301 is na\u00EFve."), {"John", "'s", "cafe\u0301", "is", "na\u00EFve"}},
        {QStringLiteral("first line\nsecond\tline"), {"first", "line", "second", "line"}},
        {QStringLiteral("The children gave it up at least."), {"The", "children", "gave", "it", "up", "at", "least"}},
        {QStringLiteral("This is bigger than that."), {"This", "is", "bigger", "than", "that"}},
        {QStringLiteral("Email me@example.com or call."), {"Email", "me@example.com", "or", "call"}},
    };
    for (const Case &c : cases) {
        const auto tokens = EnglishGrammar::tokens(c.sentence);
        QStringList texts;
        for (const Token &t : tokens) {
            EXPECT_EQ(t.text, c.sentence.mid(t.range.start, t.range.length)) << c.sentence.toStdString();
            texts << t.text;
        }
        EXPECT_EQ(texts, c.texts) << described(tokens).join(QLatin1Char(' ')).toStdString();
    }
}

TEST(EnglishTokens, ClassesAndLemmasUseTheTagNames)
{
    const auto tokens = EnglishGrammar::tokens(QStringLiteral("I don't think the children went home quickly, oh."));
    EXPECT_EQ(described(tokens),
              (QStringList {"I/Pronoun/I", "do/Verb/do", "n't/Adverb/not", "think/Verb/think", "the/Determiner/the",
                            "children/Noun/child", "went/Verb/go", "home/Adverb/home", "quickly/Adverb/quickly",
                            "oh/Interjection/oh"}));

    const auto more = EnglishGrammar::tokens(QStringLiteral("She is bigger than 3 zorblaxes in Paris."));
    EXPECT_EQ(described(more),
              (QStringList {"She/Pronoun/she", "is/Verb/be", "bigger/Adjective/big", "than/Conjunction/than",
                            "3/Number/3", "zorblaxes/-/-", "in/Preposition/in", "Paris/Noun/Paris"}));
}

TEST(EnglishTokens, HarmlessOnOddInput)
{
    EXPECT_TRUE(EnglishGrammar::tokens(QString()).empty());
    EXPECT_TRUE(EnglishGrammar::tokens(QStringLiteral("?! ... \u2014 ()")).empty());
    const QString broken = QStringLiteral("cold ") + QChar(0xDC00) + QStringLiteral("warm") + QChar(0xD83D);
    const auto tokens = EnglishGrammar::tokens(broken);
    QStringList texts;
    for (const Token &t : tokens)
        texts << t.text;
    EXPECT_EQ(texts, (QStringList {"cold", "warm"}));
}

TEST(EnglishTokens, AdjectiveProbe)
{
    EXPECT_TRUE(isAdjective(QStringLiteral("happy")));
    EXPECT_TRUE(isAdjective(QStringLiteral("tired")));
    EXPECT_FALSE(isAdjective(QStringLiteral("house")));
    EXPECT_FALSE(isAdjective(QStringLiteral("zorblax")));
}

TEST(WordFilterNames, PersonalNamesFromTheTagger)
{
    using Verdict = WordEvaluation::Verdict;
    auto verdict = [](const char *word, const char *context) {
        return WordFilter::evaluate(QString::fromUtf8(word), QString::fromUtf8(context)).verdict;
    };
    EXPECT_EQ(verdict("John", "Then John went home."), Verdict::personName);
    EXPECT_EQ(verdict("Mary", "Mary Smith is here."), Verdict::personName);
    EXPECT_EQ(verdict("Smith", "Mary Smith is here."), Verdict::personName);
    EXPECT_EQ(verdict("Paris", "We flew to Paris."), Verdict::translatable);
    EXPECT_EQ(verdict("House", "House prices rose."), Verdict::translatable);
    EXPECT_EQ(verdict("Jones", "Jones"), Verdict::translatable);
}
