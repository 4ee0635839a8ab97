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

void pressReturn(Display *d)
{
    const KeyCode key = XKeysymToKeycode(d, XStringToKeysym("Return"));
    XTestFakeKeyEvent(d, key, True, CurrentTime);
    XTestFakeKeyEvent(d, key, False, CurrentTime);
    XFlush(d);
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
        Window guide = 0;
        ASSERT_TRUE(spinUntil(
            [&] {
                guide = windowTitled(d, first.process.processId(), "Welcome to Lumivox");
                return guide != 0;
            },
            60s))
            << "no guide on a first run: " << first.process.readAllStandardError().toStdString();
        // Four steps: three times Continue, then Done. A press that a busy machine delivers before
        // the focus has arrived is lost, so Return is pressed until the guide has gone, never fewer
        // than four times.
        int presses = 0;
        const auto guideOpen = [&] { return windowTitled(d, first.process.processId(), "Welcome to Lumivox") != 0; };
        while (presses < 12 && guideOpen()) {
            XSetInputFocus(d, guide, RevertToParent, CurrentTime);
            XSync(d, False);
            spinUntil([] { return false; }, 400ms);
            pressReturn(d);
            ++presses;
            spinUntil([&] { return !guideOpen(); }, 600ms);
        }
        EXPECT_FALSE(guideOpen()) << "Done did not close the guide";
        EXPECT_GE(presses, 4) << "the guide closed before its last step";
        EXPECT_TRUE(spinUntil([&] { return storedCompletion(first); }, 10s)) << "Done was not stored";
        QFile file(first.preferencesPath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        written = file.readAll();
    }
    {
        RunningLumivox second(written);
        ASSERT_TRUE(second.waitUntilIdle()) << second.log.toStdString();
        spinUntil([] { return false; }, 2s);
        EXPECT_EQ(windowTitled(d, second.process.processId(), "Welcome to Lumivox"), 0u);
    }
    XCloseDisplay(d);
}
