#include "Services/Translation/AppleTranslateService.h"

#include "Fakes/FakeClock.h"
#include "Fakes/FakeLanguageRecognizer.h"
#include "Fakes/FakeTranslation.h"
#include "Support/TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <thread>

using namespace Lumivox;
using namespace std::chrono_literals;
using Testing::await;
using Availability = Native::Translator::Availability;

namespace {

struct Fixture
{
    std::shared_ptr<Testing::FakeTranslator> translator = std::make_shared<Testing::FakeTranslator>();
    std::shared_ptr<Testing::FakeLanguageRecognizer> recognizer = std::make_shared<Testing::FakeLanguageRecognizer>();
    std::shared_ptr<Testing::FakeClock> clock = std::make_shared<Testing::FakeClock>();

    AppleTranslationEngine::Dependencies dependencies(bool hostsSessions = false) const
    {
        return {translator, recognizer, clock, hostsSessions};
    }
};

const InlinePresentationIntent strong {InlinePresentationIntent::stronglyEmphasized};

} // namespace

TEST(AppleTranslateService, ExplainsEveryFailure)
{
    // A computer with pairs into German and Chinese as well.
    Testing::ScopedOnDeviceLanguages onDevice({QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("fr"),
                                               QStringLiteral("de"), QStringLiteral("zh-cn"), QStringLiteral("zh-tw")});
    Fixture f;
    auto english = f.translator->install(QStringLiteral("en"), QStringLiteral("es"));
    f.translator->setAvailability(QStringLiteral("en"), QStringLiteral("de"), Availability::supported);
    AppleTranslateService service([&] { return f.dependencies(); });
    auto explain = [&](QString text, QString target, std::optional<QString> source = std::nullopt) {
        return await(service.translateExplained(std::move(text), std::move(target), std::move(source)));
    };

    EXPECT_EQ(explain(QStringLiteral(" \n\t"), QStringLiteral("es")),
              TranslationAttempt::failed(DiagnosticReason::translationEmpty, QString()));
    EXPECT_EQ(explain(QStringLiteral("house"), QStringLiteral(" SI ")),
              TranslationAttempt::failed(DiagnosticReason::appleFailed, QStringLiteral("unsupported si")));
    // The source is compared as passed.
    EXPECT_EQ(explain(QStringLiteral("house"), QStringLiteral("es"), QStringLiteral("EN")),
              TranslationAttempt::failed(DiagnosticReason::appleFailed, QStringLiteral("unsupported source EN")));
    EXPECT_EQ(explain(QStringLiteral("house"), QStringLiteral("de"), QStringLiteral("en")),
              TranslationAttempt::failed(DiagnosticReason::appleModelMissing, QString::fromUtf16(u"en→de")));

    // Text in the target language, found by detection.
    f.recognizer->recognize(QStringLiteral("la casa es grande"), QStringLiteral("es"));
    EXPECT_EQ(explain(QStringLiteral("  la casa es grande "), QStringLiteral("es")),
              TranslationAttempt::failed(DiagnosticReason::sourceIsTarget, QString::fromUtf16(u"es→es")));
    EXPECT_EQ(f.recognizer->lastText(), QStringLiteral("la casa es grande"));

    // Undetectable text counts as English; the target is checked lower-cased and trimmed.
    EXPECT_EQ(explain(QStringLiteral(" house\n"), QStringLiteral(" ES ")),
              TranslationAttempt::success(QStringLiteral("es:house")));
    ASSERT_EQ(english->threads().size(), 1u);
    EXPECT_NE(english->threads().front(), std::this_thread::get_id());

    english->fail({QStringLiteral("Apertium"), 2});
    EXPECT_EQ(explain(QStringLiteral("zorblax"), QStringLiteral("es")),
              TranslationAttempt::failed(DiagnosticReason::appleFailed, QString::fromUtf16(u"en→es Apertium 2")));

    english->answerPlain(
        [](const QString &) { return Native::TranslationResult<QString>::success(QStringLiteral(" \n")); });
    EXPECT_EQ(explain(QStringLiteral("house"), QStringLiteral("es")),
              TranslationAttempt::failed(DiagnosticReason::appleFailed, QString::fromUtf16(u"empty en→es")));
}

TEST(AppleTranslateService, AsksAgainForAMissingModelAndRemembersAnInstalledOne)
{
    Fixture f;
    f.translator->setAvailability(QStringLiteral("en"), QStringLiteral("fr"), Availability::supported);
    AppleTranslateService service([&] { return f.dependencies(); });

    EXPECT_EQ(
        await(service.translateExplained(QStringLiteral("cat"), QStringLiteral("fr"), QStringLiteral("en"))).failure,
        DiagnosticReason::appleModelMissing);
    EXPECT_FALSE(await(service.isInstalled(QStringLiteral("en"), QStringLiteral("fr"))));
    EXPECT_EQ(f.translator->availabilityQueries.load(), 2);

    f.translator->install(QStringLiteral("en"), QStringLiteral("fr"));
    EXPECT_EQ(await(service.translateExplained(QStringLiteral("cat"), QStringLiteral("fr"), QStringLiteral("en"))),
              TranslationAttempt::success(QStringLiteral("fr:cat")));
    EXPECT_TRUE(await(service.isInstalled(QStringLiteral("en"), QStringLiteral("fr"))));
    EXPECT_EQ(f.translator->availabilityQueries.load(), 3);

    // Only a yes is kept: a pair that goes away keeps its answer for the life of the process.
    f.translator->setAvailability(QStringLiteral("en"), QStringLiteral("fr"), Availability::supported);
    EXPECT_TRUE(await(service.isInstalled(QStringLiteral("en"), QStringLiteral("fr"))));
}

