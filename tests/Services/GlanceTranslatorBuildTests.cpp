// Building one glance over a fake back-end and a fake tagger: where the word is, which translations
// are asked for, and which meaning and sentence come out.

#include "Services/Learn/GlanceTranslator.h"

#include "Fakes/FakeGlanceTranslation.h"
#include "Fakes/FakeTagger.h"
#include "Fakes/HandMadeTokens.h"
#include "Native/Services.h"
#include "Services/Learn/MarkedText.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

using namespace Lumivox;
using Testing::FakeGlanceBackend;
using Testing::FakeTagger;

namespace {

using Line = EnglishGrammar::Line;

class GlanceBuilding : public ::testing::Test
{
protected:
    std::shared_ptr<FakeTagger> tagger = std::make_shared<FakeTagger>();
    Native::ScopedOverride<Native::Tagger> installed {tagger};
    std::shared_ptr<FakeGlanceBackend> backend = FakeGlanceBackend::make();

    /// "word/Class/lemma" items, as the hand-made tokens take them.
    void tag(const QString &described)
    {
        for (const QString &item : described.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QStringList parts = item.split(QLatin1Char('/'));
            tagger->define(parts[0], {parts.value(1), parts.size() > 2 ? std::optional(parts[2]) : std::nullopt, {}});
        }
    }

    std::optional<Glance> build(const QString &word, const QString &sentence, std::optional<qsizetype> offset,
                                const QString &source = QStringLiteral("en"), std::stop_token stop = {})
    {
        return Testing::await(
            GlanceTranslator::build(word, sentence, source, offset, backend->plain(), backend->marked(), stop));
    }
};

QString markedWordsOf(const std::optional<StyledText> &text)
{
    return text ? MarkedText::markedWords(*text) : QStringLiteral("<none>");
}

QCoro::Task<std::optional<QString>> counted(std::optional<QString> answer, std::shared_ptr<int> calls)
{
    ++*calls;
    co_return answer;
}

} // namespace

TEST_F(GlanceBuilding, TheMarkedRenderingInTheSentenceIsTheMeaning)
{
    tag(QStringLiteral("I/Pronoun/I saw/Verb/see a/Determiner/a red/Adjective/red car/Noun/car"));
    const QString sentence = QStringLiteral("I saw a red car.");
    backend->answerMarked(sentence, QStringLiteral("Vi un coche <b>rojo</b>."));
    backend->answerMarked(QStringLiteral("saw a red car"), QStringLiteral("vi un coche <b>rojo</b>"));

    const auto glance = build(QStringLiteral("red"), sentence, 8);
    ASSERT_TRUE(glance);
    EXPECT_EQ(glance->meaning, QStringLiteral("rojo"));
    EXPECT_EQ(glance->grammar, (Line {QStringLiteral("adjective"), QString()}));
    EXPECT_EQ(markedWordsOf(glance->sentence), QStringLiteral("rojo"));
    EXPECT_EQ(glance->base, std::nullopt); // its dictionary form is itself
    // The phrase travels with the word's mark moved into it; the word alone was never needed.
    ASSERT_EQ(backend->markedRequests.size(), 2u);
    const auto phrase = std::find_if(backend->markedRequests.begin(), backend->markedRequests.end(),
                                     [](const auto &r) { return r.text == QLatin1String("saw a red car"); });
    ASSERT_NE(phrase, backend->markedRequests.end());
    EXPECT_EQ(phrase->marks, (std::vector<TextRange> {{6, 3}}));
    EXPECT_TRUE(backend->plainRequests.empty());
    EXPECT_LE(backend->mostRunning, 2);
}

TEST_F(GlanceBuilding, OtherSourcesGetNoEnglishAnalysis)
{
    tag(QStringLiteral("rouge/Adjective/rouge voiture/Noun/voiture"));
    const QString sentence = QStringLiteral("Je vois une voiture rouge.");
    backend->answerMarked(sentence, QStringLiteral("I see a <b>red</b> car."));

    const auto glance = build(QStringLiteral("rouge"), sentence, std::nullopt, QStringLiteral("fr"));
    ASSERT_TRUE(glance);
    EXPECT_EQ(glance->meaning, QStringLiteral("red"));
    EXPECT_EQ(glance->grammar, std::nullopt);
    EXPECT_EQ(glance->base, std::nullopt);
    EXPECT_EQ(tagger->calls(), 0);
    EXPECT_TRUE(backend->plainRequests.empty()); // no compound either
}

