// The coordinator's windows and tray state over a list of fake windows on a fake clock: when the
// program comes forward and when it goes back to the tray, which windows Settings and the About
// panel bring forward, the keep-words question, and the tray menu's copy.

#include "Fakes/FakeAccessibility.h"
#include "Fakes/FakeCapture.h"
#include "Fakes/FakeCoordinatorDependencies.h"
#include "Fakes/FakeCoordinatorViews.h"
#include "Fakes/FakeHotKeys.h"
#include "Fakes/FakeInput.h"
#include "Fakes/FakeWindowList.h"
#include "Fakes/FakeWordBookEnvironment.h"
#include "Features/Coordinator/CoordinatorSettings.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Features/Shell/AppDelegate.h"
#include "Native/Services.h"
#include "Services/Translation/TranslationStore.h"

#include <QClipboard>
#include <QGuiApplication>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

enum : quintptr { settingsWindow = 1, otherWindow, welcomeWindow, wordsWindow, tooltipWindow, pickerWindow };

class CoordinatorWindowsTest : public ::testing::Test, public WordBookEnvironment
{
public:
    std::shared_ptr<FakeHotKeys> hotKeys = std::make_shared<FakeHotKeys>();
    Native::ScopedOverride<Native::HotKeys> hotKeysOverride {hotKeys};
    std::unique_ptr<WordBook> book = makeBook(false);
    TranslationStore cache {defaults, 3000, 2.0, clock};
    std::shared_ptr<FakeAppWindows> app = std::make_shared<FakeAppWindows>();
    std::shared_ptr<FakeWindows> windows = std::make_shared<FakeWindows>();
    std::shared_ptr<FakePicker> picker = std::make_shared<FakePicker>();
    std::unique_ptr<HoverTextController> controller;

    void SetUp() override
    {
        AppDelegate::dockIconSuppressed = false;
        defaults->set(CoordinatorSettings::hasCompletedOnboardingKey, true);
        // Outside a test host: these operations do nothing inside one.
        controller = make(false, true);
    }

    std::unique_ptr<HoverTextController> make(bool hostingTests, bool withWindowList)
    {
        HoverTextController::Dependencies d = coordinatorDependencies(*this, *book, cache);
        d.input = std::make_shared<FakeInput>();
        d.windowList = std::make_shared<FakeWindowList>();
        d.accessibility = std::make_shared<FakeAccessibility>();
        d.capture = std::make_shared<FakeCapture>();
        d.overlay = std::make_shared<FakeOverlay>();
        d.picker = picker;
        d.windows = windows;
        if (withWindowList)
            d.appWindows = app;
        d.hostingTests = hostingTests;
        return std::make_unique<HoverTextController>(std::move(d));
    }

    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    AppWindow special(quintptr handle, bool visible = true)
    {
        AppWindow w = FakeAppWindows::titled(handle, QStringLiteral("Window"), visible);
        if (handle == welcomeWindow)
            w.title = QStringLiteral("Welcome to Lumivox");
        if (handle == wordsWindow)
            w.identifier = QStringLiteral("lumivox.words.main");
        if (handle == tooltipWindow)
            w.isTooltipPanel = true;
        return w;
    }
};

} // namespace

