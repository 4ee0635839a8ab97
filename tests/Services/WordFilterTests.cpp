#include "Services/Filtering/WordFilter.h"

#include "Fakes/FakeTagger.h"
#include "Native/Services.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace Lumivox;
using Verdict = WordEvaluation::Verdict;
using Testing::FakeTagger;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

class WordFilterTest : public ::testing::Test
{
protected:
    WordFilterTest()
    {
        tagger->define(QStringLiteral("John"),
                       {QStringLiteral("Noun"), QStringLiteral("John"), QStringLiteral("PersonalName")});
        tagger->define(QStringLiteral("Smith"), {QStringLiteral("Noun"), QStringLiteral("Smith"), std::nullopt});
        tagger->define(QStringLiteral("Mary"),
                       {QStringLiteral("Noun"), QStringLiteral("Mary"), QStringLiteral("PersonalName")});
        tagger->define(QStringLiteral("Paris"),
                       {QStringLiteral("Noun"), QStringLiteral("Paris"), QStringLiteral("PlaceName")});
    }

    Verdict verdict(const char *word, std::optional<QString> context = std::nullopt)
    {
        return WordFilter::evaluate(QString::fromUtf8(word), context).verdict;
    }

    std::shared_ptr<FakeTagger> tagger = std::make_shared<FakeTagger>();
    Native::ScopedOverride<Native::Tagger> override {tagger};
};

} // namespace

TEST_F(WordFilterTest, NumbersStrayCharactersAndHexAreNotWords)
{
    for (const char *word : {"a", "  x  ", "", "123", "12.5", "1e5", "-2E+3", "NaN", "nan", "Infinity", "INF", "0xFF",
                             "0Xff", "0X1p3", "0xzz", "...", "--", "\U0001F600\U0001F600", "€20"})
        EXPECT_EQ(verdict(word), Verdict::notAWord) << word;
    // A capital X escapes the prefix rule; a decimal comma is no number in the C locale.
    EXPECT_NE(verdict("0Xzz"), Verdict::notAWord);
    EXPECT_EQ(verdict("1,5e"), Verdict::translatable);
    // Two letters of any script are enough.
    EXPECT_EQ(verdict("ok"), Verdict::translatable);
    EXPECT_EQ(verdict("日本"), Verdict::translatable);
    EXPECT_EQ(verdict("e\u0301"), Verdict::notAWord); // one character of two scalars
}

TEST_F(WordFilterTest, LinksMustCoverTheWholeWord)
{
    EXPECT_EQ(verdict("https://example.com/page"), Verdict::link);
    EXPECT_EQ(verdict("www.example.org"), Verdict::link);
    EXPECT_EQ(verdict("someone@example.com"), Verdict::link);
    // The detector finds "example.com" but not the whole word: the dot rule makes it code instead.
    EXPECT_EQ(verdict("example.com/x\""), Verdict::code);
    EXPECT_EQ(verdict("file.txt"), Verdict::code);
}

TEST_F(WordFilterTest, CodeTokensMarkersDotsAndInnerCapitals)
{
    for (const char *word : {"func", "nil", "undefined", "snake_case", "a->b", "foo()", "x==y", "</div>", "std::move",
                             "file.txt", "obj.member", "camelCase", "iPhone", "McDonald"})
        EXPECT_EQ(verdict(word, QStringLiteral("plain prose here")), Verdict::code) << word;
    for (const char *word : {"etc.", "U.S.", "NASA", "Paris", "Hello", "hello-World", "x2Y", "don't", "Func", "ÉCOLE"})
        EXPECT_EQ(verdict(word), Verdict::translatable) << word;
    EXPECT_EQ(verdict("ÀbçDé"), Verdict::code); // inner capital in accented letters
    // Letters written with a combining accent are judged as the letters they show.
    EXPECT_EQ(verdict("e\u0301Dx"), Verdict::code);
    EXPECT_EQ(verdict("aE\u0301x"), Verdict::code);
    EXPECT_EQ(verdict("ab1\u0301c"), Verdict::translatable); // an accented digit is no capital
}

