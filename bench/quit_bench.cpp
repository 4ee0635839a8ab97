// How long the real program takes to end after the tray menu's Quit: from the key press that
// chooses Quit to the end of the process, once with no window opened and once after the Words
// window was opened (which starts the speech service). Run inside the private session:
//   scripts/run-session.sh build/release/bench/quit_bench build/release/src/App/lumivox [runs]
// Figures are printed; nothing is asserted. Goal: under 1 s on an idle machine.

#include "Features/Words/WordsWindows.h"
#include "Support/RunningLumivox.h"
#include "Timings.h"

#include <QApplication>
#include <QElapsedTimer>

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

// One start, optionally the Words window, then Quit from the tray; the time from the key press to
// the end of the process, or a negative value when something did not happen.
double quitOnce(Display *d, bool openWords)
{
    RunningLumivox app;
    if (!app.waitUntilIdle()) {
        std::printf("no start:\n%s\n", app.logText().c_str());
        return -1;
    }
    const qint64 pid = app.process.processId();
    const QRect icon = trayIconOf(d, pid);
    if (icon.isEmpty()) {
        std::printf("no tray icon\n");
        return -1;
    }
    // "Words…" is the second enabled item when no word is due; Quit comes once the window is up.
    if (openWords
        && !(chooseInTrayMenu(d, icon, pid, 2)
             && app.waitForLog("window active: " + WordsWindows::wordsID.toUtf8(), std::chrono::seconds(20)))) {
        std::printf("the Words window did not open\n");
        return -1;
    }
    if (!chooseInTrayMenu(d, icon, pid, -1)) {
        std::printf("the tray menu did not open\n");
        return -1;
    }
    QElapsedTimer sinceQuit;
    sinceQuit.start();
    if (!app.process.waitForFinished(30000)) {
        std::printf("still running 30 s after Quit\n");
        return -1;
    }
    return double(sinceQuit.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s path/to/lumivox [runs]\n", argv[0]);
        return 2;
    }
    qputenv("LUMIVOX_APP", argv[1]);
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    Display *d = XOpenDisplay(nullptr);
    QProcess trayer;
    if (!d || !startTrayPanel(d, trayer)) {
        std::fprintf(stderr, "needs the private session and trayer\n");
        return 1;
    }
    for (const bool openWords : {false, true}) {
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            const double ms = quitOnce(d, openWords);
            if (ms < 0)
                break;
            times.push_back(ms);
        }
        if (!times.empty())
            Bench::report(openWords ? "tray Quit to end, Words window opened" : "tray Quit to end, no window opened",
                          times);
    }
    trayer.kill();
    trayer.waitForFinished(5000);
    XCloseDisplay(d);
    return 0;
}
