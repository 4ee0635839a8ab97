// CPU used by the pointer tracker over the real X11 input backend: while the pointer rests and
// while it moves without pause. Run inside the private session:
//   scripts/run-session.sh build/release/bench/pointer_tracking_bench [seconds]
// The pointer is moved by a child process with XTest, so its own work is not counted here.

#include "Services/Detection/MouseTracker.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double processCpuSeconds()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// A child that waits for a byte on `go`, then moves the pointer back and forth at `hertz` until
// killed. Forked before the application object exists, so it carries no Qt state or threads.
pid_t forkMover(int hertz, int &go)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid != 0) {
        close(fds[0]);
        go = fds[1];
        return pid;
    }
    close(fds[1]);
    char byte = 0;
    if (read(fds[0], &byte, 1) != 1)
        _exit(0);
    Display *d = XOpenDisplay(nullptr);
    if (!d)
        _exit(1);
    const long periodNs = 1'000'000'000L / hertz;
    timespec next {};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (int i = 0;; ++i) {
        // A 400-pixel sweep in 4-pixel steps: every step is a move the tracker reports.
        const int phase = i % 200;
        const int x = 300 + 4 * (phase < 100 ? phase : 200 - phase);
        XTestFakeMotionEvent(d, -1, x, 400, CurrentTime);
        XFlush(d);
        next.tv_nsec += periodNs;
        while (next.tv_nsec >= 1'000'000'000L) {
            next.tv_nsec -= 1'000'000'000L;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
}

void stopMover(pid_t pid)
{
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

struct Counts
{
    long moves = 0;
    long stills = 0;
};

void runFor(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU ticks per thread, to tell our own main thread from Qt's helper threads.
std::map<QString, long> threadTicks()
{
    std::map<QString, long> out;
    for (const QString &tid : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(tid));
        if (!stat.open(QIODevice::ReadOnly) || !comm.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        out[QString::fromUtf8(comm.readAll()).trimmed() + QLatin1Char('/') + tid] =
            fields.value(11).toLong() + fields.value(12).toLong();
    }
    return out;
}

void reportThreads(const std::map<QString, long> &before)
{
    const long hz = sysconf(_SC_CLK_TCK);
    for (const auto &[name, ticks] : threadTicks()) {
        const long spent = ticks - (before.count(name) ? before.at(name) : 0);
        if (spent > 0)
            std::printf("    thread %-24s %6.0f ms\n", qPrintable(name), 1000.0 * spent / hz);
    }
}

void report(const char *what, double seconds, double cpu, const Counts &counts)
{
    std::printf("%-34s %6.1f s wall  %8.2f ms CPU  %6.3f %% of one core  %7ld moves  %4ld stillness\n", what, seconds,
                cpu * 1000, 100.0 * cpu / seconds, counts.moves, counts.stills);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const int rates[] = {125, 1000};
    int go[2] = {-1, -1};
    pid_t movers[2] = {forkMover(rates[0], go[0]), forkMover(rates[1], go[1])};
    QApplication app(argc, argv);

    Lumivox::MouseTracker tracker;
    Counts counts;
    QObject::connect(&tracker, &Lumivox::MouseTracker::positionChanged, [&] { ++counts.moves; });
    QObject::connect(&tracker, &Lumivox::MouseTracker::pointerRested, [&] { ++counts.stills; });
    tracker.start();
    runFor(0.5); // let start-up work settle

    double before = processCpuSeconds();
    runFor(seconds);
    report("pointer at rest", seconds, processCpuSeconds() - before, counts);

    for (int i = 0; i < 2; ++i) {
        const int hertz = rates[i];
        const pid_t mover = movers[i];
        if (mover <= 0 || write(go[i], "x", 1) != 1) {
            std::printf("could not start the pointer mover\n");
            return 1;
        }
        runFor(0.3);
        counts = {};
        const auto ticksBefore = threadTicks();
        before = processCpuSeconds();
        runFor(seconds);
        const double cpu = processCpuSeconds() - before;
        reportThreads(ticksBefore);
        stopMover(mover);
        char label[64];
        std::snprintf(label, sizeof label, "pointer moving, %d Hz", hertz);
        report(label, seconds, cpu, counts);
        runFor(0.5);
    }
    tracker.stop();
    return 0;
}
