// The English analysis of one hover once the tagger is warm: idiom matching over the whole table and
// the grammar note for a word in a 30-word sentence, each with the tokens already made and with the
// tagging included. Run by hand: build/dev/bench/english_analysis_bench (a release build for figures).

#include "Services/Learn/EnglishGrammar.h"
#include "Services/Learn/EnglishGrammarNote.h"
#include "Services/Learn/IdiomFinder.h"

#include <benchmark/benchmark.h>

using namespace Lumivox;

namespace {

// No idiom in it, so every entry is tried at every position.
const QString thirtyWords = QStringLiteral(
    "The old man didn't know why the children were running so quickly down the long hill towards the river, "
    "but he followed them anyway because Mary had asked him to.");
// The idiom is among the shortest patterns, so nearly the whole table is tried before it.
const QString withIdiom =
    QStringLiteral("After the long walk up the hill in the rain, she finally said that time flies.");

const std::vector<EnglishGrammar::Token> &tokensOf(const QString &sentence)
{
    static const auto plain = EnglishGrammar::tokens(thirtyWords);
    static const auto idiom = EnglishGrammar::tokens(withIdiom);
    return &sentence == &thirtyWords ? plain : idiom;
}

EnglishGrammar::Range rangeOf(const QString &sentence, const char *word)
{
    const QString w = QString::fromUtf8(word);
    return {sentence.indexOf(w), w.size()};
}

void idiomsWholeTableNoMatch(benchmark::State &state)
{
    const auto &tokens = tokensOf(thirtyWords);
    const auto hovered = rangeOf(thirtyWords, "running");
    for (auto _ : state)
        benchmark::DoNotOptimize(IdiomFinder::find(thirtyWords, hovered, tokens));
    state.counters["tokens"] = static_cast<double>(tokens.size());
}
BENCHMARK(idiomsWholeTableNoMatch)->Unit(benchmark::kMicrosecond);

void idiomsShortIdiomFound(benchmark::State &state)
{
    const auto &tokens = tokensOf(withIdiom);
    const auto hovered = rangeOf(withIdiom, "flies");
    for (auto _ : state)
        benchmark::DoNotOptimize(IdiomFinder::find(withIdiom, hovered, tokens));
    state.counters["tokens"] = static_cast<double>(tokens.size());
}
BENCHMARK(idiomsShortIdiomFound)->Unit(benchmark::kMicrosecond);

void idiomsWithTagging(benchmark::State &state)
{
    tokensOf(thirtyWords);
    const auto hovered = rangeOf(thirtyWords, "running");
    for (auto _ : state)
        benchmark::DoNotOptimize(IdiomFinder::find(thirtyWords, hovered));
}
BENCHMARK(idiomsWithTagging)->Unit(benchmark::kMicrosecond)->UseRealTime();

void grammarNoteTokensGiven(benchmark::State &state)
{
    const auto &tokens = tokensOf(thirtyWords);
    const QString word = QStringLiteral("followed");
    const auto hovered = rangeOf(thirtyWords, "followed");
    for (auto _ : state)
        benchmark::DoNotOptimize(EnglishGrammar::line(word, thirtyWords, tokens, hovered));
}
BENCHMARK(grammarNoteTokensGiven)->Unit(benchmark::kMicrosecond);

void grammarNoteWithTagging(benchmark::State &state)
{
    tokensOf(thirtyWords);
    const QString word = QStringLiteral("followed");
    for (auto _ : state)
        benchmark::DoNotOptimize(EnglishGrammar::line(word, thirtyWords));
}
BENCHMARK(grammarNoteWithTagging)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