TEST_F(GlanceBuilding, AWordThatIsNotInTheSentenceGivesNothingAndAsksNothing)
{
    const QString sentence = QStringLiteral("I saw a red cart.");
    EXPECT_EQ(build(QStringLiteral("cat"), sentence, std::nullopt), std::nullopt);
    EXPECT_EQ(build(QStringLiteral("car"), sentence, std::nullopt), std::nullopt); // only inside "cart"
    EXPECT_EQ(build(QString(), sentence, 0), std::nullopt);
    EXPECT_EQ(build(QStringLiteral("red"), QString(), 0), std::nullopt);
    EXPECT_TRUE(backend->markedRequests.empty());
    EXPECT_TRUE(backend->plainRequests.empty());

    // Offsets are UTF-16: a wrong one falls back to the first whole word, a right one wins over it.
    const QString twice = QStringLiteral("😀 red, then red.");
    EXPECT_EQ(GlanceTranslator::wordRange(QStringLiteral("red"), twice, 13), (TextRange {13, 3}));
    EXPECT_EQ(GlanceTranslator::wordRange(QStringLiteral("red"), twice, 400), (TextRange {3, 3}));
    // A right offset at the very end of the sentence still wins.
    EXPECT_EQ(GlanceTranslator::wordRange(QStringLiteral("red"), QStringLiteral("red red"), 4), (TextRange {4, 3}));
}

TEST_F(GlanceBuilding, AnIdiomIsExplainedThroughItsRewrittenSentence)
{
    tag(QStringLiteral("He/Pronoun/he finally/Adverb/finally spilled/Verb/spill the/Determiner/the beans/Noun/bean"));
    const QString sentence = QStringLiteral("He finally spilled the beans.");
    backend->answer(QStringLiteral("to spill"), QStringLiteral("derramar"));
    backend->answer(QStringLiteral("He finally revealed the secret."), QStringLiteral("Por fin reveló el secreto."));

    const auto glance = build(QStringLiteral("spilled"), sentence, 11);
    ASSERT_TRUE(glance);
    EXPECT_EQ(glance->meaning, QStringLiteral("derramar"));
    EXPECT_EQ(glance->grammar, (Line {QStringLiteral("idiom"), QStringLiteral("spill the beans = reveal the secret")}));
    ASSERT_TRUE(glance->sentence);
    EXPECT_EQ(*glance->sentence, StyledText(QStringLiteral("Por fin reveló el secreto.")));
    EXPECT_EQ(glance->base, QStringLiteral("spill"));
    EXPECT_TRUE(backend->markedRequests.empty());

    // Without a translation of the label there is no glance, and the sentence's request is stopped.
    backend = FakeGlanceBackend::make();
    backend->answer(QStringLiteral("He finally revealed the secret."), QStringLiteral("Por fin reveló el secreto."));
    EXPECT_EQ(build(QStringLiteral("spilled"), sentence, 11), std::nullopt);
    EXPECT_EQ(backend->stoppedRequests, 1);
    EXPECT_EQ(backend->running, 0);
}

TEST_F(GlanceBuilding, AModalIsTranslatedAloneAndItsSentenceShownAsTranslated)
{
    tag(QStringLiteral("You/Pronoun/you can/Verb/can go/Verb/go"));
    const QString sentence = QStringLiteral("You can go.");
    backend->answer(QStringLiteral("can"), QStringLiteral("poder"));
    backend->answerMarked(sentence, QStringLiteral("<b>Puedes</b> irte."));

    const auto glance = build(QStringLiteral("can"), sentence, 4);
    ASSERT_TRUE(glance);
    EXPECT_EQ(glance->meaning, QStringLiteral("poder"));
    EXPECT_EQ(markedWordsOf(glance->sentence), QStringLiteral("Puedes"));
    EXPECT_EQ(backend->markedRequests.size(), 1u); // no phrase
}

TEST_F(GlanceBuilding, APhrasalVerbMarksItsParticleToo)
{
    tag(QStringLiteral("You/Pronoun/you should/Verb/should give/Verb/give up/Particle/up smoking/Noun/smoking "
                       "now/Adverb/now my/Determiner/my friend/Noun/friend"));
    const QString sentence = QStringLiteral("You should give up smoking now, my friend.");
    backend->answerMarked(sentence, QStringLiteral("Deberías <b>dejar</b> de fumar ya, amigo mío."));

    const auto glance = build(QStringLiteral("give"), sentence, 11);
    ASSERT_TRUE(glance);
    EXPECT_EQ(glance->grammar, (Line {QStringLiteral("phrasal verb"), QStringLiteral("give up")}));
    EXPECT_EQ(glance->meaning, QStringLiteral("dejar"));
    ASSERT_EQ(backend->markedRequests.size(), 2u);
    for (const auto &request : backend->markedRequests) {
        if (request.text == sentence)
            EXPECT_EQ(request.marks, (std::vector<TextRange> {{11, 4}, {16, 2}}));
        else
            EXPECT_EQ(request.text, QStringLiteral("You should give up smoking now"));
    }
}

