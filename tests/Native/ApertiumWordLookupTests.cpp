// A word translated alone through the real installed Apertium pairs: its dictionary sense in its
// dictionary form, in the part of speech its sentence gives it.

#include "Native/Translation/ApertiumTranslator.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace Lumivox::Native;
namespace AT = Lumivox::Native::ApertiumTranslation;
namespace AW = Lumivox::Native::ApertiumWords;
using Lumivox::Native::Apertium::ReadingPart;

namespace {

struct Case
{
    const char *word;
    const char *expected;
    /// The sentence the word was met in, when the test gives one.
    const char *sentence = nullptr;
};

struct Direction
{
    const char *source;
    const char *target;
    std::vector<Case> cases;
};

void expectTranslations(const Direction &direction)
{
    ApertiumTranslator translator;
    const auto session = translator.session(QString::fromUtf8(direction.source), QString::fromUtf8(direction.target));
    ASSERT_TRUE(session) << direction.source << "-" << direction.target << " is not installed";
    for (const Case &c : direction.cases) {
        const QString word = QString::fromUtf8(c.word);
        std::optional<WordContext> context;
        if (c.sentence) {
            const QString sentence = QString::fromUtf8(c.sentence);
            context = WordContext {sentence, sentence.indexOf(word)};
        }
        const auto result = session->translateWord(word, context);
        EXPECT_EQ(result.value.value_or(QStringLiteral("(failed)")), QString::fromUtf8(c.expected))
            << direction.source << "-" << direction.target << " " << c.word << (c.sentence ? " in: " : "")
            << (c.sentence ? c.sentence : "");
    }
}

ReadingPart reading(const char *lemma, QStringList tags)
{
    return ReadingPart {QString::fromUtf8(lemma), std::move(tags), {}};
}

} // namespace

TEST(ApertiumWordLookup, EnglishToSpanishGivesDictionarySenses)
{
    expectTranslations({"en",
                        "es",
                        {
                            // Nouns that Apertium also lists as modifiers, and a noun whose senses it
                            // lists with the rarer one first.
                            {"car", "coche"},
                            {"world", "mundo"},
                            {"school", "escuela"},
                            {"family", "familia"},
                            {"head", "cabeza"},
                            {"houses", "casa"},
                            // Verbs in the infinitive, whatever form they were met in.
                            {"eat", "comer"},
                            {"write", "escribir"},
                            {"speak", "hablar"},
                            {"ate", "comer"},
                            {"running", "correr"},
                            // Adjectives in the masculine singular, adverbs as they are.
                            {"cold", "frío"},
                            {"bigger", "grande"},
                            {"quietly", "tranquilamente"},
                            // Noun or verb as the sentence decides.
                            {"run", "correr", "We run in the park every morning."},
                            {"run", "carrera", "It was a good run."},
                            {"fish", "pescar", "They fish in the lake."},
                            {"fish", "pez", "The fish is small."},
                            {"book", "reservar", "Please book a table for two."},
                            {"book", "libro", "The book is on the desk."},
                            // Function words are the pipeline's, whose rules know them.
                            {"I", "Yo"},
                            {"the", "el"},
                            {"and", "y"},
                            // The letter case of the word, and a word alone among its neighbours.
                            {"House", "Casa"},
                            {"CAR", "COCHE"},
                            {" dog ", " perro "},
                        }});
}

TEST(ApertiumWordLookup, EveryInstalledPairGivesDictionaryForms)
{
    expectTranslations({"es",
                        "en",
                        {
                            {"casa", "house"},
                            {"perro", "dog"},
                            {"comió", "eat"},
                            {"rojas", "red"},
                            {"vino", "wine", "Bebo vino tinto."},
                            {"vino", "come", "Mi hermano vino ayer."},
                        }});
    expectTranslations({"fr", "es", {{"maisons", "casa"}, {"mangé", "comer"}}});
    expectTranslations({"es", "fr", {{"comió", "manger"}, {"perros", "chien"}}});
    expectTranslations({"es", "pt", {{"rojas", "vermelho"}, {"comió", "comer"}}});
    expectTranslations({"pt", "es", {{"vermelhas", "rojo"}, {"casas", "casa"}}});
    expectTranslations({"es", "it", {{"rojas", "rosso"}, {"perros", "cane"}}});
    expectTranslations({"it", "es", {{"rosse", "rojo"}, {"mangiato", "comer"}}});
    // Debian's Russian tagger crashes on a word it has to choose for ("стали": steel, or became):
    // the word is read without it.
    expectTranslations({"ru", "uk", {{"домах", "дім"}, {"красная", "червоний"}, {"стали", "сталь"}}});
    expectTranslations({"uk", "ru", {{"червона", "красный"}, {"собаки", "собака"}}});
}

