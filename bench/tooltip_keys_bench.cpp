// The work a new tooltip adds on the UI thread: grabbing the save and copy keys on the X server (with
// their Caps Lock and Num Lock variants, each grab a round trip) and giving them back, and recording
// the look-up (building the record with its sentence's language, and the word book's record and
// saved-word check). Goals: under 2 ms to arm, under 2 ms to disarm, under 100 µs to record.
//
//   scripts/run-session.sh build/dev/bench/tooltip_keys_bench

#include "Fakes/FakeWordBookEnvironment.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Features/Coordinator/TooltipKeys.h"
#include "Shared/Async/Clock.h"

#include <QApplication>

#include <benchmark/benchmark.h>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

constexpr std::uint32_t alt = Native::HotKeyModifier::option;

void BM_ArmTooltipKeys(benchmark::State &state)
{
    TooltipKeys keys(Clock::system());
    for (auto _ : state) {
        keys.activate(alt);
        state.PauseTiming();
        if (!keys.isActive())
            state.SkipWithError("the keys could not be grabbed (no X display, or taken)");
        keys.deactivate();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ArmTooltipKeys)->Unit(benchmark::kMicrosecond);

void BM_DisarmTooltipKeys(benchmark::State &state)
{
    TooltipKeys keys(Clock::system());
    for (auto _ : state) {
        state.PauseTiming();
        keys.activate(alt);
        state.ResumeTiming();
        keys.deactivate();
    }
}
BENCHMARK(BM_DisarmTooltipKeys)->Unit(benchmark::kMicrosecond);

// A glance of a word met in a sentence, recorded into a book of a thousand look-ups, with the word
// unsaved (0) and saved (1, the heaviest record a hover makes). The sentence's language has been
// asked for by the hover's translation before the tooltip shows, as on the real road.
void BM_RecordLookup(benchmark::State &state)
{
    WordBookEnvironment environment;
    auto book = environment.makeBook(false);
    book->setKeepsHistory(true);
    for (int i = 0; i < 1000; ++i) {
        environment.clock->advance(std::chrono::minutes(1));
        book->record(lookup(QStringLiteral("word%1").arg(i), environment.now()));
    }
    HoverState hover;
    hover.recognizedText = QStringLiteral("river");
    hover.currentContext = QStringLiteral("The quiet river runs down to the sea every single day of the year.");
    hover.currentWordOffset = 10;
    hover.lastHoveredAppID = QStringLiteral("org.gnome.TextEditor");
    Glance glance;
    glance.meaning = QStringLiteral("río");
    glance.grammar = EnglishGrammar::Line {QStringLiteral("noun"), QStringLiteral("a stream")};
    glance.sentence = StyledText(QStringLiteral("El tranquilo río baja al mar cada día del año."));
    if (state.range(0) == 1) {
        book->toggleSave(HoverTextController::makeLookup(hover, glance.meaning, glance, QStringLiteral("es"),
                                                         QStringLiteral("Text Editor"), environment.now()),
                         environment.now());
    }
    for (auto _ : state) {
        // Far enough apart that no look-up is a repeat of the one before.
        environment.clock->advance(std::chrono::hours(1));
        const WordLookup l = HoverTextController::makeLookup(hover, glance.meaning, glance, QStringLiteral("es"),
                                                             QStringLiteral("Text Editor"), environment.now());
        benchmark::DoNotOptimize(book->record(l) && book->savedWord(l.key()));
    }
}
BENCHMARK(BM_RecordLookup)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The record alone, with its sentence's language: the part of the above that is the coordinator's.
void BM_BuildLookup(benchmark::State &state)
{
    HoverState hover;
    hover.recognizedText = QStringLiteral("river");
    hover.currentContext = QStringLiteral("The quiet river runs down to the sea every single day of the year.");
    hover.currentWordOffset = 10;
    Glance glance;
    glance.meaning = QStringLiteral("río");
    for (auto _ : state) {
        benchmark::DoNotOptimize(HoverTextController::makeLookup(hover, glance.meaning, glance, QStringLiteral("es"),
                                                                 QStringLiteral("Text Editor"), Date {}));
    }
}
BENCHMARK(BM_BuildLookup)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
