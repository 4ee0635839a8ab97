// The first-run guide in the private session: the desktop's animation switch read through the real
// settings portal, and the real program opening the guide on a first run, finishing it with Return
// through every step, and not opening it on the next start.

#include "Native/Desktop/MotionPreference.h"
#include "Support/RunningLumivox.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
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

TEST(OnboardingSession, AfterTheGuideSettingsOpensAsTheProgramsOnlyWindow)
{
    Display *d = XOpenDisplay(nullptr);
    ASSERT_TRUE(d);
    RunningLumivox app(QByteArray {});
    const qint64 pid = app.process.processId();
    ASSERT_TRUE(spinUntil([&] { return windowTitled(d, pid, "Welcome to Lumivox") != 0; }, 60s))
        << "no guide on a first run: " << app.process.readAllStandardError().toStdString();
    pressUntilGone(d, app, "Welcome to Lumivox");
    ASSERT_EQ(windowTitled(d, pid, "Welcome to Lumivox"), 0u);
    // The question about keeping words follows the guide; Escape answers "Not Now".
    ASSERT_TRUE(spinUntil([&] { return windowTitled(d, pid, "Keep Words") != 0; }, 20s));
    pressUntilGone(d, app, "Keep Words", "Escape");
    ASSERT_EQ(windowTitled(d, pid, "Keep Words"), 0u);

    // Opened again, as from the launcher: the running copy shows its Settings.
    QProcess again;
    again.setProcessEnvironment(app.process.processEnvironment());
    again.start(qEnvironmentVariable("LUMIVOX_APP"), {});
    ASSERT_TRUE(again.waitForFinished(30000));
    ASSERT_TRUE(spinUntil([&] { return windowTitled(d, pid, "Lumivox Settings") != 0; }, 20s));
    // Anything that would come along with Settings is shown by the time the program has taken in a
    // pointer move after it; then what is mapped is listed.
    ASSERT_TRUE(programCaughtUp(app)) << app.logText();
    QStringList titles;
    for (const unsigned long window : windowIDsOf(d, pid)) {
        char *name = nullptr;
        XFetchName(d, window, &name);
        titles << QString::fromUtf8(name ? name : "(untitled)");
        if (name)
            XFree(name);
    }
    EXPECT_EQ(titles, QStringList {QStringLiteral("Lumivox Settings")});
    XCloseDisplay(d);
}
