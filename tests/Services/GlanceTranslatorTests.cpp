// The glance translator's bookkeeping over an injected computation: shared tasks, the precedence of
// hovers over read-ahead, the cache limits and the keys; and its own gate before any back-end.

#include "Services/Learn/GlanceTranslator.h"

#include "Fakes/FakeGlanceTranslation.h"
#include "Fakes/FakeLanguageRecognizer.h"
#include "Fakes/FakeTagger.h"
#include "Fakes/FakeTranslation.h"
#include "Native/Services.h"
#include "Services/Translation/AppleTranslateService.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

using namespace Lumivox;
using Testing::FakeGlanceCompute;
using Testing::glanceMeaning;

namespace {

const QString sentence = QStringLiteral("The quick brown fox jumps over the lazy dog.");
const QString es = QStringLiteral("es");

using Received = std::vector<std::optional<Glance>>;

QCoro::Task<> collect(GlanceTask task, std::shared_ptr<Received> into)
{
    auto glance = co_await task;
    into->push_back(std::move(glance));
}

std::optional<Glance> wait(const GlanceTask &task)
{
    return Testing::await(task.value());
}

// An on-device service takes its translator from the registry when it first translates; in this
// program that is this fake, so no test here reaches a real engine.
Testing::FakeTranslator &onDevice()
{
    static auto translator = std::make_shared<Testing::FakeTranslator>();
    static Native::ScopedOverride<Native::Translator> installed {translator};
    return *translator;
}

class GlanceTranslatorSharing : public ::testing::Test
{
protected:
    std::shared_ptr<FakeGlanceCompute> fake = FakeGlanceCompute::make();
    GlanceTranslator translator {fake->compute()};

    GlanceTask hover(const QString &word, bool hasGoogleKey = false, std::optional<qsizetype> offset = std::nullopt)
    {
        return translator.start(word, sentence, es, hasGoogleKey, offset, false);
    }
    GlanceTask readAhead(const QString &word)
    {
        return translator.start(word, sentence, es, false, std::nullopt, true);
    }
    bool callsReach(std::size_t n)
    {
        return Testing::spinUntil([&] { return fake->calls.size() >= n; });
    }
};

} // namespace

