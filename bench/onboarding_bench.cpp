// The first-run guide's demonstration: what one frame of its animation costs to paint, and what the
// window costs while it loops. Run inside the private session:
//   scripts/run-session.sh build/dev/bench/onboarding_bench [seconds]
// Frame: every frame the animations produce over two full loops is painted once more into an image
// the demonstration's size, and timed (the widget's own paint work, no X round trip). CPU: user +
// system time of the whole process (painting, X requests, timers) over the loop on a real X server,
// as a share of one core. Figures are printed; nothing is asserted.

#include "Fakes/FakeCoordinator.h"
#include "Fakes/FakeMotionPreference.h"
#include "Features/Onboarding/Views/OnboardingDemos.h"
#include "Features/Onboarding/Views/OnboardingWindow.h"
#include "Timings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QVariantAnimation>

#include <sys/resource.h>

#include <cstdio>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

// Waits in the event loop, asleep between events (a busy wait would be measured as the window's).
void runFor(std::chrono::milliseconds time)
{
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    CoordinatorOverFakes scene;
    scene.grant(true, true);
    Appearance appearance {std::nullopt};
    // The real clock: the loop advances the way it does on screen.
    OnboardingWindow window(*scene.controller, std::make_shared<FakeMotionPreference>(), Clock::system(), appearance);
    window.show();
    runFor(std::chrono::milliseconds(500));

    HoverDemo &demo = *window.hoverDemo();
    QImage frame(demo.size() * demo.devicePixelRatioF(), QImage::Format_ARGB32_Premultiplied);
    frame.setDevicePixelRatio(demo.devicePixelRatioF());
    std::vector<double> frameMs;
    for (QVariantAnimation *animation : demo.findChildren<QVariantAnimation *>()) {
        QObject::connect(animation, &QVariantAnimation::valueChanged, &demo, [&] {
            frame.fill(Qt::transparent);
            QElapsedTimer timer;
            timer.start();
            demo.render(&frame);
            frameMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        });
    }
    runFor(std::chrono::milliseconds(11400));
    Bench::report("demonstration frame (paint, animating)", frameMs);

    // The same loop with nobody measuring it: the window's own cost on the X server.
    for (QVariantAnimation *animation : demo.findChildren<QVariantAnimation *>())
        QObject::disconnect(animation, &QVariantAnimation::valueChanged, &demo, nullptr);
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(std::chrono::seconds(seconds));
    const double cpu = cpuSeconds() - before;
    std::printf("%-44s %.1f s looping: %.3f s CPU = %.2f %% of one core\n", "window while the demonstration loops",
                double(wall.elapsed()) / 1000.0, cpu, 100.0 * cpu / (double(wall.elapsed()) / 1000.0));
    window.close();
    return 0;
}
