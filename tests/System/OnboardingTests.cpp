// The first-run guide in the private session: the desktop's animation switch read through the real
// settings portal; the real program opening the guide on a first run, finishing it with Return
// through every step, and not opening it on the next start; and after the guide, its dialogs as the
// window manager sees them and Settings opened from the tray as the program's only window.

#include "Native/Desktop/MotionPreference.h"
#include "Support/RunningLumivox.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

bool setAnimations(bool enabled)
{
    return QProcess::execute(QStringLiteral("gsettings"),
                             {QStringLiteral("set"), QStringLiteral("org.gnome.desktop.interface"),
                              QStringLiteral("enable-animations"),
                              enabled ? QStringLiteral("true") : QStringLiteral("false")})
        == 0;
}

void startPortal()
{
    QDBusMessage read = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("Read"));
    read << QStringLiteral("org.gnome.desktop.interface") << QStringLiteral("enable-animations");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(read, QDBus::Block, 20000);
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage)
        << "the settings portal did not start: " << reply.errorMessage().toStdString();
}

// Presses Return (or another key) in the window with that title until it has gone; a press that a
// busy machine delivers before the focus has arrived is lost. Returns how many presses it took.
int pressUntilGone(Display *d, const RunningLumivox &app, const char *title, const char *key = "Return")
{
    int presses = 0;
    const auto window = [&] { return windowTitled(d, app.process.processId(), title); };
    while (presses < 12 && window() != 0) {
        XSetInputFocus(d, window(), RevertToParent, CurrentTime);
        XSync(d, False);
        spinUntil([] { return false; }, 400ms);
        const KeyCode code = XKeysymToKeycode(d, XStringToKeysym(key));
        XTestFakeKeyEvent(d, code, True, CurrentTime);
        XTestFakeKeyEvent(d, code, False, CurrentTime);
        XFlush(d);
        ++presses;
        spinUntil([&] { return window() == 0; }, 600ms);
    }
    return presses;
}

// Moves the pointer and waits until the program has seen it rest: the program has come back to its
// event loop since whatever it did before, so every window it asked for by then is on the server.
bool programCaughtUp(RunningLumivox &app)
{
    XTestInjector pointer;
    const QPoint at = pointer.pointer();
    return pointer.ok() && app.moveAndRest(pointer, at.x() > 100 ? at - QPoint(60, 0) : at + QPoint(60, 0));
}

bool storedCompletion(const RunningLumivox &app)
{
    QFile file(app.preferencesPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("hasCompletedOnboarding")).toBool();
}

// A dialog as the window manager sees it: of the dialog type, transient for another window, and of
// one fixed size (`size`: that size, a zero side for any, an empty size for any at all), so that it
// offers no maximise and no resize.
void expectDialog(Display *d, unsigned long window, QSize size)
{
    ASSERT_NE(window, 0u);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *value = nullptr;
    std::vector<Atom> types;
    if (XGetWindowProperty(d, window, XInternAtom(d, "_NET_WM_WINDOW_TYPE", False), 0, 8, False, XA_ATOM, &type,
                           &format, &items, &after, &value)
            == Success
        && value) {
        types.assign(reinterpret_cast<Atom *>(value), reinterpret_cast<Atom *>(value) + items);
        XFree(value);
    }
    ASSERT_FALSE(types.empty()) << "no window type";
    EXPECT_EQ(types.front(), XInternAtom(d, "_NET_WM_WINDOW_TYPE_DIALOG", False)) << "a dialog first";
    Window parent = 0;
    EXPECT_TRUE(XGetTransientForHint(d, window, &parent) && parent != 0) << "transient for another window";
    XSizeHints hints {};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(d, window, &hints, &supplied));
    ASSERT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize)) << "no size limits";
    EXPECT_EQ(QSize(hints.min_width, hints.min_height), QSize(hints.max_width, hints.max_height)) << "resizable";
    if (size.width() > 0) {
        EXPECT_EQ(hints.min_width, size.width());
    }
    if (size.height() > 0) {
        EXPECT_EQ(hints.min_height, size.height());
    }
}

} // namespace

TEST(OnboardingSession, TheDesktopsAnimationSwitchReachesThroughThePortal)
{
    startPortal();
    ASSERT_TRUE(setAnimations(false));
    const auto motion = Native::MotionPreference::overPortal(std::chrono::seconds(10));
    EXPECT_TRUE(spinUntil([&] { return motion->reducesMotion(); }, 10s)) << "the stored switch was not read";
    ASSERT_TRUE(setAnimations(true));
    EXPECT_TRUE(spinUntil([&] { return !motion->reducesMotion(); }, 10s)) << "the change was not followed";
}

