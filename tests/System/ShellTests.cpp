// The program's shell in the private session: one copy per session however many start at once (and
// without a session bus, through its lock file), a second launch bringing the first one's Settings
// forward (also from a copy that is slow to answer), a start just after a quit or while an ending copy
// holds the name or still writes its files running as the one copy, Quit over the bus answered, and
// the tray icon embedded in a real tray host (trayer) with its menu opening on a click (screenshot in
// build/screenshots/).

#include "Features/Words/WordsWindows.h"
#include "Native/Session/SingleInstance.h"
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
#include <cstdio>
#include <functional>

#include <csignal>

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

// A copy of the program started by the user over settings and data folders of its own, which decide
// what it opens: the first-run guide, or Settings when the guide is done. No settings at all: a first
// run.
std::unique_ptr<Testing::RunningLumivox> startedByTheUser(const QByteArray &preferences = {})
{
    return std::make_unique<Testing::RunningLumivox>(preferences, QStringList {});
}

} // namespace

// The child half of the next test, run as a process of its own: a copy that is ending. It has given
// the session's name up and holds what tells a new start that it still writes its files, until its
// standard input closes.
TEST(ShellChild, DISABLED_AnEndingCopy)
{
    const auto instance = Native::SingleInstance::claim(QStringLiteral("app.lumivox"));
    ASSERT_EQ(instance->role(), Native::SingleInstance::Role::primary);
    instance->release();
    // Every way of ending releases; only the first does anything.
    instance->release();
    std::puts("the name is given up; still writing");
    std::fflush(stdout);
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) { }
}

// A start while the copy that was running still writes its files (its settings, its words) runs as
// the one copy but reads them only once they are written; a copy that never finishes is waited for a
// while and not forever.
TEST(Shell, AStartWhileACopyIsEndingReadsItsFilesOnceTheyAreWritten)
{
    for (const bool finishes : {true, false}) {
        SCOPED_TRACE(finishes ? "the ending copy finishes" : "the ending copy never finishes");
        QProcess ending;
        ending.setProcessChannelMode(QProcess::MergedChannels);
        ending.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--gtest_also_run_disabled_tests"),
                      QStringLiteral("--gtest_filter=ShellChild.DISABLED_AnEndingCopy")});
        QByteArray endingLog;
        qsizetype endingSeen = 0;
        ASSERT_TRUE(waitForOutput(ending, endingLog, endingSeen, "the name is given up")) << endingLog.toStdString();
        ASSERT_FALSE(nameOwned()) << "the ending copy gave its name up first";
        EXPECT_FALSE(endingLog.contains("cannot hold the lock")) << endingLog.toStdString();

        // No settings on disk yet: read now, they would make this a first run.
        auto app = startedByTheUser();
        ASSERT_TRUE(app->waitForLog("still writing its files; waiting for it", 60s)) << app->logText();
        if (finishes) {
            // The ending copy's last write: the guide is done. Then it ends.
            QFile preferences(app->preferencesPath());
            ASSERT_TRUE(preferences.open(QIODevice::WriteOnly));
            preferences.write(Testing::RunningLumivox::everydayPreferences);
            preferences.close();
            ending.closeWriteChannel();
            ASSERT_TRUE(ending.waitForFinished(30000));
            ASSERT_TRUE(app->waitForLog("window active: settings", 60s)) << app->logText();
            EXPECT_FALSE(app->log.contains("window active: onboarding")) << app->logText();
        } else {
            ASSERT_TRUE(app->waitForLog("not waiting longer", 60s)) << app->logText();
            ASSERT_TRUE(app->waitForLog("idle after", 60s)) << app->logText();
            ending.closeWriteChannel();
            ASSERT_TRUE(ending.waitForFinished(30000));
        }
        EXPECT_TRUE(nameOwned());
        app->process.terminate();
        ASSERT_TRUE(app->process.waitForFinished(20000));
        EXPECT_EQ(app->process.exitCode(), 0) << app->logText();
        if (finishes) {
            QFile preferences(app->preferencesPath());
            ASSERT_TRUE(preferences.open(QIODevice::ReadOnly));
            EXPECT_TRUE(preferences.readAll().contains("\"hasCompletedOnboarding\": true"))
                << "the new copy wrote over what the ending one left";
        }
        ASSERT_TRUE(Testing::spinUntil([] { return !nameOwned(); }, 10s));
    }
}

