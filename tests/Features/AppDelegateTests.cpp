// The application delegate: hide versus quit, the ignored reopen after a hide, and what launching
// and reopening open.

#include "Fakes/ShellHarness.h"
#include "Features/Coordinator/CoordinatorSettings.h"
#include "Features/Shell/AppDelegate.h"
#include "Features/Shell/UpdateNotifier.h"

#include <QKeyEvent>
#include <QWidget>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

struct StaticsReset
{
    StaticsReset() { reset(); }
    ~StaticsReset() { reset(); }
    static void reset()
    {
        AppDelegate::dockIconSuppressed = false;
        AppDelegate::ignoreReopenUntil.reset();
        AppDelegate::isExplicitQuitRequested = false;
        AppDelegate::updateInstallInProgress = false;
        UpdateNotifier::clearInstallOnQuit();
    }
};

AppDelegate::KeyPress key(Qt::KeyboardModifiers modifiers, const char *text, bool down = true)
{
    return {down, modifiers, QString::fromUtf8(text)};
}

// A window that counts the key presses that reach it.
class KeyCounter : public QWidget
{
public:
    explicit KeyCounter(Qt::WindowFlags flags = {})
        : QWidget(nullptr, flags)
    { }
    int presses = 0;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        ++presses;
        QWidget::keyPressEvent(event);
    }
};

} // namespace

TEST(AppDelegate, HidesOnlyForItsOwnCtrlQ)
{
    constexpr qint64 own = 100;
    struct Row
    {
        const char *name;
        std::optional<AppDelegate::KeyPress> event;
        bool explicitQuit;
        std::optional<qint64> sender;
        bool installing;
        bool hides;
    };
    const std::vector<Row> rows {
        {"Ctrl+Q", key(Qt::ControlModifier, "q"), false, std::nullopt, false, true},
        {"Ctrl+Shift+Q", key(Qt::ControlModifier | Qt::ShiftModifier, "Q"), false, std::nullopt, false, true},
        {"sent by this process", key(Qt::ControlModifier, "q"), false, own, false, true},
        {"after the program's own Quit", key(Qt::ControlModifier, "q"), true, std::nullopt, false, false},
        {"while an update installs", key(Qt::ControlModifier, "q"), false, std::nullopt, true, false},
        {"sent by another process", key(Qt::ControlModifier, "q"), false, 200, false, false},
        {"no key press (logout, SIGTERM)", std::nullopt, false, std::nullopt, false, false},
        {"Q without Ctrl", key(Qt::NoModifier, "q"), false, std::nullopt, false, false},
        {"Alt+Q", key(Qt::AltModifier, "q"), false, std::nullopt, false, false},
        {"Ctrl+W", key(Qt::ControlModifier, "w"), false, std::nullopt, false, false},
        {"a key release", key(Qt::ControlModifier, "q", false), false, std::nullopt, false, false},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(
            AppDelegate::shouldHideInsteadOfTerminating(row.event, row.explicitQuit, row.sender, row.installing, own),
            row.hides)
            << row.name;
    }
    EXPECT_EQ(AppDelegate::quitSenderPID(0), std::nullopt) << "the kernel did not say";
    EXPECT_EQ(AppDelegate::quitSenderPID(std::nullopt), std::nullopt);
    EXPECT_EQ(AppDelegate::quitSenderPID(42), 42);
    EXPECT_TRUE(AppDelegate::shouldClearUpdateInstallFlag(true, false));
    EXPECT_FALSE(AppDelegate::shouldClearUpdateInstallFlag(true, true));
    EXPECT_FALSE(AppDelegate::shouldClearUpdateInstallFlag(false, false));
}

TEST(AppDelegate, ReopenIsIgnoredForASecondAfterAHideOnly)
{
    const Clock::Instant t0 {std::chrono::seconds(1000)};
    EXPECT_FALSE(AppDelegate::shouldIgnoreReopen(false, t0 + 5s, t0)) << "not hidden: never ignored";
    EXPECT_FALSE(AppDelegate::shouldIgnoreReopen(true, std::nullopt, t0));
    EXPECT_TRUE(AppDelegate::shouldIgnoreReopen(true, t0 + 1s, t0 + 500ms));
    EXPECT_FALSE(AppDelegate::shouldIgnoreReopen(true, t0 + 1s, t0 + 1s));
}

