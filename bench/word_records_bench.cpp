// Reading and writing the word book's records at the size of a long history: 10,000 look-ups, one
// JSON line each as "History.jsonl" holds them, and 1,000 saved words as "Words.json" lists them.
// The look-up history should decode and encode in well under 50 ms each.

#include "Models/WordRecordsJson.h"

#include <benchmark/benchmark.h>

using namespace Lumivox;
using namespace Lumivox::WordRecords;

namespace {

WordLookup lookup(int n)
{
    WordLookup l;
    l.id = QUuid::createUuid();
    l.word = QStringLiteral("running%1").arg(n % 500);
    l.base = QStringLiteral("run");
    l.source = QStringLiteral("en");
    l.target = QStringLiteral("es");
    l.meaning = QStringLiteral("corriendo");
    l.grammarTag = QStringLiteral("verb");
    l.grammarText = QStringLiteral("present participle of “run”");
    l.sentence = QStringLiteral("She kept running along the river until the light faded behind the hills.");
    l.wordOffset = 9;
    l.translation = QStringLiteral("Siguió corriendo por el río hasta que la luz se apagó tras las colinas.");
    l.appID = QStringLiteral("org.mozilla.firefox");
    l.appName = QStringLiteral("Firefox");
    l.date = Date {760000000.0 + n * 37.25};
    return l;
}

const std::vector<WordLookup> &history()
{
    static const std::vector<WordLookup> records = [] {
        std::vector<WordLookup> out;
        for (int i = 0; i < 10000; ++i)
            out.push_back(lookup(i));
        return out;
    }();
    return records;
}

const std::vector<QByteArray> &historyLines()
{
    static const std::vector<QByteArray> lines = [] {
        std::vector<QByteArray> out;
        for (const WordLookup &l : history())
            out.push_back(encode(l));
        return out;
    }();
    return lines;
}

const std::vector<SavedWord> &savedWords()
{
    static const std::vector<SavedWord> words = [] {
        std::vector<SavedWord> out;
        for (int i = 0; i < 1000; ++i) {
            SavedWord w;
            w.id = QUuid::createUuid();
            w.word = QStringLiteral("word%1").arg(i);
            w.source = QStringLiteral("en");
            w.target = QStringLiteral("es");
            w.senses = {WordSense {QStringLiteral("palabra"), QStringLiteral("noun"), std::nullopt}};
            for (int e = 0; e < 5; ++e)
                w.encounters.push_back(lookup(i * 5 + e));
            w.metCount = 5;
            w.savedAt = Date {760000000.0 + i};
            w.review = ReviewState {2, Date {760086400.0 + i}, Date {760000500.0}, false};
            out.push_back(std::move(w));
        }
        return out;
    }();
    return words;
}

void encodeHistory(benchmark::State &state)
{
    std::size_t bytes = 0;
    for (auto _ : state) {
        QByteArray file;
        for (const WordLookup &l : history()) {
            file += encode(l);
            file += '\n';
        }
        bytes = std::size_t(file.size());
        benchmark::DoNotOptimize(file);
    }
    state.counters["records"] = double(history().size());
    state.counters["bytes"] = double(bytes);
}

void decodeHistory(benchmark::State &state)
{
    for (auto _ : state) {
        std::size_t read = 0;
        for (const QByteArray &line : historyLines())
            read += decode<WordLookup>(line) ? 1 : 0;
        if (read != historyLines().size())
            state.SkipWithError("a history line did not read back");
    }
    state.counters["records"] = double(historyLines().size());
}

void encodeSavedWords(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeArray(savedWords()));
    state.counters["words"] = double(savedWords().size());
}

void decodeSavedWords(benchmark::State &state)
{
    const QByteArray file = encodeArray(savedWords());
    for (auto _ : state) {
        if (!decodeArray<SavedWord>(file))
            state.SkipWithError("the saved words did not read back");
    }
    state.counters["words"] = double(savedWords().size());
    state.counters["bytes"] = double(file.size());
}

} // namespace

BENCHMARK(encodeHistory)->Name("WordLookup/encode 10000-line history")->Unit(benchmark::kMillisecond);
BENCHMARK(decodeHistory)->Name("WordLookup/decode 10000-line history")->Unit(benchmark::kMillisecond);
BENCHMARK(encodeSavedWords)->Name("SavedWord/encode 1000 words x 5 encounters")->Unit(benchmark::kMillisecond);
BENCHMARK(decodeSavedWords)->Name("SavedWord/decode 1000 words x 5 encounters")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