// A copy that is running but does not answer for a while (stopped here) is asked to come forward and
// does once it runs again; the start that asked ends as the second copy. One that is gone leaves the
// session to the next start.
TEST(Shell, ACopySlowToAnswerIsToldApartFromOneThatIsGone)
{
    Display *d = XOpenDisplay(nullptr);
    ASSERT_TRUE(d);
    QFile preferences(onboardingDone());
    auto first = startApp({QStringLiteral("--autostart")}, QStringLiteral("debug"));
    QByteArray firstLog;
    qsizetype firstSeen = 0;
    ASSERT_TRUE(waitForOutput(*first, firstLog, firstSeen, "idle after")) << firstLog.toStdString();
    ASSERT_TRUE(Testing::spinUntil(nameOwned, 30s));

    ::kill(pid_t(first->processId()), SIGSTOP);
    auto second = startApp();
    const bool secondEnded = second->waitForFinished(60000);
    ::kill(pid_t(first->processId()), SIGCONT);
    ASSERT_TRUE(secondEnded);
    const QByteArray secondLog = second->readAll();
    EXPECT_EQ(second->exitCode(), 0) << secondLog.toStdString();
    EXPECT_TRUE(secondLog.contains("already running")) << secondLog.toStdString();
    EXPECT_TRUE(Testing::spinUntil([&] { return !windowsOf(d, first->processId()).empty(); }, 30s))
        << "the first copy did not come forward once it ran again";

    ::kill(pid_t(first->processId()), SIGKILL);
    ASSERT_TRUE(first->waitForFinished(20000));
    auto third = startApp({QStringLiteral("--autostart")}, QStringLiteral("debug"));
    QByteArray thirdLog;
    qsizetype thirdSeen = 0;
    ASSERT_TRUE(waitForOutput(*third, thirdLog, thirdSeen, "idle after")) << thirdLog.toStdString();
    EXPECT_FALSE(thirdLog.contains("did not answer")) << thirdLog.toStdString();
    EXPECT_TRUE(nameOwned());
    EXPECT_TRUE(stop(*third)) << third->readAll().toStdString();
    XCloseDisplay(d);
    preferences.remove();
}

// Without a session bus the lock file in the runtime folder stands for the name: of two copies
// started together exactly one runs, a later start ends, and the lock a killed copy left behind does
// not keep the next start from running.
TEST(Shell, WithoutASessionBusTheLockFileLetsExactlyOneCopyRun)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const auto startWithoutBus = [&] {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           QStringLiteral("unix:path=") + runtime.filePath(QStringLiteral("no-bus")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("app.lumivox.*.debug=true"));
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->start(appPath(), {QStringLiteral("--autostart")});
        return process;
    };
    const auto running = [](QProcess &process) {
        QByteArray log;
        qsizetype seen = 0;
        return waitForOutput(process, log, seen, "idle after");
    };

    constexpr int rounds = 3;
    std::unique_ptr<QProcess> staying;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE(round);
        auto first = startWithoutBus();
        auto second = startWithoutBus();
        ASSERT_TRUE(Testing::spinUntil(
            [&] { return first->state() == QProcess::NotRunning || second->state() == QProcess::NotRunning; }, 60s));
        QProcess &gone = first->state() == QProcess::NotRunning ? *first : *second;
        const QByteArray goneLog = gone.readAll();
        EXPECT_EQ(gone.exitCode(), 0) << goneLog.toStdString();
        EXPECT_TRUE(goneLog.contains("already running ( \"lock file\" )")) << goneLog.toStdString();
        staying = std::move(&gone == first.get() ? second : first);
        ASSERT_TRUE(running(*staying));
        QCoreApplication::processEvents();
        ASSERT_EQ(staying->state(), QProcess::Running);
        if (round + 1 < rounds) {
            EXPECT_TRUE(stop(*staying)) << staying->readAll().toStdString();
        }
    }

    // Killed: nothing of it gives the lock up, and the next start runs all the same.
    ::kill(pid_t(staying->processId()), SIGKILL);
    ASSERT_TRUE(staying->waitForFinished(20000));
    ASSERT_TRUE(QFileInfo::exists(runtime.filePath(QStringLiteral("app.lumivox.lock"))));
    auto next = startWithoutBus();
    ASSERT_TRUE(running(*next));
    auto later = startWithoutBus();
    ASSERT_TRUE(later->waitForFinished(60000));
    EXPECT_EQ(later->exitCode(), 0);
    EXPECT_EQ(next->state(), QProcess::Running);
    EXPECT_TRUE(stop(*next)) << next->readAll().toStdString();
}

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
