// What a shown word leaves behind and what its keys do, over whole hovers on a fake clock: the look-up
// the word book records, the footer, the window title of a saved word, and when the save and copy
// keys are grabbed, what they do and that they are given back.

#include "Fakes/FakeAccessibility.h"
#include "Fakes/FakeCapture.h"
#include "Fakes/FakeCoordinatorDependencies.h"
#include "Fakes/FakeCoordinatorViews.h"
#include "Fakes/FakeHotKeys.h"
#include "Fakes/FakeInput.h"
#include "Fakes/FakeWindowList.h"
#include "Fakes/FakeWordBookEnvironment.h"
#include "Fakes/ScriptedHoverSources.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Features/Coordinator/TooltipKeys.h"
#include "Native/Services.h"
#include "Services/Detection/MouseTracker.h"
#include "Services/Learn/GlanceTranslator.h"
#include "Services/Translation/TranslationStore.h"
#include "Services/Words/WordExport.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

constexpr std::uint32_t altMask = Native::HotKeyModifier::option;

QCoro::Task<TranslationAttempt> answered(TranslationAttempt attempt)
{
    co_return attempt;
}

class LookupBookkeepingTest : public ::testing::Test, public WordBookEnvironment
{
public:
    const QPointF onWord {120, 308};
    std::shared_ptr<FakeInput> input = std::make_shared<FakeInput>();
    std::shared_ptr<FakeWindowList> windowList = std::make_shared<FakeWindowList>();
    std::shared_ptr<FakeAccessibility> accessibility = std::make_shared<FakeAccessibility>();
    std::shared_ptr<FakeCapture> capture = std::make_shared<FakeCapture>();
    std::shared_ptr<FakeHotKeys> hotKeys = std::make_shared<FakeHotKeys>();
    Native::ScopedOverride<Native::HotKeys> hotKeysOverride {hotKeys};
    std::unique_ptr<WordBook> book = makeBook();
    TranslationStore cache {defaults, 3000, 2.0, clock};
    std::shared_ptr<FakeOverlay> overlay = std::make_shared<FakeOverlay>();
    std::shared_ptr<ScriptedHoverSources> sources = std::make_shared<ScriptedHoverSources>();
    Script<std::optional<Glance>> glances;
    std::unique_ptr<GlanceTranslator> glanceTranslator = std::make_unique<GlanceTranslator>(
        [this](QString, QString, QString, bool, std::stop_token) -> QCoro::Task<std::optional<Glance>> {
            const auto reply = glances.next();
            co_return co_await reply;
        });
    /// What the on-device translation answers for a word; a word not here means itself in capitals.
    QHash<QString, QString> meanings;
    std::unique_ptr<HoverTextController> controller;

    void SetUp() override
    {
        book->setKeepsHistory(true);
        HoverTextController::Dependencies d = coordinatorDependencies(*this, *book, cache);
        d.input = input;
        d.windowList = windowList;
        d.accessibility = accessibility;
        d.capture = capture;
        d.overlay = overlay;
        d.sources = sources;
        d.glanceTranslator = glanceTranslator.get();
        d.translation.onDevice = [this](QString word, QString, std::optional<QString>) {
            return answered(TranslationAttempt::success(meanings.value(word, word.toUpper())));
        };
        d.isPointInsideOwnWindow = [](QPointF) { return false; };
        controller = std::make_unique<HoverTextController>(std::move(d));
        controller->setTargetLanguage(QStringLiteral("es"));
        accessibility->trusted = true;
        capture->screenRecordingGranted = true;
        controller->checkPermission();
        input->setLocation(onWord);
    }

    void TearDown() override
    {
        controller.reset();
        clock->advance(1h);
        settle();
    }

    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    /// The modifiers of the hold key of the moment (the `always` mode needs none).
    Native::ModifierFlags held() const
    {
        switch (controller->triggerMode().value()) {
        case TriggerMode::option:
            return Native::Modifier::option;
        case TriggerMode::command:
            return Native::Modifier::command;
        case TriggerMode::control:
            return Native::Modifier::control;
        case TriggerMode::shift:
            return Native::Modifier::shift;
        case TriggerMode::always:
            break;
        }
        return 0;
    }

