// The program's shell in the private session: one copy per session however many start at once, a
// second launch bringing the first one's Settings forward, a start just after a quit or while an
// ending copy holds the name running as the one copy, Quit over the bus answered, and the tray icon
// embedded in a real tray host (trayer) with its menu opening on a click (screenshot in
// build/screenshots/).

#include "Features/Words/WordsWindows.h"
#include "Support/RunningLumivox.h"
#include "Support/TestSupport.h"

#include <QColor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

using namespace Lumivox;
using namespace std::chrono_literals;

namespace {

QString appPath()
{
    return qEnvironmentVariable("LUMIVOX_APP");
}

// Writes settings in which the first-run guide is done; returns the file.
QString onboardingDone()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Lumivox";
    QDir().mkpath(folder);
    QFile preferences(folder + "/app.lumivox.json");
    if (preferences.open(QIODevice::WriteOnly))
        preferences.write(R"({"hasCompletedOnboarding": true})");
    return preferences.fileName();
}

// `logging`: the rule for the program's own log, "info" or "debug".
std::unique_ptr<QProcess> startApp(QStringList arguments = {}, const QString &logging = QStringLiteral("info"))
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("app.lumivox.*.%1=true").arg(logging));
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(appPath(), arguments);
    return process;
}

bool nameOwned()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("app.lumivox"));
}

bool stop(QProcess &process)
{
    process.terminate();
    return process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Waits until the process's output, gathered in `log`, holds `text` after `from`; moves `from` past it.
bool waitForOutput(QProcess &process, QByteArray &log, qsizetype &from, const QByteArray &text)
{
    return Testing::spinUntil(
        [&] {
            log += process.readAll();
            const qsizetype at = log.indexOf(text, from);
            if (at >= 0)
                from = at + text.size();
            return at >= 0;
        },
        60s);
}

// The viewable windows the process made, anywhere in the tree (the tray icon sits inside trayer's
// window), with their places on the root window.
std::vector<QRect> windowsOf(Display *d, qint64 pid)
{
    std::vector<QRect> frames;
    for (const Testing::TreeWindow &window : Testing::windowsInTree(d, pid))
        frames.push_back(window.frame);
    return frames;
}

} // namespace

// Quit over the bus, as a script or another program sends it, is answered before the program ends.
TEST(Shell, QuitOverTheBusIsAnsweredAndTheProgramEnds)
{
    auto app = startApp({QStringLiteral("--autostart")}, QStringLiteral("debug"));
    QByteArray log;
    qsizetype seen = 0;
    ASSERT_TRUE(waitForOutput(*app, log, seen, "idle after")) << log.toStdString();
    QProcess gdbus;
    gdbus.start(QStringLiteral("gdbus"),
                {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                 QStringLiteral("app.lumivox"), QStringLiteral("--object-path"), QStringLiteral("/app/lumivox"),
                 QStringLiteral("--method"), QStringLiteral("app.lumivox.Application.Quit")});
    ASSERT_TRUE(gdbus.waitForFinished(30000));
    EXPECT_EQ(gdbus.exitCode(), 0) << gdbus.readAllStandardError().toStdString();
    EXPECT_EQ(gdbus.readAllStandardOutput().trimmed(), QByteArray("()"));
    ASSERT_TRUE(app->waitForFinished(30000));
    EXPECT_EQ(app->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app->exitCode(), 0) << app->readAll().toStdString();
    EXPECT_FALSE(nameOwned());
}

TEST(Shell, TwoCopiesStartedTogetherLeaveExactlyOne)
{
    ASSERT_FALSE(appPath().isEmpty());
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "the private session has no bus";
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        auto first = startApp();
        auto second = startApp();
        ASSERT_TRUE(first->waitForStarted(10000) && second->waitForStarted(10000));
        // One of them gives way and ends by itself; the other owns the name and stays.
        ASSERT_TRUE(Testing::spinUntil(
            [&] { return first->state() == QProcess::NotRunning || second->state() == QProcess::NotRunning; }, 60s));
        QProcess &gone = first->state() == QProcess::NotRunning ? *first : *second;
        QProcess &staying = &gone == first.get() ? *second : *first;
        const QByteArray goneLog = gone.readAll();
        EXPECT_EQ(gone.exitCode(), 0) << goneLog.toStdString();
        EXPECT_TRUE(goneLog.contains("already running")) << goneLog.toStdString();
        ASSERT_TRUE(Testing::spinUntil(nameOwned, 30s));
        QCoreApplication::processEvents();
        EXPECT_EQ(staying.state(), QProcess::Running);
        EXPECT_TRUE(stop(staying)) << staying.readAll().toStdString();
        ASSERT_TRUE(Testing::spinUntil([] { return !nameOwned(); }, 10s));
    }
}

