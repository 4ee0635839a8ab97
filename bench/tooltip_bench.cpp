// The tooltip's cost: laying out and painting a glance tooltip (what every new word pays, goal
// under 2 ms at p95), and the time from display() to the panel's window being mapped and exposed
// (goal under 8 ms, one frame). The second needs a display:
//   scripts/run-session.sh build/dev/bench/tooltip_bench
// Each repetition is one measurement; the figures printed are their median and 95th percentile.

#include "Features/Overlay/OverlayPanel.h"
#include "Features/Overlay/Views/TooltipLayout.h"
#include "Shared/Platform/ScreenGeometry.h"
#include "Support/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

using namespace Lumivox;

namespace {

// Made in main, once the application exists, and gone before it.
OverlayPanel *displayedPanel = nullptr;

double percentile(const std::vector<double> &values, double q)
{
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    return sorted.empty() ? 0 : sorted[static_cast<std::size_t>(q * static_cast<double>(sorted.size() - 1))];
}

TooltipContent glanceContent(int variant)
{
    StyledText sentence(
        QStringLiteral("Corrió a la estación para tomar el último tren de la noche, número %1.").arg(variant));
    sentence.setInlinePresentationIntent({0, 6},
                                         InlinePresentationIntent(InlinePresentationIntent::stronglyEmphasized));
    TooltipContent c;
    c.glance = Glance {QStringLiteral("corrió %1").arg(variant),
                       EnglishGrammar::Line {QStringLiteral("verb"), QStringLiteral("past of run")}, sentence,
                       QStringLiteral("run")};
    WordStatus status;
    status.hasKeys = true;
    status.showsKeyHints = true;
    c.status = status;
    return c;
}

void LayoutAndPaintGlance(benchmark::State &state)
{
    const qreal ratio = static_cast<qreal>(state.range(0));
    int variant = 0;
    for (auto _ : state) {
        // A new meaning each time, so that no shaping is reused from the previous tooltip.
        const TooltipLayout layout(glanceContent(++variant), ArrowEdge::bottom);
        QImage image((layout.size() * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        layout.paint(painter, {});
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(LayoutAndPaintGlance)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(300)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("p95", [](const std::vector<double> &v) { return percentile(v, 0.95); });

void DisplayToMapped(benchmark::State &state)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        state.SkipWithError("needs an X display: run it inside scripts/run-session.sh");
        return;
    }
    OverlayPanel &panel = *displayedPanel;
    const QPointF near = ScreenGeometry::cocoaPoint(QPointF(400, 300), ScreenGeometry::primaryScreenMaxY());
    int variant = 0;
    for (auto _ : state) {
        state.PauseTiming();
        panel.hideTooltip();
        Testing::spinUntil([&] { return !panel.isVisible() && !panel.windowHandle()->isExposed(); });
        const TooltipContent content = glanceContent(++variant);
        QElapsedTimer timer;
        state.ResumeTiming();
        timer.start();
        panel.display(content, near);
        Testing::spinUntil([&] { return panel.windowHandle()->isExposed(); });
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(DisplayToMapped)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(100)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("p95", [](const std::vector<double> &v) { return percentile(v, 0.95); });

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const auto panel = std::make_unique<OverlayPanel>();
    displayedPanel = panel.get();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
