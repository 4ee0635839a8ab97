// Whole hovers over fakes on a fake clock, with no display: a scripted pointer and hold key, scripted
// accessibility, capture and recognition answers, scripted translators, the tooltip as a recorder
// and the diagnostic notes as a list. Each scenario changes the world in the middle of a hover where
// a real desktop would, and checks what the user sees and what the report records.

#include "Fakes/FakeAccessibility.h"
#include "Fakes/FakeCapture.h"
#include "Fakes/FakeCoordinatorDependencies.h"
#include "Fakes/FakeCoordinatorViews.h"
#include "Fakes/FakeInput.h"
#include "Fakes/FakeSecrets.h"
#include "Fakes/FakeWindowList.h"
#include "Fakes/FakeWordBookEnvironment.h"
#include "Fakes/ScriptedHoverSources.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Native/Services.h"
#include "Services/Detection/MouseTracker.h"
#include "Services/Learn/GlanceTranslator.h"
#include "Services/Translation/TranslationStore.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Platform/KeychainStorage.h"
#include "Shared/Platform/ScreenGeometry.h"
#include "Support/TestSupport.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <QThreadPool>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;
using Reason = DiagnosticReason;
using AX = AccessibilityTextService::LookupResult;

namespace {

struct Recorded
{
    Reason reason;
    DiagnosticLog::Note note;
};

// A translator whose answers the test scripts; it counts its calls.
struct ScriptedTranslator
{
    Script<TranslationAttempt> attempts {TranslationAttempt::failed(Reason::translationEmpty, QString())};
    HoverTextController::WordTranslator function()
    {
        return [this](QString, QString, std::optional<QString>) -> QCoro::Task<TranslationAttempt> {
            const auto reply = attempts.next();
            co_return co_await reply;
        };
    }
};

class HoverScenarioTest : public ::testing::Test, public WordBookEnvironment
{
public:
    // The word under the pointer: "river" in a sentence, 40 x 16 pt at (100, 300).
    const QPointF onWord {120, 308};
    const QRectF wordRect {100, 300, 40, 16};
    const QString sentence = QStringLiteral("The river runs.");

    std::shared_ptr<FakeInput> input = std::make_shared<FakeInput>();
    std::shared_ptr<FakeWindowList> windowList = std::make_shared<FakeWindowList>();
    std::shared_ptr<FakeAccessibility> accessibility = std::make_shared<FakeAccessibility>();
    std::shared_ptr<FakeCapture> capture = std::make_shared<FakeCapture>();
    std::shared_ptr<FakeSecrets> secrets = std::make_shared<FakeSecrets>();
    Native::ScopedOverride<Native::Secrets> secretsOverride {secrets};
    std::unique_ptr<WordBook> book = makeBook();
    TranslationStore cache {defaults, 3000, 2.0, clock};
    // Made afresh for every scenario by SetUp().
    std::shared_ptr<FakeOverlay> overlay;
    std::shared_ptr<ScriptedHoverSources> sources;
    ScriptedTranslator onDevice;
    ScriptedTranslator google;
    Script<std::optional<Glance>> glances;
    /// Every glance computed, in order: the word and whether a Google key could be used.
    std::vector<std::pair<QString, bool>> glanceWords;
    std::optional<QString> readAheadSource = QStringLiteral("en");
    bool modelInstalled = true;
    int modelQuestions = 0;
    std::unique_ptr<GlanceTranslator> glanceTranslator;
    std::vector<Recorded> notes;
    bool overOwnWindow = false;
    std::unique_ptr<HoverTextController> controller;

    // Also between the rows of a table: the last scenario's waits run out and it ends, then the
    // next one starts from scratch.
    void SetUp() override
    {
        TearDown();
        overlay = std::make_shared<FakeOverlay>();
        sources = std::make_shared<ScriptedHoverSources>();
        onDevice = {};
        google = {};
        glances = Script<std::optional<Glance>>();
        glanceWords.clear();
        readAheadSource = QStringLiteral("en");
        modelInstalled = true;
        modelQuestions = 0;
        glanceTranslator =
            std::make_unique<GlanceTranslator>([this](QString word, QString, QString, bool googleKey,
                                                      std::stop_token) -> QCoro::Task<std::optional<Glance>> {
                glanceWords.emplace_back(word, googleKey);
                const auto reply = glances.next();
                co_return co_await reply;
            });
        notes.clear();
        overOwnWindow = false;
        cache.clear();
        HoverTextController::Dependencies d = coordinatorDependencies(*this, *book, cache);
        d.input = input;
        d.windowList = windowList;
        d.accessibility = accessibility;
        d.capture = capture;
        d.overlay = overlay;
        d.sources = sources;
        d.glanceTranslator = glanceTranslator.get();
        d.translation = {onDevice.function(), google.function()};
        d.recordNote = [this](Reason reason, DiagnosticLog::Note note) { notes.push_back({reason, std::move(note)}); };
        d.isPointInsideOwnWindow = [this](QPointF) { return overOwnWindow; };
        d.readAheadSource = [this](const QString &, const QString &) { return readAheadSource; };
        d.isOnDeviceModelInstalled = [this](QString, QString) -> QCoro::Task<bool> {
            ++modelQuestions;
            co_return modelInstalled;
        };
        controller = std::make_unique<HoverTextController>(std::move(d));
        controller->setTargetLanguage(QStringLiteral("es"));
        // Read-ahead belongs to a recorded look-up; where nothing recorded one, the shown word gets one.
        overlay->onDisplay = [this] {
            if (controller && !controller->hover().currentLookup)
                controller->hover().currentLookup = WordLookup {.id = QUuid::createUuid()};
        };
        accessibility->trusted = true;
        capture->screenRecordingGranted = true;
        controller->checkPermission();
        input->setFlags(Native::Modifier::option);
        input->setLocation(onWord);
    }

    void TearDown() override
    {
        controller.reset();
        clock->advance(1h);
        settle();
        glanceTranslator.reset();
        settle();
    }

    // Glance tasks hand their results over through the event loop.
    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    void rest(QPointF at)
    {
        input->setLocation(at);
        emit controller->mouseTracker().pointerRested(at);
        settle();
    }
    void move(QPointF to)
    {
        input->setLocation(to);
        emit controller->mouseTracker().positionChanged(to);
    }
    void setHoldKey(bool down)
    {
        input->setFlags(down ? Native::Modifier::option : 0);
        emit controller->mouseTracker().modifiersChanged(input->currentEventFlags(), input->mouseLocation());
        settle();
    }

    AccessibilityWorker::Lookup axHit(const QString &word, std::optional<QString> context = std::nullopt,
                                      QRectF bounds = {})
    {
        return {AX::hit({word, context.value_or(QString()), bounds == QRectF() ? wordRect : bounds,
                         context ? std::optional<qsizetype>(context->indexOf(word)) : std::nullopt}),
                true};
    }
    // A plain word read through accessibility without a sentence, so only the word translation runs.
    void scriptWordAlone(const QString &word) { sources->lookups.answer(axHit(word)); }

    std::vector<Reason> reasons() const
    {
        std::vector<Reason> out;
        for (const Recorded &r : notes)
            out.push_back(r.reason);
        return out;
    }
    QString lastShownText() const { return overlay->shown.empty() ? QString() : overlay->shown.back().first.text; }

    void storeGoogleKey()
    {
        ASSERT_TRUE(Testing::await(KeychainStorage::save(KeychainStorage::googleAPIKeyAccount, QStringLiteral("AIza"),
                                                         KeychainStorage::licenseService)));
    }
    void removeGoogleKey()
    {
        Testing::await(KeychainStorage::remove(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService));
    }
};

} // namespace

