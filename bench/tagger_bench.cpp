// The tagger's cost once warm: one word, a 30-word sentence per word, and the English tokens of a
// 30-word sentence. Run by hand: build/dev/bench/tagger_bench

#include "Native/Language/ApertiumTagger.h"
#include "Native/Language/Tagger.h"
#include "Native/Services.h"
#include "Services/Filtering/WordFilter.h"
#include "Services/Learn/EnglishGrammar.h"

#include <benchmark/benchmark.h>

using namespace Lumivox;

namespace {

const QString thirtyWords = QStringLiteral(
    "The old man didn't know why the children were running so quickly down the long hill towards the river, "
    "but he followed them anyway because Mary had asked him to.");

Native::ApertiumTagger &warmTagger()
{
    static Native::ApertiumTagger tagger;
    static const bool warmed = [] {
        tagger.words(thirtyWords, {0, thirtyWords.size()});
        return true;
    }();
    (void)warmed;
    return tagger;
}

// Wall time per word (the tagger runs in other processes, so CPU time says little).
benchmark::Counter timePerWord(double wordsPerIteration)
{
    return benchmark::Counter(wordsPerIteration,
                              benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void taggerOneWord(benchmark::State &state)
{
    auto &tagger = warmTagger();
    const QString word = QStringLiteral("house");
    for (auto _ : state)
        benchmark::DoNotOptimize(tagger.words(word, {0, word.size()}));
    state.SetItemsProcessed(state.iterations());
    state.counters["time_per_word"] = timePerWord(1);
}
BENCHMARK(taggerOneWord)->Unit(benchmark::kMicrosecond)->UseRealTime();

void taggerSentencePerWord(benchmark::State &state)
{
    auto &tagger = warmTagger();
    size_t words = 0;
    for (auto _ : state) {
        const auto tagged = tagger.words(thirtyWords, {0, thirtyWords.size()});
        words = tagged.size();
        benchmark::DoNotOptimize(tagged);
    }
    state.SetItemsProcessed(state.iterations() * words);
    state.counters["words"] = static_cast<double>(words);
    state.counters["time_per_word"] = timePerWord(static_cast<double>(words));
}
BENCHMARK(taggerSentencePerWord)->Unit(benchmark::kMicrosecond)->UseRealTime();

void englishTokensThirtyWords(benchmark::State &state)
{
    EnglishGrammar::tokens(thirtyWords); // starts the shared tagger
    for (auto _ : state)
        benchmark::DoNotOptimize(EnglishGrammar::tokens(thirtyWords));
}
BENCHMARK(englishTokensThirtyWords)->Unit(benchmark::kMicrosecond)->UseRealTime();

void wordFilterName(benchmark::State &state)
{
    const std::optional<QString> context = thirtyWords;
    WordFilter::evaluate(QStringLiteral("Mary"), context);
    for (auto _ : state)
        benchmark::DoNotOptimize(WordFilter::evaluate(QStringLiteral("Mary"), context));
}
BENCHMARK(wordFilterName)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