TEST(ApertiumWordLookup, UnknownAndOddWordsAreNeverInvented)
{
    ApertiumSession session(QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("eng-spa"));
    const TranslationError untranslated {AT::errorDomain, AT::untranslated};
    // Unknown to the engine, or too long to be a word at all: a failure, and fast.
    EXPECT_EQ(session.translate(QStringLiteral("zorblax")).error, untranslated);
    EXPECT_EQ(session.translate(QString(AT::maximumTextLength, u'a')).error, untranslated);
    EXPECT_EQ(session.translate(QString(AT::maximumTextLength + 1, u'a')).error,
              (TranslationError {AT::errorDomain, AT::textTooLong}));
    // Stream characters and control characters are not part of a word: the text is translated as it
    // stands, the characters escaped and kept.
    EXPECT_EQ(session.translate(QStringLiteral("^house$")).value, QStringLiteral("^casa$"));
    EXPECT_EQ(session.translate(QStringLiteral("house\\")).value, QStringLiteral("casa\\"));
    EXPECT_EQ(session.translate(QStringLiteral("{house}")).value, QStringLiteral("{casa}"));
    EXPECT_EQ(session.translate(QStringLiteral("[house]")).value, QStringLiteral("[casa]"));
    EXPECT_EQ(session.translate(QStringLiteral("house\u0001")).value, QStringLiteral("casa\u0001"));
    EXPECT_EQ(session.translate(QStringLiteral("@zorblax")).error, untranslated);
    // A combining mark the analyser leaves outside the word: the pipeline translates what it reads
    // and keeps the rest, rather than the word lookup dropping it.
    EXPECT_EQ(session.translate(QStringLiteral("cafe\u0301")).value, QStringLiteral("cafeter\u00EDa\u0301"));
}

TEST(ApertiumWordLookup, AStageKilledMidUseIsRestarted)
{
    ApertiumSession session(QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("eng-spa"));
    ASSERT_TRUE(session.prepare());
    const std::vector<pid_t> groups = session.wordLookupProcessGroups();
    ASSERT_FALSE(groups.empty());
    for (pid_t group : groups) {
        ASSERT_GT(group, 0);
        kill(-group, SIGKILL);
    }
    // "head" takes every stage: the analyser, the tagger, the dictionary and the generator.
    EXPECT_EQ(session.translate(QStringLiteral("head")).value, QStringLiteral("cabeza"));
    const std::vector<pid_t> restarted = session.wordLookupProcessGroups();
    for (std::size_t i = 0; i < groups.size(); ++i)
        EXPECT_NE(restarted[i], groups[i]) << "stage " << i;
}

TEST(ApertiumWordLookup, ATaggerThatFailsIsLeftAloneAndWordsAreStillAnswered)
{
    auto stages = AW::stages(*Apertium::NullFlushPipeline::translationScript(QStringLiteral("eng-spa")), std::nullopt);
    ASSERT_TRUE(stages);
    stages->tagger = QStringList {QStringLiteral("exit 1")};
    ApertiumWordLookup lookup(*stages, std::chrono::milliseconds(15000));
    using Result = ApertiumWordLookup::Result;
    // Without the tagger a word that is a noun and a verb is read as the noun.
    EXPECT_EQ(lookup.translate(QStringLiteral("run"), std::nullopt),
              (Result {ApertiumWordLookup::Outcome::translated, QStringLiteral("carrera")}));
    EXPECT_EQ(lookup.translate(QStringLiteral("fish"), WordContext {QStringLiteral("They fish."), 5}),
              (Result {ApertiumWordLookup::Outcome::translated, QStringLiteral("pez")}));
    // The analyser runs in the program, so the tagger's stage is the first process.
    EXPECT_EQ(lookup.processGroups().front(), 0) << "the failed tagger was started again";

    // A stage that cannot answer makes the lookup unprepared.
    stages->bilingual = QStringList {QStringLiteral("exit 1")};
    EXPECT_FALSE(ApertiumWordLookup(*stages, std::chrono::milliseconds(15000)).prepare());
}

