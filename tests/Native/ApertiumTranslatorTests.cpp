#include "Native/Translation/ApertiumTranslator.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

using namespace Lumivox::Native;
namespace AT = Lumivox::Native::ApertiumTranslation;
using Span = MarkedPassage::Span;

namespace {

const QString english = QStringLiteral("en");
const QString spanish = QStringLiteral("es");

ApertiumSession realSession(const QString &source, const QString &target, const QString &mode)
{
    return ApertiumSession(source, target, mode);
}

QStringList markedParts(const MarkedPassage &passage)
{
    QStringList parts;
    for (const Span &span : passage.marks)
        parts.append(passage.text.mid(span.location, span.length));
    return parts;
}

/// A session over a shell pipeline that answers each request with `reply` (printf format), for faults
/// the real pairs never show on demand.
// Generous: a loaded machine (a sanitizer build beside other tests) can take seconds to start bash.
std::unique_ptr<ApertiumSession> scripted(const QString &reply,
                                          std::chrono::milliseconds timeout = std::chrono::milliseconds(15000))
{
    const QString script = QStringLiteral("while IFS= read -r -d '' request; do printf '%1\\0'; done").arg(reply);
    return std::make_unique<ApertiumSession>(english, spanish, QStringLiteral("scripted"), script, timeout);
}

} // namespace

TEST(ApertiumTranslation, EncodingWrapsWholeWordsAndEscapes)
{
    // A mark inside a word widens to the word; a mark on blanks or punctuation alone is dropped.
    EXPECT_EQ(AT::encode({QStringLiteral("I saw a red car."), {{9, 2}}}), QStringLiteral("I saw a [[b]]red[[/]] car."));
    EXPECT_EQ(AT::encode({QStringLiteral("I saw a red car."), {{7, 5}}}), QStringLiteral("I saw a [[b]]red[[/]] car."));
    EXPECT_EQ(AT::encode({QStringLiteral("a , b"), {{1, 3}}}), QStringLiteral("a , b"));
    EXPECT_EQ(AT::encode({QStringLiteral("don't go"), {{0, 2}}}), QStringLiteral("[[b]]don't[[/]] go"));
    // Overlapping marks become one blank; text that looks like a blank is escaped.
    EXPECT_EQ(AT::encode({QStringLiteral("one two three"), {{0, 5}, {4, 9}}}),
              QStringLiteral("[[b]]one two three[[/]]"));
    EXPECT_EQ(AT::encode({QStringLiteral("[[b]] x@y"), {{99, 3}}}), QStringLiteral("\\[\\[b\\]\\] x\\@y"));
}

