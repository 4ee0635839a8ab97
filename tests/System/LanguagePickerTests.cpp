// The floating picker on the private X display: it opens at the real pointer, takes the keyboard
// from whatever is in front (keys are typed through XTest, as a person's would arrive), chooses with
// Return, and closes on a click anywhere outside it. And the same through the real program's hot key.

#include "Features/Design/Appearance.h"
#include "Features/LanguagePicker/Views/LanguagePickerPanel.h"
#include "Features/LanguagePicker/Views/LanguagePickerView.h"
#include "Native/Input/Input.h"
#include "Native/Services.h"
#include "Support/FocusedWindow.h"
#include "Support/RunningLumivox.h"
#include "Support/TestSupport.h"
#include "Support/XTestInjector.h"

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QWindow>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cmath>
#include <optional>

using namespace Lumivox;
using namespace std::chrono_literals;

namespace {

class LanguagePickerSession : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(injector.ok()) << "no X display in the test session";
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
        panel.model()->onChoose = [this](const Language &language) {
            chosen.push_back(language.id);
            panel.dismiss();
        };
        panel.model()->onCancel = [this] { panel.dismiss(); };
    }

    // Opens the picker where the pointer is, as the hot key does.
    void openAtPointer(int x, int y)
    {
        injector.moveTo(x, y);
        const auto input = Native::service<Native::Input>();
        // The pointer stands inside its pixel, a little in from the pixel's corner.
        ASSERT_TRUE(Testing::spinUntil([&] { return std::floor(input->mouseLocation().x()) == x; }));
        panel.model()->prepare(QStringLiteral("de"), {QStringLiteral("de"), QStringLiteral("fr")}, false);
        panel.showNear(input->mouseLocation());
        ASSERT_TRUE(Testing::spinUntil([&] {
            return panel.windowHandle() && panel.windowHandle()->isExposed()
                && QGuiApplication::focusObject() == panel.view()->searchField();
        })) << "the picker did not appear with the keyboard";
    }

    Testing::XTestInjector injector;
    Appearance appearance {std::nullopt};
    LanguagePickerPanel panel {appearance};
    std::vector<QString> chosen;
    QSignalSpy dismissed {&panel, &LanguagePickerPanel::dismissed};
};

} // namespace

TEST_F(LanguagePickerSession, TypingAtThePointerAndReturnChooseTheLanguage)
{
    const unsigned long focusBefore = injector.inputFocus();
    openAtPointer(400, 200);
    // The keys come through the grab; the input focus stays with whatever application had it.
    EXPECT_EQ(injector.inputFocus(), focusBefore);
    // Right of and below the pointer, as the X server places the window.
    EXPECT_EQ(panel.frameGeometry().topLeft(), QPoint(410, 210));

    injector.type("span");
    ASSERT_TRUE(Testing::spinUntil([&] { return panel.model()->query() == QStringLiteral("span"); }))
        << "typed keys did not reach the search field: " << panel.model()->query().toStdString();
    injector.tap(XK_Return);
    ASSERT_TRUE(Testing::spinUntil([&] { return !chosen.empty(); }));
    EXPECT_EQ(chosen, std::vector<QString> {QStringLiteral("es")});
    EXPECT_TRUE(Testing::spinUntil([&] { return !panel.isVisible(); }));
    EXPECT_EQ(dismissed.count(), 1);
    EXPECT_EQ(injector.inputFocus(), focusBefore);
}

TEST_F(LanguagePickerSession, AClickOutsideClosesItWithoutAChoice)
{
    // Near the screen's bottom-right corner: the picker opens left of and above the pointer.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    openAtPointer(screen.width() - 20, screen.height() - 20);
    const QRect frame = panel.frameGeometry();
    EXPECT_EQ(frame.right() + 1, screen.width() - 30);
    EXPECT_EQ(frame.bottom() + 1, screen.height() - 30);

    injector.moveTo(40, 40);
    injector.click();
    ASSERT_TRUE(Testing::spinUntil([&] { return !panel.isVisible(); })) << "a click outside left the picker open";
    EXPECT_TRUE(chosen.empty());
    EXPECT_EQ(dismissed.count(), 1);

    // The next showing takes the keyboard again, Escape leaves.
    openAtPointer(300, 300);
    injector.tap(XK_Escape);
    ASSERT_TRUE(Testing::spinUntil([&] { return !panel.isVisible(); }));
    EXPECT_TRUE(chosen.empty());
    EXPECT_EQ(dismissed.count(), 2);
}

