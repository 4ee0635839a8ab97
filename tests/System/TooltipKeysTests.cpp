// The tooltip's keys and the hold key with the real program and real key presses in the private
// session: while a tooltip shows, Alt+S saves its word to Words.json and Alt+C puts its meaning on the
// clipboard, and neither reaches the focused window; once the tooltip is gone both reach it again.
// The keys are armed once the tooltip is 0.35 s old however many modifiers are pressed; in the
// always mode they are Ctrl+Alt+S and Ctrl+Alt+C, so that Ctrl+C stays the application's Copy; with
// the Super hold key they are grabbed only together with Super. A hold of Alt that brought up a
// tooltip never reaches the focused window as a lone Alt tap, while a plain tap still does.

#include "Support/FocusedWindow.h"
#include "Support/RunningLumivox.h"
#include "Support/XTestInjector.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

// The program with the given preferences, the GTK fixture's word "pineapple" to point at, and a
// focused window of our own (started last, so it has the keyboard; placed away from the word).
struct Desk
{
    explicit Desk(const QByteArray &preferences = RunningLumivox::everydayPreferences,
                  const QStringList &focusedArguments = {})
        : display(XOpenDisplay(nullptr))
        , app(preferences)
    {
        if (!display || !keys.ok() || !app.waitUntilIdle())
            return;
        if (!gtk.start(QStringLiteral("gtk_text_fixture"), {QStringLiteral("--at"), "40", "40"}))
            return;
        pineapple = wordBox(gtk, "view:pineapple");
        focused = std::make_unique<FocusedWindow>(QStringLiteral("700,500,300,200"), focusedArguments);
    }
    ~Desk()
    {
        if (display)
            XCloseDisplay(display);
    }
    bool ready() const { return display && !pineapple.isEmpty() && focused && focused->windowID() != 0; }
    bool reported(const QByteArray &line) { return focused->lines().contains(line); }
    std::string lines() { return focused->lines().join('\n').toStdString(); }
    bool tooltipShown(bool shown)
    {
        return spinUntil([&] { return windowsOf(display, app.process.processId()).empty() != shown; }, 10s);
    }
    // Moves onto the word from an empty spot, each time until the program has seen the pointer rest:
    // a pointer that is already on the word makes no move to rest after.
    bool pointAtWord() { return pointAtNothing() && app.moveAndRest(keys, pineapple.center()); }
    bool pointAtNothing() { return app.moveAndRest(keys, QPoint(5, keys.screenHeightPixels() - 5)); }
    // Presses the key with the modifiers held, and lets go of them.
    void chord(std::initializer_list<XTestInjector::KeySymbol> modifiers, XTestInjector::KeySymbol key)
    {
        for (auto modifier : modifiers)
            keys.key(modifier, true);
        keys.tap(key);
        for (auto modifier : modifiers)
            keys.key(modifier, false);
    }

    Display *display;
    XTestInjector keys;
    RunningLumivox app;
    FixtureProcess gtk;
    QRect pineapple;
    std::unique_ptr<FocusedWindow> focused;
};

} // namespace

