// On-device translation through the product's own path, over the installed Apertium pairs and cld2.

#include "Native/Language/LanguageRecognizer.h"
#include "Native/Services.h"
#include "Native/Translation/ApertiumTranslator.h"
#include "Services/Learn/GlanceTranslator.h"
#include "Services/Learn/MarkedText.h"
#include "Services/Translation/AppleTranslateService.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <tuple>

using namespace Lumivox;
using Testing::await;

namespace {

const QString arrow = QStringLiteral("\u2192");

} // namespace

TEST(OnDeviceTranslation, TranslatesWordsAndExplainsFailures)
{
    AppleTranslateService service;
    await(service.warmUpDirect(QStringLiteral("es")));

    EXPECT_EQ(await(service.translateExplained(QStringLiteral("house"), QStringLiteral("es"))),
              TranslationAttempt::success(QStringLiteral("casa")));
    EXPECT_EQ(await(service.translateExplained(QStringLiteral("perro"), QStringLiteral("en"), QStringLiteral("es"))),
              TranslationAttempt::success(QStringLiteral("dog")));
    EXPECT_EQ(await(service.translate(QStringLiteral("gato"), QStringLiteral("es"), QStringLiteral("en"))),
              QStringLiteral("cat"));

    EXPECT_EQ(
        await(service.translateExplained(QStringLiteral("zorblax"), QStringLiteral("es"), QStringLiteral("en"))),
        TranslationAttempt::failed(DiagnosticReason::appleFailed, QStringLiteral("en") + arrow + "es Apertium 2"));
    EXPECT_EQ(await(service.translateExplained(QStringLiteral("El perro come la comida en la cocina de la casa."),
                                               QStringLiteral("es"))),
              TranslationAttempt::failed(DiagnosticReason::sourceIsTarget, QStringLiteral("es") + arrow + "es"));
    // French has no pair from English but is reached through Spanish; Russian is translated on this
    // computer only from Ukrainian; German not at all.
    EXPECT_EQ(await(service.translateExplained(QStringLiteral("house"), QStringLiteral("fr"))),
              TranslationAttempt::success(QStringLiteral("maison")));
    EXPECT_EQ(await(service.translateExplained(QStringLiteral("house"), QStringLiteral("ru"))),
              TranslationAttempt::failed(DiagnosticReason::appleModelMissing, QStringLiteral("en") + arrow + "ru"));
    EXPECT_EQ(await(service.translateExplained(QStringLiteral("house"), QStringLiteral("de"))),
              TranslationAttempt::failed(DiagnosticReason::appleFailed, QStringLiteral("unsupported de")));
    EXPECT_TRUE(await(service.isInstalled(QStringLiteral("ru"), QStringLiteral("uk"))));
    EXPECT_TRUE(await(service.isInstalled(QStringLiteral("en"), QStringLiteral("fr"))));
    EXPECT_FALSE(await(service.isInstalled(QStringLiteral("en"), QStringLiteral("ru"))));
}

TEST(OnDeviceTranslation, ALoneEnglishWordIsNotTakenForAnotherLanguage)
{
    // Common English words that the recogniser, given the word alone, confidently names another
    // language for (found by running the English analyser's words through it). A line holding only
    // such a word is translated from English, not sent to a pair it does not belong to or refused as
    // Spanish already.
    const std::vector<std::pair<const char *, const char *>> words {
        {"heavy", "pesado"},    {"angry", "enojado"},  {"finger", "dedo"},      {"basket", "cesta"},
        {"danger", "peligro"},  {"orange", "naranja"}, {"pencil", "lápiz"},     {"tiger", "tigre"},
        {"hunger", "hambre"},   {"magnet", "imán"},    {"recall", "retirar"},   {"volcano", "volcán"},
        {"singer", "cantante"}, {"sixty", "sesenta"},  {"risky", "arriesgado"}, {"berries", "baya"},
        {"Heavy", "Pesado"},    {"ANGRY", "ENOJADO"},
    };
    const auto recognizer = Native::LanguageRecognizer::makeDefault();
    AppleTranslateService service;
    for (const auto &[word, meaning] : words) {
        const QString text = QString::fromUtf8(word);
        const auto misread = recognizer->dominantLanguage(text);
        EXPECT_TRUE(misread && *misread != QLatin1String("en")) << word << " is no longer misread alone";
        EXPECT_EQ(GlanceTranslator::sourceLanguage(text), std::nullopt) << word;
        EXPECT_EQ(GlanceTranslator::sourceLanguage(text + QLatin1Char('.')), std::nullopt) << word;
        EXPECT_EQ(await(service.translateExplained(text, QStringLiteral("es"))),
                  TranslationAttempt::success(QString::fromUtf8(meaning)))
            << word;
    }
    // One word of another script, and a sentence, are still named; one word of the Latin script that
    // the recogniser reads as Spanish is left unknown too.
    const std::vector<std::pair<const char *, std::optional<QString>>> texts {
        {"ありがとう", QStringLiteral("ja")},
        {"Ελλάδα", QStringLiteral("el")},
        {"El perro come la comida en la cocina.", QStringLiteral("es")},
        {"mañana", std::nullopt},
    };
    for (const auto &[text, language] : texts)
        EXPECT_EQ(GlanceTranslator::sourceLanguage(QString::fromUtf8(text)), language) << text;
    // A lone word English does not know, or one into English, is read in the recogniser's guess after
    // all; a guess of a language not on the device ("heavy" as Czech) gives nothing to try.
    const std::vector<std::tuple<const char *, const char *, std::optional<QString>>> guessed {
        {"château", "es", QStringLiteral("castillo")},
        {"cidade", "es", QStringLiteral("ciudad")},
        {"niño", "en", QStringLiteral("boy")},
        {"siempre", "en", QStringLiteral("always")},
        {"heavy", "en", std::nullopt},
    };
    for (const auto &[word, target, meaning] : guessed) {
        EXPECT_EQ(await(service.translateExplained(QString::fromUtf8(word), QString::fromUtf8(target))).text, meaning)
            << word;
    }
}