// The real program, its hot key pressed as a person presses it: Super, Alt and L go down one after
// another and are held a moment, so the picker shows while the hot key's own grab still holds the
// keyboard. Wherever the focus is, the picker then holds keyboard and pointer (another client's grab
// fails), the keys typed reach it and not the application with the focus, and Escape closes it.
class LanguagePickerProgram : public ::testing::Test
{
protected:
    void SetUp() override
    {
        display = XOpenDisplay(nullptr);
        ASSERT_TRUE(display) << "the private session has no display";
        ASSERT_TRUE(keys.ok());
        ASSERT_TRUE(app.waitUntilIdle()) << app.log.toStdString();
    }
    void TearDown() override
    {
        if (display)
            XCloseDisplay(display);
    }

    // Shown means on screen with keyboard and pointer held: this test's own grabs fail.
    bool pickerShown(bool shown)
    {
        return Testing::spinUntil(
            [&] {
                const bool onScreen = !Testing::windowsOf(display, app.process.processId()).empty();
                const bool keyboard = Testing::keyboardIsHeld(display);
                const bool pointer = Testing::pointerIsHeld(display);
                seen = std::string("on screen ") + (onScreen ? "yes" : "no") + ", keyboard held "
                    + (keyboard ? "yes" : "no") + ", pointer held " + (pointer ? "yes" : "no") + "\n";
                return shown ? onScreen && keyboard && pointer : !onScreen;
            },
            10s);
    }
    std::string log()
    {
        app.log += app.process.readAllStandardError();
        return seen + app.log.toStdString();
    }

    // Opens the picker with the hot key, chooses Spanish by typing, opens it again and leaves with
    // Escape; afterwards nothing holds keyboard or pointer.
    void chooseSpanishThenLeave()
    {
        keys.moveTo(300, 250);
        keys.chord({XK_Super_L, XK_Alt_L, XK_l}, 150ms);
        ASSERT_TRUE(pickerShown(true)) << log();
        keys.type("span");
        keys.tap(XK_Return);
        EXPECT_TRUE(pickerShown(false)) << log();
        EXPECT_TRUE(Testing::spinUntil(
            [&] {
                return Testing::WordBookEnvironment::contents(app.preferencesPath())
                    .contains(R"("translateTarget": "es")");
            },
            10s))
            << Testing::WordBookEnvironment::contents(app.preferencesPath()).toStdString();

        keys.chord({XK_Super_L, XK_Alt_L, XK_l}, 150ms);
        ASSERT_TRUE(pickerShown(true)) << log();
        keys.tap(XK_Escape);
        EXPECT_TRUE(pickerShown(false)) << log();
        EXPECT_FALSE(Testing::keyboardIsHeld(display));
        EXPECT_FALSE(Testing::pointerIsHeld(display));
    }

    Display *display = nullptr;
    Testing::XTestInjector keys;
    Testing::RunningLumivox app {QByteArray(R"({"translateTarget": "de", "holdKey": "option",
        "hasCompletedOnboarding": true, "wordsAskedAboutHistory": true})")};
    std::string seen;
};

TEST_F(LanguagePickerProgram, TheHotKeyHeldAsAPersonHoldsItGivesThePickerTheKeysFromTheFocusedApplication)
{
    Testing::FocusedWindow focused;
    ASSERT_NE(focused.windowID(), 0u);
    chooseSpanishThenLeave();
    for (const QByteArray &line : focused.lines())
        EXPECT_FALSE(line.startsWith("key ")) << "the focused application got " << line.toStdString();
}

TEST_F(LanguagePickerProgram, TheHotKeyHeldAsAPersonHoldsItGivesThePickerTheKeysWithTheFocusOnTheRootWindow)
{
    XSetInputFocus(display, DefaultRootWindow(display), RevertToPointerRoot, CurrentTime);
    XSync(display, False);
    ASSERT_EQ(keys.inputFocus(), DefaultRootWindow(display));
    chooseSpanishThenLeave();
}
