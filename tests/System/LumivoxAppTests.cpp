// The program itself in the private session: it starts, takes from the desktop only its own hot key,
// follows the hold key, and ends cleanly on SIGTERM; without X11 it says so and exits with status 1.
// And the way it ends, in this process: a SIGTERM that arrives while a word-book save waits for its
// delay still writes the save.

#include "Fakes/FakeCoordinatorViews.h"
#include "Fakes/FakeWordBookEnvironment.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Native/Services.h"
#include "Native/Session/TerminationSignals.h"
#include "Services/Translation/TranslationStore.h"
#include "Shared/Diagnostics/DiagnosticLog.h"
#include "Support/RunningLumivox.h"
#include "Support/TestSupport.h"
#include "Support/XTestInjector.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <csignal>
#include <unistd.h>

using namespace Lumivox;
using namespace std::chrono_literals;

namespace {

QString appPath()
{
    return qEnvironmentVariable("LUMIVOX_APP");
}

// The program's standard error, read as it comes.
class RunningApp
{
public:
    explicit RunningApp(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment())
    {
        // Its settings in a folder of the test's own, past the first run, and started as at login:
        // neither the first-run guide nor Settings opens, so the only window it shows is the picker.
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        QDir().mkpath(config.path() + QStringLiteral("/Lumivox"));
        QFile preferences(config.path() + QStringLiteral("/Lumivox/app.lumivox.json"));
        if (preferences.open(QIODevice::WriteOnly))
            preferences.write(R"({"hasCompletedOnboarding": true})");
        environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                           QStringLiteral("app.lumivox.App.debug=true;app.lumivox.Hover.debug=true"));
        process.setProcessEnvironment(environment);
        process.setProgram(appPath());
        process.setArguments({QStringLiteral("--autostart")});
    }
    ~RunningApp()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    bool waitFor(const QByteArray &text, std::chrono::milliseconds timeout = 60s)
    {
        return Testing::spinUntil(
            [&] {
                log += process.readAllStandardError();
                return log.contains(text);
            },
            timeout);
    }

    QTemporaryDir config;
    QProcess process;
    QByteArray log;
};

// The top-level windows on screen that the process made.
int viewableWindowsOf(Display *d, qint64 pid)
{
    Window root = 0;
    Window parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    int found = 0;
    const Atom netWmPid = XInternAtom(d, "_NET_WM_PID", False);
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count))
        return 0;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes {};
        if (!XGetWindowAttributes(d, children[i], &attributes) || attributes.map_state != IsViewable)
            continue;
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(d, children[i], netWmPid, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                               &data)
                == Success
            && data) {
            if (items == 1 && format == 32 && qint64(*reinterpret_cast<unsigned long *>(data)) == pid)
                ++found;
            XFree(data);
        }
    }
    XFree(children);
    return found;
}

} // namespace

TEST(LumivoxApp, StartsTakesOnlyItsHotKeyFollowsTheHoldKeyAndEndsOnSigterm)
{
    ASSERT_FALSE(appPath().isEmpty());
    Display *d = XOpenDisplay(nullptr);
    ASSERT_TRUE(d) << "the private session has no display";
    // Nothing has Super+Alt+L before the program starts.
    ASSERT_FALSE(Testing::keyIsTaken(d, XK_l, Mod4Mask | Mod1Mask));

    RunningApp app;
    app.process.start();
    ASSERT_TRUE(app.process.waitForStarted(10000));
    ASSERT_TRUE(app.waitFor("idle after")) << app.log.toStdString();

    // Its picker key is taken; the hold keys, the tooltip's keys and the keyboard and pointer are not.
    EXPECT_TRUE(Testing::keyIsTaken(d, XK_l, Mod4Mask | Mod1Mask));
    for (KeySym key : {XK_Alt_L, XK_Control_L, XK_Shift_L, XK_Super_L, XK_s, XK_c})
        EXPECT_FALSE(Testing::keyIsTaken(d, key, AnyModifier)) << XKeysymToString(key);
    EXPECT_EQ(XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync, CurrentTime), GrabSuccess);
    XUngrabKeyboard(d, CurrentTime);
    EXPECT_EQ(XGrabPointer(d, DefaultRootWindow(d), False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None, None,
                           CurrentTime),
              GrabSuccess);
    XUngrabPointer(d, CurrentTime);
    XSync(d, False);
    EXPECT_EQ(viewableWindowsOf(d, app.process.processId()), 0) << "no window of its own is on screen";

    // Holding Alt reaches the coordinator, and so does letting go.
    const KeyCode alt = XKeysymToKeycode(d, XK_Alt_L);
    XTestFakeKeyEvent(d, alt, True, CurrentTime);
    XFlush(d);
    EXPECT_TRUE(app.waitFor("modifier change: flags 0x80000")) << app.log.toStdString();
    XTestFakeKeyEvent(d, alt, False, CurrentTime);
    XFlush(d);
    EXPECT_TRUE(app.waitFor("modifier change: flags 0x0 ")) << app.log.toStdString();

    // Super+Alt+L opens the real picker at the pointer, Escape closes it; a language typed and
    // chosen becomes the target, which is stored by the time SIGTERM has ended the program.
    Testing::XTestInjector keys;
    ASSERT_TRUE(keys.ok());
    // Shown means on screen and holding the keyboard: keys typed before the grab go to whatever is
    // in front, as they would for a person who types at once.
    const auto pickerShown = [&](bool shown) {
        return Testing::spinUntil(
            [&] {
                const bool onScreen = viewableWindowsOf(d, app.process.processId()) == 1;
                return shown ? onScreen && Testing::keyboardIsHeld(d) : !onScreen;
            },
            10s);
    };
    const auto hotKey = [&] {
        keys.key(XK_Super_L, true);
        keys.key(XK_Alt_L, true);
        keys.tap(XK_l);
        keys.key(XK_Alt_L, false);
        keys.key(XK_Super_L, false);
    };
    keys.moveTo(200, 200);
    hotKey();
    EXPECT_TRUE(pickerShown(true)) << app.log.toStdString();
    keys.tap(XK_Escape);
    EXPECT_TRUE(pickerShown(false)) << app.log.toStdString();
    hotKey();
    ASSERT_TRUE(pickerShown(true)) << app.log.toStdString();
    // The keys reach the picker in the order typed, and each narrows the list at once: Return chooses
    // from the narrowed list however slowly the program runs.
    keys.type("french");
    keys.tap(XK_Return);
    EXPECT_TRUE(pickerShown(false)) << app.log.toStdString();

    app.process.terminate(); // SIGTERM
    ASSERT_TRUE(app.process.waitForFinished(30000));
    app.log += app.process.readAllStandardError();
    EXPECT_EQ(app.process.exitStatus(), QProcess::NormalExit) << app.log.toStdString();
    EXPECT_EQ(app.process.exitCode(), 0) << app.log.toStdString();
    EXPECT_TRUE(app.log.contains("received Terminated")) << app.log.toStdString();
    const QString prefs = app.config.path() + QStringLiteral("/Lumivox/app.lumivox.json");
    EXPECT_TRUE(Testing::WordBookEnvironment::contents(prefs).contains("\"translateTarget\": \"fr\""))
        << Testing::WordBookEnvironment::contents(prefs).toStdString();
    EXPECT_FALSE(Testing::keyIsTaken(d, XK_l, Mod4Mask | Mod1Mask)) << "the key is free again";
    XCloseDisplay(d);
}