TEST_F(GlanceTranslatorSharing, HoversOnOneWordShareOneTaskAndEveryAwaiterGetsTheGlanceOnce)
{
    const GlanceTask first = hover(QStringLiteral("fox"));
    const GlanceTask second = hover(QStringLiteral("fox"));
    EXPECT_EQ(first, second);
    auto received = std::make_shared<Received>();
    for (int i = 0; i < 3; ++i) {
        auto waiting = collect(first, received);
        Q_UNUSED(waiting);
    }
    ASSERT_TRUE(callsReach(1));
    fake->finish(0, glanceMeaning(QStringLiteral("zorro")));
    ASSERT_TRUE(Testing::spinUntil([&] { return received->size() == 3; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(*received, Received(3, glanceMeaning(QStringLiteral("zorro"))));

    // Cached now: a third hover gets it at once and no computation runs.
    EXPECT_EQ(hover(QStringLiteral("fox")).result(), glanceMeaning(QStringLiteral("zorro")));
    EXPECT_EQ(fake->calls.size(), 1u);
}

TEST_F(GlanceTranslatorSharing, AHoverThatJoinsReadAheadFilesTheResultAsLookedUp)
{
    const GlanceTask ahead = readAhead(QStringLiteral("lazy"));
    EXPECT_TRUE(translator.isReadingAhead(QStringLiteral("lazy"), sentence, es, std::nullopt));
    const GlanceTask hovered = hover(QStringLiteral("lazy"));
    EXPECT_EQ(hovered, ahead);
    EXPECT_FALSE(translator.isReadingAhead(QStringLiteral("lazy"), sentence, es, std::nullopt));

    // A later read-ahead request for it gets the same task and does not change the filing back.
    EXPECT_EQ(readAhead(QStringLiteral("lazy")), ahead);
    EXPECT_FALSE(translator.isReadingAhead(QStringLiteral("lazy"), sentence, es, std::nullopt));

    ASSERT_TRUE(callsReach(1));
    fake->finish(0, glanceMeaning(QStringLiteral("perezoso")));
    EXPECT_EQ(wait(hovered), glanceMeaning(QStringLiteral("perezoso")));
    const auto taken = translator.take(QStringLiteral("lazy"), sentence, es, std::nullopt);
    ASSERT_TRUE(taken);
    EXPECT_FALSE(taken->wasReadAhead);
}

TEST_F(GlanceTranslatorSharing, AHoverOnANewWordCancelsOnlyReadAhead)
{
    const GlanceTask lookedUp = hover(QStringLiteral("quick"));
    const GlanceTask aheadOne = readAhead(QStringLiteral("jumps"));
    const GlanceTask aheadTwo = readAhead(QStringLiteral("over"));
    ASSERT_TRUE(callsReach(3));

    const GlanceTask next = hover(QStringLiteral("brown"));
    // Released at once with nothing, even though their computations have not answered.
    EXPECT_TRUE(aheadOne.isCancelled());
    EXPECT_TRUE(aheadTwo.isCancelled());
    EXPECT_EQ(wait(aheadOne), std::nullopt);
    EXPECT_EQ(wait(aheadTwo), std::nullopt);
    EXPECT_FALSE(lookedUp.isCancelled());
    EXPECT_FALSE(translator.isReadingAhead(QStringLiteral("jumps"), sentence, es, std::nullopt));
    ASSERT_TRUE(callsReach(4));
    EXPECT_FALSE(fake->calls[0].stop.stop_requested());
    EXPECT_TRUE(fake->calls[1].stop.stop_requested());

    // The cancelled computations finish after all; nothing of theirs is kept.
    fake->finish(0, glanceMeaning(QStringLiteral("rápido")));
    fake->finish(1, glanceMeaning(QStringLiteral("salta")));
    fake->finish(2, glanceMeaning(QStringLiteral("sobre")));
    fake->finish(3, glanceMeaning(QStringLiteral("marrón")));
    EXPECT_EQ(wait(lookedUp), glanceMeaning(QStringLiteral("rápido")));
    EXPECT_EQ(wait(next), glanceMeaning(QStringLiteral("marrón")));
    QCoreApplication::processEvents();
    EXPECT_FALSE(translator.cached(QStringLiteral("jumps"), sentence, es, std::nullopt));
    EXPECT_FALSE(translator.cached(QStringLiteral("over"), sentence, es, std::nullopt));
}

TEST_F(GlanceTranslatorSharing, AHoverWithAKeyRetriesOnceWhenReadAheadYieldsNothing)
{
    const GlanceTask ahead = readAhead(QStringLiteral("fox"));
    const GlanceTask hovered = hover(QStringLiteral("fox"), true);
    EXPECT_NE(hovered, ahead);
    ASSERT_TRUE(callsReach(1));
    EXPECT_FALSE(fake->calls[0].hasGoogleKey);
    fake->finish(0, std::nullopt);
    ASSERT_TRUE(callsReach(2));
    EXPECT_TRUE(fake->calls[1].hasGoogleKey);
    fake->finish(1, glanceMeaning(QStringLiteral("zorro")));
    EXPECT_EQ(wait(hovered), glanceMeaning(QStringLiteral("zorro")));
    EXPECT_EQ(wait(ahead), std::nullopt);

    // A read-ahead that succeeds needs no retry.
    const GlanceTask aheadDog = readAhead(QStringLiteral("dog"));
    const GlanceTask hoveredDog = hover(QStringLiteral("dog"), true);
    ASSERT_TRUE(callsReach(3));
    fake->finish(2, glanceMeaning(QStringLiteral("perro")));
    EXPECT_EQ(wait(hoveredDog), glanceMeaning(QStringLiteral("perro")));
    QCoreApplication::processEvents();
    EXPECT_EQ(fake->calls.size(), 3u);
    Q_UNUSED(aheadDog);
}

TEST_F(GlanceTranslatorSharing, ReadAheadCancelledBeforeItStartsNeverComputesAndADeadTranslatorRetriesNothing)
{
    // Cancelled by a hover before its turn came: no work is done for it at all.
    const GlanceTask ahead = readAhead(QStringLiteral("jumps"));
    const GlanceTask next = hover(QStringLiteral("brown"));
    EXPECT_TRUE(ahead.isCancelled());
    ASSERT_TRUE(callsReach(1));
    QCoreApplication::processEvents();
    ASSERT_EQ(fake->calls.size(), 1u);
    EXPECT_EQ(fake->calls[0].word, QStringLiteral("brown"));
    fake->finish(0, glanceMeaning(QStringLiteral("marrón")));
    EXPECT_EQ(wait(next), glanceMeaning(QStringLiteral("marrón")));

    // A translator that goes while a hover waits to retry with its key: the hover gets nothing, and
    // nothing is started on the translator that is gone.
    auto other = std::make_unique<GlanceTranslator>(fake->compute());
    const GlanceTask running = other->start(QStringLiteral("fox"), sentence, es, false, std::nullopt, true);
    const GlanceTask retrying = other->start(QStringLiteral("fox"), sentence, es, true, std::nullopt, false);
    ASSERT_TRUE(callsReach(2));
    other.reset();
    EXPECT_EQ(wait(retrying), std::nullopt);
    EXPECT_EQ(wait(running), std::nullopt);
    fake->finish(1, glanceMeaning(QStringLiteral("zorro")));
    QCoreApplication::processEvents();
    EXPECT_EQ(fake->calls.size(), 2u);
}

TEST(GlanceTranslatorCache, AGlanceStaysReadAheadUntilAHoverOrATakeAsksForItAndThenFillsTheLookedUpRoom)
{
    enum class Then { readAhead, hover, take };
    struct Case
    {
        const char *what;
        bool firstReadAhead;
        Then then;
        bool stillReadAhead;
    };
    const Case cases[] = {
        {"read ahead twice", true, Then::readAhead, true},
        {"read ahead, then hovered", true, Then::hover, false},
        {"read ahead, then taken", true, Then::take, false},
        {"hovered, then read ahead", false, Then::readAhead, false},
    };
    auto word = [](int i) { return QStringLiteral("w%1").arg(i); };
    const QString probe = QStringLiteral("probe");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto fake = FakeGlanceCompute::make();
        fake->answerAtOnce(true);
        GlanceTranslator translator {fake->compute()};
        // The looked-up room one short of full: the probe, once looked up, takes its last place.
        for (int i = 0; i < int(GlanceTranslator::limit) - 1; ++i)
            wait(translator.start(word(i), sentence, es, false, std::nullopt, false));
        wait(translator.start(probe, sentence, es, false, std::nullopt, c.firstReadAhead));
        if (c.then == Then::take)
            ASSERT_TRUE(translator.take(probe, sentence, es, std::nullopt));
        else
            wait(translator.start(probe, sentence, es, false, std::nullopt, c.then == Then::readAhead));
        EXPECT_EQ(fake->calls.size(), GlanceTranslator::limit);
        // Filling the room exactly pushes nothing out.
        EXPECT_TRUE(translator.cached(word(0), sentence, es, std::nullopt));
        // One more looked-up key pushes out the oldest one only when the probe took up the last place.
        wait(translator.start(QStringLiteral("one more"), sentence, es, false, std::nullopt, false));
        EXPECT_EQ(translator.cached(word(0), sentence, es, std::nullopt).has_value(), c.stillReadAhead);
        const auto taken = translator.take(probe, sentence, es, std::nullopt);
        ASSERT_TRUE(taken);
        EXPECT_EQ(taken->wasReadAhead, c.stillReadAhead);
    }
}

TEST(GlanceTranslatorCache, LookedUpAndReadAheadKeysHaveTheirOwnLimits)
{
    auto fake = FakeGlanceCompute::make();
    fake->answerAtOnce(true);
    GlanceTranslator translator {fake->compute()};
    auto word = [](int i) { return QStringLiteral("w%1").arg(i); };

    for (int i = 0; i < 24; ++i)
        wait(translator.start(word(i), sentence, es, false, std::nullopt, true));
    for (int i = 100; i < 100 + int(GlanceTranslator::limit); ++i)
        wait(translator.start(word(i), sentence, es, false, std::nullopt, false));
    // Both lists are full; nothing was pushed out of either by the other.
    EXPECT_TRUE(translator.cached(word(0), sentence, es, std::nullopt));
    EXPECT_TRUE(translator.cached(word(100), sentence, es, std::nullopt));

    // The 301st looked-up key evicts the oldest looked-up key only.
    wait(translator.start(word(1000), sentence, es, false, std::nullopt, false));
    EXPECT_FALSE(translator.cached(word(100), sentence, es, std::nullopt));
    EXPECT_TRUE(translator.cached(word(101), sentence, es, std::nullopt));
    EXPECT_TRUE(translator.cached(word(0), sentence, es, std::nullopt));

    // The 25th read-ahead key evicts the oldest read-ahead key only.
    wait(translator.start(word(24), sentence, es, false, std::nullopt, true));
    EXPECT_FALSE(translator.cached(word(0), sentence, es, std::nullopt));
    EXPECT_TRUE(translator.cached(word(1), sentence, es, std::nullopt));
    EXPECT_TRUE(translator.cached(word(101), sentence, es, std::nullopt));

    // Taking a read-ahead glance reports it once; it then counts against the looked-up limit and is
    // the newest key there.
    const auto taken = translator.take(word(1), sentence, es, std::nullopt);
    ASSERT_TRUE(taken);
    EXPECT_TRUE(taken->wasReadAhead);
    EXPECT_FALSE(translator.take(word(1), sentence, es, std::nullopt)->wasReadAhead);
    EXPECT_FALSE(translator.cached(word(101), sentence, es, std::nullopt)); // pushed out by the move
    for (int i = 2000; i < 2000 + int(GlanceTranslator::limit) - 1; ++i)
        wait(translator.start(word(i), sentence, es, false, std::nullopt, false));
    EXPECT_TRUE(translator.cached(word(1), sentence, es, std::nullopt));
    wait(translator.start(word(3000), sentence, es, false, std::nullopt, false));
    EXPECT_FALSE(translator.cached(word(1), sentence, es, std::nullopt));
}

TEST(GlanceTranslatorKeys, OffsetTargetCaseAndSurroundingSpace)
{
    const QString word = QStringLiteral("Fox");
    EXPECT_NE(GlanceTranslator::cacheKey(word, sentence, es, 16), GlanceTranslator::cacheKey(word, sentence, es, {}));
    EXPECT_EQ(GlanceTranslator::cacheKey(word, sentence, QStringLiteral("ZH-CN"), 16),
              GlanceTranslator::cacheKey(word, sentence, QStringLiteral("zh-cn"), 16));
    EXPECT_EQ(GlanceTranslator::cacheKey(word, QStringLiteral("\n ") + sentence + QStringLiteral(" \t"), es, 16),
              GlanceTranslator::cacheKey(word, sentence, es, 16));
    EXPECT_EQ(GlanceTranslator::cacheKey(word, sentence, es, 16), QStringLiteral("es|16|Fox|") + sentence);

    // Google is told only a two-letter source; anything else it detects itself.
    for (const char *source : {"es", "zh-cn", "e", "", "haw"}) {
        const QString code = QString::fromLatin1(source);
        EXPECT_EQ(GlanceTranslator::googleSource(code), code.size() == 2 ? std::optional(code) : std::nullopt)
            << source;
    }
}

TEST(GlanceTranslatorShared, EveryCallGetsTheInstanceTheFirstMade)
{
    onDevice();
    static AppleTranslateService service;
    GlanceTranslator &first = GlanceTranslator::shared(service);
    EXPECT_EQ(&GlanceTranslator::shared(service), &first);
}

TEST(GlanceTranslatorGate, NoGlanceWithoutADistinctSentenceInAnotherLanguage)
{
    // A computer with pairs into German and Chinese as well.
    Testing::ScopedOnDeviceLanguages onDeviceSet({QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("fr"),
                                                  QStringLiteral("de"), QStringLiteral("zh-cn"),
                                                  QStringLiteral("zh-tw")});
    auto recognizer = std::make_shared<Testing::FakeLanguageRecognizer>();
    Native::ScopedOverride<Native::LanguageRecognizer> installed {recognizer};
    const QString spanish = QStringLiteral("El zorro marrón salta sobre el perro.");
    recognizer->recognize(spanish, QStringLiteral("es"));
    recognizer->recognize(QStringLiteral("Der Hund schläft im Garten."), QStringLiteral("de"));
    recognizer->recognize(QStringLiteral("Bonjour tout le monde, mon ami."), QStringLiteral("fr"));

    onDevice();
    AppleTranslateService service;
    GlanceTranslator translator {service};
    // The hover asks first, and shows the word's own translation at once where the answer is no;
    // German has a back-end on this computer, though not the pair it needs.
    auto glance = [&](const QString &word, const QString &text, const QString &target) {
        EXPECT_EQ(translator.canGlance(word, text, target, false), word == QLatin1String("Hund")) << word.toStdString();
        return wait(translator.start(word, text, target, false, std::nullopt, false));
    };
    EXPECT_EQ(glance(QStringLiteral("Fox"), QStringLiteral("  Fox\n"), es), std::nullopt);
    EXPECT_EQ(glance(QStringLiteral("Fox"), QStringLiteral("(Fox.)"), es), std::nullopt);
    EXPECT_EQ(glance(QStringLiteral("cat"), sentence, es), std::nullopt); // not in it
    EXPECT_EQ(glance(QStringLiteral("zorro"), spanish, QStringLiteral("ES")), std::nullopt); // already the target
    EXPECT_EQ(glance(QStringLiteral("Hund"), QStringLiteral("Der Hund schläft im Garten."), es), std::nullopt);
    // A sentence the recogniser cannot name.
    EXPECT_EQ(glance(QStringLiteral("nets"), QStringLiteral("Old sailors mend torn nets."), es), std::nullopt);
    // German to Sinhala is not on the device and there is no key: no back-end is tried.
    EXPECT_EQ(glance(QStringLiteral("ami"), QStringLiteral("Bonjour tout le monde, mon ami."), QStringLiteral("si")),
              std::nullopt);
    EXPECT_TRUE(translator.canGlance(QStringLiteral("ami"), QStringLiteral("Bonjour tout le monde, mon ami."),
                                     QStringLiteral("si"), true));
    EXPECT_TRUE(translator.canGlance(QStringLiteral("zorro"), spanish, QStringLiteral("en"), false));
    recognizer->recognize(QStringLiteral("中文的句子"), QStringLiteral("zh-Hans"));
    recognizer->recognize(QStringLiteral("Teksti suomeksi"), QStringLiteral("FI"));
    EXPECT_EQ(GlanceTranslator::sourceLanguage(QStringLiteral("中文的句子")), QStringLiteral("zh-cn"));
    EXPECT_EQ(GlanceTranslator::sourceLanguage(QStringLiteral("Teksti suomeksi")), QStringLiteral("fi"));
}

TEST(GlanceTranslatorGate, TheOffsetCountsFromTheUntrimmedSentence)
{
    auto session = onDevice().install(QStringLiteral("en"), QStringLiteral("es"));
    auto recognizer = std::make_shared<Testing::FakeLanguageRecognizer>();
    Native::ScopedOverride<Native::LanguageRecognizer> recognizing {recognizer};
    Native::ScopedOverride<Native::Tagger> tagging {std::make_shared<Testing::FakeTagger>()};
    const QString trimmed = QStringLiteral("I saw a red car and a red bus.");
    recognizer->recognize(trimmed, QStringLiteral("en"));
    const qsizetype secondRed = trimmed.lastIndexOf(QStringLiteral("red"));
    session->answerMarked([&](const Native::MarkedPassage &passage) {
        using Result = Native::TranslationResult<Native::MarkedPassage>;
        if (passage.text != trimmed || passage.marks.size() != 1)
            return Result::failure({QStringLiteral("Fake"), 1});
        const QString spanish = QStringLiteral("Vi un coche rojo y un autobús rojo.");
        const qsizetype rojo = passage.marks[0].location == secondRed ? spanish.lastIndexOf(QStringLiteral("rojo"))
                                                                      : spanish.indexOf(QStringLiteral("rojo"));
        return Result::success({spanish, {{rojo, 4}}});
    });

    AppleTranslateService service;
    GlanceTranslator translator {service};
    const QString shown = QStringLiteral("\n   ") + trimmed;
    const auto glance = wait(translator.start(QStringLiteral("red"), shown, es, false, secondRed + 4, false));
    ASSERT_TRUE(glance);
    EXPECT_EQ(glance->meaning, QStringLiteral("rojo"));
    const auto requests = session->markedRequests();
    const auto whole = std::find_if(requests.begin(), requests.end(), [&](const auto &r) { return r.text == trimmed; });
    ASSERT_NE(whole, requests.end());
    EXPECT_EQ(whole->marks.front().location, secondRed);
    ASSERT_TRUE(glance->sentence);
    EXPECT_EQ(glance->sentence->stronglyEmphasizedRanges().front().location,
              glance->sentence->text().lastIndexOf(QStringLiteral("rojo")));
}