TEST(AppleTranslateService, PlainAndMarkedResultsOrNothing)
{
    Fixture f;
    auto session = f.translator->install(QStringLiteral("en"), QStringLiteral("es"));
    f.translator->install(QStringLiteral("en"), QStringLiteral("si")); // installed, but not an on-device language
    AppleTranslateService service([&] { return f.dependencies(); });

    EXPECT_EQ(await(service.translate(QStringLiteral(" red "), QStringLiteral("EN"), QStringLiteral("es"))),
              QStringLiteral("es: red"));
    EXPECT_EQ(session->requests().back(), QStringLiteral(" red ")); // sent as passed, trimmed on return
    EXPECT_FALSE(await(service.translate(QStringLiteral("red"), QStringLiteral("en"), QStringLiteral("si"))));
    EXPECT_FALSE(await(service.translate(QStringLiteral("red"), QStringLiteral("en"), QStringLiteral("de"))));

    session->answerMarked([](const Native::MarkedPassage &) {
        return Native::TranslationResult<Native::MarkedPassage>::success(
            {QStringLiteral(" Vi un coche rojo."), {{13, 4}}});
    });
    const StyledText sentence = [] {
        StyledText text(QStringLiteral("I saw a "));
        text.append(QStringLiteral("red"), TextAttributes {strong});
        text.append(QStringLiteral(" car."));
        return text;
    }();
    const auto translated = await(service.translateMarked(sentence, QStringLiteral("en"), QStringLiteral("es")));
    ASSERT_TRUE(translated);
    EXPECT_EQ(translated->text(), QStringLiteral(" Vi un coche rojo.")); // as it comes
    EXPECT_EQ(translated->stronglyEmphasizedRanges(), (std::vector<TextRange> {{13, 4}}));
    ASSERT_EQ(session->markedRequests().size(), 1u);
    EXPECT_EQ(session->markedRequests().front(),
              (Native::MarkedPassage {QStringLiteral("I saw a red car."), {{8, 3}}}));

    session->fail({QStringLiteral("Apertium"), 1});
    EXPECT_FALSE(await(service.translate(QStringLiteral("red"), QStringLiteral("en"), QStringLiteral("es"))));
    EXPECT_FALSE(await(service.translateMarked(sentence, QStringLiteral("en"), QStringLiteral("es"))));
}

TEST(AppleTranslateService, WarmUpStopsAtTheFirstInstalledSample)
{
    // A computer with pairs into German and Chinese as well.
    Testing::ScopedOnDeviceLanguages onDevice({QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("fr"),
                                               QStringLiteral("de"), QStringLiteral("zh-cn"), QStringLiteral("zh-tw")});
    Fixture f;
    auto french = f.translator->install(QStringLiteral("fr"), QStringLiteral("en"));
    AppleTranslateService service([&] { return f.dependencies(); });
    await(service.warmUpDirect(QStringLiteral("EN")));
    EXPECT_EQ(french->requests(), std::vector<QString> {QStringLiteral("Bonjour")});

    // A sample that fails moves on to the next.
    Fixture g;
    auto spanish = g.translator->install(QStringLiteral("es"), QStringLiteral("en"));
    spanish->fail({QStringLiteral("Apertium"), 1});
    auto german = g.translator->install(QStringLiteral("de"), QStringLiteral("en"));
    AppleTranslateService other([&] { return g.dependencies(); });
    await(other.warmUpDirect(QStringLiteral("en")));
    EXPECT_EQ(spanish->requests().size(), 1u);
    EXPECT_EQ(german->requests(), std::vector<QString> {QStringLiteral("Hallo")});

    // Nothing installed: nothing is asked.
    Fixture none;
    AppleTranslateService idle([&] { return none.dependencies(); });
    await(idle.warmUpDirect(QStringLiteral("es")));
    EXPECT_EQ(none.translator->availabilityQueries.load(), 1);
}

