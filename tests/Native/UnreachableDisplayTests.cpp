// The X11 backends with no X server to talk to, and in a Wayland session: a clear log line and a
// miss, never a crash.

#include "Native/Input/Input.h"
#include "Native/Windows/WindowList.h"
#include "Support/TestSupport.h"

#include <QCoreApplication>
#include <QMutex>
#include <QStringList>

#include <gtest/gtest.h>

using namespace Lumivox;

namespace {

QMutex logMutex;
QStringList logLines;

void recordLog(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    QMutexLocker lock(&logMutex);
    logLines.append(QString::fromLatin1(context.category ? context.category : "") + QLatin1Char(' ') + message);
}

bool logged(const QString &category, const QString &words)
{
    QMutexLocker lock(&logMutex);
    for (const QString &line : logLines) {
        if (line.startsWith(category) && line.contains(words, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

TEST(UnreachableDisplay, InputAndWindowListMissWithAReason)
{
    // Nothing in this program has reached for X yet, so every connection below is attempted afresh.
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("XDG_SESSION_TYPE");
    qInstallMessageHandler(recordLog);

    const auto input = Native::Input::makeDefault();
    ASSERT_TRUE(input);
    EXPECT_FALSE(input->addMonitor([](const Native::InputEvent &) {}));
    EXPECT_TRUE(logged(QStringLiteral("app.lumivox.Input"), QStringLiteral("no X display")));
    EXPECT_EQ(input->mouseLocation(), QPointF());
    EXPECT_EQ(input->currentEventFlags(), 0u);
    EXPECT_GT(input->secondsSinceLastKeyPress(), 1.0e6);

    const auto windows = Native::WindowList::makeDefault();
    ASSERT_TRUE(windows);
    EXPECT_TRUE(windows->windows().empty());
    EXPECT_TRUE(windows->windowsAt(QPointF(10, 10)).empty());
    EXPECT_EQ(windows->topmostWindowNumber(QPointF(10, 10)), 0u);
    // Without X the app id still comes from the process itself.
    EXPECT_TRUE(windows->applicationID(static_cast<std::int32_t>(QCoreApplication::applicationPid())));
    EXPECT_FALSE(windows->applicationID(-5));

    qputenv("WAYLAND_DISPLAY", "wayland-0");
    const auto onWayland = Native::Input::makeDefault();
    EXPECT_FALSE(onWayland->addMonitor([](const Native::InputEvent &) {}));
    EXPECT_TRUE(logged(QStringLiteral("app.lumivox.Input"), QStringLiteral("Wayland")));
    EXPECT_TRUE(Native::WindowList::makeDefault()->windowsAt(QPointF(10, 10)).empty());
    EXPECT_TRUE(logged(QStringLiteral("app.lumivox.Windows"), QStringLiteral("Wayland")));
    qunsetenv("WAYLAND_DISPLAY");

    qInstallMessageHandler(nullptr);
}