TEST(ApertiumWords, StagesComeFromTheNullFlushScript)
{
    const QString script =
        QStringLiteral("lt-proc -z 'a.automorf.bin' | apertium-wblank-attach | apertium-tagger -z -g $2 'a.prob' | "
                       "apertium-pretransfer -z | lt-proc -z -b 'a.autobil.bin' | apertium-wblank-detach | "
                       "lt-proc -z $1 'a.autogen.bin' | lt-proc -z -p 'a.autopgen.bin'");
    const auto stages =
        AW::stages(script, QStringLiteral("lt-proc -z 'b.automorf.bin' | lt-proc -z -b '/x/b.autobil.bin'"));
    ASSERT_TRUE(stages);
    EXPECT_EQ(stages->analyser, QStringList {"lt-proc -z 'a.automorf.bin'"});
    EXPECT_EQ(stages->tagger,
              (QStringList {"lt-proc -z 'a.automorf.bin'",
                            "apertium-wblank-attach | { apertium-tagger -z -g -p 'a.prob'; kill 0; }"}));
    EXPECT_EQ(stages->bilingual, QStringList {"lt-proc -z -b 'a.autobil.bin'"});
    EXPECT_EQ(stages->generator, (QStringList {"lt-proc -z -g 'a.autogen.bin'", "lt-proc -z -p 'a.autopgen.bin'"}));
    EXPECT_EQ(stages->reverseBilingual, QStringList {"lt-proc -z -b '/x/b.autobil.bin'"});

    // A script without a tagger, a dictionary or a generator gives no stages; a reverse pair without
    // a dictionary just none to check against.
    EXPECT_FALSE(AW::stages(QStringLiteral("lt-proc -z 'a.bin' | lt-proc -z -b 'a.autobil.bin'"), std::nullopt));
    EXPECT_FALSE(AW::stages(QStringLiteral("cat"), std::nullopt));
    EXPECT_FALSE(AW::stages(QString(script).replace(0, 7, QStringLiteral("hfst-proc")), std::nullopt));
    EXPECT_FALSE(AW::stages(script, QStringLiteral("cat"))->reverseBilingual);
}

