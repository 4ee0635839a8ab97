// Costs of the diagnostic log. The hover path only pays for `post` (what the static `note` does on
// the caller's thread: cleaning the texts and handing them to the log's executor); goal under 20 µs.
// The executor's share and the file write are shown for scale.
//   build/release/bench/diagnostic_log_bench

#include "Fakes/FakeClock.h"
#include "Shared/Diagnostics/DiagnosticLog.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Lumivox;
using namespace std::chrono_literals;

namespace {

DiagnosticLog::Note typicalNote(int i)
{
    return {.detail = QStringLiteral("ocr"),
            .app = QStringLiteral("org.mozilla.firefox"),
            .tally = AppTally::Update::shown(QStringLiteral("ocr")),
            .word = QStringLiteral("running%1").arg(i % 50),
            .meaning = QStringLiteral("corriendo"),
            .role = QStringLiteral("AXStaticText"),
            .ms = 120,
            .stages = QStringLiteral("window 3 \u00B7 ax 12 \u00B7 ocr 80 \u00B7 translate 140")};
}

// Long texts full of characters the cleaning drops: the most work `post` can be given.
DiagnosticLog::Note longNote()
{
    const QString noisy = QStringLiteral("Caf\u00E9, \"quoted\" (text)\n\u202Eweird\u202C ").repeated(8);
    return {.detail = noisy,
            .app = noisy,
            .tally = AppTally::Update::axMiss(QStringLiteral("capture empty"), noisy, QStringLiteral("first")),
            .word = noisy,
            .meaning = noisy,
            .role = noisy,
            .ms = 120,
            .stages = QStringLiteral("window 3")};
}

void BM_PostTypical(benchmark::State &state)
{
    DiagnosticLog log(std::nullopt, false, 1500ms);
    int i = 0;
    for (auto _ : state)
        log.post(DiagnosticReason::shown, typicalNote(i++));
    // After the loop, untimed: let the executor catch up before the log goes.
    benchmark::DoNotOptimize(log.flushBeforeQuit(60s));
}
BENCHMARK(BM_PostTypical)->Unit(benchmark::kMicrosecond);

void BM_PostLongTexts(benchmark::State &state)
{
    DiagnosticLog log(std::nullopt, false, 1500ms);
    const DiagnosticLog::Note note = longNote();
    for (auto _ : state)
        log.post(DiagnosticReason::ocrMiss, note);
    // After the loop, untimed: let the executor catch up before the log goes.
    benchmark::DoNotOptimize(log.flushBeforeQuit(60s));
}
BENCHMARK(BM_PostLongTexts)->Unit(benchmark::kMicrosecond);

// Caller and executor together: notes posted and recorded into a full log (200 events, evictions).
void BM_PostAndRecord(benchmark::State &state)
{
    DiagnosticLog log(std::nullopt, false, 1500ms);
    int i = 0;
    for (auto _ : state) {
        for (int n = 0; n < 100; ++n)
            log.post(n % 3 ? DiagnosticReason::shown : DiagnosticReason::pointerMoved, typicalNote(i++));
        benchmark::DoNotOptimize(log.flushBeforeQuit(60s));
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_PostAndRecord)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Writing a full file (on the executor, never on the caller's thread).
void BM_WriteFullFile(benchmark::State &state)
{
    QTemporaryDir dir;
    auto clock = std::make_shared<Testing::FakeClock>();
    DiagnosticLog log(dir.filePath(QStringLiteral("diagnostics.json")), false, 1500ms, clock);
    for (int i = 0; i < 400; ++i) {
        DiagnosticLog::Note note = longNote();
        note.app = QStringLiteral("app%1").arg(i % 40);
        log.post(DiagnosticReason::ocrMiss, note);
    }
    for (auto _ : state) {
        log.post(DiagnosticReason::captureEmpty, typicalNote(0));
        benchmark::DoNotOptimize(log.flushBeforeQuit(60s));
    }
}
BENCHMARK(BM_WriteFullFile)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