TEST_F(WordFilterTest, AmbiguousKeywordsAreCodeOnlyInCodeContext)
{
    EXPECT_EQ(verdict("return", QStringLiteral("return x;")), Verdict::code);
    EXPECT_EQ(verdict("return", QStringLiteral("if done return result")), Verdict::translatable);
    EXPECT_EQ(verdict("return", QStringLiteral("return home")), Verdict::translatable);
    EXPECT_EQ(verdict("return", std::nullopt), Verdict::translatable);
    EXPECT_EQ(verdict("self", QStringLiteral("let self be")), Verdict::code); // a code token in the context
    EXPECT_EQ(verdict("guard", QStringLiteral("guard isValid else")), Verdict::code); // a camel-case word
    EXPECT_EQ(verdict("Return", QStringLiteral("return x;")), Verdict::translatable); // case-sensitive
}

TEST_F(WordFilterTest, PersonNamesComeFromTheTaggerInContext)
{
    EXPECT_EQ(verdict("John", QStringLiteral("Then John went home.")), Verdict::personName);
    EXPECT_EQ(tagger->lastText(), QStringLiteral("Then John went home."));
    EXPECT_TRUE(tagger->lastOptions().joinNames);
    EXPECT_EQ(verdict("Smith", QStringLiteral("The Smith family")), Verdict::translatable);
    EXPECT_EQ(verdict("Paris"), Verdict::translatable);
    // A context that does not hold the word is not used.
    EXPECT_EQ(verdict("John", QStringLiteral("someone else")), Verdict::personName);
    EXPECT_EQ(tagger->lastText(), QStringLiteral("John"));

    // Lower-case words are never names and never reach the tagger.
    tagger->define(QStringLiteral("john"),
                   {QStringLiteral("Noun"), QStringLiteral("john"), QStringLiteral("PersonalName")});
    const int calls = tagger->calls();
    EXPECT_EQ(verdict("john", QStringLiteral("john went")), Verdict::translatable);
    EXPECT_EQ(verdict("éric", QStringLiteral("éric went")), Verdict::translatable);
    EXPECT_EQ(tagger->calls(), calls);
}

TEST_F(WordFilterTest, ReturnsTheTrimmedWordWithEveryVerdict)
{
    const auto plain = WordFilter::evaluate(QStringLiteral("\n  house\t "), std::nullopt);
    EXPECT_EQ(plain.word, QStringLiteral("house"));
    EXPECT_TRUE(plain.isTranslatable());
    const auto code = WordFilter::evaluate(QStringLiteral(" func\u2029"), std::nullopt);
    EXPECT_EQ(code.word, QStringLiteral("func"));
    EXPECT_FALSE(code.isTranslatable());
    // Unpaired surrogates and a NUL are judged without harm.
    EXPECT_EQ(WordFilter::evaluate(QString(QChar(0xD800)) + QStringLiteral("ab"), std::nullopt).verdict,
              Verdict::translatable);
    EXPECT_EQ(WordFilter::evaluate(QStringLiteral("12") + QChar(0) + QStringLiteral("ab"), std::nullopt).verdict,
              Verdict::translatable);
}

TEST_F(WordFilterTest, EveryListedMarkerTokenAndKeywordActsOnAWord)
{
    // Each marker makes code of an otherwise plain word, wherever it sits in it.
    for (const QString &marker : WordFilter::codeMarkers()) {
        EXPECT_EQ(WordFilter::evaluate(QStringLiteral("ab") + marker + QStringLiteral("cd"), std::nullopt).verdict,
                  Verdict::code)
            << marker.toStdString();
    }
    for (const QString &token : WordFilter::unambiguousCodeTokens())
        EXPECT_EQ(WordFilter::evaluate(token, std::nullopt).verdict, Verdict::code) << token.toStdString();
    // A keyword is prose until its context looks like code.
    for (const QString &keyword : WordFilter::ambiguousCodeKeywords()) {
        EXPECT_EQ(WordFilter::evaluate(keyword, QStringLiteral("the ") + keyword + QStringLiteral(" here")).verdict,
                  Verdict::translatable)
            << keyword.toStdString();
        EXPECT_EQ(WordFilter::evaluate(keyword, keyword + QStringLiteral(" x;")).verdict, Verdict::code)
            << keyword.toStdString();
    }
}