TEST_F(GlanceBuilding, TheSentenceMarkMovesToTheChosenMeaningOrIsDropped)
{
    tag(QStringLiteral("I/Pronoun/I saw/Verb/see a/Determiner/a red/Adjective/red car/Noun/car"));
    const QString sentence = QStringLiteral("I saw a red car.");
    // A mark that swallowed five words is not trusted; the phrase's mark agrees with the sentence.
    backend->answerMarked(sentence, QStringLiteral("<b>Vi un coche rojo ayer</b>."));
    backend->answerMarked(QStringLiteral("saw a red car"), QStringLiteral("vi un coche <b>rojo</b>"));
    auto glance = build(QStringLiteral("red"), sentence, 8);
    ASSERT_TRUE(glance);
    EXPECT_EQ(glance->meaning, QStringLiteral("rojo"));
    EXPECT_EQ(markedWordsOf(glance->sentence), QStringLiteral("rojo"));

    // The meaning does not occur in the sentence translation: it is shown without marks.
    backend = FakeGlanceBackend::make();
    backend->answerMarked(sentence, QStringLiteral("<b>Vi un coche muy bonito ayer</b>."));
    backend->answerMarked(QStringLiteral("saw a red car"), QStringLiteral("vi un coche <b>colorado</b>"));
    glance = build(QStringLiteral("red"), sentence, 8);
    ASSERT_TRUE(glance);
    EXPECT_EQ(glance->meaning, QStringLiteral("colorado"));
    ASSERT_TRUE(glance->sentence);
    EXPECT_TRUE(glance->sentence->stronglyEmphasizedRanges().empty());
    EXPECT_EQ(glance->sentence->text(), QStringLiteral("Vi un coche muy bonito ayer."));
}

TEST_F(GlanceBuilding, FailingTranslationsThinTheGlanceOrLeaveNone)
{
    tag(QStringLiteral("I/Pronoun/I saw/Verb/see a/Determiner/a red/Adjective/red car/Noun/car"));
    const QString sentence = QStringLiteral("I saw a red car.");
    EXPECT_EQ(build(QStringLiteral("red"), sentence, 8), std::nullopt);

    // Only the word alone comes back: a meaning without a sentence.
    backend->answer(QStringLiteral("red"), QStringLiteral("rojo"));
    const auto glance = build(QStringLiteral("red"), sentence, 8);
    ASSERT_TRUE(glance);
    EXPECT_EQ(glance->meaning, QStringLiteral("rojo"));
    EXPECT_EQ(glance->sentence, std::nullopt);

    // Stopped while its translations hang: no glance, and none of them is left running.
    backend = FakeGlanceBackend::make();
    backend->hold(true);
    std::stop_source stop;
    QTimer::singleShot(20, [&] { stop.request_stop(); });
    EXPECT_EQ(build(QStringLiteral("red"), sentence, 8, QStringLiteral("en"), stop.get_token()), std::nullopt);
    EXPECT_EQ(backend->running, 0);
    EXPECT_EQ(backend->stoppedRequests, 2);
}

TEST_F(GlanceBuilding, OddSentencesNeverBreakTheBuild)
{
    tag(QStringLiteral("red/Adjective/red"));
    // An unpaired surrogate before the word.
    const QString broken = QString(QChar(0xD800)) + QStringLiteral(" a red car and more");
    backend->answerMarked(broken, QStringLiteral("un coche <b>rojo</b>"));
    EXPECT_EQ(GlanceTranslator::wordRange(QStringLiteral("red"), broken, std::nullopt), (TextRange {4, 3}));
    const auto glance = build(QStringLiteral("red"), broken, std::nullopt);
    ASSERT_TRUE(glance);
    EXPECT_EQ(glance->meaning, QStringLiteral("rojo"));

    // A huge sentence with the word at its very end.
    QString huge;
    for (int i = 0; i < 20000; ++i)
        huge += QStringLiteral("word ");
    huge += QStringLiteral("red");
    backend->answerMarked(huge, QStringLiteral("… <b>rojo</b>"));
    const auto far = build(QStringLiteral("red"), huge, huge.size() - 3);
    ASSERT_TRUE(far);
    EXPECT_EQ(far->meaning, QStringLiteral("rojo"));
}

