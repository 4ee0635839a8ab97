// Word-book costs the user can feel: opening the book at launch with a full history and a large set
// of saved words (goal: under 150 ms), and recording one look-up on the tooltip's path (goal: under
// 100 µs on the main thread; the file append runs on the write queue and is measured apart, as are
// the write of the saved words and the rewrite of the history with and without another copy's changes
// to take in).
//   build/release/bench/word_book_bench

#include "Fakes/FakeWordBookEnvironment.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

constexpr int historySize = 10'000;
constexpr int savedWords = 2'000;

WordLookup richLookup(int i, Date date)
{
    WordLookup l =
        lookup(QStringLiteral("word%1").arg(i % 3000), date,
               QStringLiteral("This is sentence number %1, with word%2 somewhere inside it.").arg(i).arg(i % 3000));
    l.base = l.word;
    l.grammarTag = QStringLiteral("Noun");
    l.grammarText = QStringLiteral("plural of something");
    l.title = QStringLiteral("A window title");
    return l;
}

// A folder holding a full history (recent, so nothing is trimmed) and the saved words.
struct FullBook : WordBookEnvironment
{
    FullBook()
    {
        defaults->set(WordBook::keepsHistoryKey, true);
        std::deque<WordLookup> history;
        for (int i = 0; i < historySize; ++i)
            history.push_back(richLookup(i, plusSeconds(now(), (i - historySize) * 60.0)));
        putHistory(history);

        std::vector<SavedWord> saved;
        for (int i = 0; i < savedWords; ++i) {
            SavedWord w;
            w.id = QUuid::createUuid();
            w.word = QStringLiteral("saved%1").arg(i);
            w.source = QStringLiteral("en");
            w.target = QStringLiteral("es");
            w.senses = {{QStringLiteral("meaning"), QStringLiteral("Noun"), std::nullopt},
                        {QStringLiteral("another"), std::nullopt, std::nullopt}};
            for (int e = 0; e < 8; ++e)
                w.encounters.push_back(richLookup(i, plusSeconds(now(), -e * 3600.0)));
            w.metCount = 8;
            w.savedAt = now();
            w.review.due = plusSeconds(now(), i * 60.0);
            saved.push_back(std::move(w));
        }
        WordBookStorage::write(saved, savedPath());
    }
};

void BM_OpenFullBook(benchmark::State &state)
{
    FullBook files;
    for (auto _ : state) {
        auto book = files.makeBook();
        benchmark::DoNotOptimize(book->saved().size());
        state.PauseTiming();
        book.reset();
        state.ResumeTiming();
    }
    state.counters["history"] = historySize;
    state.counters["saved"] = savedWords;
}
BENCHMARK(BM_OpenFullBook)->Unit(benchmark::kMillisecond)->Iterations(20);

// The two reads that make up most of opening the book.
void BM_ReadSavedWords(benchmark::State &state)
{
    FullBook files;
    for (auto _ : state)
        benchmark::DoNotOptimize(WordBookStorage::readSaved(files.savedPath(), files.clock->wallNow()).saved.size());
}
BENCHMARK(BM_ReadSavedWords)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_ReadHistory(benchmark::State &state)
{
    FullBook files;
    for (auto _ : state)
        benchmark::DoNotOptimize(WordBookStorage::readHistory(files.historyPath(), files.clock->wallNow()).lines);
}
BENCHMARK(BM_ReadHistory)->Unit(benchmark::kMillisecond)->Iterations(20);

// Main-thread cost of one recorded look-up in a full book, amortised over the history rewrite that
// every 500th look-up hands to the queue.
void BM_RecordLookup(benchmark::State &state)
{
    FullBook files;
    auto book = files.makeBook();
    int i = 0;
    Date date = files.now();
    for (auto _ : state) {
        date = plusSeconds(date, 1);
        benchmark::DoNotOptimize(book->record(richLookup(historySize + i++, date)));
        if (i % 2000 == 0) {
            state.PauseTiming();
            WordBookStorage::writeQueue().drain(); // keep the queue from growing without bound
            state.ResumeTiming();
        }
    }
    book->flush();
}
BENCHMARK(BM_RecordLookup)->Unit(benchmark::kMicrosecond)->Iterations(5000);