TEST_F(CoordinatorWindowsTest, ClosingTheLastStandardWindowReturnsToTheTray)
{
    struct Row
    {
        const char *name;
        std::vector<AppWindow> left; // besides the settings window that closes
        bool pickerVisible;
        ActivationPolicy policy;
        bool hidden;
    };
    AppWindow minimised = FakeAppWindows::titled(otherWindow, QStringLiteral("Words"), false);
    minimised.isMinimized = true;
    AppWindow untitled = FakeAppWindows::titled(otherWindow, QStringLiteral("Splash"));
    untitled.hasTitleBar = false;
    const std::vector<Row> rows {
        {"the last one", {}, false, ActivationPolicy::accessory, true},
        {"another one still shown",
         {FakeAppWindows::titled(otherWindow, QStringLiteral("Review"))},
         false,
         ActivationPolicy::regular,
         false},
        {"a minimised one counts as shown", {minimised}, false, ActivationPolicy::regular, false},
        {"a hidden one does not",
         {FakeAppWindows::titled(otherWindow, QStringLiteral("Review"), false)},
         false,
         ActivationPolicy::accessory,
         true},
        {"the tooltip is no standard window", {special(tooltipWindow)}, false, ActivationPolicy::accessory, true},
        {"nor is an untitled one", {untitled}, false, ActivationPolicy::accessory, true},
        {"the picker keeps the program from hiding", {}, true, ActivationPolicy::accessory, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        app->list = row.left;
        app->list.push_back(FakeAppWindows::titled(settingsWindow, QStringLiteral("Settings")));
        app->hides = 0;
        picker->visible = false;
        app->currentPolicy = ActivationPolicy::regular;
        app->active = true;
        picker->visible = row.pickerVisible;
        app->close(settingsWindow);
        settle();
        EXPECT_EQ(app->currentPolicy, row.policy);
        EXPECT_EQ(app->hides > 0, row.hidden);
    }

    // Onboarding going away asks directly, with no window closing first.
    app->list.clear();
    app->currentPolicy = ActivationPolicy::regular;
    app->active = true;
    app->hides = 0;
    picker->visible = false;
    controller->returnToMenuBar();
    EXPECT_EQ(app->currentPolicy, ActivationPolicy::accessory);
    EXPECT_EQ(app->hides, 1);
}

TEST_F(CoordinatorWindowsTest, SettingsBringsForwardOnlyItsOwnKindOfWindowAndRetriesWhileWanted)
{
    AppWindow minimisedSettings = FakeAppWindows::titled(settingsWindow, QStringLiteral("Settings"), false);
    minimisedSettings.isMinimized = true;
    app->list = {minimisedSettings, FakeAppWindows::titled(otherWindow, QStringLiteral("Hidden"), false),
                 special(welcomeWindow), special(wordsWindow), special(tooltipWindow)};
    controller->openWordsSettings();
    EXPECT_EQ(controller->selectedSettingsTab(), SettingsTab::words);
    EXPECT_EQ(windows->settingsOpened, 1);
    EXPECT_EQ(app->restored, std::vector<quintptr> {settingsWindow}) << "a minimised window is restored";
    for (quintptr w : app->raised)
        EXPECT_TRUE(w == settingsWindow || w == otherWindow) << "raised " << w;
    EXPECT_FALSE(app->raised.empty());

    // Four more tries over the next frames, unless the user sent the windows away meanwhile.
    app->raised.clear();
    clock->advance(50ms);
    EXPECT_EQ(app->raised.size(), 4u) << "two windows, twice each (make key orders front too)";
    app->raised.clear();
    AppDelegate::dockIconSuppressed = true;
    clock->advance(1s);
    EXPECT_TRUE(app->raised.empty());

    // The About panel brings forward the shown titled windows only, the welcome window never.
    AppDelegate::dockIconSuppressed = false;
    app->list = {FakeAppWindows::titled(otherWindow, QStringLiteral("Hidden"), false), special(welcomeWindow)};
    app->raised.clear();
    controller->showAboutPanel();
    EXPECT_EQ(app->aboutShown, 1);
    EXPECT_TRUE(app->raised.empty());
    clock->advance(1s);
}

TEST_F(CoordinatorWindowsTest, AWindowComingForwardAfterCtrlQSentThemAwayIsSentAwayAgain)
{
    // Ctrl+Q in a window of ours, as the application delegate hears it.
    AppDelegate::Dependencies delegateDependencies;
    delegateDependencies.controller = controller.get();
    delegateDependencies.defaults = defaults;
    delegateDependencies.clock = clock;
    delegateDependencies.terminate = [] { FAIL() << "Ctrl+Q only sends the windows away"; };
    delegateDependencies.windows = [] { return QWidgetList(); };
    AppDelegate delegate(std::move(delegateDependencies));
    delegate.terminate({AppDelegate::KeyPress {true, Qt::ControlModifier, QStringLiteral("q")}, std::nullopt});

    app->list = {FakeAppWindows::titled(settingsWindow, QStringLiteral("Settings"))};
    app->currentPolicy = ActivationPolicy::regular;
    emit app->windowBecameKey(settingsWindow);
    EXPECT_EQ(app->orderedOut, std::vector<quintptr> {settingsWindow});
    EXPECT_EQ(app->currentPolicy, ActivationPolicy::accessory);

    // Opening something on purpose lifts it, and a shown window becoming key brings the program
    // forward.
    controller->openSettings();
    EXPECT_FALSE(AppDelegate::dockIconSuppressed);
    app->currentPolicy = ActivationPolicy::accessory;
    app->activations = 0;
    emit app->windowBecameKey(settingsWindow);
    EXPECT_EQ(app->currentPolicy, ActivationPolicy::regular);
    EXPECT_EQ(app->activations, 1);

    // While the picker is up nothing changes, and the picker's own panel never changes anything.
    AppWindow pickerPanel = special(pickerWindow);
    pickerPanel.isLanguagePicker = true;
    pickerPanel.hasTitleBar = false;
    app->list.push_back(pickerPanel);
    app->currentPolicy = ActivationPolicy::accessory;
    picker->visible = true;
    emit app->windowBecameKey(settingsWindow);
    EXPECT_EQ(app->currentPolicy, ActivationPolicy::accessory);
    picker->visible = false;
    emit app->windowBecameKey(pickerWindow);
    EXPECT_EQ(app->currentPolicy, ActivationPolicy::accessory);
    // The picker going away, however it goes, sends the program back to the tray when no standard
    // window is left, and only then.
    app->list = {pickerPanel};
    app->currentPolicy = ActivationPolicy::regular;
    picker->dismiss();
    EXPECT_EQ(app->currentPolicy, ActivationPolicy::accessory);
    app->list = {pickerPanel, FakeAppWindows::titled(settingsWindow, QStringLiteral("Settings"))};
    app->currentPolicy = ActivationPolicy::regular;
    picker->dismiss();
    EXPECT_EQ(app->currentPolicy, ActivationPolicy::regular);
    clock->advance(1s);
}

TEST_F(CoordinatorWindowsTest, ATestHostOpensNothingAndNoWindowListStillOpensTheWindows)
{
    struct Row
    {
        const char *name;
        bool hostingTests;
        bool withWindowList;
        int settingsOpened;
        size_t keepPrompts;
    };
    const std::vector<Row> rows {
        {"a test host leaves the windows and the tray state alone", true, true, 0, 0},
        {"no window list: the windows open, nothing is brought forward", false, false, 1, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        app->list = {FakeAppWindows::titled(settingsWindow, QStringLiteral("Settings"))};
        app->currentPolicy = ActivationPolicy::accessory;
        app->activations = app->aboutShown = 0;
        windows->settingsOpened = 0;
        windows->keepPrompts.clear();
        controller = make(row.hostingTests, row.withWindowList);
        controller->openSettings();
        controller->showAboutPanel();
        controller->completeOnboarding();
        clock->advance(1s);
        EXPECT_EQ(windows->settingsOpened, row.settingsOpened);
        EXPECT_EQ(windows->keepPrompts.size(), row.keepPrompts);
        EXPECT_EQ(app->aboutShown, 0);
        EXPECT_EQ(app->activations, 0);
        EXPECT_EQ(app->currentPolicy, ActivationPolicy::accessory);
        EXPECT_EQ(controller->hasVisibleStandardWindows(), row.withWindowList);
    }
}

TEST_F(CoordinatorWindowsTest, TheKeepWordsQuestionComesOnceAndCompletingOnboardingAsksIt)
{
    controller->completeOnboarding();
    EXPECT_EQ(windows->keepPrompts.size(), 0u);
    controller->askAboutKeepingWords(1.2);
    clock->advance(600ms);
    ASSERT_EQ(windows->keepPrompts.size(), 1u);
    EXPECT_EQ(windows->keepPrompts[0], TriggerMode(TriggerMode::option).tooltipKeyLabels());
    book->setHasAskedAboutHistory(true); // the user answered
    clock->advance(1s);
    EXPECT_EQ(windows->keepPrompts.size(), 1u);
    controller->askAboutKeepingWords(0);
    clock->advance(1s);
    EXPECT_EQ(windows->keepPrompts.size(), 1u);

    // Words opens the review of the word it is given.
    controller->openWords();
    ASSERT_EQ(windows->wordsShown, 1);
    const QUuid id = QUuid::createUuid();
    windows->reviewFromWords(id);
    EXPECT_EQ(windows->reviews, std::vector<std::optional<QUuid>> {id});
}

TEST_F(CoordinatorWindowsTest, TheTrayCopyTakesTheFirstTextPresentAndCopiesNothingEmpty)
{
    struct Row
    {
        const char *name;
        std::optional<QString> last, shown, word;
        QString copied;
    };
    const std::vector<Row> rows {
        {"nothing at all", std::nullopt, std::nullopt, std::nullopt, QStringLiteral("before")},
        {"an empty last translation wins", QString(), QStringLiteral("río"), QStringLiteral("river"),
         QStringLiteral("before")},
        {"the last translation", QStringLiteral("lago"), QStringLiteral("río"), QStringLiteral("river"),
         QStringLiteral("lago")},
        {"else the shown one", std::nullopt, QStringLiteral("río"), QStringLiteral("river"), QStringLiteral("río")},
        {"else the word", std::nullopt, std::nullopt, QStringLiteral("river"), QStringLiteral("river")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        controller->hover().lastTranslationForCopy = row.last;
        controller->hover().translatedText = row.shown;
        controller->hover().recognizedText = row.word;
        controller->copyLastTranslation();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), row.copied);
    }
}