TEST_F(HoverScenarioTest, GatesRefuseInOrderWithOneNoteAndClearOnlyWhereTheyMust)
{
    const QRectF top = ScreenGeometry::screen(onWord)->visibleFrame;
    struct Row
    {
        const char *name;
        std::function<void(HoverScenarioTest &)> arrange;
        QPointF at;
        Reason reason;
        QString detail;
        bool clears;
    };
    const std::vector<Row> rows {
        {"disabled", [](auto &t) { t.controller->setEnabled(false); }, onWord, Reason::disabled, {}, false},
        {"hold key up", [](auto &t) { t.input->setFlags(0); }, onWord, Reason::holdKeyNotPressed, {}, false},
        {"an unknown hold key is Alt",
         [](auto &t) {
             t.controller->setHoldKey(QStringLiteral("hyper"));
             t.input->setFlags(Native::Modifier::command);
         },
         onWord,
         Reason::holdKeyNotPressed,
         {},
         false},
        {"top panel, 1 pt under its edge", {}, QPointF(50, top.bottom() - 1), Reason::menuBar, {}, true},
        {"over the tooltip itself",
         [](auto &t) {
             t.overOwnWindow = true;
             t.overlay->pointIsOnPanel = true;
         },
         onWord, Reason::ownWindow, QStringLiteral("overlay"), true},
        {"over another window of ours", [](auto &t) { t.overOwnWindow = true; }, onWord, Reason::ownWindow, {}, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        if (row.arrange)
            row.arrange(*this);
        overlay->visible = true;
        overlay->hides = 0;
        notes.clear();
        rest(row.at);
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_EQ(notes[0].reason, row.reason);
        EXPECT_EQ(notes[0].note.detail, row.detail);
        EXPECT_FALSE(notes[0].note.ms.has_value()) << "gates carry no timing";
        EXPECT_EQ(overlay->hides > 0, row.clears);
        EXPECT_EQ(sources->windows.calls, 0) << "a refused hover reads nothing";
    }
    // 1.5 pt below the panel's strip a hover starts.
    SetUp();
    rest(QPointF(50, top.bottom() - 2.5));
    EXPECT_EQ(sources->windows.calls, 1);
}

TEST_F(HoverScenarioTest, TheLookupRefusesProtectedAndUnselectedAppsByTheFrontOneOrTheOneUnderThePointer)
{
    const QString player = QStringLiteral("com.apple.tv");
    const QString editor = QStringLiteral("org.gnome.TextEditor");
    struct Row
    {
        const char *name;
        std::optional<QString> front; // in front from the start, or from the middle of the window lookup
        std::optional<QString> hovered;
        bool limit;
        std::optional<Reason> refused; // none: the lookup goes on to read the word
        QString detail;
        bool frontDuringLookup = false;
    };
    const std::vector<Row> rows {
        // (A protected app in front from the start is refused before the lookup, by the gates.)
        {"a protected app comes to the front meanwhile", player, editor, false, Reason::drmProtected, editor, true},
        {"a protected app under the pointer", editor, player, false, Reason::drmProtected, player},
        {"neither protected", editor, editor, false, std::nullopt, {}},
        {"only selected apps: an allowed one", QStringLiteral("org.other"), editor, true, std::nullopt, {}},
        {"only selected apps: another", editor, QStringLiteral("org.other"), true, Reason::appNotAllowed,
         QStringLiteral("org.other")},
        {"only selected apps: a window without an id over an allowed app in front",
         editor,
         std::nullopt,
         true,
         std::nullopt,
         {}},
        {"only selected apps: nothing known", std::nullopt, std::nullopt, true, Reason::appNotAllowed,
         QStringLiteral("unknown")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        windowList->setActiveWindow(row.frontDuringLookup ? std::nullopt
                                                          : std::optional(Native::ActiveWindow {3, 300, row.front}));
        SetUp();
        controller->setAllowedAppIDs({editor});
        controller->setLimitToSelectedApps(row.limit);
        const auto window = sources->windows.hold();
        scriptWordAlone(QStringLiteral("river"));
        notes.clear();
        rest(onWord);
        if (row.frontDuringLookup) {
            windowList->setActiveWindow(Native::ActiveWindow {3, 300, row.front});
            input->sendDesktop(Native::DesktopEvent::Type::activeWindowChanged);
        }
        window.release(WindowLookup::Hit {7, 4242, 0, row.hovered});
        settle();
        EXPECT_EQ(sources->lookups.calls, row.refused ? 0 : 1);
        if (row.refused) {
            ASSERT_EQ(reasons(), std::vector<Reason> {*row.refused});
            EXPECT_EQ(notes[0].note.detail, row.detail);
        }
    }
    windowList->setActiveWindow(std::nullopt);

    // Accessibility itself can end the lookup: a window of ours, or an element that must not be read.
    for (const auto &[answer, reason] : {std::pair(AX::ownProcess(), Reason::ownProcess),
                                         std::pair(AX::suppressed(), Reason::accessibilitySuppressed)}) {
        SetUp();
        controller->setLimitToSelectedApps(false); // kept in the preferences by the rows above
        sources->lookups.answer({answer, false});
        overlay->visible = true;
        rest(onWord);
        EXPECT_EQ(reasons(), std::vector<Reason> {reason});
        EXPECT_FALSE(overlay->visible);
        EXPECT_EQ(sources->captures.calls, 0);
    }
}

TEST_F(HoverScenarioTest, AProcessIsAskedForItsTreeOnceThenEveryTenSecondsAndItsRetryIsTrustedOnlyWhenJustAsked)
{
    const QPointF elsewhere = onWord + QPointF(300, 0);
    const auto web = [](std::int32_t pid, const char *role, const char *snippet) {
        return AccessibilityWorker::Lookup {AX::miss(pid, QString::fromLatin1(role), QString::fromLatin1(snippet)),
                                            false};
    };
    const auto hoverProcess = [&](std::int32_t pid, QPointF at) {
        sources->windows.answer(WindowLookup::Hit {7, pid, 0, QStringLiteral("org.example.Browser")});
        notes.clear();
        rest(at);
    };
    const auto lastNote = [&]() -> const Recorded & { return notes.back(); };
    const Clock::Instant start = clock->now();
    const auto at = [&](Clock::Duration since) { clock->advance(start + since - clock->now()); };

    // The first hover over a process asks it at once, waits for it to build its tree, then trusts
    // the retry's answer even when that is a miss too.
    sources->lookups.answer(web(4242, "AXWebArea", "first"));
    sources->processLookups.answer(web(4242, "AXGroup", "retry"));
    hoverProcess(4242, onWord);
    EXPECT_EQ(sources->webRequests, std::vector<std::int32_t> {4242});
    EXPECT_EQ(sources->processLookups.calls, 0) << "the retry waits for the tree to be built";
    clock->advance(249ms);
    EXPECT_EQ(sources->processLookups.calls, 0);
    clock->advance(1ms);
    settle();
    EXPECT_EQ(sources->hitTestAgain, std::vector<bool> {true});
    ASSERT_EQ(reasons(), std::vector<Reason> {Reason::captureEmpty});
    EXPECT_EQ(lastNote().note.role, QStringLiteral("AXGroup")) << "the retry's answer";
    EXPECT_EQ(
        lastNote().note.tally,
        AppTally::Update::axMiss(QStringLiteral("capture empty"), QStringLiteral("AXGroup"), QStringLiteral("first")));

    // Asked before: a retry that misses too leaves the first answer; one that finds the word wins.
    at(2s);
    sources->lookups.answer(web(4242, "AXWebArea", "first"));
    sources->processLookups.answer(web(4242, "AXGroup", "retry"));
    hoverProcess(4242, elsewhere);
    EXPECT_EQ(sources->hitTestAgain, (std::vector<bool> {true, false})) << "no pause and no new hit test";
    ASSERT_EQ(reasons(), std::vector<Reason> {Reason::captureEmpty});
    EXPECT_EQ(lastNote().note.role, QStringLiteral("AXWebArea")) << "the first answer";
    EXPECT_EQ(lastNote().note.tally.value().webAX, QStringLiteral("already"));
    at(4s);
    sources->lookups.answer(web(4242, "AXWebArea", "first"));
    sources->processLookups.answer(axHit(QStringLiteral("river")));
    onDevice.attempts.answer(TranslationAttempt::success(QStringLiteral("río")));
    hoverProcess(4242, onWord);
    EXPECT_EQ(lastShownText(), QStringLiteral("río"));
    EXPECT_EQ(sources->webRequests.size(), 1u);

    // Ten seconds after it was asked, to the millisecond, it is asked again.
    controller->clearOverlay();
    at(10s - 1ms);
    sources->lookups.answer(web(4242, "AXWebArea", "first"));
    hoverProcess(4242, elsewhere);
    EXPECT_EQ(sources->webRequests.size(), 1u);
    at(10s);
    sources->lookups.answer(web(4242, "AXWebArea", "first"));
    hoverProcess(4242, onWord + QPointF(600, 0));
    EXPECT_EQ(sources->webRequests, (std::vector<std::int32_t> {4242, 4242}));

    // A miss in a process the window did not name (a window of no known process) asks that one, once.
    for (const char *label : {"first", "already"}) {
        SCOPED_TRACE(label);
        clock->advance(1s);
        sources->windows.answer(std::nullopt);
        sources->lookups.answer(web(77, "AXTextArea", "text"));
        notes.clear();
        rest(label == std::string_view("first") ? elsewhere : onWord);
        EXPECT_EQ(sources->webRequests.back(), 77);
        EXPECT_EQ(std::count(sources->webRequests.begin(), sources->webRequests.end(), 77), 1);
        ASSERT_FALSE(notes.empty());
        EXPECT_EQ(lastNote().note.tally.value().webAX, QString::fromLatin1(label));
    }

    // Past 128 processes, those asked ten minutes ago or longer are forgotten, and asked afresh.
    capture->screenRecordingGranted = false;
    controller->checkPermission();
    const auto hoverMany = [&](std::int32_t from, std::int32_t to) {
        for (std::int32_t pid = from; pid <= to; ++pid)
            hoverProcess(pid, pid % 2 ? onWord : elsewhere);
    };
    hoverMany(1000, 1000);
    clock->advance(10min);
    hoverMany(1001, 1130);
    const auto asked = [&](std::int32_t pid) {
        return std::count(sources->webRequests.begin(), sources->webRequests.end(), pid);
    };
    ASSERT_EQ(asked(1130), 1);
    hoverMany(1000, 1001);
    EXPECT_EQ(asked(1000), 2) << "asked exactly ten minutes before the list grew too long";
    EXPECT_EQ(asked(1001), 1);
}

TEST_F(HoverScenarioTest, ANewerHoverDuringTheWaitForAProcessTreeEndsTheOlderAndCarriesOn)
{
    sources->windows.answer(WindowLookup::Hit {7, 4242, 0, QStringLiteral("org.example.Browser")});
    sources->lookups.answer(
        AccessibilityWorker::Lookup {AX::miss(4242, QStringLiteral("AXWebArea"), QStringLiteral("old")), false});
    rest(onWord);
    // While the older waits for the tree, the pointer moves on and rests on another word.
    const QPointF next = onWord + QPointF(300, 0);
    move(next);
    sources->windows.answer(WindowLookup::Hit {8, 5151, 0, QStringLiteral("org.example.Notes")});
    sources->lookups.answer(axHit(QStringLiteral("stream"), std::nullopt, wordRect.translated(300, 0)));
    const Reply<TranslationAttempt> translated = onDevice.attempts.hold();
    notes.clear();
    rest(next);
    clock->advance(1s);
    settle();
    EXPECT_EQ(sources->processLookups.calls, 0) << "the older never retries";
    EXPECT_TRUE(notes.empty()) << "and records nothing";
    translated.release(TranslationAttempt::success(QStringLiteral("arroyo")));
    settle();
    EXPECT_EQ(lastShownText(), QStringLiteral("arroyo")) << "the newer one goes on";
    EXPECT_EQ(reasons(), std::vector<Reason> {Reason::shown});
}

TEST_F(HoverScenarioTest, AnAccessibilityWordIsTranslatedShownRecordedAndThenServedFromTheCache)
{
    sources->windows.answer(WindowLookup::Hit {7, 4242, 0, QStringLiteral("org.gnome.TextEditor")});
    scriptWordAlone(QStringLiteral("river"));
    const Reply<TranslationAttempt> translated = onDevice.attempts.hold();
    rest(onWord);

    ASSERT_EQ(overlay->shown.size(), 1u);
    EXPECT_TRUE(overlay->shown[0].first.isLoading);
    EXPECT_EQ(sources->webRequests, std::vector<std::int32_t> {4242}) << "a new process is asked for its tree once";
    clock->advance(40ms);
    translated.release(TranslationAttempt::success(QStringLiteral("río")));
    settle();

    EXPECT_EQ(lastShownText(), QStringLiteral("río"));
    EXPECT_FALSE(overlay->shown.back().first.isLoading);
    EXPECT_EQ(overlay->shown.back().second, onWord);
    ASSERT_EQ(reasons(), std::vector<Reason> {Reason::shown});
    EXPECT_EQ(notes[0].note.detail, QStringLiteral("accessibility"));
    EXPECT_EQ(notes[0].note.app, QStringLiteral("org.gnome.TextEditor"));
    EXPECT_EQ(notes[0].note.meaning, QStringLiteral("río"));
    EXPECT_EQ(notes[0].note.tally, AppTally::Update::shown(QStringLiteral("accessibility")));
    EXPECT_EQ(notes[0].note.ms, 40);
    EXPECT_TRUE(notes[0].note.stages.startsWith(QStringLiteral("window 0 · webax 0 · ax 0 · translate 40")));
    EXPECT_EQ(cache.value(QStringLiteral("es:auto:river")), QStringLiteral("río"));

    // Resting on it again does nothing; another hover after clearing is served from the cache at once.
    rest(onWord + QPointF(1, 1));
    EXPECT_EQ(notes.size(), 1u);
    setHoldKey(false);
    EXPECT_FALSE(overlay->visible);
    sources->windows.answer(WindowLookup::Hit {7, 4242, 0, QStringLiteral("org.gnome.TextEditor")});
    scriptWordAlone(QStringLiteral("River"));
    setHoldKey(true);
    EXPECT_EQ(lastShownText(), QStringLiteral("río"));
    EXPECT_EQ(notes.back().note.detail, QStringLiteral("accessibility cached"));
    EXPECT_EQ(onDevice.attempts.calls, 1);
    EXPECT_EQ(sources->webRequests.size(), 1u) << "a known process is not asked again";
}

TEST_F(HoverScenarioTest, ANewerHoverDuringAnyWaitEndsTheOlderSilently)
{
    // Each row holds the older hover at one wait, moves off the word (which clears the tooltip) and
    // starts a newer hover that is itself held at the window lookup.
    struct Row
    {
        const char *name;
        std::function<std::function<void()>(HoverScenarioTest &)> holdAt;
    };
    const std::vector<Row> rows {
        {"window",
         [](auto &t) {
             const auto r = t.sources->windows.hold();
             return std::function<void()>([r] { r.release(WindowLookup::Hit {1, 9, 0, QStringLiteral("a")}); });
         }},
        {"accessibility",
         [](auto &t) {
             const auto r = t.sources->lookups.hold();
             return std::function<void()>([r, &t] { r.release(t.axHit(QStringLiteral("river"))); });
         }},
        {"capture",
         [](auto &t) {
             const auto r = t.sources->captures.hold();
             return std::function<void()>([r] {
                 r.release(ScreenCaptureService::Outcome::captured(
                     {QImage(4, 4, QImage::Format_RGB32), QRectF(0, 0, 640, 80), QPointF(320, 40)}));
             });
         }},
        {"recognition",
         [](auto &t) {
             t.sources->captures.answer(ScreenCaptureService::Outcome::captured(
                 {QImage(4, 4, QImage::Format_RGB32), QRectF(0, 0, 640, 80), QPointF(320, 40)}));
             const auto r = t.sources->recognitions.hold();
             return std::function<void()>([r] {
                 r.release(
                     RecognizedHit {QStringLiteral("river"), QRectF(0.1, 0.1, 0.1, 0.2), std::nullopt, std::nullopt});
             });
         }},
        {"translation",
         [](auto &t) {
             t.scriptWordAlone(QStringLiteral("river"));
             const auto r = t.onDevice.attempts.hold();
             return std::function<void()>([r] { r.release(TranslationAttempt::success(QStringLiteral("río"))); });
         }},
        {"glance",
         [](auto &t) {
             t.sources->lookups.answer(t.axHit(QStringLiteral("river"), t.sentence));
             const auto r = t.glances.hold();
             return std::function<void()>([r] { r.release(Glance {QStringLiteral("río")}); });
         }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        sources->windows.setFallback(WindowLookup::Hit {1, 9, 0, QStringLiteral("a")});
        const auto releaseOlder = row.holdAt(*this);
        rest(onWord);
        const std::size_t shownBefore = overlay->shown.size();
        move(onWord + QPointF(300, 0));
        const auto newer = sources->windows.hold();
        rest(onWord + QPointF(300, 0));
        notes.clear();
        releaseOlder();
        settle();
        EXPECT_TRUE(notes.empty()) << "the older hover records nothing";
        EXPECT_EQ(overlay->shown.size(), shownBefore) << "and shows nothing";
        // The newer hover still owns the slot: a stillness now is busy.
        rest(onWord + QPointF(300, 0));
        ASSERT_EQ(reasons(), std::vector<Reason> {Reason::busy});
        newer.release(std::nullopt);
        settle();
    }
}

TEST_F(HoverScenarioTest, ScreenTextFallbackWaitsItsTurnAndRefusesAPointerThatDrifted)
{
    // The strip around the word, and the word in it where the screen shows it (wordRect).
    const double maxY = *ScreenGeometry::primaryScreenMaxY();
    const auto captured = ScreenCaptureService::Outcome::captured(
        {QImage(4, 4, QImage::Format_RGB32), QRectF(80, maxY - 340, 640, 80), onWord});
    const RecognizedHit word {QStringLiteral("river"), QRectF(0.03125, 0.5, 0.0625, 0.2), std::nullopt, std::nullopt};
    onDevice.attempts.setFallback(TranslationAttempt::success(QStringLiteral("río")));

    // The first capture after the key went down does not wait; the word is shown through screen text.
    sources->lookups.answer({AX::miss(77, QStringLiteral("AXGroup"), QStringLiteral("snip")), false});
    sources->captures.answer(captured);
    sources->recognitions.answer(word);
    setHoldKey(true);
    ASSERT_EQ(reasons(), std::vector<Reason> {Reason::shown});
    EXPECT_EQ(notes[0].note.detail, QStringLiteral("ocr"));
    EXPECT_FALSE(notes[0].note.stages.contains(QStringLiteral("wait")));
    EXPECT_EQ(lastShownText(), QStringLiteral("río"));

    // A second capture 50 ms after the first waits the remaining 100 ms, then goes on.
    struct Row
    {
        const char *name;
        QPointF pointerAfterCapture;
        Reason reason;
    };
    const std::vector<Row> rows {
        {"pointer 16 pt away: still recognised", onWord + QPointF(300, 16), Reason::shown},
        {"pointer 16.01 pt away: moved", onWord + QPointF(300, 16.01), Reason::pointerMoved},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        clock->advance(50ms);
        move(onWord + QPointF(300, 0)); // off the word: cleared
        notes.clear();
        const auto held = sources->captures.hold();
        sources->recognitions.answer(word);
        rest(onWord + QPointF(300, 0));
        EXPECT_FALSE(held.isWaiting()) << "the capture waits for its turn";
        clock->advance(99ms);
        EXPECT_FALSE(held.isWaiting());
        clock->advance(1ms);
        ASSERT_TRUE(held.isWaiting());
        input->setLocation(row.pointerAfterCapture);
        held.release(captured);
        settle();
        ASSERT_EQ(reasons(), std::vector<Reason> {row.reason});
        EXPECT_TRUE(notes[0].note.stages.contains(QStringLiteral("wait 100")));
        // Back onto the new word's spot for the next round, then away and clear.
        input->setLocation(onWord + QPointF(300, 0));
        setHoldKey(false);
        input->setFlags(Native::Modifier::option);
    }

    // A whole interval after the last capture the next one does not wait at all.
    clock->advance(HoverState::ocrInterval);
    const auto next = sources->captures.hold();
    rest(onWord + QPointF(300, 0));
    EXPECT_TRUE(next.isWaiting());
    next.release(ScreenCaptureService::Outcome::miss());
    settle();
}

TEST_F(HoverScenarioTest, AFailedWordCoolsDownForSixtySecondsOnlyWithAGoogleKey)
{
    storeGoogleKey();
    onDevice.attempts.setFallback(TranslationAttempt::failed(Reason::appleModelMissing, QStringLiteral("en-es")));
    google.attempts.setFallback(TranslationAttempt::failed(Reason::googleFailed, QStringLiteral("HTTP 403 es")));
    const auto hover = [this] {
        setHoldKey(false);
        notes.clear();
        scriptWordAlone(QStringLiteral("river"));
        setHoldKey(true);
    };

    hover();
    ASSERT_EQ(reasons(), (std::vector<Reason> {Reason::appleModelMissing, Reason::googleFailed}));
    EXPECT_EQ(
        notes[1].note.tally,
        AppTally::Update::translation(DiagnosticReasons::label(Reason::googleFailed) + QStringLiteral(" HTTP 403 es")));
    EXPECT_FALSE(overlay->visible) << "no stale loading tooltip";

    clock->advance(59s);
    hover();
    EXPECT_EQ(reasons(), std::vector<Reason> {Reason::translationCooldown});
    EXPECT_EQ(onDevice.attempts.calls + google.attempts.calls, 2) << "no back-end is asked while cooling down";

    clock->advance(1s);
    hover();
    EXPECT_EQ(reasons(), (std::vector<Reason> {Reason::appleModelMissing, Reason::googleFailed}));

    // Without a key an on-device failure is tried again at once; a target that needs Google says so.
    removeGoogleKey();
    clock->advance(60s);
    hover();
    hover();
    EXPECT_EQ(reasons(), std::vector<Reason> {Reason::appleModelMissing});
    // A target English reaches on no route says which pair needs the key, also when this computer
    // translates into it from another language (Russian from Ukrainian), and so does a sentence whose
    // language reaches the target on no route.
    const auto hoverInSentence = [this](const QString &word, const QString &sentence) {
        setHoldKey(false);
        notes.clear();
        sources->lookups.answer(axHit(word, sentence));
        setHoldKey(true);
    };
    const QString russian = QStringLiteral("Кошка спит на тёплом подоконнике весь день.");
    struct Row
    {
        const char *target;
        bool inSentence;
        const char16_t *pair;
    };
    for (const Row &row :
         {Row {"si", false, u"en\u2192si"}, Row {"ru", false, u"en\u2192ru"}, Row {"fr", true, u"ru\u2192fr"}}) {
        SCOPED_TRACE(row.target);
        controller->setTargetLanguage(QString::fromLatin1(row.target));
        if (row.inSentence)
            hoverInSentence(QStringLiteral("Кошка"), russian);
        else
            hover();
        // (In a sentence this harness's scripted glance, which has nothing, is noted after it.)
        ASSERT_FALSE(notes.empty());
        EXPECT_EQ(notes[0].reason, Reason::googleKeyMissing);
        EXPECT_EQ(notes[0].note.detail, QString::fromUtf16(row.pair));
        EXPECT_EQ(
            notes[0].note.tally,
            AppTally::Update::translation(QStringLiteral("google key missing ") + QString::fromLatin1(row.target)));
    }

    // A word of no known language with English as the target names no made-up pair.
    EXPECT_EQ(HoverTextController::translationPair(std::nullopt, QStringLiteral("en")), QStringLiteral("en"));
    EXPECT_EQ(HoverTextController::translationPair(QStringLiteral("fr"), QStringLiteral("en")),
              QStringLiteral("fr\u2192en"));

    // With a key, such hovers go to Google alone: this computer is not asked.
    storeGoogleKey();
    const int onDeviceCalls = onDevice.attempts.calls;
    hoverInSentence(QStringLiteral("Кошка"), russian);
    const std::vector<Reason> withKey = reasons();
    EXPECT_NE(std::find(withKey.begin(), withKey.end(), Reason::googleFailed), withKey.end());
    controller->setTargetLanguage(QStringLiteral("si"));
    hover();
    EXPECT_EQ(reasons(), std::vector<Reason> {Reason::googleFailed});
    EXPECT_EQ(onDevice.attempts.calls, onDeviceCalls);
    removeGoogleKey();
}

TEST_F(HoverScenarioTest, ALateResultAfterLettingGoOrLeavingTheWordShowsNothingAndRecordsTheHide)
{
    struct Row
    {
        const char *name;
        std::function<void(HoverScenarioTest &)> meanwhile;
        Reason hide;
    };
    const std::vector<Row> rows {
        {"hold key released (unseen by the tracker)", [](auto &t) { t.input->setFlags(0); }, Reason::holdKeyNotPressed},
        {"pointer 2.5 pt right of the word",
         [](auto &t) {
             t.input->setLocation({142.5, 308});
         },
         Reason::pointerMoved},
        {"pointer 8.5 pt above the word",
         [](auto &t) {
             t.input->setLocation({120, 324.5});
         },
         Reason::pointerMoved},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        scriptWordAlone(QStringLiteral("river"));
        const auto translated = onDevice.attempts.hold();
        rest(onWord);
        row.meanwhile(*this);
        translated.release(TranslationAttempt::success(QStringLiteral("río")));
        settle();
        ASSERT_EQ(reasons(), std::vector<Reason> {row.hide});
        EXPECT_EQ(notes[0].note.detail, QStringLiteral("before the meaning came"));
        EXPECT_FALSE(overlay->visible);
        EXPECT_EQ(cache.value(QStringLiteral("es:auto:river")), QStringLiteral("río")) << "the result is kept";
    }
    // 1.5 pt to the side and 7.5 pt up still count as on the word.
    SetUp();
    scriptWordAlone(QStringLiteral("lake"));
    const auto translated = onDevice.attempts.hold();
    rest(onWord);
    move({141.5, 323.5});
    translated.release(TranslationAttempt::success(QStringLiteral("lago")));
    EXPECT_EQ(lastShownText(), QStringLiteral("lago"));
}

TEST_F(HoverScenarioTest, AWordWithoutABoxKeepsItsTooltipWithinTheDriftAndEveryHideIsRecorded)
{
    // The application gave the word's offset but no box for it.
    const auto boxless = [&] {
        return AccessibilityWorker::Lookup {AX::hit({QStringLiteral("river"), QString(), QRectF(), std::nullopt}),
                                            true};
    };
    sources->lookups.answer(boxless());
    onDevice.attempts.answer(TranslationAttempt::success(QStringLiteral("río")));
    rest(onWord);
    ASSERT_EQ(lastShownText(), QStringLiteral("río"));
    ASSERT_EQ(reasons(), std::vector<Reason> {Reason::shown});
    const int hidesBefore = overlay->hides;

    // Still, and moves within 16 points of where it was read, keep it without another read.
    for (const QPointF to : {onWord, onWord + QPointF(11, 11), onWord + QPointF(-16, 0), onWord + QPointF(0, 15.9)}) {
        move(to);
        rest(to);
        clock->advance(1s);
        settle();
    }
    EXPECT_TRUE(overlay->visible);
    EXPECT_EQ(overlay->hides, hidesBefore);
    EXPECT_EQ(sources->lookups.calls, 1);
    EXPECT_EQ(notes.size(), 1u);

    // Beyond it the tooltip goes, and says so.
    move(onWord + QPointF(12, 12));
    EXPECT_FALSE(overlay->visible);
    ASSERT_EQ(reasons(), (std::vector<Reason> {Reason::shown, Reason::pointerMoved}));
    EXPECT_EQ(notes[1].note.detail, QStringLiteral("hidden on a move"));

    // Letting go of the key hides a shown tooltip with a note too; one with nothing shown, silently.
    sources->lookups.answer(boxless());
    rest(onWord);
    ASSERT_TRUE(overlay->visible);
    setHoldKey(false);
    EXPECT_FALSE(overlay->visible);
    EXPECT_EQ(notes.back().reason, Reason::holdKeyNotPressed);
    EXPECT_EQ(notes.back().note.detail, QStringLiteral("hidden on release"));
    const std::size_t recorded = notes.size();
    setHoldKey(true);
    setHoldKey(false);
    EXPECT_EQ(notes.size(), recorded + 1) << "the one hover that started and ended";
}

TEST_F(HoverScenarioTest, TheGlanceWinsOverTheWordTranslationWhichIsStillStored)
{
    sources->lookups.answer(axHit(QStringLiteral("river"), sentence));
    const auto translated = onDevice.attempts.hold();
    const auto glanced = glances.hold();
    rest(onWord);
    translated.release(TranslationAttempt::success(QStringLiteral("río")));
    settle();
    EXPECT_TRUE(notes.empty()) << "the meaning waits for the glance";
    glanced.release(Glance {QStringLiteral("cauce")});
    settle();
    EXPECT_EQ(lastShownText(), QStringLiteral("cauce"));
    ASSERT_TRUE(overlay->shown.back().first.glance);
    ASSERT_EQ(reasons(), std::vector<Reason> {Reason::shown});
    EXPECT_EQ(notes[0].note.meaning, QStringLiteral("cauce"));
    EXPECT_EQ(
        cache.value(HoverTextController::cacheKey(QStringLiteral("river"), QStringLiteral("es"),
                                                  HoverTextController::wordLanguage(sentence, QStringLiteral("es")))),
        QStringLiteral("río"));

    // The same word in the same sentence later: the glance comes from its cache, without loading.
    setHoldKey(false);
    sources->lookups.answer(axHit(QStringLiteral("river"), sentence));
    const std::size_t shown = overlay->shown.size();
    setHoldKey(true);
    ASSERT_EQ(overlay->shown.size(), shown + 1);
    EXPECT_FALSE(overlay->shown.back().first.isLoading);
    EXPECT_EQ(notes.back().note.detail, QStringLiteral("accessibility cached"));
}

TEST_F(HoverScenarioTest, AWordAloneOnItsLineWaitsForNoGlanceAndComesFromTheCacheTheNextTime)
{
    for (const QString &line :
         {QStringLiteral("river"), QStringLiteral("  river\n"), QStringLiteral("river."), QStringLiteral("(river)")}) {
        SCOPED_TRACE(line.toStdString());
        SetUp();
        sources->lookups.answer(axHit(QStringLiteral("river"), line));
        onDevice.attempts.answer(TranslationAttempt::success(QStringLiteral("río")));
        rest(onWord);
        EXPECT_EQ(lastShownText(), QStringLiteral("río"));
        EXPECT_TRUE(glanceWords.empty()) << "no glance for a word without a sentence";

        setHoldKey(false);
        sources->lookups.answer(axHit(QStringLiteral("river"), line));
        const std::size_t shown = overlay->shown.size();
        setHoldKey(true);
        ASSERT_EQ(overlay->shown.size(), shown + 1) << "no loading state before the cached meaning";
        EXPECT_EQ(lastShownText(), QStringLiteral("río"));
        EXPECT_EQ(notes.back().note.detail, QStringLiteral("accessibility cached"));
        EXPECT_EQ(onDevice.attempts.calls, 1);
    }
}

TEST_F(HoverScenarioTest, AHoldThatShowedATooltipIsMaskedOnceSoItsReleaseIsNoLoneTap)
{
    struct Row
    {
        const char *name;
        TriggerMode mode;
        Native::ModifierFlags held;
        bool wordUnderPointer;
        int masks;
    };
    const std::vector<Row> rows {
        {"Alt over a word", TriggerMode::option, Native::Modifier::option, true, 1},
        {"Super over a word", TriggerMode::command, Native::Modifier::command, true, 1},
        {"Alt over nothing readable", TriggerMode::option, Native::Modifier::option, false, 0},
        {"Ctrl over a word", TriggerMode::control, Native::Modifier::control, true, 0},
        {"always, nothing held", TriggerMode::always, 0, true, 0},
    };
    const auto press = [this](Native::ModifierFlags flags) {
        input->setFlags(flags);
        emit controller->mouseTracker().modifiersChanged(flags, input->mouseLocation());
        settle();
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        controller->setTriggerMode(row.mode);
        onDevice.attempts.setFallback(TranslationAttempt::success(QStringLiteral("río")));
        if (row.wordUnderPointer)
            scriptWordAlone(QStringLiteral("river"));
        else
            sources->captures.answer(ScreenCaptureService::Outcome::miss());
        press(0);
        const int before = input->maskingKeys();
        if (row.mode == TriggerMode::always)
            rest(onWord);
        else
            press(row.held);
        EXPECT_EQ(overlay->visible, row.wordUnderPointer);
        EXPECT_EQ(input->maskingKeys() - before, row.masks);
    }

    // Another word in the same hold is not masked again; the next hold is.
    SetUp();
    controller->setTriggerMode(TriggerMode::option);
    press(0);
    const int before = input->maskingKeys();
    onDevice.attempts.setFallback(TranslationAttempt::success(QStringLiteral("río")));
    scriptWordAlone(QStringLiteral("river"));
    press(Native::Modifier::option);
    sources->lookups.answer(axHit(QStringLiteral("lake"), std::nullopt, QRectF(400, 300, 40, 16)));
    rest(QPointF(420, 308));
    EXPECT_EQ(lastShownText(), QStringLiteral("río"));
    EXPECT_EQ(sources->lookups.calls, 2);
    EXPECT_EQ(input->maskingKeys() - before, 1);
    // Shift added to the held Alt is still the same hold.
    press(Native::Modifier::option | Native::Modifier::shift);
    EXPECT_EQ(input->maskingKeys() - before, 1);
    press(0);
    scriptWordAlone(QStringLiteral("river"));
    press(Native::Modifier::option);
    EXPECT_EQ(input->maskingKeys() - before, 2);
}

// The look-up's exits, each from a whole hover over scripted sources.

class LookupExitTest : public HoverScenarioTest
{
public:
    // The settings a row changes are stored; the next row starts from the everyday ones.
    void SetUp() override
    {
        HoverScenarioTest::SetUp();
        controller->setTriggerMode(TriggerMode::option);
        controller->setLimitToSelectedApps(false);
        controller->setAllowedAppIDs({});
    }

    static ScreenCaptureService::Outcome capturedStrip()
    {
        return ScreenCaptureService::Outcome::captured(
            {QImage(4, 4, QImage::Format_RGB32), QRectF(0, 0, 640, 80), QPointF(320, 40)});
    }
    static AccessibilityWorker::Lookup axMiss(std::optional<std::int32_t> pid, const QString &role)
    {
        return {AX::miss(pid, role, QStringLiteral("snip")), false};
    }
    // A hover started by the hold key over a window of process `pid` (none: no window).
    void hoverOver(std::optional<std::int32_t> pid, const AccessibilityWorker::Lookup &lookup)
    {
        setHoldKey(false);
        sources->windows.answer(pid ? std::optional(WindowLookup::Hit {1, *pid, 0, QStringLiteral("org.example.App")})
                                    : std::nullopt);
        sources->lookups.answer(lookup);
        notes.clear();
        setHoldKey(true);
    }
    void withoutScreenRecording()
    {
        capture->screenRecordingGranted = false;
        controller->checkPermission();
    }
};

TEST_F(LookupExitTest, EachExitRecordsOneNoteAndClearsOnlyWhereItMust)
{
    const QString staticText = QStringLiteral("AXStaticText");
    const QString snip = QStringLiteral("snip");
    struct Row
    {
        const char *name;
        std::function<void(LookupExitTest &)> arrange;
        Reason reason;
        QString detail;
        bool clears;
        std::optional<AppTally::Update> tally;
        QString word;
        QString role;
        bool timed;
        std::function<void(LookupExitTest &)> check = {};
    };
    const std::vector<Row> rows {
        {"our own window, by the window list",
         [](auto &t) {
             t.controller->hover().lastHoveredAppID = QStringLiteral("org.previous.App");
             t.sources->windows.answer(
                 WindowLookup::Hit {1, AppIdentity::currentProcessID(), 0, QStringLiteral("app.lumivox")});
         },
         Reason::ownProcess,
         {},
         true,
         std::nullopt,
         {},
         {},
         false,
         [](auto &t) {
             EXPECT_EQ(t.notes[0].note.app, QStringLiteral("org.previous.App"));
             EXPECT_EQ(t.controller->hover().lastHoveredAppID, QStringLiteral("org.previous.App"));
             EXPECT_EQ(t.sources->lookups.calls, 0);
         }},
        {"our own process, by accessibility",
         [](auto &t) {
             t.sources->lookups.answer({AX::ownProcess(), false});
         },
         Reason::ownProcess,
         {},
         true,
         std::nullopt,
         {},
         {},
         true},
        {"a menu element",
         [](auto &t) {
             t.sources->lookups.answer({AX::suppressed(), false});
         },
         Reason::accessibilitySuppressed,
         {},
         true,
         std::nullopt,
         {},
         {},
         true},
        {"protected content under the pointer, another application in front",
         [](auto &t) {
             t.sources->windows.answer(WindowLookup::Hit {1, 4242, 0, QStringLiteral("com.apple.tv")});
         },
         Reason::drmProtected,
         QStringLiteral("com.apple.tv"),
         false,
         std::nullopt,
         {},
         {},
         false,
         [](auto &t) { EXPECT_EQ(t.sources->lookups.calls, 0); }},
        {"selected applications only, and no application known",
         [](auto &t) { t.controller->setLimitToSelectedApps(true); },
         Reason::appNotAllowed,
         QStringLiteral("unknown"),
         true,
         std::nullopt,
         {},
         {},
         false},
        {"a miss without screen recording",
         [&](auto &t) {
             t.withoutScreenRecording();
             t.sources->lookups.answer(axMiss(77, staticText));
         },
         Reason::noScreenRecording,
         {},
         true,
         AppTally::Update::axMiss(QStringLiteral("no screen capture"), staticText, QStringLiteral("first")),
         snip,
         staticText,
         true,
         [](auto &t) {
             EXPECT_EQ(t.sources->webRequests, std::vector<std::int32_t> {77}) << "a new process of a miss is asked";
             EXPECT_EQ(t.sources->captures.calls, 0);
         }},
        {"an empty capture",
         [&](auto &t) { t.sources->lookups.answer(axMiss(std::nullopt, staticText)); },
         Reason::captureEmpty,
         {},
         true,
         AppTally::Update::axMiss(QStringLiteral("capture empty"), staticText, {}),
         snip,
         staticText,
         true},
        {"nothing recognised",
         [&](auto &t) {
             t.sources->lookups.answer(axMiss(std::nullopt, staticText));
             t.sources->captures.answer(capturedStrip());
         },
         Reason::ocrMiss,
         {},
         true,
         AppTally::Update::axMiss(QStringLiteral("unreadable"), staticText, {}),
         snip,
         staticText,
         true},
        {"an accessibility word the filter rejects",
         [](auto &t) {
             t.sources->lookups.answer({AX::hit({QStringLiteral("snake_case"), {}, t.wordRect, std::nullopt}), false});
         },
         Reason::wordFiltered,
         QStringLiteral("accessibility"),
         false,
         AppTally::Update::filtered(),
         QStringLiteral("snake_case"),
         {},
         true,
         [](auto &t) {
             // As sticky as a shown word: resting on it again reads nothing and records nothing.
             t.rest(t.onWord + QPointF(2, 2));
             EXPECT_EQ(t.notes.size(), 1u);
             EXPECT_EQ(t.sources->windows.calls, 1);
         }},
        {"a screen word the filter rejects",
         [&](auto &t) {
             t.sources->lookups.answer(axMiss(std::nullopt, staticText));
             t.sources->captures.answer(capturedStrip());
             t.sources->recognitions.answer(
                 RecognizedHit {QStringLiteral("0xFF"), QRectF(0.1, 0.1, 0.1, 0.2), std::nullopt, std::nullopt});
         },
         Reason::wordFiltered,
         QStringLiteral("ocr"),
         false,
         AppTally::Update::filtered(),
         QStringLiteral("0xFF"),
         {},
         true,
         [](auto &t) { EXPECT_TRUE(t.controller->hover().lastWordFiltered); }},
        {"an accessibility word with no box",
         [](auto &t) {
             t.sources->lookups.answer({AX::hit({QStringLiteral("river"), {}, QRectF(), std::nullopt}), true});
             t.onDevice.attempts.answer(TranslationAttempt::success(QStringLiteral("río")));
         },
         Reason::shown,
         QStringLiteral("accessibility"),
         false,
         AppTally::Update::shown(QStringLiteral("accessibility")),
         QStringLiteral("river"),
         {},
         true,
         [](auto &t) {
             EXPECT_FALSE(t.controller->hover().lastWordRect);
             EXPECT_EQ(t.controller->hover().lastWordPoint, t.onWord);
         }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        row.arrange(*this);
        overlay->visible = true;
        overlay->hides = 0;
        notes.clear();
        rest(onWord);
        ASSERT_EQ(reasons(), std::vector<Reason> {row.reason});
        const DiagnosticLog::Note &note = notes[0].note;
        EXPECT_EQ(note.detail, row.detail);
        EXPECT_EQ(overlay->hides > 0, row.clears);
        EXPECT_EQ(note.tally, row.tally);
        EXPECT_EQ(note.word, row.word);
        EXPECT_EQ(note.role, row.role);
        EXPECT_EQ(note.ms.has_value(), row.timed);
        EXPECT_FALSE(controller->hover().captureTask.isPresent()) << "the slot is free for the next hover";
        if (row.check)
            row.check(*this);
    }
}

TEST_F(LookupExitTest, WebAccessibilityIsAskedOncePerProcessRetriedInsideItAndForgottenPastItsLimit)
{
    withoutScreenRecording(); // every miss ends at once, with its web label in the tally
    const QString group = QStringLiteral("AXGroup");
    const auto label = [this] { return notes.at(0).note.tally->webAX; };

    // A new process: the request is its own stage, then a miss in a container waits 0.25 s and reads
    // inside the process, hit-testing again.
    const auto asked = sources->webReplies.hold();
    sources->processLookups.answer(axMiss(4242, group));
    hoverOver(4242, axMiss(4242, group));
    clock->advance(30ms);
    asked.release(true);
    settle();
    EXPECT_EQ(sources->lookups.calls, 1);
    clock->advance(249ms);
    EXPECT_TRUE(sources->hitTestAgain.empty()) << "the retry waits for the process to build its tree";
    clock->advance(1ms);
    ASSERT_EQ(sources->hitTestAgain, std::vector<bool> {true});
    ASSERT_EQ(reasons(), std::vector<Reason> {Reason::noScreenRecording});
    EXPECT_TRUE(notes[0].note.stages.startsWith(QStringLiteral("window 0 · webax 30 · ax 0 · retry 250")))
        << notes[0].note.stages.toStdString();
    EXPECT_EQ(label(), QStringLiteral("first"));

    // The same process again within 10 s: no request, the retry reads at once without hit-testing
    // again, and the first answer stands.
    clock->advance(9500ms);
    hoverOver(4242, axMiss(4242, group));
    EXPECT_EQ(sources->hitTestAgain, (std::vector<bool> {true, false}));
    EXPECT_EQ(sources->webRequests, std::vector<std::int32_t> {4242});
    EXPECT_EQ(label(), QStringLiteral("already"));

    // 10 s after the first request it is asked again, without waiting for the answer.
    clock->advance(250ms);
    const auto repeated = sources->webReplies.hold();
    hoverOver(4242, axMiss(4242, group));
    EXPECT_EQ(sources->webRequests, (std::vector<std::int32_t> {4242, 4242}));
    EXPECT_TRUE(repeated.isWaiting());
    EXPECT_EQ(reasons(), std::vector<Reason> {Reason::noScreenRecording});
    repeated.release(true);

    // A miss naming a process never asked, with no window under the pointer: asked, labelled "first";
    // a miss without a process: no label and no request.
    hoverOver(std::nullopt, axMiss(5151, QStringLiteral("AXStaticText")));
    EXPECT_EQ(sources->webRequests.back(), 5151);
    EXPECT_EQ(label(), QStringLiteral("first"));
    hoverOver(std::nullopt, axMiss(std::nullopt, QStringLiteral("AXStaticText")));
    EXPECT_EQ(label(), QString());
    EXPECT_EQ(sources->webRequests.size(), 3u);

    // The memory is pruned only once it holds more than 128 processes, of those asked 600 s ago or
    // earlier.
    auto &requests = controller->hover().webAccessibilityRequests;
    const Clock::Instant now = clock->now();
    for (std::int32_t pid = 10000; requests.size() < 127; ++pid)
        requests[pid] = pid % 2 ? now - 600s : now - 599s;
    hoverOver(6001, axMiss(std::nullopt, QStringLiteral("AXStaticText")));
    EXPECT_EQ(requests.size(), 128u) << "nothing pruned at 127";
    hoverOver(6002, axMiss(std::nullopt, QStringLiteral("AXStaticText")));
    EXPECT_EQ(requests.size(), 129u) << "nothing pruned at 128";
    hoverOver(6003, axMiss(std::nullopt, QStringLiteral("AXStaticText")));
    for (const auto &[pid, at] : requests)
        EXPECT_GT(at, now - 600s) << pid;
    EXPECT_TRUE(requests.contains(6003));
    EXPECT_TRUE(requests.contains(4242));
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(), [&](const auto &e) { return e.second == now - 599s; }),
              63);
}

TEST_F(LookupExitTest, ACaptureErrorIsRecordedEvenForAnOvertakenHoverAndLeavesTheNewerTooltip)
{
    sources->lookups.answer(axMiss(std::nullopt, QStringLiteral("AXStaticText")));
    const auto held = sources->captures.hold();
    rest(onWord);
    ASSERT_TRUE(held.isWaiting());

    // A newer hover shows its word meanwhile.
    move(onWord + QPointF(300, 0));
    sources->lookups.answer(axHit(QStringLiteral("lake"), std::nullopt, wordRect.translated(300, 0)));
    onDevice.attempts.answer(TranslationAttempt::success(QStringLiteral("lago")));
    rest(onWord + QPointF(300, 0));
    ASSERT_EQ(lastShownText(), QStringLiteral("lago"));
    const int hides = overlay->hides;
    notes.clear();

    const ScreenCaptureService::CaptureError error {QStringLiteral("X11"), 8, QStringLiteral("BadMatch")};
    held.release(ScreenCaptureService::Outcome::failed(error));
    settle();
    ASSERT_EQ(reasons(), std::vector<Reason> {Reason::captureFailed});
    EXPECT_EQ(notes[0].note.detail, DiagnosticLog::errorDetail(error.errorInfo()));
    EXPECT_EQ(notes[0].note.tally,
              AppTally::Update::axMiss(QStringLiteral("capture failed"), QStringLiteral("AXStaticText"), {}));
    EXPECT_EQ(overlay->hides, hides) << "the newer tooltip stays";
    EXPECT_TRUE(overlay->visible);
}

TEST_F(LookupExitTest, TheDiagnosticSnapshotHeadsTheReportWithTheSettingsAndPermissions)
{
    struct Row
    {
        const char *name;
        std::function<void(LookupExitTest &)> arrange;
        DiagnosticSnapshot expected;
    };
    const std::vector<Row> rows {
        {"as set up",
         {},
         DiagnosticSnapshot {.enabled = true,
                             .trigger = QStringLiteral("Holding Alt"),
                             .accessibility = true,
                             .screenRecording = true,
                             .targetLanguage = QStringLiteral("es"),
                             .appleLanguage = true}},
        {"everything changed",
         [](auto &t) {
             t.controller->setEnabled(false);
             t.controller->setTriggerMode(TriggerMode::command);
             t.withoutScreenRecording();
             t.controller->setTargetLanguage(QStringLiteral("si"));
             t.storeGoogleKey();
             t.controller->setLimitToSelectedApps(true);
             t.controller->setAllowedAppIDs({QStringLiteral("org.a"), QStringLiteral("org.b")});
         },
         DiagnosticSnapshot {.enabled = false,
                             .trigger = QStringLiteral("Holding Super"),
                             .accessibility = true,
                             .screenRecording = false,
                             .targetLanguage = QStringLiteral("si"),
                             .appleLanguage = false,
                             .hasGoogleKey = true,
                             .limitToSelectedApps = true,
                             .allowedAppCount = 2}},
        {"no permission at all, the always mode",
         [](auto &t) {
             t.accessibility->trusted = false;
             t.withoutScreenRecording();
             t.controller->setTriggerMode(TriggerMode::always);
         },
         DiagnosticSnapshot {.enabled = true,
                             .trigger = QStringLiteral("Always"),
                             .targetLanguage = QStringLiteral("es"),
                             .appleLanguage = true}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        if (row.arrange)
            row.arrange(*this);
        const DiagnosticSnapshot s = controller->diagnosticSnapshot();
        EXPECT_EQ(s.version, QCoreApplication::applicationVersion());
        EXPECT_TRUE(s.system.contains(QSysInfo::kernelVersion())) << s.system.toStdString();
        EXPECT_TRUE(s.build.isEmpty());
        EXPECT_EQ(s.enabled, row.expected.enabled);
        EXPECT_EQ(s.trigger, row.expected.trigger);
        EXPECT_EQ(s.accessibility, row.expected.accessibility);
        EXPECT_EQ(s.screenRecording, row.expected.screenRecording);
        EXPECT_EQ(s.targetLanguage, row.expected.targetLanguage);
        EXPECT_EQ(s.appleLanguage, row.expected.appleLanguage);
        EXPECT_EQ(s.hasGoogleKey, row.expected.hasGoogleKey);
        EXPECT_EQ(s.limitToSelectedApps, row.expected.limitToSelectedApps);
        EXPECT_EQ(s.allowedAppCount, row.expected.allowedAppCount);
        removeGoogleKey();
    }
}

namespace {

// "river" and the words after it, each with a rectangle of its own so that resting on it is a new word.
const QString readingSentence = QStringLiteral("The river runs fast today.");

} // namespace

class ReadAheadTest : public HoverScenarioTest
{
public:
    // Rests on `word` of the sentence and lets its glance show.
    void hoverWord(const QString &word, const QString &inSentence = readingSentence)
    {
        const QRectF bounds(100 + 50 * inSentence.indexOf(word), 300, 40, 16);
        sources->lookups.answer(axHit(word, inSentence, bounds));
        glances.answer(Glance {word + QStringLiteral("-es")});
        rest(bounds.center());
    }
    // The pause, then until `count` glances in all were asked for; with a count already reached,
    // until what the pause started has run to its end (the search on the thread pool, then the steps
    // after it here), so that any glance that should not follow would have been asked for.
    void readAhead(std::size_t count)
    {
        clock->advance(HoverTextController::readAheadPause);
        // The search runs on the thread pool, slow under the sanitizers on a busy machine.
        if (count > glanceWords.size()) {
            spinUntil([&] { return glanceWords.size() >= count; }, 30s);
        } else {
            settle();
            QThreadPool::globalInstance()->waitForDone();
        }
        settle();
    }
    std::vector<QString> words() const
    {
        std::vector<QString> out;
        for (const auto &[word, key] : glanceWords)
            out.push_back(word);
        return out;
    }
};

TEST_F(ReadAheadTest, TheNextWordsOfTheSentenceAreGlancedOnThisComputerOnlyWhenReadingAlong)
{
    using Words = std::vector<QString>;
    const Words all {QStringLiteral("river"), QStringLiteral("runs"), QStringLiteral("fast"), QStringLiteral("today")};
    struct Row
    {
        const char *name;
        std::function<void(ReadAheadTest &)> arrange;
        QString word;
        Words expected;
    };
    const std::vector<Row> rows {
        {"reads the next three, even with a Google key", [](auto &t) { t.storeGoogleKey(); }, QStringLiteral("river"),
         all},
        {"the last word has nothing after it", {}, QStringLiteral("today"), {QStringLiteral("today")}},
        {"a pair not translated on this computer",
         [](auto &t) { t.readAheadSource.reset(); },
         QStringLiteral("river"),
         {QStringLiteral("river")}},
        {"no model installed for the pair",
         [](auto &t) { t.modelInstalled = false; },
         QStringLiteral("river"),
         {QStringLiteral("river")}},
        {"switched off while waiting", {}, QStringLiteral("river"), {QStringLiteral("river")}},
        {"the first rest on a sentence in the always mode",
         [](auto &t) { t.controller->setTriggerMode(TriggerMode::always); },
         QStringLiteral("river"),
         {QStringLiteral("river")}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        if (row.arrange)
            row.arrange(*this);
        hoverWord(row.word);
        if (std::string_view(row.name).starts_with("switched off"))
            controller->setEnabled(false);
        readAhead(row.expected.size());
        EXPECT_EQ(words(), row.expected);
        for (std::size_t i = 1; i < glanceWords.size(); ++i)
            EXPECT_FALSE(glanceWords[i].second) << "read-ahead never uses the Google key";
        removeGoogleKey();
    }

    // In the always mode a move along the same sentence reads ahead; the same word again does not.
    SetUp();
    controller->setTriggerMode(TriggerMode::always);
    glances.setFallback(Glance {QStringLiteral("ahead")});
    hoverWord(QStringLiteral("river"));
    hoverWord(QStringLiteral("runs"));
    readAhead(4);
    EXPECT_EQ(
        words(),
        (Words {QStringLiteral("river"), QStringLiteral("runs"), QStringLiteral("fast"), QStringLiteral("today")}));
    // The next word comes from the glance cache, recorded as read ahead, with no new glance.
    hoverWord(QStringLiteral("fast"));
    EXPECT_EQ(glanceWords.size(), 4u);
    EXPECT_EQ(notes.back().note.detail, QStringLiteral("accessibility read ahead"));
}

TEST_F(ReadAheadTest, LettingGoMovingToAnotherSentenceOrANewCaptureStopsItBeforeTheNextWord)
{
    struct Row
    {
        const char *name;
        std::function<void(ReadAheadTest &)> interrupt;
    };
    const std::vector<Row> rows {
        {"the hold key is let go", [](auto &t) { t.input->setFlags(0); }},
        {"another sentence", [](auto &t) { t.controller->hover().currentContext = QStringLiteral("Elsewhere."); }},
        {"a capture starts", [](auto &t) { (void)t.controller->hover().captureTask.start(); }},
        {"the tooltip is cleared", [](auto &t) { t.controller->clearOverlay(); }},
        {"the cache is cleared", [](auto &t) { t.controller->clearCache(); }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        hoverWord(QStringLiteral("river"));
        const auto first = glances.hold();
        readAhead(2);
        ASSERT_EQ(words(), (std::vector<QString> {QStringLiteral("river"), QStringLiteral("runs")}));
        row.interrupt(*this);
        first.release(std::nullopt);
        readAhead(2);
        EXPECT_EQ(glanceWords.size(), 2u);
        controller->hover().captureTask.cancel();
    }
}

TEST_F(ReadAheadTest, AMissingModelIsAskedAboutAgainAfterTenMinutesAnInstalledOneNever)
{
    // Each question comes one pause after its rest.
    const auto pause = HoverTextController::readAheadPause;
    modelInstalled = false;
    hoverWord(QStringLiteral("river"));
    readAhead(0);
    hoverWord(QStringLiteral("runs"));
    readAhead(0);
    EXPECT_EQ(modelQuestions, 1);
    clock->advance(HoverTextController::missingModelMemoLife - 3 * pause);
    hoverWord(QStringLiteral("fast"));
    readAhead(0);
    EXPECT_EQ(modelQuestions, 1) << "one pause short of ten minutes";
    modelInstalled = true;
    hoverWord(QStringLiteral("river"));
    readAhead(0);
    EXPECT_EQ(modelQuestions, 2) << "ten minutes to the millisecond";
    clock->advance(1h);
    hoverWord(QStringLiteral("runs"));
    readAhead(0);
    EXPECT_EQ(modelQuestions, 2);
}

TEST_F(ReadAheadTest, OneThatEndsIsForgottenButAnOlderOneEndingLeavesItsSuccessorInPlace)
{
    // "fast" has one word after it; a newer read-ahead takes over while that word's glance is on its way.
    hoverWord(QStringLiteral("fast"));
    const auto today = glances.hold();
    readAhead(2);
    ASSERT_EQ(words(), (std::vector<QString> {QStringLiteral("fast"), QStringLiteral("today")}));
    const std::stop_token newer = controller->hover().readAheadTask.start();
    today.release(std::nullopt);
    settle();
    controller->clearCache();
    EXPECT_TRUE(newer.stop_requested()) << "the older one ending left the newer one cancellable";

    hoverWord(QStringLiteral("river"));
    clock->advance(HoverTextController::readAheadPause);
    EXPECT_TRUE(spinUntil([&] { return !controller->hover().readAheadTask.isPresent(); }));
    EXPECT_EQ(words().back(), QStringLiteral("today"));
}

TEST_F(ReadAheadTest, ClearingTheCacheForgetsTranslationsAndFailuresAndHidesTheTooltip)
{
    cache.set(QStringLiteral("río"), QStringLiteral("es:auto:river"));
    controller->hover().failedTranslations[QStringLiteral("es:auto:runs")] = clock->now() + 1min;
    hoverWord(QStringLiteral("river"));
    ASSERT_TRUE(overlay->visible);
    controller->clearCache();
    EXPECT_FALSE(cache.value(QStringLiteral("es:auto:river")));
    EXPECT_TRUE(controller->hover().failedTranslations.empty());
    EXPECT_FALSE(controller->hover().readAheadTask.isPresent());
    EXPECT_FALSE(overlay->visible);
    readAhead(1);
    EXPECT_EQ(glanceWords.size(), 1u) << "the read-ahead it cancelled does not go on";
}