    void holdKey(bool down)
    {
        input->setFlags(down ? held() : 0);
        emit controller->mouseTracker().modifiersChanged(input->currentEventFlags(), input->mouseLocation());
        settle();
    }

    /// A fresh hover over `word` (read with `context`) in `app`, with the hold key held: the word
    /// shows with its glance when one is given.
    void hover(const QString &word, std::optional<QString> context = std::nullopt,
               std::optional<Glance> glance = std::nullopt,
               std::optional<QString> app = QStringLiteral("org.gnome.TextEditor"))
    {
        controller->clearOverlay();
        sources->windows.answer(WindowLookup::Hit {7, 4242, 0, app});
        sources->lookups.answer({AccessibilityTextService::LookupResult::hit(
                                     {word, context.value_or(QString()), QRectF(100, 300, 40, 16),
                                      context ? std::optional<qsizetype>(context->indexOf(word)) : std::nullopt}),
                                 true});
        if (glance)
            glances.answer(std::move(glance));
        input->setFlags(held());
        emit controller->mouseTracker().pointerRested(onWord);
        settle();
    }

    const WordLookup &current() const { return *controller->hover().currentLookup; }
    std::optional<WordStatus> footer() const
    {
        return overlay->shown.empty() ? std::nullopt : overlay->shown.back().first.status;
    }
    bool pressSave() { return hotKeys->press(TooltipKeys::saveKeyCode, altMask); }
    bool pressCopy() { return hotKeys->press(TooltipKeys::copyKeyCode, altMask); }
};

Glance riverGlance(QString grammarText)
{
    Glance g;
    g.meaning = QStringLiteral("río");
    g.base = QStringLiteral("river");
    g.grammar = EnglishGrammar::Line {QStringLiteral("noun"), std::move(grammarText)};
    g.sentence = StyledText(QStringLiteral("El río corre."));
    return g;
}

} // namespace