// The same with a saved word, which also gains an encounter and starts the delayed save.
void BM_RecordLookupOfSavedWord(benchmark::State &state)
{
    FullBook files;
    auto book = files.makeBook();
    Date date = files.now();
    int i = 0;
    for (auto _ : state) {
        date = plusSeconds(date, 1);
        WordLookup l = richLookup(historySize + i++, date);
        l.word = QStringLiteral("saved%1").arg(i % savedWords);
        benchmark::DoNotOptimize(book->record(l));
    }
    book->flush();
}
BENCHMARK(BM_RecordLookupOfSavedWord)->Unit(benchmark::kMicrosecond)->Iterations(2000);

// What the write queue does per look-up, off the main thread.
void BM_AppendOnWriteQueue(benchmark::State &state)
{
    WordBookEnvironment files;
    const QString path = files.historyPath();
    int i = 0;
    for (auto _ : state)
        WordBookStorage::append(richLookup(i++, files.now()), path);
}
BENCHMARK(BM_AppendOnWriteQueue)->Unit(benchmark::kMicrosecond);

// The whole saved-words file, as the delayed save writes it.
void BM_WriteSavedWords(benchmark::State &state)
{
    FullBook files;
    auto book = files.makeBook();
    for (auto _ : state)
        WordBookStorage::write(book->saved(), files.savedPath());
}
BENCHMARK(BM_WriteSavedWords)->Unit(benchmark::kMillisecond)->Iterations(10);

// The same as the book writes it, sharing the folder with any other copy: under the folder's lock,
// after reading the file back. Argument 0: no other copy changed it; 1: another copy saved a word
// since, which is taken in.
void BM_WriteSavedWordsShared(benchmark::State &state)
{
    FullBook files;
    auto book = files.makeBook();
    const std::vector<SavedWord> mine = book->saved();
    std::vector<SavedWord> theirs = mine;
    theirs.insert(theirs.begin(), wordsNamed(QStringLiteral("theirs"), 1).front());
    const auto fingerprint = WordBookStorage::SavedOnDisk::fingerprintOf(WordBookStorage::encodeWordBookFile(mine));
    WordBookStorage::SavedOnDisk known {mine, fingerprint};
    std::size_t written = 0;
    for (auto _ : state) {
        if (state.range(0) == 1) {
            state.PauseTiming();
            WordBookStorage::write(theirs, files.savedPath());
            known = {mine, fingerprint};
            state.ResumeTiming();
        }
        const auto result = WordBookStorage::writeShared(known, mine, files.savedPath(), files.clock->wallNow());
        written = result.merged ? result.merged->size() : mine.size();
    }
    state.counters["words"] = double(written);
}
BENCHMARK(BM_WriteSavedWordsShared)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10);

// A whole rewrite of a full history as the book makes it on the write queue, under the folder's lock
// after reading the file back. Argument 0: only this copy's lines there; 1: another copy appended 20
// look-ups since, which are kept.
void BM_RewriteHistoryShared(benchmark::State &state)
{
    FullBook files;
    const auto read = WordBookStorage::readHistory(files.historyPath(), files.clock->wallNow());
    const std::deque<WordLookup> mine(read.lookups.begin(), read.lookups.end());
    std::size_t taken = 0;
    for (auto _ : state) {
        state.PauseTiming();
        WordBookStorage::KnownLookups known;
        for (const WordLookup &lookup : mine)
            known.insert(lookup.id, lookup.date);
        if (state.range(0) == 1) {
            files.putHistory(mine);
            for (int i = 0; i < 20; ++i)
                WordBookStorage::append(richLookup(historySize + i, files.now()), files.historyPath());
        }
        state.ResumeTiming();
        taken = WordBookStorage::rewriteShared(known, mine, std::nullopt, files.historyPath()).takenIn.size();
    }
    state.counters["taken"] = double(taken);
}
BENCHMARK(BM_RewriteHistoryShared)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
