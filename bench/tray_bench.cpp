// The tray: building the menu when it opens (the model's rows, and the rows turned into menu items),
// and, given the program's path, the cold start of the real program to its icon embedded in a tray
// host. Run inside the private session:
//   scripts/run-session.sh build/dev/bench/tray_bench [path/to/lumivox [runs]]
// Figures are printed; nothing is asserted.

#include "Fakes/ShellHarness.h"
#include "Features/Shell/Views/TrayMenu.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

void BM_MenuRows(benchmark::State &state)
{
    ShellHarness h;
    for (auto _ : state)
        benchmark::DoNotOptimize(h.menu->rows());
}
BENCHMARK(BM_MenuRows)->Unit(benchmark::kMicrosecond);

// What aboutToShow costs: the due count, the rows and every menu item with its submenus.
void BM_MenuAboutToShow(benchmark::State &state)
{
    ShellHarness h;
    for (int i = 0; i < 50; ++i)
        h.book->save(lookup(QStringLiteral("word%1").arg(i), h.now()), h.now());
    TrayMenu menu(*h.menu);
    for (auto _ : state) {
        menu.rebuild();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
BENCHMARK(BM_MenuAboutToShow)->Unit(benchmark::kMillisecond);

// From the start of the process to "tray icon shown" in its log, with trayer holding the tray.
void coldStart(const QString &program, int runs)
{
    QProcess trayer;
    trayer.start(QStringLiteral("trayer"),
                 {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24", "--SetDockType",
                  "true", "--transparent", "false"});
    if (!trayer.waitForStarted(5000)) {
        std::printf("cold start: trayer could not start\n");
        return;
    }
    QThread::msleep(500);
    std::vector<double> times;
    for (int run = 0; run <= runs; ++run) {
        QProcess app;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("app.lumivox.App.info=true"));
        app.setProcessEnvironment(environment);
        app.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer timer;
        timer.start();
        app.start(program, {QStringLiteral("--autostart")});
        QByteArray log;
        while (!log.contains("tray icon shown after") && timer.elapsed() < 20000 && app.waitForReadyRead(20000))
            log += app.readAll();
        const double ms = timer.nsecsElapsed() / 1e6;
        app.terminate();
        app.waitForFinished(10000);
        if (!log.contains("tray icon shown after")) {
            std::printf("cold start: no tray icon within 20 s\n%s\n", log.constData());
            break;
        }
        if (run > 0) // the first run only warms the disk
            times.push_back(ms);
    }
    trayer.kill();
    trayer.waitForFinished(5000);
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    std::printf("cold start to tray icon shown: median %.0f ms, best %.0f ms, worst %.0f ms over %zu runs (goal: "
                "under 400 ms)\n",
                times[times.size() / 2], times.front(), times.back(), times.size());
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("LUMIVOX_HOSTING_TESTS", "1");
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    if (argc > 1) {
        qunsetenv("LUMIVOX_HOSTING_TESTS");
        coldStart(QString::fromLocal8Bit(argv[1]), argc > 2 ? std::atoi(argv[2]) : 10);
    }
    return 0;
}