TEST(TooltipKeys, AltSSavesAndAltCCopiesWhileTheTooltipShowsAndBothGoBackToTheFocusedWindowAfter)
{
    Desk desk;
    ASSERT_TRUE(desk.ready()) << desk.app.logText();
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));

    ASSERT_TRUE(desk.pointAtWord()) << desk.app.logText();
    desk.keys.key(XK_Alt_L, true);
    ASSERT_TRUE(desk.tooltipShown(true)) << desk.app.logText();
    const auto shown = desk.app.event(QStringLiteral("pineapple"));
    ASSERT_TRUE(shown) << desk.app.logText();
    const QString meaning = shown->value("meaning").toString();
    ASSERT_FALSE(meaning.isEmpty());
    ASSERT_TRUE(desk.app.waitForLog("tooltip keys armed", 10s)) << desk.app.logText();

    desk.keys.tap(XK_s);
    EXPECT_TRUE(spinUntil([&] { return desk.app.savedWords().contains("\"pineapple\""); }, 8s))
        << "Words.json: " << desk.app.savedWords().toStdString() << desk.app.logText();
    // A second key within the shared debounce is ignored, so C is pressed until it has been heard
    // (copying again does no harm).
    EXPECT_TRUE(spinUntil(
        [&] {
            desk.keys.tap(XK_c);
            QThread::msleep(300);
            return QGuiApplication::clipboard()->text() == meaning;
        },
        10s))
        << "clipboard: " << QGuiApplication::clipboard()->text().toStdString();
    EXPECT_FALSE(desk.reported("key Alt+S")) << "a grabbed key never reaches the window in front";
    EXPECT_FALSE(desk.reported("key Alt+C"));

    // The tooltip goes with Alt; over an empty spot the same keys are the focused window's again.
    desk.keys.key(XK_Alt_L, false);
    ASSERT_TRUE(desk.tooltipShown(false));
    ASSERT_TRUE(desk.pointAtNothing()) << desk.app.logText();
    desk.keys.key(XK_Alt_L, true);
    desk.keys.tap(XK_s);
    desk.keys.tap(XK_c);
    desk.keys.key(XK_Alt_L, false);
    EXPECT_TRUE(spinUntil([&] { return desk.reported("key Alt+S") && desk.reported("key Alt+C"); }, 5s))
        << desk.lines();
}

TEST(TooltipKeys, AnAltHoldThatShowedATooltipIsNoLoneAltTapButAPlainTapStillIs)
{
    Desk desk;
    ASSERT_TRUE(desk.ready()) << desk.app.logText();

    ASSERT_TRUE(desk.pointAtWord()) << desk.app.logText();
    desk.keys.key(XK_Alt_L, true);
    ASSERT_TRUE(desk.tooltipShown(true)) << desk.app.logText();
    ASSERT_TRUE(desk.app.waitForLog("masking key", 5s)) << desk.app.logText();
    desk.keys.key(XK_Alt_L, false);
    ASSERT_TRUE(desk.tooltipShown(false));
    // The focused window has handled the release by the time it reports a key pressed after it.
    desk.keys.tap(XK_x);
    ASSERT_TRUE(spinUntil([&] { return desk.reported("key X"); }, 5s)) << desk.lines();
    EXPECT_FALSE(desk.reported("bare Alt")) << desk.lines();
    for (const QByteArray &line : desk.focused->lines())
        EXPECT_TRUE(!line.startsWith("text") || line == "text 0078") << "typed by the masking key: " << line.data();

    // Over an empty spot Alt is the desktop's and the application's as ever.
    ASSERT_TRUE(desk.pointAtNothing()) << desk.app.logText();
    desk.keys.tap(XK_Alt_L);
    EXPECT_TRUE(spinUntil([&] { return desk.reported("bare Alt"); }, 5s)) << desk.lines();
}

TEST(TooltipKeys, AltSSavesAsSoonAsTheTooltipIsAFewTenthsOldWhileOnlyModifiersArePressed)
{
    Desk desk;
    ASSERT_TRUE(desk.ready()) << desk.app.logText();

    ASSERT_TRUE(desk.pointAtWord()) << desk.app.logText();
    desk.keys.key(XK_Alt_L, true);
    // The hover's own outcome: resting on the word before Alt went down was noted already.
    ASSERT_TRUE(desk.app.waitForLog("Outcomes: shown", 10s)) << desk.app.logText();
    // Modifiers pressed all the while are no typing: the keys are armed as soon as the tooltip is
    // 0.35 s old (letters pressed like this would put that off until a second after the last one).
    QElapsedTimer shown;
    shown.start();
    ASSERT_TRUE(spinUntil(
        [&] {
            desk.keys.tap(XK_Shift_R);
            return desk.app.waitForLog("tooltip keys armed", 100ms);
        },
        5s))
        << desk.app.logText();
    EXPECT_LT(shown.elapsed(), 1000) << desk.app.logText();
    desk.keys.tap(XK_s);
    EXPECT_TRUE(spinUntil([&] { return desk.app.savedWords().contains("\"pineapple\""); }, 8s))
        << "Words.json: " << desk.app.savedWords().toStdString() << desk.app.logText();
    desk.keys.key(XK_Alt_L, false);
    desk.keys.tap(XK_x);
    ASSERT_TRUE(spinUntil([&] { return desk.reported("key X"); }, 5s)) << desk.lines();
    EXPECT_FALSE(desk.reported("key Alt+S")) << desk.lines();
}