TEST(ApertiumTranslation, DecodingReadsMarksUnknownWordsAndBlanks)
{
    // Neighbouring blanks merge across the space between them; the leading blank Apertium adds goes.
    auto decoded = AT::decode(u" [[b]]Vi[[/]] [[b]]un[[/]] coche [[b]]rojo[[/]].", u"I saw a red car.");
    EXPECT_EQ(decoded.passage.text, QStringLiteral("Vi un coche rojo."));
    EXPECT_EQ(markedParts(decoded.passage), (QStringList {QStringLiteral("Vi un"), QStringLiteral("rojo")}));
    EXPECT_EQ(decoded.words, 4);
    EXPECT_EQ(decoded.unknownWords, 0);

    // A mark over nothing but an unknown word has no rendering; one that also holds a known word keeps it.
    decoded = AT::decode(u"El [[b]]*zorblax[[/]] moscas\\@casa", u"The zorblax flies@home");
    EXPECT_EQ(decoded.passage.text, QStringLiteral("El zorblax moscas@casa"));
    EXPECT_EQ(markedParts(decoded.passage), QStringList {});
    EXPECT_EQ(decoded.unknownWords, 1);
    EXPECT_EQ(markedParts(AT::decode(u"El [[b]]*zorblax rojo[[/]]", u"The red zorblax").passage),
              QStringList {QStringLiteral("zorblax rojo")});
    // '@' passes the source word on untranslated; '#' is the target's lemma the generator could not inflect.
    EXPECT_EQ(markedParts(AT::decode(u"El [[b]]@green[[/]]", u"The green").passage), QStringList {});
    EXPECT_EQ(markedParts(AT::decode(u"la [[b]]#canal[[/]]", u"the station").passage),
              QStringList {QStringLiteral("canal")});

    // The generator's reply narrows a mark the post-generator widened over a joined article or
    // preposition; a word that only starts like the article stays whole.
    const auto narrowed = [](const char16_t *reply, const char16_t *generated) {
        return markedParts(AT::decode(reply, u"source", QStringView(generated)).passage).join(u'|');
    };
    EXPECT_EQ(narrowed(u"[[b]]La casa[[/]] è grande.", u"~La [[b]]casa[[/]] è grande."), QStringLiteral("casa"));
    EXPECT_EQ(narrowed(u"[[b]]L'almohada[[/]]", u"~la [[b]]almohada[[/]]"), QStringLiteral("almohada"));
    EXPECT_EQ(narrowed(u"Compriamo [[b]]nella *lonja[[/]].", u"Compriamo ~in ~la [[b]]*lonja[[/]]."), QString());
    EXPECT_EQ(narrowed(u"[[b]]il lago[[/]] e [[b]]la lana[[/]]", u"~il [[b]]lago[[/]] e ~la [[b]]lana[[/]]"),
              QStringLiteral("lago|lana"));
    EXPECT_EQ(narrowed(u"[[b]]lago[[/]]", u"[[b; w:3]]lago[[/]]"), QStringLiteral("lago"));

    // A word looked up in lower case comes back in lower case; the source's own blanks are kept.
    EXPECT_EQ(AT::decode(u"Casa", u" house ").passage.text, QStringLiteral(" casa "));
    EXPECT_EQ(AT::decode(u"NASA", u"nasa").passage.text, QStringLiteral("NASA"));
    // A mark character the writer used is not taken for Apertium's.
    EXPECT_EQ(AT::decode(u"#etiqueta *zorblax", u"#tag zorblax").passage.text, QStringLiteral("#etiqueta zorblax"));
    EXPECT_EQ(AT::decode(u"#etiqueta *zorblax", u"#tag zorblax").unknownWords, 1);

    // Garbage: unclosed blanks, a lone bracket, a trailing backslash, nothing but blanks.
    decoded = AT::decode(u"a [[b]]b [[x c \\", u"a b c");
    EXPECT_EQ(decoded.passage.text, QStringLiteral("a b [[x c \\"));
    EXPECT_EQ(markedParts(decoded.passage), QStringList {QStringLiteral("b [[x c \\")});
    EXPECT_TRUE(AT::decode(u"[[/]] [[b]]", u"x").passage.text.isEmpty());
}

TEST(ApertiumTranslation, OnePairsReplyIsTheNextOnesRequestWithoutItsUnknownWordMarks)
{
    // The blanks and escapes ride along; a mark the writer used stays, Apertium's go.
    EXPECT_EQ(AT::carriedOn(u" Vi el [[b]]*zorblax[[/]] \\@casa #x @y *", u"I saw the zorblax @home x y *"),
              QStringLiteral(" Vi el [[b]]zorblax[[/]] \\@casa x @y *"));
    EXPECT_EQ(AT::carriedOn(u"#etiqueta *zorblax", u"#tag zorblax"), QStringLiteral("#etiqueta zorblax"));
    // Inside a word or a blank a mark character is text.
    EXPECT_EQ(AT::carriedOn(u"a*b [x*y] [[*b]]", u"a*b"), QStringLiteral("a*b [x*y] [[*b]]"));
}