TEST(LumivoxApp, WithoutX11ItSaysSoAndExitsWithStatusOne)
{
    struct Row
    {
        const char *name;
        std::function<void(QProcessEnvironment &)> change;
        const char *message;
    };
    const std::vector<Row> rows {
        {"no display", [](QProcessEnvironment &e) { e.remove(QStringLiteral("DISPLAY")); }, "no X display"},
        {"a display that does not answer",
         [](QProcessEnvironment &e) { e.insert(QStringLiteral("DISPLAY"), QStringLiteral(":4711")); }, "no X display"},
        {"a Wayland session",
         [](QProcessEnvironment &e) { e.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0")); },
         "Wayland session"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        row.change(environment);
        RunningApp app(environment);
        app.process.start();
        ASSERT_TRUE(app.process.waitForFinished(30000));
        app.log += app.process.readAllStandardError();
        EXPECT_EQ(app.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(app.process.exitCode(), 1);
        EXPECT_TRUE(app.log.contains(row.message)) << app.log.toStdString();
    }
}

TEST(LumivoxApp, SigtermWritesAWordBookSaveThatWasStillWaiting)
{
    Testing::WordBookEnvironment env;
    auto defaults = std::make_shared<PreferenceStore>(env.path(QStringLiteral("prefs.json")));
    defaults->set(QStringLiteral("hasCompletedOnboarding"), true);
    WordBook book(env.folder.path(), defaults, Date::fromWallTime(Clock::system()->wallNow()));
    TranslationStore cache(defaults, 3000, 2.0);

    HoverTextController::Dependencies d;
    d.defaults = defaults;
    d.wordBook = &book;
    d.translationCache = &cache;
    d.clock = Clock::system();
    d.input = Native::service<Native::Input>();
    d.windowList = Native::service<Native::WindowList>();
    d.accessibility = Native::service<Native::Accessibility>();
    d.capture = Native::service<Native::ScreenCapture>();
    d.loginItem = Native::LoginItem::autostartEntry(env.path(QStringLiteral("autostart")), appPath(),
                                                    QStringLiteral("app.lumivox"));
    d.overlay = std::make_shared<Testing::FakeOverlay>();
    d.picker = std::make_shared<Testing::FakePicker>();
    d.windows = std::make_shared<Testing::FakeWindows>();
    d.flushDiagnostics = [](std::chrono::milliseconds limit) { return DiagnosticLog::shared().flushBeforeQuit(limit); };
    HoverTextController controller(std::move(d));
    EXPECT_TRUE(controller.isTracking()) << "the pointer is followed in the real session";

    const auto terminationSignals = Native::TerminationSignals::install();
    ASSERT_TRUE(terminationSignals);
    QObject::connect(terminationSignals.get(), &Native::TerminationSignals::received, qApp, &QCoreApplication::quit);

    const Date now = Date::fromWallTime(Clock::system()->wallNow());
    book.save(Testing::lookup(QStringLiteral("lantern"), now), now);
    bool timedOut = false;
    QTimer::singleShot(100ms, [] { ::kill(::getpid(), SIGTERM); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::quit();
    });
    guard.start(20s);
    EXPECT_FALSE(QFileInfo::exists(env.savedPath()));
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(Testing::WordBookEnvironment::contents(env.savedPath()).contains("\"lantern\""))
        << "the save waited 3 s; the signal came after 0.1 s";
}