TEST(TooltipKeys, InTheAlwaysModeCtrlCCopiesTheSelectionAndCtrlAltCTheMeaning)
{
    const QString selection = QStringLiteral("selected fixture text");
    Desk desk(RunningLumivox::preferencesWithHoldKey("always"), {QStringLiteral("--field"), selection});
    ASSERT_TRUE(desk.ready()) << desk.app.logText();
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));

    // Nothing held: resting on the word is enough.
    ASSERT_TRUE(desk.pointAtWord()) << desk.app.logText();
    ASSERT_TRUE(desk.tooltipShown(true)) << desk.app.logText();
    const auto shown = desk.app.event(QStringLiteral("pineapple"));
    ASSERT_TRUE(shown) << desk.app.logText();
    const QString meaning = shown->value("meaning").toString();
    ASSERT_FALSE(meaning.isEmpty());
    ASSERT_TRUE(desk.app.waitForLog("tooltip keys armed", 10s)) << desk.app.logText();

    // Ctrl+C is the field's Copy while the tooltip shows.
    desk.chord({XK_Control_L}, XK_c);
    EXPECT_TRUE(spinUntil([&] { return QGuiApplication::clipboard()->text() == selection; }, 5s))
        << "clipboard: " << QGuiApplication::clipboard()->text().toStdString();
    EXPECT_TRUE(spinUntil([&] { return desk.reported("key Ctrl+C"); }, 5s)) << desk.lines();
    EXPECT_FALSE(windowsOf(desk.display, desk.app.process.processId()).empty()) << "the tooltip stays";

    // Ctrl+Alt+C is the tooltip's, pressed until heard (a press within the debounce is dropped).
    EXPECT_TRUE(spinUntil(
        [&] {
            desk.chord({XK_Control_L, XK_Alt_L}, XK_c);
            QThread::msleep(300);
            return QGuiApplication::clipboard()->text() == meaning;
        },
        10s))
        << "clipboard: " << QGuiApplication::clipboard()->text().toStdString() << desk.app.logText();
    EXPECT_FALSE(desk.reported("key Ctrl+Alt+C")) << "a grabbed key never reaches the focused window";
}

TEST(TooltipKeys, WithTheSuperHoldKeyCtrlSIsGrabbedOnlyTogetherWithSuper)
{
    Desk desk(RunningLumivox::preferencesWithHoldKey("command"));
    ASSERT_TRUE(desk.ready()) << desk.app.logText();

    ASSERT_TRUE(desk.pointAtWord()) << desk.app.logText();
    desk.keys.key(XK_Super_L, true);
    ASSERT_TRUE(desk.tooltipShown(true)) << desk.app.logText();
    ASSERT_TRUE(desk.app.waitForLog("tooltip keys armed", 10s)) << desk.app.logText();
    EXPECT_TRUE(keyIsTaken(desk.display, XK_s, Mod4Mask | ControlMask));
    EXPECT_TRUE(keyIsTaken(desk.display, XK_c, Mod4Mask | ControlMask));
    EXPECT_FALSE(keyIsTaken(desk.display, XK_s, ControlMask)) << "a bare Ctrl+S stays the application's";
    EXPECT_FALSE(keyIsTaken(desk.display, XK_c, ControlMask));

    // With Super up a bare Ctrl+S reaches the application.
    desk.keys.key(XK_Super_L, false);
    desk.chord({XK_Control_L}, XK_s);
    EXPECT_TRUE(spinUntil([&] { return desk.reported("key Ctrl+S"); }, 5s)) << desk.lines();
}