TEST(ApertiumTranslation, ModesAndAvailability)
{
    EXPECT_EQ(AT::modeNames(english, spanish), (QStringList {"en-es", "en-spa", "eng-es", "eng-spa"}));
    EXPECT_TRUE(AT::modeNames(QStringLiteral("zh-cn"), english).isEmpty());
    EXPECT_TRUE(AT::modeNames(QStringLiteral("../x"), english).isEmpty());

    QTemporaryDir modes;
    ASSERT_TRUE(QFile::copy(QStringLiteral("/usr/share/apertium/modes/eng-spa.mode"), modes.filePath("eng-spa.mode")));
    qputenv("LUMIVOX_APERTIUM_MODES", modes.path().toUtf8());
    ApertiumTranslator translator;
    EXPECT_EQ(translator.availability(english, spanish), Translator::Availability::installed);
    EXPECT_EQ(translator.availability(spanish, QStringLiteral("fr")), Translator::Availability::supported);
    EXPECT_EQ(translator.availability(english, QStringLiteral("de")), Translator::Availability::unsupported);
    const auto session = translator.session(english, spanish);
    ASSERT_TRUE(session);
    EXPECT_EQ(translator.session(english, spanish), session);
    EXPECT_FALSE(translator.session(spanish, QStringLiteral("fr")));
    qunsetenv("LUMIVOX_APERTIUM_MODES");
}

TEST(ApertiumSession, TranslatesWordsBothWaysAndRefusesUnknownOnes)
{
    auto toSpanish = realSession(english, spanish, QStringLiteral("eng-spa"));
    EXPECT_EQ(toSpanish.translate(QStringLiteral("house")).value, QStringLiteral("casa"));
    EXPECT_EQ(toSpanish.translate(QStringLiteral("The black cat")).value, QStringLiteral("El gato negro"));
    const auto unknown = toSpanish.translate(QStringLiteral("zorblax"));
    EXPECT_FALSE(unknown.ok());
    EXPECT_EQ(unknown.error, (TranslationError {AT::errorDomain, AT::untranslated}));
    // Text Apertium treats as markup is sent escaped and comes back as written.
    EXPECT_EQ(toSpanish.translate(QStringLiteral("house <b> [x]")).value, QStringLiteral("casa <b> [x]"));

    auto toEnglish = realSession(spanish, english, QStringLiteral("spa-eng"));
    EXPECT_EQ(toEnglish.translate(QStringLiteral("perro")).value, QStringLiteral("dog"));
}

TEST(ApertiumSession, MarkFollowsItsWordThroughReordering)
{
    auto session = realSession(english, spanish, QStringLiteral("eng-spa"));
    const auto result = session.translate(MarkedPassage {QStringLiteral("I saw a red car."), {{8, 3}}});
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value->text, QStringLiteral("Vi un coche rojo."));
    EXPECT_EQ(markedParts(*result.value), QStringList {QStringLiteral("rojo")});

    const auto phrase = session.translate(MarkedPassage {QStringLiteral("This is very interesting stuff"), {{8, 16}}});
    ASSERT_TRUE(phrase.ok());
    EXPECT_EQ(markedParts(*phrase.value), QStringList {QStringLiteral("muy interesante")});
}

