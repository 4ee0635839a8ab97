// On-device translation through the product's own path, over the installed Apertium pairs and cld2.

#include "Native/Services.h"
#include "Native/Translation/ApertiumTranslator.h"
#include "Services/Learn/MarkedText.h"
#include "Services/Translation/AppleTranslateService.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>

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
    // French is translated on this computer, but only from Spanish; German not at all.
    EXPECT_EQ(await(service.translateExplained(QStringLiteral("house"), QStringLiteral("fr"))),
              TranslationAttempt::failed(DiagnosticReason::appleModelMissing, QStringLiteral("en") + arrow + "fr"));
    EXPECT_EQ(await(service.translateExplained(QStringLiteral("house"), QStringLiteral("de"))),
              TranslationAttempt::failed(DiagnosticReason::appleFailed, QStringLiteral("unsupported de")));
    EXPECT_TRUE(await(service.isInstalled(QStringLiteral("ru"), QStringLiteral("uk"))));
    EXPECT_FALSE(await(service.isInstalled(QStringLiteral("en"), QStringLiteral("fr"))));
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
    ASSERT_EQ(await(service.translate(QStringLiteral("dog"), QStringLiteral("en"), QStringLiteral("es"))),
              QStringLiteral("perro"));
    auto session = std::dynamic_pointer_cast<Native::ApertiumSession>(
        Native::service<Native::Translator>()->session(QStringLiteral("en"), QStringLiteral("es")));
    ASSERT_TRUE(session);
    const pid_t group = session->processGroup();
    ASSERT_GT(group, 0);
    kill(-group, SIGKILL);
    // The word lookup's stages die with it: a word and a sentence are both answered.
    for (pid_t stage : session->wordLookupProcessGroups())
        kill(-stage, SIGKILL);
    EXPECT_EQ(await(service.translateExplained(QStringLiteral("cat"), QStringLiteral("es"), QStringLiteral("en"))),
              TranslationAttempt::success(QStringLiteral("gato")));
    EXPECT_EQ(await(service.translateExplained(QStringLiteral("The cat"), QStringLiteral("es"), QStringLiteral("en"))),
              TranslationAttempt::success(QStringLiteral("El gato")));
    EXPECT_NE(session->processGroup(), group);
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