TEST(ApertiumWords, ChoosesTheReadingAndItsDictionaryForm)
{
    const std::vector<ReadingPart> car {reading("car", {"adj"}), reading("car", {"n", "sg"})};
    const std::vector<ReadingPart> run {reading("run", {"n", "sg"}), reading("run", {"vblex", "inf"}),
                                        reading("run", {"vblex", "pres"}), reading("run", {"vblex", "pp"})};
    const std::vector<ReadingPart> right {reading("right", {"adj"}), reading("right", {"adv"}),
                                          reading("right", {"n", "sg"})};
    auto tag = [](const char *lexicalClass, const char *lemma) {
        return TaggedWord {{0, 1}, QString::fromUtf8(lexicalClass), QString::fromUtf8(lemma), std::nullopt};
    };

    // Alone, a noun's modifier reading is the noun; in a sentence the tagger's reading stands.
    EXPECT_EQ(AW::chooseReading(car, tag("Adjective", "car"), true), car[1]);
    EXPECT_EQ(AW::chooseReading(car, tag("Adjective", "car"), false), car[0]);
    EXPECT_EQ(AW::chooseReading(right, tag("Adjective", "right"), true), right[0]);
    // The tagger's part of speech picks the reading; without a tagger a noun comes first.
    EXPECT_EQ(AW::chooseReading(run, tag("Verb", "run"), false), run[1]);
    EXPECT_EQ(AW::chooseReading(run, std::nullopt, true), run[0]);
    EXPECT_EQ(AW::chooseReading({reading("gladly", {"adv"}), reading("glad", {"adj"})}, std::nullopt, true)->lemma,
              QStringLiteral("glad"));
    EXPECT_FALSE(AW::chooseReading({}, std::nullopt, true));
    // A tagger that read the word into a longer unit ("look up") still gives its part of speech.
    const std::vector<ReadingPart> look {reading("look", {"n", "sg"}), reading("look", {"vblex", "inf"})};
    EXPECT_EQ(AW::chooseReading(look, tag("Verb", "look up"), false), look[1]);
    EXPECT_FALSE(AW::isContentWord(reading("the", {"det", "def"})));
    EXPECT_TRUE(AW::isContentWord(run[3]));

    // The dictionary form: the same lexeme, in the forms a dictionary lists.
    EXPECT_EQ(AW::dictionaryReading(run, run[3]), run[1]);
    const std::vector<ReadingPart> house {reading("дом", {"n", "m", "nn", "sg", "acc"}),
                                          reading("дом", {"n", "m", "nn", "sg", "nom"}),
                                          reading("дом", {"n", "f", "sg", "nom", "x"})};
    EXPECT_EQ(AW::dictionaryReading(house, reading("дом", {"n", "m", "nn", "pl", "prp"})), house[1]);
    EXPECT_EQ(AW::dictionaryReading(run, reading("run", {"vblex", "inf", "x"})), run[1]);
    // A noun's gender is its own (a feminine noun keeps to its lexeme); an adjective's is a form.
    const std::vector<ReadingPart> mouse {reading("мышь", {"n", "m", "aa", "sg", "nom"}),
                                          reading("мышь", {"n", "f", "aa", "sg", "nom"})};
    EXPECT_EQ(AW::dictionaryReading(mouse, reading("мышь", {"n", "f", "aa", "pl", "gen"})), mouse[1]);
    const std::vector<ReadingPart> red {reading("красный", {"adj", "f", "sg", "nom"}),
                                        reading("красный", {"adj", "m", "sg", "nom"})};
    EXPECT_EQ(AW::dictionaryReading(red, reading("красный", {"adj", "f", "pl", "gen"})), red[1]);
    EXPECT_FALSE(AW::dictionaryReading(run, reading("run", {"adj"})));
    EXPECT_FALSE(AW::dictionaryReading(run, reading("walk", {"n", "pl"})));
}

TEST(ApertiumWords, GenerationSettlesAgreementAndFollowsCase)
{
    // To be decided: masculine singular, unless the entry says; agreement added or dropped as the
    // target's generator may want it.
    EXPECT_EQ(AW::generationUnits(reading("tiempo", {"n", "m", "ND", "sg"})),
              (QStringList {"^tiempo<n><m><sg>$", "^tiempo<n><sg>$", "^tiempo<n>$"}));
    EXPECT_EQ(AW::generationUnits(reading("jefe", {"n", "GD", "sg"})),
              (QStringList {"^jefe<n><m><sg>$", "^jefe<n><sg>$", "^jefe<n>$"}));
    EXPECT_EQ(AW::generationUnits(reading("heureux", {"adj", "f", "sg"})),
              (QStringList {"^heureux<adj><m><sg>$", "^heureux<adj><f><sg>$", "^heureux<adj><sg>$", "^heureux<adj>$"}));
    EXPECT_EQ(AW::generationUnits(reading("maison", {"n", "f", "sg"})),
              (QStringList {"^maison<n><f><sg>$", "^maison<n><sg>$", "^maison<n>$"}));
    EXPECT_EQ(AW::generationUnits(reading("frío", {"adj"})),
              (QStringList {"^frío<adj>$", "^frío<adj><m><sg>$", "^frío<adj><mf><sg>$"}));
    EXPECT_EQ(AW::generationUnits(ReadingPart {QStringLiteral("a/b"), {QStringLiteral("adv")}, QStringLiteral(" c")}),
              (QStringList {"^a\\/b<adv># c$", "^a\\/b<adv><m><sg># c$", "^a\\/b<adv><mf><sg># c$"}));

    EXPECT_EQ(AW::followCase(QStringLiteral("casa"), u"House"), QStringLiteral("Casa"));
    EXPECT_EQ(AW::followCase(QStringLiteral("casa"), u"HOUSE"), QStringLiteral("CASA"));
    EXPECT_EQ(AW::followCase(QStringLiteral("Londres"), u"london"), QStringLiteral("Londres"));
    EXPECT_EQ(AW::followCase(QStringLiteral("yo"), u"I"), QStringLiteral("Yo"));
}