TEST_F(LookupBookkeepingTest, TheRecordedLookupTakesWhatTheHoverFound)
{
    // Two sentences: a glance is kept per word and sentence, so each glance row needs its own.
    const QString sentence = QStringLiteral("The quiet river runs down to the sea every single day.");
    const QString other = QStringLiteral("Every single day the river runs down to the quiet sea.");
    struct Row
    {
        const char *name;
        QString word;
        std::optional<QString> context;
        std::optional<Glance> glance;
        std::optional<QString> sentence;
        std::optional<std::int64_t> offset;
        bool hasSource;
        std::optional<QString> base;
        std::optional<QString> grammarTag;
        std::optional<QString> grammarText;
        std::optional<QString> translation;
    };
    const std::vector<Row> rows {
        {"context equal to the word", QStringLiteral("river"), QStringLiteral("river"), std::nullopt, std::nullopt,
         std::nullopt, false, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {"a glance with an empty grammar text", QStringLiteral("river"), sentence, riverGlance(QString()), sentence, 10,
         true, QStringLiteral("river"), QStringLiteral("noun"), std::nullopt, QStringLiteral("El río corre.")},
        {"a glance with its grammar", QStringLiteral("river"), other, riverGlance(QStringLiteral("a stream")), other,
         21, true, QStringLiteral("river"), QStringLiteral("noun"), QStringLiteral("a stream"),
         QStringLiteral("El río corre.")},
        {"a plain meaning", QStringLiteral("quiet"), std::nullopt, std::nullopt, std::nullopt, std::nullopt, false,
         std::nullopt, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        clock->advance(1h); // no repeat of the row before
        hover(row.word, row.context, row.glance);
        ASSERT_TRUE(controller->hover().currentLookup);
        const WordLookup &l = current();
        EXPECT_EQ(l.word, row.word);
        EXPECT_EQ(l.sentence, row.sentence);
        EXPECT_EQ(l.wordOffset, row.offset);
        EXPECT_EQ(l.source.has_value(), row.hasSource);
        EXPECT_EQ(l.base, row.base);
        EXPECT_EQ(l.grammarTag, row.grammarTag);
        EXPECT_EQ(l.grammarText, row.grammarText);
        EXPECT_EQ(l.translation, row.translation);
        EXPECT_EQ(l.meaning, row.glance ? row.glance->meaning : row.word.toUpper());
        EXPECT_EQ(l.target, QStringLiteral("es"));
        EXPECT_EQ(l.appID, QStringLiteral("org.gnome.TextEditor"));
        EXPECT_EQ(l.date, now());
        ASSERT_FALSE(book->history().empty());
        EXPECT_EQ(book->history().back(), l) << "the word book keeps the same record";
        ASSERT_TRUE(footer());
        EXPECT_EQ(footer()->lookups, static_cast<int>(book->lookupCount(l.key())));
        EXPECT_FALSE(footer()->isSaved);
    }
    // Letting go ends the look-up and its footer.
    holdKey(false);
    EXPECT_FALSE(controller->hover().currentLookup);
}

TEST_F(LookupBookkeepingTest, OnlyARecordedLookupOfASavedWordGetsItsWindowTitleAndALateOneStaysWithIt)
{
    hover(QStringLiteral("river"));
    EXPECT_EQ(sources->titles.calls, 0) << "an unsaved word never asks for a title";

    // Saved, then met again: the title is asked for and lands on this encounter.
    book->toggleSave(current(), now());
    clock->advance(1h);
    const Reply<std::optional<QString>> late = sources->titles.hold();
    hover(QStringLiteral("river"));
    ASSERT_EQ(sources->titles.calls, 1);
    const QUuid first = current().id;

    // A repeat the book does not record asks for nothing.
    hover(QStringLiteral("river"));
    EXPECT_EQ(sources->titles.calls, 1);

    // The pointer moved on before the title came: it goes to the earlier encounter only.
    clock->advance(1h);
    hover(QStringLiteral("lake"));
    late.release(QStringLiteral("Notes — Editor"));
    settle();
    EXPECT_FALSE(current().title) << "the newer look-up is left alone";
    const auto saved = book->savedWord(WordKey(QStringLiteral("river"), std::nullopt, QStringLiteral("es")));
    ASSERT_TRUE(saved);
    const auto encounter = std::find_if(saved->encounters.begin(), saved->encounters.end(),
                                        [&](const WordLookup &e) { return e.id == first; });
    ASSERT_NE(encounter, saved->encounters.end());
    EXPECT_EQ(encounter->title, QStringLiteral("Notes — Editor"));
    for (const WordLookup &entry : book->history())
        EXPECT_FALSE(entry.title) << "the history never gets a title";

    // The program quits while a title is on its way: the late answer finds nobody and does no harm.
    clock->advance(1h);
    const Reply<std::optional<QString>> orphan = sources->titles.hold();
    hover(QStringLiteral("river"));
    controller.reset();
    orphan.release(QStringLiteral("Closed — Editor"));
    settle();
}

TEST_F(LookupBookkeepingTest, TheLookupNamesTheApplicationByItsDesktopEntry)
{
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    ASSERT_TRUE(QDir(data.path()).mkpath(QStringLiteral("applications")));
    QFile entry(data.filePath(QStringLiteral("applications/lumivox.test.Notes.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Notes\n");
    entry.close();
    const std::optional<QByteArray> savedHome =
        qEnvironmentVariableIsSet("XDG_DATA_HOME") ? std::optional(qgetenv("XDG_DATA_HOME")) : std::nullopt;
    const auto restore = qScopeGuard([&] {
        if (savedHome)
            qputenv("XDG_DATA_HOME", *savedHome);
        else
            qunsetenv("XDG_DATA_HOME");
    });
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());

    struct Row
    {
        const char *name;
        std::optional<QString> windowApp;
        std::optional<QString> processApp;
    };
    const Row rows[] = {
        {"the window names its application", QStringLiteral("lumivox.test.Notes"),
         QStringLiteral("lumivox.test.Other")},
        {"else its process does", std::nullopt, QStringLiteral("lumivox.test.Notes")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        windowList->setApplicationID(4242, row.processApp);
        clock->advance(1h);
        hover(QStringLiteral("river"), std::nullopt, std::nullopt, row.windowApp);
        ASSERT_TRUE(controller->hover().currentLookup);
        EXPECT_EQ(current().appName, QStringLiteral("Notes"));
    }
}

TEST_F(LookupBookkeepingTest, AnEmptyStoredMeaningIsAMissNeitherShownNorRecorded)
{
    // A translation store read back from disk may hold an empty text for a word.
    cache.set(QString(), HoverTextController::cacheKey(QStringLiteral("river"), QStringLiteral("es"), std::nullopt));
    hover(QStringLiteral("river"));
    // Translated afresh: shown and recorded with the translator's meaning.
    EXPECT_EQ(controller->hover().translatedText, QStringLiteral("RIVER"));
    ASSERT_EQ(book->history().size(), 1u);
    EXPECT_EQ(book->history().front().meaning, QStringLiteral("RIVER"));
}

TEST_F(LookupBookkeepingTest, KeyHintsEndExactlyFourteenDaysOnAndHasKeysFollowsTheHoldKeyNotTheGrab)
{
    const double since = book->keyHintsSince().secondsSinceReferenceDate;
    const auto at = [&](double seconds) {
        clock->setWallNow(Clock::WallTime(std::chrono::duration_cast<Clock::WallTime::duration>(
            std::chrono::duration<double>(Date::referenceDateUnixSeconds + seconds))));
    };
    at(since + 14 * 86400 - 1);
    hover(QStringLiteral("river"));
    EXPECT_TRUE(footer()->showsKeyHints);
    at(since + 14 * 86400);
    hover(QStringLiteral("lake"));
    EXPECT_FALSE(footer()->showsKeyHints);

    struct Row
    {
        QString holdKey;
        bool inTerminal;
    };
    for (const Row &row : {Row {QStringLiteral("option"), true}, Row {QStringLiteral("command"), false},
                           Row {QStringLiteral("control"), false}, Row {QStringLiteral("shift"), false},
                           Row {QStringLiteral("always"), false}, Row {QStringLiteral("bogus"), true}}) {
        SCOPED_TRACE(row.holdKey.toStdString());
        controller->setHoldKey(row.holdKey);
        // The terminals and the editor whose own Ctrl keys stay theirs, by their Linux ids.
        for (const char *app : {"org.gnome.Terminal", "org.kde.konsole", "kitty", "Alacritty", "org.wezfurlong.wezterm",
                                "com.mitchellh.ghostty", "dev.warp.Warp", "hyper", "rio", "emacs"}) {
            EXPECT_EQ(HoverTextController::mayClaimKeys(TriggerMode::fromStored(row.holdKey).tooltipKeyModifiers(),
                                                        QString::fromLatin1(app)),
                      row.inTerminal)
                << app;
        }
        EXPECT_TRUE(HoverTextController::mayClaimKeys(TriggerMode::fromStored(row.holdKey).tooltipKeyModifiers(),
                                                      std::nullopt));
        clock->advance(1h);
        hover(QStringLiteral("ls"), std::nullopt, std::nullopt, QStringLiteral("kitty"));
        EXPECT_EQ(footer()->hasKeys, row.inTerminal) << "before any grab";
        clock->advance(2s);
        EXPECT_EQ(controller->tooltipKeys().isActive(), row.inTerminal);
    }
}

TEST_F(LookupBookkeepingTest, KeysWaitForTypingToStopButNotForTheirOwnPress)
{
    // Typed 0.2 s before the tooltip: armed 0.8 s + 0.02 s later, not a moment sooner.
    input->setSecondsSinceLastKeyPress(0.2);
    hover(QStringLiteral("river"));
    input->setSecondsSinceLastKeyPress(1.02); // nobody types meanwhile; read when the claim fires
    clock->advance(810ms);
    EXPECT_FALSE(controller->tooltipKeys().isActive());
    clock->advance(10ms);
    EXPECT_TRUE(controller->tooltipKeys().isActive());

    // A key pressed 0.32 s into the tooltip puts the claim off again.
    clock->advance(1h);
    input->setSecondsSinceLastKeyPress(0.2);
    hover(QStringLiteral("lake"));
    input->setSecondsSinceLastKeyPress(0.5);
    clock->advance(820ms);
    EXPECT_FALSE(controller->tooltipKeys().isActive());
    input->setSecondsSinceLastKeyPress(1.1);
    clock->advance(500ms);
    EXPECT_FALSE(controller->tooltipKeys().isActive());
    clock->advance(20ms);
    EXPECT_TRUE(controller->tooltipKeys().isActive());

    // The last key press was our own save, 0.1 s before the next tooltip: armed 0.35 s + 0.02 s into
    // it, as if nobody had typed.
    ASSERT_TRUE(pressSave());
    clock->advance(100ms);
    input->setSecondsSinceLastKeyPress(0.1);
    hover(QStringLiteral("sea"));
    input->setSecondsSinceLastKeyPress(0.47);
    clock->advance(360ms);
    EXPECT_FALSE(controller->tooltipKeys().isActive());
    clock->advance(10ms);
    EXPECT_TRUE(controller->tooltipKeys().isActive());

    EXPECT_EQ(HoverTextController::secondsSinceTyping(std::nullopt, clock->wallNow(), 0.2), 0.2);
    EXPECT_EQ(HoverTextController::secondsSinceTyping(clock->wallNow() - 500ms, clock->wallNow(), 0.2), 0.2);
    EXPECT_TRUE(std::isinf(HoverTextController::secondsSinceTyping(clock->wallNow() - 400ms, clock->wallNow(), 0.2)));
    EXPECT_TRUE(std::isinf(HoverTextController::secondsSinceTyping(clock->wallNow(), clock->wallNow(), 0.29)));
}

TEST_F(LookupBookkeepingTest, SaveAndCopyShareOneDebounceAndFlashInTheFooter)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    hover(QStringLiteral("river"));
    clock->advance(1s);
    ASSERT_TRUE(controller->tooltipKeys().isActive());
    ASSERT_EQ(hotKeys->registrations().size(), 2u);

    ASSERT_TRUE(pressSave());
    EXPECT_EQ(footer()->flash, WordStatus::Flash::saved(1));
    EXPECT_EQ(sources->titles.calls, 1) << "a word saved without a title asks for one";
    EXPECT_TRUE(footer()->isSaved);
    clock->advance(340ms);
    ASSERT_TRUE(pressCopy());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before")) << "within 0.35 s of the save";
    clock->advance(10ms);
    ASSERT_TRUE(pressCopy());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("RIVER"));
    EXPECT_EQ(footer()->flash, WordStatus::Flash::copied());
    clock->advance(400ms);
    ASSERT_TRUE(pressSave());
    clock->advance(100ms);
    ASSERT_TRUE(pressSave());
    EXPECT_EQ(footer()->flash, WordStatus::Flash::removed()) << "a quick double press toggles once";
    EXPECT_TRUE(book->saved().empty());

    // Gone with the tooltip: the combinations are everybody's again, and the flash is forgotten.
    holdKey(false);
    EXPECT_EQ(hotKeys->registrationCount(), 0u);
    EXPECT_FALSE(pressSave());
    EXPECT_FALSE(controller->hover().statusFlash);
}

TEST_F(LookupBookkeepingTest, ARefusedSaveKeyIsTriedAgainWithTheCopyKeyAtTheNextClaim)
{
    hotKeys->takenElsewhere.insert({TooltipKeys::saveKeyCode, altMask});
    hover(QStringLiteral("river"));
    clock->advance(1s);
    EXPECT_FALSE(controller->tooltipKeys().isActive());
    EXPECT_EQ(hotKeys->registrationCount(), 1u) << "the copy key works alone";
    EXPECT_TRUE(pressCopy());

    hotKeys->takenElsewhere.clear();
    clock->advance(1h);
    hover(QStringLiteral("lake"));
    clock->advance(1s);
    EXPECT_TRUE(controller->tooltipKeys().isActive());
    EXPECT_TRUE(controller->tooltipKeys().isCopyArmed());
    EXPECT_EQ(hotKeys->registrationCount(), 2u) << "nothing is grabbed twice";

    // Another hold key: the armed keys keep their mask until the next word's claim.
    controller->setHoldKey(QStringLiteral("control"));
    input->setFlags(Native::Modifier::control);
    EXPECT_EQ(controller->tooltipKeys().modifiers(), altMask);

    // Armed again with another mask, the keys are grabbed anew under it.
    TooltipKeys keys(clock);
    keys.activate(Native::HotKeyModifier::control);
    keys.activate(Native::HotKeyModifier::control | Native::HotKeyModifier::shift);
    EXPECT_EQ(keys.modifiers(), Native::HotKeyModifier::control | Native::HotKeyModifier::shift);
    EXPECT_TRUE(keys.isActive());
    EXPECT_EQ(hotKeys->registrationCount(), 4u) << "the first mask's keys were given back";
}

// A tooltip redrawn in place (a new font size here; a save or copy flash alike) keeps keys that are
// armed, even while the user types, and claims keys that are not, with or without a glance.
TEST_F(LookupBookkeepingTest, ARedrawnTooltipClaimsItsKeysOnlyWhenTheyAreNotArmed)
{
    for (const bool withGlance : {false, true}) {
        SCOPED_TRACE(withGlance ? "a glance" : "a plain meaning");
        const auto word = [&](const char *text) {
            clock->advance(1h);
            hover(QString::fromLatin1(text), QStringLiteral("The river runs."),
                  withGlance ? std::optional<Glance>(riverGlance(QStringLiteral("noun"))) : std::nullopt);
            ASSERT_EQ(controller->hover().currentGlance.has_value(), withGlance);
            clock->advance(1s);
        };

        word("river");
        ASSERT_TRUE(controller->tooltipKeys().isActive());
        input->setSecondsSinceLastKeyPress(0.1);
        controller->setFontSize(controller->fontSize() + 1);
        EXPECT_TRUE(controller->tooltipKeys().isActive()) << "armed keys stay armed through a redraw";
        input->setSecondsSinceLastKeyPress(60);

        hotKeys->takenElsewhere.insert({TooltipKeys::saveKeyCode, altMask});
        word("river");
        ASSERT_FALSE(controller->tooltipKeys().isActive());
        hotKeys->takenElsewhere.clear();
        controller->setFontSize(controller->fontSize() - 1);
        EXPECT_TRUE(controller->tooltipKeys().isActive()) << "a redraw claims the keys it lacks";
    }
}

TEST_F(LookupBookkeepingTest, CopyingNeedsAShownNonEmptyTranslation)
{
    hover(QStringLiteral("river"));
    clock->advance(1s);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    controller->hover().translatedText = QString();
    controller->copyHoveredMeaning();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    EXPECT_FALSE(controller->hover().statusFlash);
    overlay->visible = false;
    controller->hover().translatedText = QStringLiteral("RIVER");
    controller->copyHoveredMeaning();
    controller->toggleSaveHoveredWord();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    EXPECT_TRUE(book->saved().empty()) << "no tooltip on screen, no key action";
}

// What another program shows and what a translation service sends may hold control characters: a
// bell, a terminal's escape sequences, a NUL, a right-to-left override that turns a line around.
// Nor may the title of a window. None reaches the tooltip, the history, the saved words or either
// export; the text around them does.
TEST_F(LookupBookkeepingTest, ControlCharactersOfAPageOrATranslationAreNeverShownKeptOrExported)
{
    const QString hostile = QStringLiteral("\a\x1b\u202E\u009B\u2066\u202C") + QChar(0);
    const auto spiked = [&](const QString &text) { return QStringLiteral("\a\x1b[31m") + text + hostile; };
    const auto glanceOf = [&](const QString &meaning, const QString &sentence) {
        Glance g;
        g.meaning = meaning;
        g.grammar = EnglishGrammar::Line {QStringLiteral("noun"), spiked(QStringLiteral("a flowing body"))};
        g.base = spiked(QStringLiteral("stream"));
        StyledText translated(sentence.left(3));
        translated.append(spiked(meaning), TextAttributes {InlinePresentationIntent::stronglyEmphasized});
        translated.append(sentence.mid(3));
        g.sentence = translated;
        return g;
    };
    struct Row
    {
        const char *name;
        QString word;
        std::optional<QString> context;
        std::optional<Glance> glance;
        /// The sentence as it is kept, and the word's place in it.
        std::optional<QString> sentence;
        QString meaning;
    };
    meanings.insert(QStringLiteral("lake"), spiked(QStringLiteral("lago")));
    // The title of the window a saved word was met in.
    sources->titles.setFallback(spiked(QStringLiteral("Notes")));
    cache.set(spiked(QStringLiteral("mar")),
              HoverTextController::cacheKey(QStringLiteral("sea"), QStringLiteral("es"), std::nullopt));
    const QString page = QStringLiteral("The quiet \x1b[1mriver\x1b[0m\a runs down\u202E to the sea\r\nevery day.");
    const std::vector<Row> rows {
        {"a page with escape sequences, a bell and an override", QStringLiteral("river"), page,
         glanceOf(QStringLiteral("r\u00EDo"), QStringLiteral("El r\u00EDo corre.")),
         QStringLiteral("The quiet [1mriver[0m runs down to the sea\nevery day."), QStringLiteral("r\u00EDo")},
        {"a translation service's plain meaning", QStringLiteral("lake"), std::nullopt, std::nullopt, std::nullopt,
         QStringLiteral("[31mlago")},
        {"a meaning kept by an earlier version", QStringLiteral("sea"), std::nullopt, std::nullopt, std::nullopt,
         QStringLiteral("[31mmar")},
        {"a translation service's glance", QStringLiteral("stream"),
         QStringLiteral("A small stream ran along the road to the old mill."),
         glanceOf(spiked(QStringLiteral("arroyo")), QStringLiteral("Un arroyo corr\u00EDa.")),
         QStringLiteral("A small stream ran along the road to the old mill."), QStringLiteral("[31marroyo")},
    };
    const auto clean = [&](const QString &text) {
        return std::none_of(hostile.cbegin(), hostile.cend(), [&](QChar c) { return text.contains(c); });
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        clock->advance(1h);
        hover(row.word, row.context, row.glance);
        ASSERT_FALSE(overlay->shown.empty());
        const TooltipContent &shown = overlay->shown.back().first;
        EXPECT_EQ(shown.glance ? shown.glance->meaning : shown.text, row.meaning);
        if (shown.glance) {
            EXPECT_TRUE(clean(shown.glance->sentence->text())) << shown.glance->sentence->text().toStdString();
            EXPECT_TRUE(clean(*shown.glance->base) && clean(shown.glance->grammar->text));
            ASSERT_EQ(shown.glance->sentence->stronglyEmphasizedRanges().size(), 1u) << "the mark stays on the word";
        }
        ASSERT_TRUE(controller->hover().currentLookup);
        EXPECT_EQ(current().sentence, row.sentence);
        if (row.sentence) {
            EXPECT_EQ(current().sentence->mid(*current().wordOffset, row.word.size()), row.word);
        }
        clock->advance(1s);
        ASSERT_TRUE(pressSave());
    }

    // Everything the word book wrote, and both exports of what it saved.
    ASSERT_TRUE(book->flush());
    ASSERT_EQ(book->saved().size(), rows.size());
    QStringList written;
    const QJsonDocument savedFile = QJsonDocument::fromJson(contents(savedPath()));
    ASSERT_FALSE(savedFile.isNull());
    std::function<void(const QJsonValue &)> collect = [&](const QJsonValue &value) {
        if (value.isString())
            written.append(value.toString());
        for (const QJsonValue &inner : value.isArray() ? value.toArray() : QJsonArray())
            collect(inner);
        for (const QJsonValue &inner : value.isObject() ? value.toObject() : QJsonObject())
            collect(inner);
    };
    collect(savedFile.isArray() ? QJsonValue(savedFile.array()) : QJsonValue(savedFile.object()));
    const QList<QByteArray> history = historyLines();
    ASSERT_EQ(history.size(), qsizetype(rows.size()));
    for (const QByteArray &line : history)
        collect(QJsonDocument::fromJson(line).object());
    for (const WordExport::Format format : WordExport::allFormats)
        written.append(WordExport::text(book->saved(), format, [](const QString &code) { return code; }));
    for (const QString &text : written)
        EXPECT_TRUE(clean(text)) << text.toStdString();
    const QString all = written.join(u'\n');
    for (const QString &kept :
         {QStringLiteral("[1mriver[0m runs down"), QStringLiteral("[31mlago"), QStringLiteral("[31mmar"),
          QStringLiteral("[31marroyo"), QStringLiteral("a flowing body"), QStringLiteral("[31mNotes")})
        EXPECT_TRUE(all.contains(kept)) << kept.toStdString();
}
