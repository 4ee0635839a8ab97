// Opening Settings and switching its tabs, measured inside the private session:
//   scripts/run-session.sh --wm build/dev/bench/settings_window_bench
// Opening: building the window and its panes until its first paint has been delivered. Switching:
// selecting a tab through the coordinator until the new pane has painted. The Apps tab's catalogue
// read (the real installed-application catalogue) is measured on its own: the pane does it after
// its first paint.

#include "Fakes/FakeCoordinator.h"
#include "Features/Settings/Views/SettingsWindow.h"
#include "Models/AppCatalog.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

struct Stage
{
    CoordinatorOverFakes scene;
    Appearance appearance {std::nullopt};
    FakeUpdater updater;

    std::unique_ptr<SettingsWindow> make()
    {
        SettingsWindow::Dependencies d;
        d.controller = scene.controller.get();
        d.appearance = &appearance;
        d.updater = &updater;
        d.presence = std::make_shared<FakePresence>();
        return std::make_unique<SettingsWindow>(std::move(d));
    }
};

void paint(QWidget &window)
{
    window.repaint();
    QCoreApplication::processEvents();
}

void OpenSettingsToFirstPaint(benchmark::State &state)
{
    Stage stage;
    for (auto _ : state) {
        auto window = stage.make();
        window->present();
        paint(*window);
        state.PauseTiming();
        window.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(OpenSettingsToFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(20);

void SwitchTab(benchmark::State &state)
{
    Stage stage;
    auto window = stage.make();
    window->present();
    paint(*window);
    const auto &tabs = SettingsTabs::allCases();
    size_t next = 0;
    for (auto _ : state) {
        stage.scene.controller->setSelectedSettingsTab(tabs[++next % tabs.size()]);
        paint(*window);
    }
}
BENCHMARK(SwitchTab)->Unit(benchmark::kMillisecond)->Iterations(100);

void ReadInstalledApps(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(AppCatalog::installed());
}
BENCHMARK(ReadInstalledApps)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