TEST(GlanceMeaning, TheChoiceFollowsWhatTheSentenceAgreesWith)
{
    auto compoundCalls = std::make_shared<int>(0);
    auto aloneCalls = std::make_shared<int>(0);
    auto choose = [&](QString sentenceMark, QString phraseMark, std::optional<QString> phrase,
                      std::optional<QString> sentence, std::optional<QString> compound, std::optional<QString> alone) {
        *compoundCalls = 0;
        *aloneCalls = 0;
        GlanceTranslator::LazyTranslation compounding;
        if (compound)
            compounding = [compound, compoundCalls] { return counted(compound, compoundCalls); };
        GlanceTranslator::LazyTranslation translatingAlone = [alone, aloneCalls] { return counted(alone, aloneCalls); };
        return Testing::await(GlanceTranslator::contextMeaning(sentenceMark, phraseMark, phrase, sentence,
                                                               QStringLiteral("bank"), compounding, translatingAlone));
    };
    const QString sentence = QStringLiteral("Fui a la orilla del río");

    // The sentence's mark, confirmed by the phrase, settles it at once.
    EXPECT_EQ(choose("orilla", "orilla", QStringLiteral("la orilla"), sentence, QStringLiteral("x"), {}),
              QStringLiteral("orilla"));
    EXPECT_EQ(*compoundCalls + *aloneCalls, 0);
    // Not confirmed: a compound overrules it, else it stands; the word alone is never asked.
    EXPECT_EQ(choose("orilla", "banco", QStringLiteral("el banco"), sentence, QStringLiteral("ribera"),
                     QStringLiteral("banco")),
              QStringLiteral("ribera"));
    EXPECT_EQ(choose("orilla", "banco", QStringLiteral("el banco"), sentence, {}, QStringLiteral("banco")),
              QStringLiteral("orilla"));
    EXPECT_EQ(*aloneCalls, 0);
    // No trusted sentence mark: the phrase's mark when the sentence has it.
    EXPECT_EQ(choose("", "orilla", QStringLiteral("la orilla"), sentence, {}, {}), QStringLiteral("orilla"));
    EXPECT_EQ(*aloneCalls, 0);
    // Then the compound, then the word alone, each only when the sentence has it.
    EXPECT_EQ(choose("", "banco", QStringLiteral("el banco"), sentence, QStringLiteral("río"), {}),
              QStringLiteral("río"));
    // Nothing agrees: the phrase's mark, then the compound, then the word alone.
    EXPECT_EQ(
        choose("", "banco", QStringLiteral("el banco"), sentence, QStringLiteral("caja"), QStringLiteral("asiento")),
        QStringLiteral("banco"));
    EXPECT_EQ(choose("", "", {}, sentence, QStringLiteral("caja"), QStringLiteral("asiento")), QStringLiteral("caja"));
    EXPECT_EQ(choose("", "", {}, std::nullopt, {}, {}), std::nullopt);
}

TEST(GlanceMeaning, MarksThatCannotBeOneWordsRenderingAreNotTrusted)
{
    const QString five = QStringLiteral("house");
    EXPECT_EQ(GlanceTranslator::trustedMeaning(QStringLiteral("  la casa \n"), five), QStringLiteral("la casa"));
    EXPECT_EQ(GlanceTranslator::trustedMeaning(QStringLiteral("una dos tres cuatro"), five),
              QStringLiteral("una dos tres cuatro"));
    EXPECT_EQ(GlanceTranslator::trustedMeaning(QStringLiteral("una dos tres cuatro cinco"), five), std::nullopt);
    EXPECT_EQ(GlanceTranslator::trustedMeaning(QStringLiteral("42 – !"), five), std::nullopt);
    EXPECT_EQ(GlanceTranslator::trustedMeaning(QString(48, QLatin1Char('a')), five), QString(48, QLatin1Char('a')));
    EXPECT_EQ(GlanceTranslator::trustedMeaning(QString(49, QLatin1Char('a')), five), std::nullopt);
    // Longer words may have longer renderings: eight times their length.
    const QString six = QStringLiteral("houses");
    EXPECT_TRUE(GlanceTranslator::trustedMeaning(QString(48, QLatin1Char('a')), six));
    EXPECT_FALSE(GlanceTranslator::trustedMeaning(QString(49, QLatin1Char('a')), six));

    EXPECT_EQ(GlanceTranslator::distinct(QStringLiteral("Run"), QStringLiteral("run")), std::nullopt);
    EXPECT_EQ(GlanceTranslator::distinct(QStringLiteral("go"), QStringLiteral("went")), QStringLiteral("go"));
}