TEST(Shell, ASecondLaunchBringsTheFirstOnesSettingsForward)
{
    Display *d = XOpenDisplay(nullptr);
    ASSERT_TRUE(d);
    // Onboarding done, so that opening again means Settings.
    QFile preferences(onboardingDone());

    // Started at login: no window of its own once it has finished starting.
    auto first = startApp({QStringLiteral("--autostart")}, QStringLiteral("debug"));
    QByteArray firstLog;
    ASSERT_TRUE(Testing::spinUntil(
        [&] {
            firstLog += first->readAll();
            return firstLog.contains("idle after");
        },
        60s))
        << firstLog.toStdString();
    ASSERT_TRUE(Testing::spinUntil(nameOwned, 60s));
    EXPECT_TRUE(windowsOf(d, first->processId()).empty());

    auto second = startApp();
    ASSERT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->exitCode(), 0);
    std::vector<QRect> shown;
    EXPECT_TRUE(Testing::spinUntil(
        [&] {
            shown = windowsOf(d, first->processId());
            return !shown.empty();
        },
        10s))
        << "the first copy shows Settings";
    // Settings alone: the server maps one client's windows in the order it asked, so a window of the
    // start at login that the look above came too early for would be here by now.
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_TRUE(stop(*first)) << first->readAll().toStdString();
    XCloseDisplay(d);
    QFile::remove(preferences.fileName());
}

// A start that finds the session's name held by a copy that no longer answers (one that is ending;
// here the test holds the name) waits for the name and runs once it is free; a holder that never
// lets go is named in the message of a start that ends with status 1.
TEST(Shell, AStartWaitsForACopyThatNoLongerAnswers)
{
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    for (const bool letsGo : {true, false}) {
        SCOPED_TRACE(letsGo ? "the holder lets go" : "the holder keeps the name");
        ASSERT_EQ(bus->registerService(QStringLiteral("app.lumivox"), QDBusConnectionInterface::DontQueueService,
                                       QDBusConnectionInterface::DontAllowReplacement)
                      .value(),
                  QDBusConnectionInterface::ServiceRegistered);
        auto app = startApp({QStringLiteral("--autostart")}, QStringLiteral("debug"));
        QByteArray log;
        qsizetype seen = 0;
        const bool waits = waitForOutput(*app, log, seen, "waiting for it to end");
        if (letsGo) {
            bus->unregisterService(QStringLiteral("app.lumivox"));
            ASSERT_TRUE(waits) << log.toStdString();
            ASSERT_TRUE(waitForOutput(*app, log, seen, "idle after")) << log.toStdString();
            EXPECT_TRUE(nameOwned());
            EXPECT_TRUE(stop(*app)) << app->readAll().toStdString();
        } else {
            ASSERT_TRUE(app->waitForFinished(30000));
            bus->unregisterService(QStringLiteral("app.lumivox"));
            log += app->readAll();
            EXPECT_TRUE(waits) << log.toStdString();
            EXPECT_EQ(app->exitCode(), 1) << log.toStdString();
            EXPECT_TRUE(log.contains("neither answers nor ends")) << log.toStdString();
        }
        ASSERT_TRUE(Testing::spinUntil([] { return !nameOwned(); }, 10s));
    }
}

