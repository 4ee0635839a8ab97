#include "Services/Learn/EnglishGrammar.h"

#include "Fakes/FakeTagger.h"
#include "Native/Services.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace Lumivox;
using namespace Lumivox::EnglishGrammar;
using Testing::FakeTagger;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

struct Expected
{
    const WordSet &set;
    qsizetype count;
    const char *first;
    const char *last;
};

} // namespace

TEST(EnglishGrammarTables, SetsHaveTheirCountsAndOrder)
{
    const Expected tables[] = {
        {modals(), 10, "can", "ought"},
        {subjects(), 7, "i", "they"},
        {objectPronouns(), 9, "it", "that"},
        {possessives(), 7, "my", "their"},
        {determiners(), 6, "a", "such"},
        {intensifiers(), 11, "very", "totally"},
        {beForms(), 21, "is", "got"},
        {auxiliaries(), 22, "have", "getting"},
        {particles(), 17, "off", "by"},
        {irregularPlurals(), 15, "children", "alumni"},
        {edAdjectives(), 25, "surprised", "broken"},
        {ingAdjectives(), 35, "boring", "striking"},
        {afterRemaining(), 13, "to", "yet"},
        {quantityWords(), 7, "no", "more"},
        {quantifiers(), 9, "nothing", "little"},
        {directionVerbs(), 24, "turn", "headed"},
        {ambiguousPast(), 1, "wound", "wound"},
        {placeAndTimeNouns(), 99, "morning", "market"},
        {gradableAdjectives(), 117, "warm", "shy"},
        {phrasalVerbs(), 146, "break down", "write down"},
    };
    for (const Expected &t : tables) {
        // Equal counts of entries and distinct entries: nothing doubled, nothing dropped.
        EXPECT_EQ(t.set.entries().size(), t.count) << t.first;
        EXPECT_EQ(t.set.size(), t.count) << t.first;
        EXPECT_EQ(t.set.entries().front(), QString::fromUtf8(t.first));
        EXPECT_EQ(t.set.entries().back(), QString::fromUtf8(t.last));
        for (const QString &entry : t.set.entries())
            EXPECT_EQ(entry, entry.trimmed().toLower()) << t.first;
    }
    EXPECT_TRUE(beForms().contains(QStringLiteral("'m")));
    EXPECT_EQ(beForms().entries().mid(8, 3), (QStringList {"'s", "'re", "'m"}));
    EXPECT_TRUE(placeAndTimeNouns().contains(QStringLiteral("may")));
    for (const QString &verb : phrasalVerbs().entries())
        EXPECT_EQ(verb.count(QLatin1Char(' ')), 1) << verb.toStdString();

    EXPECT_EQ(presentForms().keys(), (QStringList {"am", "is", "are", "'m", "'re", "has"}));
    EXPECT_EQ(presentForms().value(QStringLiteral("has")), QStringLiteral("have"));
    EXPECT_EQ(comparatives().keys(), (QStringList {"better", "best", "worse", "worst"}));
    EXPECT_EQ(comparatives().value(QStringLiteral("worst")), QStringLiteral("bad"));
    EXPECT_FALSE(comparatives().value(QStringLiteral("good")));
}

