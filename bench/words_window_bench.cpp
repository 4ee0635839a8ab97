// The Words window over a full word book (2,000 saved words with eight encounters each and a
// 10,000-entry history): opening it to its first paint (goal: under 150 ms), listing the history,
// and one search keystroke with the list repainted (goal: under 16 ms, one frame).
//   QT_QPA_PLATFORM=offscreen build/release/bench/words_window_bench

#include "Fakes/WordsFixture.h"
#include "Features/Design/Appearance.h"
#include "Features/Words/Views/WordsView.h"

#include <QApplication>
#include <QListView>

#include <benchmark/benchmark.h>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

constexpr int historySize = 10'000;
constexpr int savedWords = 2'000;

LookupFields fields(int i, Date date)
{
    const QString word = QStringLiteral("word%1").arg(i % 3000);
    return {.word = word,
            .meaning = QStringLiteral("meaning of %1").arg(i % 3000),
            .date = date,
            .sentence = QStringLiteral("This is sentence number %1, with %2 somewhere inside it.").arg(i).arg(word),
            .translation = QStringLiteral("Ceci est la phrase numéro %1.").arg(i),
            .appID = QStringLiteral("org.example.App%1").arg(i % 12),
            .appName = QStringLiteral("App %1").arg(i % 12),
            .grammarTag = QStringLiteral("Noun"),
            .title = QStringLiteral("A window title")};
}

struct FullBook
{
    WordsFixture fixture;
    std::unique_ptr<WordBook> book;
    std::shared_ptr<PreferenceStore> defaults = std::make_shared<PreferenceStore>(QString());
    Appearance appearance {std::nullopt};

    FullBook()
    {
        for (int i = 0; i < historySize; ++i)
            fixture.history.push_back(makeLookup(fields(i, fixture.ago(historySize - i))));
        for (int i = 0; i < savedWords; ++i) {
            std::vector<WordLookup> encounters;
            for (int e = 0; e < 8; ++e)
                encounters.push_back(makeLookup(fields(i + e * 7, fixture.ago(i + e * 60.0))));
            SavedWord word = makeSaved(fields(i, fixture.ago(i)), encounters, 8);
            word.word = QStringLiteral("saved%1").arg(i);
            fixture.saved.push_back(std::move(word));
        }
        book = fixture.book();
    }
};

FullBook &fullBook()
{
    static FullBook full;
    return full;
}

void BM_OpenToFirstPaint(benchmark::State &state)
{
    FullBook &full = fullBook();
    for (auto _ : state) {
        WordsView view(*full.book, {}, full.defaults, full.appearance, full.fixture.clock);
        view.show();
        // Grabbing paints every column once, as the first frame on screen does.
        benchmark::DoNotOptimize(view.grab());
        state.PauseTiming();
        view.close();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenToFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_ListTheHistory(benchmark::State &state)
{
    FullBook &full = fullBook();
    WordsView view(*full.book, {}, full.defaults, full.appearance, full.fixture.clock);
    view.show();
    auto *list = view.findChild<QListView *>(QStringLiteral("wordsList"));
    bool history = false;
    for (auto _ : state) {
        history = !history;
        view.model()->setSection(history ? WordsSection::history() : WordsSection::saved());
        benchmark::DoNotOptimize(list->viewport()->grab());
    }
}
BENCHMARK(BM_ListTheHistory)->Unit(benchmark::kMillisecond)->Iterations(20);

// One keystroke: the query grows by a letter or loses one, over every saved word's meanings,
// sentences and translations, then the list is repainted.
void BM_SearchKeystroke(benchmark::State &state)
{
    FullBook &full = fullBook();
    WordsView view(*full.book, {}, full.defaults, full.appearance, full.fixture.clock);
    view.show();
    view.model()->setSort(state.range(0) ? WordSort::alphabetical : WordSort::newest);
    auto *list = view.findChild<QListView *>(QStringLiteral("wordsList"));
    const QStringList queries {QStringLiteral("numéro 1"), QStringLiteral("numéro 12"), QStringLiteral("numéro 123"),
                               QStringLiteral("numéro 12")};
    int i = 0;
    for (auto _ : state) {
        view.model()->setQuery(queries[i++ % queries.size()]);
        benchmark::DoNotOptimize(list->viewport()->grab());
    }
}
BENCHMARK(BM_SearchKeystroke)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