TEST(OnDeviceTranslation, AWordAloneTakesThePartOfSpeechOfItsSentence)
{
    AppleTranslateService service;
    const QString sentence = QStringLiteral("Please book a table for two.");
    const Native::WordContext met {sentence, sentence.indexOf(QStringLiteral("book"))};
    EXPECT_EQ(
        await(service.translateExplained(QStringLiteral("book"), QStringLiteral("es"), QStringLiteral("en"), met)),
        TranslationAttempt::success(QStringLiteral("reservar")));
    EXPECT_EQ(await(service.translateExplained(QStringLiteral("book"), QStringLiteral("es"), QStringLiteral("en"))),
              TranslationAttempt::success(QStringLiteral("libro")));
    EXPECT_EQ(await(service.translate(QStringLiteral("ate"), QStringLiteral("en"), QStringLiteral("es"), met)),
              QStringLiteral("comer"));
}

TEST(OnDeviceTranslation, MarkedSentenceKeepsTheMarkOnItsWord)
{
    AppleTranslateService service;
    const QString sentence = QStringLiteral("I saw a red car.");
    const auto translated = await(
        service.translateMarked(MarkedText::attributed(sentence, {*MarkedText::range(QStringLiteral("red"), sentence)}),
                                QStringLiteral("en"), QStringLiteral("es")));
    ASSERT_TRUE(translated);
    EXPECT_EQ(translated->text(), QStringLiteral("Vi un coche rojo."));
    EXPECT_EQ(MarkedText::markedWords(*translated), QStringLiteral("rojo"));
}

TEST(OnDeviceTranslation, APipelineKilledMidUseIsRestarted)
{
    AppleTranslateService service;
    ASSERT_EQ(await(service.translate(QStringLiteral("The dog"), QStringLiteral("en"), QStringLiteral("es"))),
              QStringLiteral("El perro"));
    auto session = std::dynamic_pointer_cast<Native::ApertiumSession>(
        Native::service<Native::Translator>()->session(QStringLiteral("en"), QStringLiteral("es")));
    ASSERT_TRUE(session);
    const std::vector<pid_t> groups = session->processGroups();
    ASSERT_FALSE(groups.empty());
    // Every stage dies, those the word lookup shares with the pipeline too: a word and a sentence are
    // both answered.
    for (pid_t stage : groups)
        kill(-stage, SIGKILL);
    for (pid_t stage : session->wordLookupProcessGroups())
        kill(-stage, SIGKILL);
    EXPECT_EQ(await(service.translateExplained(QStringLiteral("cat"), QStringLiteral("es"), QStringLiteral("en"))),
              TranslationAttempt::success(QStringLiteral("gato")));
    EXPECT_EQ(await(service.translateExplained(QStringLiteral("The cat"), QStringLiteral("es"), QStringLiteral("en"))),
              TranslationAttempt::success(QStringLiteral("El gato")));
    const std::vector<pid_t> restarted = session->processGroups();
    for (std::size_t i = 0; i < groups.size(); ++i)
        EXPECT_NE(restarted[i], groups[i]) << "stage " << i;
}

TEST(OnDeviceTranslation, PreparingAPairStartsItForTheHandOver)
{
    AppleTranslationEngine engine;
    engine.prepareSession(QStringLiteral("ES"), QStringLiteral(" en"));
    const auto session = await(engine.getOrWaitSession(QStringLiteral("es"), QStringLiteral("en")));
    ASSERT_TRUE(session);
    const auto result = await(session->translate(QStringLiteral("casa")));
    EXPECT_EQ(result.value, QStringLiteral("house"));
}