// Quit from the tray with the Words window open where the user put it, and a start 0.2 s later:
// the copy that quit ends, the new one runs and shows its tray icon, and its Words window opens
// where the other one left it.
TEST(Shell, AStartJustAfterQuitRunsAndTheWordsWindowKeepsItsFrame)
{
    Display *d = XOpenDisplay(nullptr);
    ASSERT_TRUE(d);
    QProcess trayer;
    ASSERT_TRUE(Testing::startTrayPanel(d, trayer))
        << "trayer is missing (scripts/install-deps.sh installs it) or took no tray";
    QFile preferences(onboardingDone());
    const QByteArray wordsActive = "window active: " + WordsWindows::wordsID.toUtf8();
    const auto wordsWindow = [&](qint64 pid) {
        for (const Testing::TreeWindow &window : Testing::windowsInTree(d, pid)) {
            if (window.frame.width() >= 800)
                return window;
        }
        return Testing::TreeWindow {};
    };
    // "Words…" is the second enabled item of the menu when no word is due.
    const auto openWords = [&](QProcess &app, QByteArray &log, qsizetype &seen) {
        const QRect icon = Testing::trayIconOf(d, app.processId());
        return !icon.isEmpty() && Testing::chooseInTrayMenu(d, icon, app.processId(), 2)
            && waitForOutput(app, log, seen, wordsActive);
    };

    auto first = startApp({QStringLiteral("--autostart")}, QStringLiteral("debug"));
    QByteArray firstLog;
    qsizetype firstSeen = 0;
    ASSERT_TRUE(waitForOutput(*first, firstLog, firstSeen, "idle after")) << firstLog.toStdString();
    ASSERT_TRUE(openWords(*first, firstLog, firstSeen)) << firstLog.toStdString();
    const Testing::TreeWindow words = wordsWindow(first->processId());
    ASSERT_NE(words.window, 0u);
    // The user's frame. The program takes it in before the click on Quit: the server sends it the
    // change first.
    const QRect chosen(60, 50, 900, 600);
    XMoveResizeWindow(d, words.window, chosen.x(), chosen.y(), unsigned(chosen.width()), unsigned(chosen.height()));
    XSync(d, False);
    ASSERT_TRUE(Testing::spinUntil([&] { return wordsWindow(first->processId()).frame == chosen; }, 10s));

    const QRect firstIcon = Testing::trayIconOf(d, first->processId());
    ASSERT_TRUE(Testing::chooseInTrayMenu(d, firstIcon, first->processId(), -1)) << "the tray menu did not open";
    QThread::msleep(200);
    auto second = startApp({QStringLiteral("--autostart")}, QStringLiteral("debug"));
    ASSERT_TRUE(first->waitForFinished(30000)) << "Quit did not end the first copy";
    firstLog += first->readAll();

    QByteArray secondLog;
    qsizetype secondSeen = 0;
    ASSERT_TRUE(waitForOutput(*second, secondLog, secondSeen, "idle after"))
        << secondLog.toStdString() << "\nfirst copy:\n"
        << firstLog.toStdString();
    EXPECT_EQ(second->state(), QProcess::Running);
    EXPECT_TRUE(nameOwned());
    EXPECT_FALSE(Testing::trayIconOf(d, second->processId()).isEmpty()) << "the new copy shows its tray icon";

    ASSERT_TRUE(openWords(*second, secondLog, secondSeen)) << secondLog.toStdString();
    const QRect reopened = wordsWindow(second->processId()).frame;
    EXPECT_EQ(reopened, chosen) << reopened.x() << "," << reopened.y() << " " << reopened.width() << "x"
                                << reopened.height();

    // Not stop(): the speech library the Words window asked for a voice leaves replies unfreed,
    // which the sanitizer build reports as it ends.
    second->terminate();
    EXPECT_TRUE(second->waitForFinished(20000));
    trayer.kill();
    trayer.waitForFinished(5000);
    XCloseDisplay(d);
    preferences.remove();
}

TEST(Shell, TheTrayIconIsEmbeddedAndItsMenuOpens)
{
    Display *d = XOpenDisplay(nullptr);
    ASSERT_TRUE(d);
    QProcess trayer;
    ASSERT_TRUE(Testing::startTrayPanel(d, trayer))
        << "trayer is missing (scripts/install-deps.sh installs it) or took no tray";

    // Onboarding done, so that the only windows of the program are the icon and its menu.
    QFile preferences(onboardingDone());
    auto app = startApp({QStringLiteral("--autostart")});
    QByteArray log;
    ASSERT_TRUE(Testing::spinUntil(
        [&] {
            log += app->readAll();
            return log.contains("tray icon shown after");
        },
        60s))
        << log.toStdString();
    std::vector<QRect> windows;
    ASSERT_TRUE(Testing::spinUntil(
        [&] {
            windows = windowsOf(d, app->processId());
            return !windows.empty();
        },
        10s));
    const QRect icon = windows.front();
    EXPECT_LE(icon.width(), 32);
    EXPECT_LT(icon.top(), 24) << "inside the tray at the top edge";

    // A click on the icon opens the menu: a second window of the process, below the icon.
    XTestFakeMotionEvent(d, -1, icon.center().x(), icon.center().y(), CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XFlush(d);
    ASSERT_TRUE(Testing::spinUntil(
        [&] {
            windows = windowsOf(d, app->processId());
            return windows.size() >= 2;
        },
        10s))
        << "the menu did not open";
    const auto menu = std::max_element(windows.begin(), windows.end(),
                                       [](const QRect &a, const QRect &b) { return a.height() < b.height(); });
    EXPECT_GT(menu->height(), 300) << "the whole menu, some twenty rows";
    EXPECT_LE(menu->top(), icon.bottom() + 40) << "the menu opens at the icon";

    const QString shots = Testing::sourcePath(QStringLiteral("build/screenshots"));
    QDir().mkpath(shots);
    QProcess::execute(QStringLiteral("import"),
                      {"-window", "root", "-crop",
                       QStringLiteral("%1x%2+%3+0")
                           .arg(menu->width() + 40)
                           .arg(menu->bottom() + 10)
                           .arg(std::max(0, menu->left() - 20)),
                       shots + "/tray-menu-open.png"});
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, XStringToKeysym("Escape")), True, CurrentTime);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, XStringToKeysym("Escape")), False, CurrentTime);
    XFlush(d);

    EXPECT_TRUE(stop(*app));
    trayer.kill();
    trayer.waitForFinished(5000);
    XCloseDisplay(d);
    preferences.remove();
}