TEST(AppleTranslationEngine, PreparingTheSamePairPublishesNothing)
{
    Fixture f;
    auto native = f.translator->install(QStringLiteral("en"), QStringLiteral("es"));
    AppleTranslationEngine engine(f.dependencies());
    QSignalSpy published(&engine, &AppleTranslationEngine::configurationChanged);

    engine.prepareSession(QStringLiteral(" EN"), QStringLiteral("Es\n"));
    ASSERT_EQ(published.count(), 1);
    EXPECT_EQ(engine.configuration(),
              (AppleTranslationEngine::Configuration {QStringLiteral("en"), QStringLiteral("es")}));

    auto session = std::make_shared<OnDeviceSession>(native);
    std::stop_source action;
    engine.handleSession(session, action.get_token());
    EXPECT_EQ(engine.activeSession(), session);

    engine.prepareSession(QStringLiteral("en"), QStringLiteral("es"));
    EXPECT_EQ(published.count(), 1);
    EXPECT_EQ(engine.activeSession(), session);
    EXPECT_EQ(await(engine.getOrWaitSession(QStringLiteral("en"), QStringLiteral("es"))), session);

    // The keep-alive outlasts its hourly sleeps.
    f.clock->advance(3h);
    EXPECT_EQ(engine.activeSession(), session);

    engine.prepareSession(QStringLiteral("en"), QStringLiteral("de"));
    EXPECT_EQ(published.count(), 2);
    EXPECT_FALSE(engine.activeSession());
    action.request_stop();
}

TEST(AppleTranslationEngine, WaitersGetTheArrivingSessionOnlyForTheirPair)
{
    Fixture f;
    auto native = f.translator->install(QStringLiteral("en"), QStringLiteral("es"));
    auto session = std::make_shared<OnDeviceSession>(native);
    AppleTranslationEngine engine(f.dependencies());

    engine.prepareSession(QStringLiteral("en"), QStringLiteral("es"));
    auto first = engine.getOrWaitSession(QStringLiteral("en"), QStringLiteral("es"));
    auto second = engine.getOrWaitSession(QStringLiteral("en"), QStringLiteral("es"));
    EXPECT_EQ(engine.waiterCount(), 2u);
    std::stop_source action;
    engine.handleSession(session, action.get_token());
    EXPECT_EQ(engine.waiterCount(), 0u);
    EXPECT_EQ(await(std::move(first)), session);
    EXPECT_EQ(await(std::move(second)), session);

    // A waiter for the earlier pair that receives the new pair's session gets none.
    engine.prepareSession(QStringLiteral("en"), QStringLiteral("fr"));
    auto stale = engine.getOrWaitSession(QStringLiteral("en"), QStringLiteral("fr"));
    engine.prepareSession(QStringLiteral("en"), QStringLiteral("es"));
    auto handedOverAgain = std::make_shared<OnDeviceSession>(native);
    std::stop_source next;
    engine.handleSession(handedOverAgain, next.get_token());
    EXPECT_EQ(await(std::move(stale)), nullptr);

    // Cancelling an action clears the active session only while it is that action's session.
    action.request_stop();
    EXPECT_EQ(engine.activeSession(), handedOverAgain);
    next.request_stop();
    EXPECT_EQ(engine.activeSession(), nullptr);
    EXPECT_EQ(f.clock->pendingCount(), 0u);
}

TEST(AppleTranslationEngine, AWaiterGivesUpAfterEightSeconds)
{
    Fixture f;
    AppleTranslationEngine engine(f.dependencies());
    engine.prepareSession(QStringLiteral("en"), QStringLiteral("es"));
    auto waiting = engine.getOrWaitSession(QStringLiteral("en"), QStringLiteral("es"));
    f.clock->advance(7999ms);
    EXPECT_EQ(engine.waiterCount(), 1u);
    f.clock->advance(1ms);
    EXPECT_EQ(engine.waiterCount(), 0u);
    EXPECT_EQ(await(std::move(waiting)), nullptr);

    // A session arriving later is kept for the next caller.
    auto session = std::make_shared<OnDeviceSession>(f.translator->install(QStringLiteral("en"), QStringLiteral("es")));
    std::stop_source action;
    engine.handleSession(session, action.get_token());
    EXPECT_EQ(await(engine.getOrWaitSession(QStringLiteral("en"), QStringLiteral("es"))), session);
    action.request_stop();
}

TEST(AppleTranslationEngine, HostHandsOverAndStartsTheSessionForThePublishedPair)
{
    Fixture f;
    auto native = f.translator->install(QStringLiteral("en"), QStringLiteral("es"));
    AppleTranslationEngine engine(f.dependencies(true));

    engine.prepareSession(QStringLiteral("en"), QStringLiteral("es"));
    EXPECT_FALSE(engine.activeSession()); // handed over on a later turn, never inside prepareSession
    auto waiting = engine.getOrWaitSession(QStringLiteral("en"), QStringLiteral("es"));
    const auto session = await(std::move(waiting));
    ASSERT_TRUE(session);
    EXPECT_EQ(session, engine.directSession(QStringLiteral("en"), QStringLiteral("es")));
    EXPECT_TRUE(Testing::spinUntil([&] { return native->prepareCount.load() == 1; }));

    // A pair the platform has no session for: nothing arrives, and the caller gives up.
    engine.prepareSession(QStringLiteral("en"), QStringLiteral("de"));
    auto missing = engine.getOrWaitSession(QStringLiteral("en"), QStringLiteral("de"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(engine.activeSession());
    f.clock->advance(8s);
    EXPECT_EQ(await(std::move(missing)), nullptr);
}