TEST(ApertiumRouteSession, WordsSentencesAndMarksGoThroughSpanishOnTheInstalledPairs)
{
    ApertiumTranslator translator;
    const auto toFrench = translator.session(english, QStringLiteral("fr"));
    const auto toItalian = translator.session(english, QStringLiteral("it"));
    ASSERT_TRUE(toFrench && toItalian);

    // A word alone: its dictionary sense, in the part of speech it has in its sentence.
    EXPECT_EQ(toFrench->translate(QStringLiteral("house")).value, QStringLiteral("maison"));
    EXPECT_EQ(toFrench->translate(QStringLiteral("House")).value, QStringLiteral("Maison"));
    EXPECT_EQ(toItalian->translate(QStringLiteral("eat")).value, QStringLiteral("mangiare"));
    EXPECT_EQ(toFrench->translate(QStringLiteral("happy")).value, QStringLiteral("heureux")); // not "heureuse"
    EXPECT_EQ(toFrench->translateWord(QStringLiteral("run"), WordContext {QStringLiteral("I run every day."), 2}).value,
              QStringLiteral("courir"));
    EXPECT_EQ(toFrench->translate(QStringLiteral("zorblax")).error,
              (TranslationError {AT::errorDomain, AT::untranslated}));

    // A sentence keeps its mark on its word through both pairs; an unknown word is no stray mark.
    const auto marked = toFrench->translate(MarkedPassage {QStringLiteral("I saw a red car."), {{8, 3}}});
    ASSERT_TRUE(marked.ok());
    EXPECT_EQ(marked.value->text, QStringLiteral("J'ai vu une voiture rouge."));
    EXPECT_EQ(markedParts(*marked.value), QStringList {QStringLiteral("rouge")});
    const auto unknown = toItalian->translate(MarkedPassage {QStringLiteral("The zorblax is red."), {{4, 7}}});
    ASSERT_TRUE(unknown.ok());
    EXPECT_FALSE(unknown.value->text.contains(u'*')) << unknown.value->text.toStdString();
    EXPECT_TRUE(unknown.value->text.contains(QStringLiteral("zorblax"))) << unknown.value->text.toStdString();
    EXPECT_TRUE(unknown.value->marks.empty()) << unknown.value->text.toStdString();
}

TEST(ApertiumSession, KilledPipelineIsRestarted)
{
    auto session = realSession(english, spanish, QStringLiteral("eng-spa"));
    ASSERT_TRUE(session.prepare());
    const std::vector<pid_t> groups = session.processGroups();
    ASSERT_FALSE(groups.empty());
    for (pid_t group : groups) {
        ASSERT_GT(group, 0);
        kill(-group, SIGKILL);
    }
    EXPECT_EQ(session.translate(QStringLiteral("The dog")).value, QStringLiteral("El perro"));
    const std::vector<pid_t> restarted = session.processGroups();
    for (std::size_t i = 0; i < groups.size(); ++i)
        EXPECT_NE(restarted[i], groups[i]) << "stage " << i;
}

TEST(ApertiumSession, FaultsAreErrorValues)
{
    const TranslationError failed {AT::errorDomain, AT::engineFailed};

    // Dies at once, never answers, or the mode is not there.
    auto dead = std::make_unique<ApertiumSession>(english, spanish, QStringLiteral("dead"), QStringLiteral("exit 1"),
                                                  std::chrono::milliseconds(500));
    EXPECT_EQ(dead->translate(QStringLiteral("house")).error, failed);
    EXPECT_FALSE(dead->prepare());
    auto silent = std::make_unique<ApertiumSession>(english, spanish, QStringLiteral("silent"),
                                                    QStringLiteral("cat >/dev/null"), std::chrono::milliseconds(200));
    EXPECT_EQ(silent->translate(QStringLiteral("house")).error, failed);
    auto missing = realSession(english, spanish, QStringLiteral("xx-yy"));
    EXPECT_EQ(missing.translate(QStringLiteral("house")).error, failed);

    // Garbage replies are read as text, never as a crash.
    auto garbage = scripted(QStringLiteral("\\xff\\xfe[[b]]\\\\[[/]][[[x@*"));
    const auto read = garbage->translate(MarkedPassage {QStringLiteral("house"), {{0, 5}}});
    ASSERT_TRUE(read.ok());
    EXPECT_FALSE(read.value->text.isEmpty());

    // Empty and blank texts need no engine; a huge one is refused.
    EXPECT_EQ(dead->translate(QString()).value, QString());
    EXPECT_EQ(dead->translate(QStringLiteral(" \n")).value, QStringLiteral(" \n"));
    const auto huge = garbage->translate(QString(AT::maximumTextLength + 1, u'a'));
    EXPECT_EQ(huge.error, (TranslationError {AT::errorDomain, AT::textTooLong}));
}
