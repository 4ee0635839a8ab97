// The ends of a session that come without a word from the user: the terminal the program was started
// from closes (SIGHUP), or the X server goes away (a logout without a session manager, a crash). A
// word saved with Alt+S just before, still waiting for its delayed write, is in Words.json all the
// same, and the program ends with the status it should. The first-run guide is open all the while:
// after the X server is gone, no window may be closed (nor its animations stopped) on the dead
// connection. The loss of the X server is tried ten times, each on an X server of its own.

#include "Support/FocusedWindow.h"
#include "Support/RunningLumivox.h"
#include "Support/XTestInjector.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <csignal>
#include <cstdio>
#include <memory>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

// An X server of the test's own; its display is DISPLAY while the test starts its clients.
class OwnDisplay
{
public:
    OwnDisplay()
    {
        m_server.setProgram(QStringLiteral("Xvfb"));
        m_server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                               QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                               QStringLiteral("tcp")});
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server.start();
        spinUntil([&] { return m_server.canReadLine() || m_server.state() == QProcess::NotRunning; }, 15s);
        const QByteArray number = m_server.readLine().trimmed();
        if (!number.isEmpty())
            name = ':' + number;
    }
    ~OwnDisplay() { end(); }
    void end()
    {
        m_server.kill();
        m_server.waitForFinished(10000);
    }

    QByteArray name;

private:
    QProcess m_server;
};

// DISPLAY names another server while it lives.
class DisplayOverride
{
public:
    explicit DisplayOverride(const QByteArray &display)
        : m_saved(qgetenv("DISPLAY"))
    {
        qputenv("DISPLAY", display);
    }
    ~DisplayOverride() { qputenv("DISPLAY", m_saved); }

private:
    QByteArray m_saved;
};

} // namespace

TEST(SessionEnd, AWordSavedJustBeforeSighupOrTheLossOfTheXServerIsWritten)
{
    struct Row
    {
        const char *name;
        int runs;
        std::function<void(RunningLumivox &, OwnDisplay &)> end;
        int exitCode;
        const char *logged;
        /// Nothing may be closed or drawn on a display that is gone.
        bool displayGone;
    };
    const std::vector<Row> rows {
        {"SIGHUP", 1, [](RunningLumivox &app, OwnDisplay &) { ::kill(app.process.processId(), SIGHUP); }, 0,
         "received Hangup", false},
        {"the X server killed", 10, [](RunningLumivox &, OwnDisplay &display) { display.end(); }, 1,
         "lost the connection to the X server", true},
    };
    // A first run started by the user: the guide opens.
    const QByteArray firstRun = R"({"translateTarget": "es", "holdKey": "option", "wordsAskedAboutHistory": true})";
    for (const Row &row : rows) {
        int endedRight = 0;
        for (int run = 0; run < row.runs; ++run) {
            SCOPED_TRACE(std::string(row.name) + ", run " + std::to_string(run + 1));
            OwnDisplay display;
            ASSERT_FALSE(display.name.isEmpty()) << "Xvfb did not start";
            std::unique_ptr<RunningLumivox> app;
            std::unique_ptr<XTestInjector> keys;
            FixtureProcess gtk;
            std::unique_ptr<FocusedWindow> focused;
            {
                const DisplayOverride onOwnDisplay(display.name);
                keys = std::make_unique<XTestInjector>();
                app = std::make_unique<RunningLumivox>(firstRun, QStringList {});
                ASSERT_TRUE(gtk.start(QStringLiteral("gtk_text_fixture"), {QStringLiteral("--at"), "40", "40"}));
                focused = std::make_unique<FocusedWindow>(QStringLiteral("700,500,300,200"));
            }
            ASSERT_TRUE(keys->ok());
            ASSERT_TRUE(app->waitUntilIdle()) << app->logText();
            ASSERT_TRUE(app->waitForLog("window active: onboarding", 30s)) << app->logText();
            const QRect pineapple = wordBox(gtk, "view:pineapple");
            ASSERT_FALSE(pineapple.isEmpty());
            ASSERT_NE(focused->windowID(), 0u);

            ASSERT_TRUE(app->moveAndRest(*keys, pineapple.center())) << app->logText();
            keys->key(XK_Alt_L, true);
            ASSERT_TRUE(app->waitForLog("tooltip keys armed", 15s)) << app->logText();
            keys->tap(XK_s);
            ASSERT_TRUE(app->waitForLog("the word shown was saved", 5s)) << app->logText();
            // The window's title, read for the saved word on a worker thread: the end comes after it,
            // not in the middle of it.
            ASSERT_TRUE(app->waitForLog("the window title", 5s)) << app->logText();
            keys->key(XK_Alt_L, false);
            // Nothing of the test may still talk to a server that is about to go.
            keys.reset();
            ASSERT_FALSE(app->savedWords().contains("\"pineapple\"")) << "the write waits for its delay";

            row.end(*app, display);
            ASSERT_TRUE(app->process.waitForFinished(30000));
            app->log += app->process.readAllStandardError();
            EXPECT_EQ(app->process.exitStatus(), QProcess::NormalExit) << app->logText();
            EXPECT_EQ(app->process.exitCode(), row.exitCode) << app->logText();
            const qsizetype ended = app->log.indexOf(row.logged);
            EXPECT_GE(ended, 0) << app->logText();
            if (row.displayGone) {
                EXPECT_EQ(app->log.indexOf("window closed:", ended), -1) << app->logText();
            }
            const bool saved = app->savedWords().contains("\"pineapple\"");
            EXPECT_TRUE(saved) << "Words.json: " << app->savedWords().toStdString() << app->logText();
            if (app->process.exitStatus() == QProcess::NormalExit && app->process.exitCode() == row.exitCode && saved)
                ++endedRight;
            focused.reset();
            gtk.stop();
        }
        std::printf("[tally] %s: exit %d with the word written in %d of %d runs\n", row.name, row.exitCode, endedRight,
                    row.runs);
        std::fflush(stdout);
    }
}