TEST(EnglishGrammarTables, IrregularVerbsAndWhatIsBuiltFromThem)
{
    const QString &text = irregularVerbs();
    EXPECT_EQ(text.size(), 2244);
    const QStringList rows = text.split(QLatin1Char('|'));
    ASSERT_EQ(rows.size(), 135);
    EXPECT_EQ(rows[0], QStringLiteral("arise arose arisen"));
    EXPECT_EQ(rows[1], QStringLiteral("awake awoke awoken"));
    EXPECT_EQ(rows[2], QStringLiteral("be was been"));
    EXPECT_EQ(rows[3], QStringLiteral("be were been"));
    EXPECT_EQ(rows.back(), QStringLiteral("write wrote written"));
    for (const QString &row : rows)
        EXPECT_EQ(row.split(QLatin1Char(' ')).size(), 3) << row.toStdString();

    const WordMap &base = irregularBase();
    EXPECT_EQ(base.keys().mid(0, 4), (QStringList {"arose", "arisen", "awoke", "awoken"}));
    EXPECT_EQ(base.value(QStringLiteral("was")), QStringLiteral("be"));
    EXPECT_EQ(base.value(QStringLiteral("were")), QStringLiteral("be"));
    EXPECT_EQ(base.value(QStringLiteral("lay")),
              QStringLiteral("lie")); // "lay laid laid" comes first but adds only "laid"
    EXPECT_EQ(base.value(QStringLiteral("laid")), QStringLiteral("lay"));
    EXPECT_EQ(base.value(QStringLiteral("left")), QStringLiteral("leave"));
    EXPECT_EQ(base.value(QStringLiteral("wound")), QStringLiteral("wind"));
    EXPECT_EQ(base.value(QStringLiteral("found")), QStringLiteral("find"));
    EXPECT_EQ(base.value(QStringLiteral("ground")), QStringLiteral("grind"));
    EXPECT_FALSE(base.contains(QStringLiteral("cut")));
    EXPECT_FALSE(base.contains(QStringLiteral("come")));
    EXPECT_EQ(base.value(QStringLiteral("came")), QStringLiteral("come"));

    EXPECT_EQ(irregularPast().value(QStringLiteral("be")), QStringLiteral("was"));
    EXPECT_EQ(irregularPast().value(QStringLiteral("lie")), QStringLiteral("lay"));
    EXPECT_EQ(irregularPast().size(), 134); // "be" has two rows

    for (const char *past : {"went", "ate", "was", "were", "lay", "wrote"})
        EXPECT_TRUE(pastOnly().contains(QString::fromUtf8(past))) << past;
    for (const char *word : {"got", "felt", "made", "cut", "gone"})
        EXPECT_FALSE(pastOnly().contains(QString::fromUtf8(word))) << word;
    for (const char *participle : {"gone", "eaten", "gotten", "been", "lain"})
        EXPECT_TRUE(participleOnly().contains(QString::fromUtf8(participle))) << participle;
    EXPECT_FALSE(participleOnly().contains(QStringLiteral("got")));
    EXPECT_FALSE(participleOnly().contains(QStringLiteral("made")));
}

TEST(EnglishGrammarTokens, KeepTheTaggersWordsAndTheirExactText)
{
    auto tagger = std::make_shared<FakeTagger>();
    Native::ScopedOverride<Native::Tagger> override(tagger);
    tagger->define(QStringLiteral("cats"), {QStringLiteral("Noun"), QStringLiteral("cat"), std::nullopt});
    tagger->define(QStringLiteral("sleep"), {QStringLiteral("Verb"), QStringLiteral("sleep"), std::nullopt});

    const QString sentence = QStringLiteral("\U0001F600 Cats, cats sleep zorblax!");
    const auto tokens = EnglishGrammar::tokens(sentence);
    ASSERT_EQ(tokens.size(), 4u);
    for (const Token &token : tokens)
        EXPECT_EQ(token.text, sentence.mid(token.range.start, token.range.length));
    EXPECT_EQ(tokens[0].text, QStringLiteral("Cats"));
    EXPECT_EQ(tokens[0].range, (Range {3, 4}));
    EXPECT_FALSE(tokens[0].cls); // the tagger gave nothing: the token stays, untagged
    EXPECT_EQ(tokens[1].cls, QStringLiteral("Noun"));
    EXPECT_EQ(tokens[1].lemma, QStringLiteral("cat"));
    EXPECT_EQ(tokens[3].text, QStringLiteral("zorblax"));
    EXPECT_FALSE(tokens[3].lemma);

    EXPECT_TRUE(EnglishGrammar::tokens(QString()).empty());
    EXPECT_TRUE(EnglishGrammar::tokens(QStringLiteral(" ?! ... ")).empty());
}

TEST(EnglishGrammarTokens, AdjectiveProbeNeedsAnAdjectiveWithALemma)
{
    auto tagger = std::make_shared<FakeTagger>();
    Native::ScopedOverride<Native::Tagger> override(tagger);
    tagger->define(QStringLiteral("happy"), {QStringLiteral("Adjective"), QStringLiteral("happy"), std::nullopt});
    tagger->define(QStringLiteral("odd"), {QStringLiteral("Adjective"), std::nullopt, std::nullopt});
    tagger->define(QStringLiteral("house"), {QStringLiteral("Noun"), QStringLiteral("house"), std::nullopt});

    EXPECT_TRUE(isAdjective(QStringLiteral("happy")));
    EXPECT_EQ(tagger->lastText(), QStringLiteral("It is very happy."));
    EXPECT_FALSE(isAdjective(QStringLiteral("odd")));
    EXPECT_FALSE(isAdjective(QStringLiteral("house")));
    EXPECT_FALSE(isAdjective(QStringLiteral("unknownword")));
    EXPECT_FALSE(isAdjective(QString()));
}