TEST(GlancePhrase, StopsAtItsClauseAndAddsOnlyWhatTheSentenceDoesNotAlreadySay)
{
    const QString sentence = QStringLiteral("Well, he ran home quickly; then slept");
    const qsizetype home = sentence.indexOf(QStringLiteral("home"));
    const auto phrase = GlanceTranslator::phrase({{home, 4}}, sentence, 2);
    ASSERT_TRUE(phrase);
    EXPECT_EQ(phrase->text, QStringLiteral("he ran home quickly"));
    EXPECT_EQ(phrase->marks, (std::vector<TextRange> {{7, 4}}));

    EXPECT_EQ(GlanceTranslator::phrase({{4, 3}}, QStringLiteral("\"A red car.\""), 2), std::nullopt); // all of it
    EXPECT_EQ(GlanceTranslator::phrase({{0, 4}}, QStringLiteral("Home, sweet home"), 2),
              std::nullopt); // nothing to add
    EXPECT_EQ(GlanceTranslator::phrase({{30, 40}}, sentence, 2), std::nullopt); // past the end

    // The phrase reaches `radius` words on each side, from either end of the sentence.
    struct Case
    {
        QString sentence;
        TextRange mark;
        int radius;
        std::optional<QString> text;
        qsizetype markAt;
    };
    const std::vector<Case> cases {
        {QStringLiteral("Red car goes fast now."), {0, 3}, 2, QStringLiteral("Red car goes"), 0},
        {QStringLiteral("he ran home very quickly now"), {7, 4}, 2, QStringLiteral("he ran home very quickly"), 7},
        {QStringLiteral("Red car goes fast now."), {0, 3}, 0, std::nullopt, 0},
    };
    for (const Case &c : cases) {
        const auto got = GlanceTranslator::phrase({c.mark}, c.sentence, c.radius);
        ASSERT_EQ(got.has_value(), c.text.has_value()) << c.sentence.toStdString();
        if (got) {
            EXPECT_EQ(got->text, *c.text);
            EXPECT_EQ(got->marks, (std::vector<TextRange> {{c.markAt, c.mark.length}}));
        }
    }
}

TEST(GlanceCompound, TwoOrThreeNounsEndingInTheWordWithNothingButSpaces)
{
    const QString three = QStringLiteral("The city bus station was closed.");
    const auto tokens = Testing::handMadeTokens(
        three, QStringLiteral("The/Determiner city/Noun bus/Noun station/Noun was/Verb/be closed/Verb/close"));
    EXPECT_EQ(GlanceTranslator::compound({13, 7}, three, tokens), QStringLiteral("city bus station"));

    const QString cut = QStringLiteral("The city, bus station was closed.");
    EXPECT_EQ(GlanceTranslator::compound(
                  {14, 7}, cut,
                  Testing::handMadeTokens(cut, QStringLiteral("The/Determiner city/Noun bus/Noun station/Noun"))),
              QStringLiteral("bus station"));

    const QString lone = QStringLiteral("The old station");
    const auto loneTokens = Testing::handMadeTokens(lone, QStringLiteral("The/Determiner old/Adjective station/Noun"));
    EXPECT_EQ(GlanceTranslator::compound({8, 7}, lone, loneTokens), std::nullopt);
    EXPECT_EQ(GlanceTranslator::compound({0, 3}, three, tokens), std::nullopt); // not a noun, and first

    // Nouns written together join as well: no gap at all is still nothing but spaces.
    const QString joined = QStringLiteral("The busstation");
    EXPECT_EQ(
        GlanceTranslator::compound(
            {7, 7}, joined, Testing::handMadeTokens(joined, QStringLiteral("The/Determiner bus/Noun station/Noun"))),
        QStringLiteral("busstation"));
}

TEST(GlanceGoogle, OnlyATwoLetterSourceIsHandedOnAnythingElseIsLeftToDetection)
{
    const std::vector<std::pair<QString, std::optional<QString>>> rows {
        {QStringLiteral("en"), QStringLiteral("en")}, {QStringLiteral("pt"), QStringLiteral("pt")},
        {QStringLiteral("zh-Hans"), std::nullopt},    {QStringLiteral("fil"), std::nullopt},
        {QStringLiteral("e"), std::nullopt},          {QString(), std::nullopt},
    };
    for (const auto &[source, handed] : rows)
        EXPECT_EQ(GlanceTranslator::googleSource(source), handed) << source.toStdString();
}