TEST(Shell, TheTrayIconStandsOutOnALightAndOnADarkPanel)
{
    Display *d = XOpenDisplay(nullptr);
    ASSERT_TRUE(d);
    QFile preferences(onboardingDone());
    const Atom trayOwner = XInternAtom(d, "_NET_SYSTEM_TRAY_S0", False);
    for (const auto &[name, tint] : {std::pair {"light", 0xf0f0f0u}, std::pair {"dark", 0x202124u}}) {
        SCOPED_TRACE(name);
        // A panel of one colour all over: trayer's tint, fully opaque.
        QProcess trayer;
        ASSERT_TRUE(Testing::startTrayPanel(d, trayer,
                                            {QStringLiteral("--transparent"), QStringLiteral("true"),
                                             QStringLiteral("--alpha"), QStringLiteral("0"), QStringLiteral("--tint"),
                                             QStringLiteral("0x%1").arg(tint, 6, 16, QLatin1Char('0'))}))
            << "trayer is missing (scripts/install-deps.sh installs it) or took no tray";

        auto app = startApp({QStringLiteral("--autostart")});
        QByteArray log;
        ASSERT_TRUE(Testing::spinUntil(
            [&] {
                log += app->readAll();
                return log.contains("tray icon shown after");
            },
            60s))
            << log.toStdString();
        std::vector<QRect> windows;
        ASSERT_TRUE(Testing::spinUntil(
            [&] {
                windows = windowsOf(d, app->processId());
                return !windows.empty();
            },
            10s));
        // Drawn by now, or within a moment: wait until the icon's pixels stop being the panel's. The
        // panel may still be laying out the icon it has just taken in, so its place is read afresh.
        QRect icon = windows.front();
        const QColor panel = QColor::fromRgb(QRgb(tint));
        const auto standingOut = [&] {
            if (const auto now = windowsOf(d, app->processId()); !now.empty())
                icon = now.front();
            XImage *image = XGetImage(d, DefaultRootWindow(d), icon.x(), icon.y(), unsigned(icon.width()),
                                      unsigned(icon.height()), AllPlanes, ZPixmap);
            if (!image)
                return 0;
            int count = 0;
            for (int y = 0; y < icon.height(); ++y) {
                for (int x = 0; x < icon.width(); ++x) {
                    const QColor pixel = QColor::fromRgb(QRgb(XGetPixel(image, x, y)));
                    if (std::abs(pixel.lightness() - panel.lightness()) >= 100)
                        ++count;
                }
            }
            XDestroyImage(image);
            return count;
        };
        // The outline of the bubble alone is some sixty pixels in strong contrast with the panel; an
        // icon in the panel's own tone has none.
        EXPECT_TRUE(Testing::spinUntil([&] { return standingOut() >= 40; }, 10s))
            << standingOut() << " pixels stand out of " << icon.width() * icon.height();

        const QString shots = Testing::sourcePath(QStringLiteral("build/screenshots"));
        QDir().mkpath(shots);
        QProcess::execute(QStringLiteral("import"),
                          {"-window", "root", "-crop",
                           QStringLiteral("%1x24+%2+0").arg(icon.width() + 4).arg(std::max(0, icon.left() - 2)),
                           shots + QStringLiteral("/tray-panel-%1.png").arg(QString::fromLatin1(name))});
        EXPECT_TRUE(stop(*app));
        trayer.kill();
        trayer.waitForFinished(5000);
        ASSERT_TRUE(Testing::spinUntil([&] { return XGetSelectionOwner(d, trayOwner) == None; }, 10s));
    }
    XCloseDisplay(d);
    preferences.remove();
}