TEST(OnboardingSession, AFirstRunOpensTheGuideReturnFinishesItAndTheNextRunDoesNotOpenIt)
{
    Display *d = XOpenDisplay(nullptr);
    ASSERT_TRUE(d);
    QByteArray written;
    {
        RunningLumivox first(QByteArray {});
        ASSERT_TRUE(
            spinUntil([&] { return windowTitled(d, first.process.processId(), "Welcome to Lumivox") != 0; }, 60s))
            << "no guide on a first run: " << first.process.readAllStandardError().toStdString();
        // Four steps: three times Continue, then Done, so never fewer than four presses.
        const int presses = pressUntilGone(d, first, "Welcome to Lumivox");
        EXPECT_EQ(windowTitled(d, first.process.processId(), "Welcome to Lumivox"), 0u)
            << "Done did not close the guide";
        EXPECT_GE(presses, 4) << "the guide closed before its last step";
        EXPECT_TRUE(spinUntil([&] { return storedCompletion(first); }, 10s)) << "Done was not stored";
        QFile file(first.preferencesPath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        written = file.readAll();
    }
    {
        RunningLumivox second(written);
        ASSERT_TRUE(second.waitUntilIdle()) << second.log.toStdString();
        ASSERT_TRUE(programCaughtUp(second)) << second.logText();
        EXPECT_EQ(windowTitled(d, second.process.processId(), "Welcome to Lumivox"), 0u);
    }
    XCloseDisplay(d);
}

TEST(OnboardingSession, AfterTheGuideItsDialogsAreDialogsAndSettingsOpensAsTheProgramsOnlyWindow)
{
    Display *d = XOpenDisplay(nullptr);
    ASSERT_TRUE(d);
    QProcess trayer;
    ASSERT_TRUE(startTrayPanel(d, trayer)) << "trayer is missing (scripts/install-deps.sh installs it) or took no tray";

    RunningLumivox app(QByteArray {});
    const qint64 pid = app.process.processId();
    ASSERT_TRUE(spinUntil([&] { return windowTitled(d, pid, "Welcome to Lumivox") != 0; }, 60s))
        << "no guide on a first run: " << app.logText();
    expectDialog(d, windowTitled(d, pid, "Welcome to Lumivox"), QSize(540, 480));
    pressUntilGone(d, app, "Welcome to Lumivox");
    ASSERT_EQ(windowTitled(d, pid, "Welcome to Lumivox"), 0u);
    // The question about keeping words follows the guide; Escape answers "Not Now".
    ASSERT_TRUE(spinUntil([&] { return windowTitled(d, pid, "Keep Words") != 0; }, 20s));
    expectDialog(d, windowTitled(d, pid, "Keep Words"), QSize(420, 0));
    pressUntilGone(d, app, "Keep Words", "Escape");
    ASSERT_EQ(windowTitled(d, pid, "Keep Words"), 0u);

    const QRect icon = trayIconOf(d, pid);
    ASSERT_FALSE(icon.isEmpty()) << "the tray icon did not show";
    // The tray's About box, then its Settings, as a user opens them. After the guide, with no word
    // saved, the enabled items are the switch (or the permission request), Words…, Translate To,
    // Translate When, Report a Problem…, About Lumivox and Settings….
    ASSERT_TRUE(chooseInTrayMenu(d, icon, pid, 6)) << "the tray menu did not open";
    ASSERT_TRUE(spinUntil([&] { return windowTitled(d, pid, "About Lumivox") != 0; }, 20s)) << app.logText();
    expectDialog(d, windowTitled(d, pid, "About Lumivox"), QSize());
    pressUntilGone(d, app, "About Lumivox");
    ASSERT_EQ(windowTitled(d, pid, "About Lumivox"), 0u);
    ASSERT_TRUE(chooseInTrayMenu(d, icon, pid, 7)) << "the tray menu did not open again";
    ASSERT_TRUE(spinUntil([&] { return windowTitled(d, pid, "Lumivox Settings") != 0; }, 20s)) << app.logText();

    // Give anything that would come along with Settings (the program asks its windows forward again
    // over the next few hundred milliseconds) the time to show, then list what is mapped.
    spinUntil([] { return false; }, 1500ms);
    QStringList titles;
    for (const unsigned long window : windowIDsOf(d, pid)) {
        char *name = nullptr;
        XFetchName(d, window, &name);
        titles << (name && *name ? QString::fromUtf8(name) : QStringLiteral("(untitled)"));
        if (name)
            XFree(name);
    }
    EXPECT_EQ(titles.join(QStringLiteral(", ")).toStdString(), "Lumivox Settings") << "the top-level windows";
    QStringList everywhere;
    for (const TreeWindow &w : windowsInTree(d, pid))
        everywhere << (w.frame == icon         ? QStringLiteral("(tray icon)")
                           : w.title.isEmpty() ? QStringLiteral("(untitled)")
                                               : QString::fromUtf8(w.title));
    everywhere.sort();
    EXPECT_EQ(everywhere.join(QStringLiteral(", ")).toStdString(), "(tray icon), Lumivox Settings")
        << "with the tray icon, nothing else is on screen";

    trayer.kill();
    trayer.waitForFinished(5000);
    XCloseDisplay(d);
}