TEST(AppDelegate, CtrlQHidesTheWindowsAndAReopenLaterBringsSettingsBack)
{
    StaticsReset reset;
    ShellHarness h(false);
    h.defaults->set(CoordinatorSettings::hasCompletedOnboardingKey, true);
    KeyCounter settings;
    settings.setWindowTitle(QStringLiteral("Settings"));
    settings.show();
    QWidget frameless(nullptr, Qt::Window | Qt::FramelessWindowHint);
    frameless.show();
    QWidget dialog(nullptr, Qt::Dialog);
    dialog.show();
    KeyCounter tool(Qt::Tool);
    tool.show();
    int terminations = 0;
    AppDelegate::Dependencies d;
    d.controller = h.controller.get();
    d.defaults = h.defaults;
    d.clock = h.clock;
    d.ownPID = 100;
    d.terminate = [&] { ++terminations; };
    d.windows = [&] { return QWidgetList {&settings, &frameless, &dialog, &tool}; };
    AppDelegate delegate(d);

    // Keys other than Ctrl+Q pass to the window; Ctrl+Q (typed in any window) is taken.
    QKeyEvent ctrlW(QEvent::KeyPress, Qt::Key_W, Qt::ControlModifier, QStringLiteral("w"));
    QCoreApplication::sendEvent(&settings, &ctrlW);
    QKeyEvent plainQ(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
    QCoreApplication::sendEvent(&settings, &plainQ);
    QKeyEvent ctrlQRelease(QEvent::KeyRelease, Qt::Key_Q, Qt::ControlModifier, QStringLiteral("q"));
    QCoreApplication::sendEvent(&settings, &ctrlQRelease);
    EXPECT_TRUE(settings.isVisible());
    EXPECT_EQ(settings.presses, 2);
    EXPECT_FALSE(AppDelegate::dockIconSuppressed);
    QKeyEvent ctrlQ(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier, QStringLiteral("q"));
    QCoreApplication::sendEvent(&tool, &ctrlQ);
    EXPECT_EQ(tool.presses, 0) << "Ctrl+Q goes no further than the program";
    EXPECT_EQ(terminations, 0);
    EXPECT_FALSE(settings.isVisible());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(frameless.isVisible()) << "not a standard window";
    EXPECT_TRUE(tool.isVisible()) << "not a standard window";
    EXPECT_TRUE(AppDelegate::dockIconSuppressed);

    h.clock->advance(500ms);
    EXPECT_FALSE(delegate.applicationShouldHandleReopen());
    EXPECT_EQ(h.windows->settingsOpened, 0);
    h.clock->advance(1s);
    EXPECT_TRUE(delegate.applicationShouldHandleReopen());
    EXPECT_FALSE(AppDelegate::dockIconSuppressed);
    EXPECT_EQ(h.windows->settingsOpened, 1);

    // The program's own Quit, a quit sent from elsewhere, and a request during an installation end it.
    delegate.terminate({std::nullopt, 4242});
    EXPECT_EQ(terminations, 1);
    AppDelegate::updateInstallInProgress = true;
    delegate.terminate({key(Qt::ControlModifier, "q"), std::nullopt});
    EXPECT_EQ(terminations, 2);
    EXPECT_FALSE(AppDelegate::updateInstallInProgress) << "the installation's quit went through";
    delegate.quitExplicitly();
    EXPECT_EQ(terminations, 3);
    EXPECT_TRUE(AppDelegate::isExplicitQuitRequested);
}

TEST(AppDelegate, LaunchOpensSettingsOrOnboardingButNothingAtLogin)
{
    struct Row
    {
        const char *name;
        bool onboarded;
        QStringList arguments;
        int settings;
        int onboarding;
    };
    const std::vector<Row> rows {
        {"after onboarding", true, {QStringLiteral("lumivox")}, 1, 0},
        {"at login", true, {QStringLiteral("lumivox"), QStringLiteral("--autostart")}, 0, 0},
        {"first run: onboarding opens itself", false, {QStringLiteral("lumivox")}, 0, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        StaticsReset reset;
        ShellHarness h(false);
        h.defaults->set(CoordinatorSettings::hasCompletedOnboardingKey, row.onboarded);
        QCoreApplication::processEvents(); // the coordinator's own first-run step
        h.windows->onboardingShown = 0;
        h.windows->settingsOpened = 0;
        AppDelegate delegate(
            {h.controller.get(), h.defaults, h.clock, false, row.arguments, 100, [] {}, [] { return QWidgetList {}; }});
        delegate.applicationDidFinishLaunching();
        EXPECT_EQ(h.windows->settingsOpened, row.settings);
        // A reopen after a first-run launch shows onboarding again.
        if (!row.onboarded) {
            delegate.applicationShouldHandleReopen();
            EXPECT_EQ(h.windows->onboardingShown, row.onboarding);
        }
    }
}
