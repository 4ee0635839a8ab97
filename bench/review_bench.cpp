// The review over a book of 500 due words (and 1,500 not due), each met in eight sentences:
// opening the Review window's content to its first paint (goal: under 100 ms), and one answer on
// the UI thread, the grade written to the book and the next card drawn (goal: under 1 ms for the
// answer itself; the file is written later, on the word book's queue).
//   QT_QPA_PLATFORM=offscreen build/dev/bench/review_bench

#include "Fakes/WordsFixture.h"
#include "Features/Design/Appearance.h"
#include "Features/Words/Views/ReviewView.h"

#include <QApplication>

#include <benchmark/benchmark.h>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

constexpr int dueWords = 500;
constexpr int laterWords = 1'500;

struct DueBook
{
    WordsFixture fixture;
    std::unique_ptr<WordBook> book;
    Appearance appearance {std::nullopt};

    DueBook()
    {
        std::vector<SavedWord> words = wordsNamed(QStringLiteral("due"), dueWords + laterWords);
        for (int i = 0; i < int(words.size()); ++i)
            words[size_t(i)].review.due = plusSeconds(fixture.now(), i < dueWords ? -60.0 * (i + 1) : 86400.0 * i);
        fixture.saved = std::move(words);
        // The daily limit would cut the queue to a few words; the measure is of a long session.
        fixture.defaults->set(WordBook::reviewsPerDayKey, qint64(dueWords));
        book = fixture.book();
    }
};

DueBook &dueBook()
{
    static DueBook due;
    return due;
}

void BM_OpenReviewToFirstPaint(benchmark::State &state)
{
    DueBook &due = dueBook();
    for (auto _ : state) {
        ReviewView view(*due.book, std::nullopt, {}, due.appearance, due.fixture.clock);
        view.show();
        benchmark::DoNotOptimize(view.grab());
        state.PauseTiming();
        if (view.model()->queue().size() != size_t(dueWords))
            state.SkipWithError("the queue is not the 500 due words");
        view.close();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenReviewToFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(20);

// The grade's own work on the UI thread: the book's new schedule and the session's next card.
void BM_Answer(benchmark::State &state)
{
    DueBook &due = dueBook();
    ReviewView view(*due.book, std::nullopt, {}, due.appearance, due.fixture.clock);
    view.show();
    ReviewModel &model = *view.model();
    for (auto _ : state) {
        state.PauseTiming();
        model.reveal();
        state.ResumeTiming();
        model.answer(ReviewAnswer::again);
        benchmark::DoNotOptimize(model.current());
    }
}
BENCHMARK(BM_Answer)->Unit(benchmark::kMicrosecond)->Iterations(400);

// The same answer with the next card drawn, as the user sees it.
void BM_AnswerToNextCardPainted(benchmark::State &state)
{
    DueBook &due = dueBook();
    ReviewView view(*due.book, std::nullopt, {}, due.appearance, due.fixture.clock);
    view.show();
    ReviewModel &model = *view.model();
    for (auto _ : state) {
        state.PauseTiming();
        model.reveal();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        model.answer(ReviewAnswer::hard);
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(view.grab());
    }
}
BENCHMARK(BM_AnswerToNextCardPainted)->Unit(benchmark::kMillisecond)->Iterations(100);

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
