// What the floating language picker costs: re-ranking the 54 languages for one keystroke (the
// search alone, and through the model with its list and view notified), and the time from
// showNear() until the X server has the panel on screen, the first showing of the program apart
// from later ones. Needs a display: scripts/run-session.sh build/dev/bench/language_picker_bench

#include "Features/Design/Appearance.h"
#include "Features/LanguagePicker/LanguagePickerModel.h"
#include "Features/LanguagePicker/Views/LanguagePickerPanel.h"
#include "Features/LanguagePicker/Views/LanguagePickerView.h"
#include "Support/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <cstdio>

using namespace Lumivox;

namespace {

// A user typing "spanish" and deleting it again: each step is one keystroke.
const QStringList keystrokes = [] {
    QStringList out;
    const QString word = QStringLiteral("spanish");
    for (qsizetype n = 1; n <= word.size(); ++n)
        out.append(word.left(n));
    for (qsizetype n = word.size() - 1; n >= 0; --n)
        out.append(word.left(n));
    return out;
}();

void BM_SectionsPerKeystroke(benchmark::State &state)
{
    const QStringList recents {QStringLiteral("fr"), QStringLiteral("ja"), QStringLiteral("de")};
    qsizetype i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(LanguagePickerModel::sections(keystrokes[i], recents));
        i = (i + 1) % keystrokes.size();
    }
}
BENCHMARK(BM_SectionsPerKeystroke);

void BM_TypingIntoTheOpenPicker(benchmark::State &state)
{
    Appearance appearance {std::nullopt};
    LanguagePickerPanel panel {appearance};
    panel.model()->prepare(QStringLiteral("fr"), {QStringLiteral("fr"), QStringLiteral("ja")}, false);
    panel.showNear(QPointF(300, 500));
    qsizetype i = 0;
    for (auto _ : state) {
        // Through the search field: model, list model and view all follow the keystroke.
        panel.view()->searchField()->setText(keystrokes[i]);
        i = (i + 1) % keystrokes.size();
    }
    panel.dismiss();
}
BENCHMARK(BM_TypingIntoTheOpenPicker);

void BM_PastedHugeQuery(benchmark::State &state)
{
    const QString pasted(100000, QLatin1Char('e'));
    for (auto _ : state)
        benchmark::DoNotOptimize(LanguagePickerModel::sections(pasted, {}));
}
BENCHMARK(BM_PastedHugeQuery)->Unit(benchmark::kMillisecond);

bool onScreen(LanguagePickerPanel &panel)
{
    return Testing::spinUntil([&] { return panel.windowHandle() && panel.windowHandle()->isExposed(); },
                              std::chrono::seconds(5));
}

void BM_ShowUntilOnScreen(benchmark::State &state)
{
    Appearance appearance {std::nullopt};
    LanguagePickerPanel panel {appearance};
    // The program is idle before the first hot key: the panel readies its view then.
    Testing::spinUntil([] { return false; }, std::chrono::milliseconds(500));
    panel.model()->prepare(QStringLiteral("fr"), {}, false);
    QElapsedTimer first;
    first.start();
    panel.showNear(QPointF(300, 500));
    if (!onScreen(panel)) {
        state.SkipWithError("the panel never reached the screen");
        return;
    }
    state.counters["first_ms"] = double(first.nsecsElapsed()) / 1e6;
    panel.dismiss();
    Testing::spinUntil([&] { return !panel.windowHandle()->isExposed(); });

    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        panel.model()->prepare(QStringLiteral("fr"), {}, false);
        panel.showNear(QPointF(300, 500));
        const bool shown = onScreen(panel);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (!shown) {
            state.SkipWithError("the panel never reached the screen");
            return;
        }
        panel.dismiss();
        Testing::spinUntil([&] { return !panel.windowHandle()->isExposed(); });
    }
}
BENCHMARK(BM_ShowUntilOnScreen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        std::fprintf(stderr, "language_picker_bench: not on X; the on-screen figure means nothing here\n");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
