// Glances through the real tagger, cld2 and the Apertium en→es pair, the way a hover and the
// read-ahead ask for them.

#include "Services/Learn/GlanceTranslator.h"
#include "Services/Learn/MarkedText.h"
#include "Services/Learn/ReadAhead.h"
#include "Services/Translation/AppleTranslateService.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

using namespace Lumivox;

namespace {

// The tagger and the translator need no display; stay off the X server.
const bool offscreen = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}();

const QString es = QStringLiteral("es");

std::optional<Glance> hover(GlanceTranslator &translator, const QString &word, const QString &sentence,
                            const QString &target = es)
{
    return Testing::await(translator.start(word, sentence, target, false, sentence.indexOf(word), false).value());
}

QString line(const std::optional<Glance> &glance)
{
    if (!glance || !glance->grammar)
        return {};
    return glance->grammar->text.isEmpty() ? glance->grammar->tag
                                           : glance->grammar->tag + QStringLiteral(": ") + glance->grammar->text;
}

} // namespace

TEST(Glance, AWordsMeaningIsItsMarkedRenderingInTheTranslatedSentence)
{
    GlanceTranslator translator {AppleTranslateService::shared()};
    const QString sentence = QStringLiteral("I saw a red car in the street yesterday.");
    const auto red = hover(translator, QStringLiteral("red"), sentence);
    ASSERT_TRUE(red);
    EXPECT_EQ(red->meaning, QStringLiteral("rojo"));
    EXPECT_EQ(line(red), QStringLiteral("adjective"));
    ASSERT_TRUE(red->sentence);
    EXPECT_EQ(red->sentence->text(), QStringLiteral("Vi un coche rojo en la calle ayer."));
    EXPECT_EQ(MarkedText::markedWords(*red->sentence), QStringLiteral("rojo"));
    EXPECT_EQ(translator.take(QStringLiteral("red"), sentence, es, sentence.indexOf(QStringLiteral("red")))->glance,
              *red);

    const auto went =
        hover(translator, QStringLiteral("went"), QStringLiteral("She went home after the long meeting."));
    ASSERT_TRUE(went);
    EXPECT_EQ(line(went), QStringLiteral("verb: past of go"));
    EXPECT_EQ(went->base, QStringLiteral("go"));
    ASSERT_TRUE(went->sentence);
    EXPECT_EQ(MarkedText::markedWords(*went->sentence), went->meaning);

    const auto can = hover(translator, QStringLiteral("can"), QStringLiteral("You can go to the beach tomorrow."));
    ASSERT_TRUE(can);
    EXPECT_EQ(line(can), QStringLiteral("verb"));
    EXPECT_EQ(can->meaning, QStringLiteral("puede"));
}

TEST(Glance, AnIdiomShowsItsPlainMeaningAndTheRewrittenSentence)
{
    GlanceTranslator translator {AppleTranslateService::shared()};
    const auto glance =
        hover(translator, QStringLiteral("spilled"), QStringLiteral("He finally spilled the beans about the party."));
    ASSERT_TRUE(glance);
    EXPECT_EQ(line(glance), QStringLiteral("idiom: spill the beans = reveal the secret"));
    EXPECT_FALSE(glance->meaning.isEmpty());
    ASSERT_TRUE(glance->sentence);
    EXPECT_TRUE(glance->sentence->text().contains(QStringLiteral("reveló el secreto")));
    EXPECT_TRUE(glance->sentence->stronglyEmphasizedRanges().empty());
    EXPECT_EQ(glance->base, QStringLiteral("spill"));
}

TEST(Glance, NothingForTheTargetLanguageOrAPairWithoutAnEngine)
{
    GlanceTranslator translator {AppleTranslateService::shared()};
    EXPECT_EQ(hover(translator, QStringLiteral("perro"), QStringLiteral("El perro come la comida en la cocina.")),
              std::nullopt);
    // English reaches Russian on no route of the installed pairs and there is no Google key.
    EXPECT_EQ(hover(translator, QStringLiteral("red"), QStringLiteral("I saw a red car in the street yesterday."),
                    QStringLiteral("ru")),
              std::nullopt);
}

TEST(Glance, ReadAheadPreparesTheNextWordsForTheHover)
{
    const QString sentence = QStringLiteral("The small dog was sleeping under the kitchen table.");
    const auto source = GlanceTranslator::sourceLanguage(sentence);
    ASSERT_EQ(source, QStringLiteral("en"));
    ASSERT_TRUE(ReadAhead::isOnDevice(source, es));
    EXPECT_TRUE(ReadAhead::isOnDevice(source, QStringLiteral("fr"))); // through Spanish
    EXPECT_FALSE(ReadAhead::isOnDevice(source, QStringLiteral("ru")));

    GlanceTranslator translator {AppleTranslateService::shared()};
    const auto next = ReadAhead::words(sentence.indexOf(QStringLiteral("small")), sentence, 3, true);
    ASSERT_EQ(next.size(), 3u);
    for (const ReadAhead::Word &word : next) {
        if (!translator.cached(word.text, sentence, es, word.offset))
            Testing::await(translator.start(word.text, sentence, es, false, word.offset, true).value());
    }
    const auto dog = translator.take(QStringLiteral("dog"), sentence, es, sentence.indexOf(QStringLiteral("dog")));
    ASSERT_TRUE(dog);
    EXPECT_TRUE(dog->wasReadAhead);
    EXPECT_EQ(dog->glance.meaning, QStringLiteral("perro"));
}
