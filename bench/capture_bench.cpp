// Capture of a 640 x 80 strip. Needs a display: scripts/run-session.sh build/dev/bench/capture_bench
// Prints p50/p95 of the raw backend capture, of a whole captureRegion with the content cached
// (what a hover pays), and of a content fetch (what a hover pays after an invalidation).

#include "Features/Overlay/OverlayPanel.h"
#include "Native/Capture/ScreenCapture.h"
#include "Native/Services.h"
#include "Services/Detection/ScreenCaptureService.h"

#include "Support/FixtureProcess.h"
#include "Support/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace Lumivox;

namespace {

void report(const char *name, int runs, const std::function<void()> &body)
{
    body(); // warm
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        body();
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) { return ms[static_cast<std::size_t>(q * static_cast<double>(ms.size() - 1))]; };
    std::printf("%-44s runs %4d  p50 %8.3f ms  p95 %8.3f ms  max %8.3f ms\n", name, runs, at(0.5), at(0.95), ms.back());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    auto backend = Native::service<Native::ScreenCapture>();
    if (!backend->hasScreenRecordingPermission()) {
        std::fprintf(stderr, "capture_bench: no X display (run it inside scripts/run-session.sh)\n");
        return 1;
    }

    // Something to read, and our own tooltip inside the strip, which every capture paints out.
    Testing::FixtureProcess fixture;
    fixture.start(QStringLiteral("ocr_fixture"),
                  {QStringLiteral("0"), QStringLiteral("100"), QStringLiteral("700"), QStringLiteral("160")});
    OverlayPanel panel;
    panel.setGeometry(300, 110, 120, 30);
    panel.show();
    Testing::spinUntil([] { return false; }, std::chrono::milliseconds(300));

    const auto content = backend->shareableContent(false, true);
    const auto *listed = std::get_if<Native::ShareableContent>(&content);
    if (!listed || listed->displays.empty()) {
        std::fprintf(stderr, "capture_bench: no displays\n");
        return 1;
    }
    Native::DisplayFilter filter {listed->displays.front(), {}};
    const Native::CaptureConfiguration strip {QRectF(0, 100, 640, 80), QSize(640, 80), false};

    report("backend captureDisplay 640x80", 500, [&] { (void)backend->captureDisplay(filter, strip); });

    ScreenCaptureService service;
    report("captureRegion 640x80, content cached", 500,
           [&] { (void)Testing::await(service.captureRegion(QPointF(320, 140), std::nullopt, QSizeF(640, 80))); });
    report("shareableContent fetch", 50, [&] { (void)backend->shareableContent(false, true); });

    fixture.stop();
    return 0;
}
