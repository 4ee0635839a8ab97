// Translation cache costs on the hover path (goal: a look-up or a store well under 1 µs) and the cost
// of the debounced save behind it.
//   build/release/bench/translation_cache_bench

#include "Fakes/FakeClock.h"
#include "Services/Translation/TranslationStore.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Lumivox;

namespace {

constexpr int limit = 3000;

QString cacheKey(int i)
{
    return QStringLiteral("es:auto:word%1").arg(i);
}

struct Fixture
{
    std::shared_ptr<Testing::FakeClock> clock = std::make_shared<Testing::FakeClock>();
    std::shared_ptr<PreferenceStore> defaults;
    std::unique_ptr<TranslationStore> store;
    std::vector<QString> keys;

    explicit Fixture(const QString &path = QString())
        : defaults(std::make_shared<PreferenceStore>(path, clock))
        , store(std::make_unique<TranslationStore>(defaults, limit, 2.0, clock))
    {
        for (int i = 0; i < 2 * limit; ++i)
            keys.push_back(cacheKey(i));
        for (int i = 0; i < limit; ++i)
            store->set(QStringLiteral("palabra %1").arg(i), keys[i]);
    }
};

void BM_LookupHit(benchmark::State &state)
{
    Fixture f;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.store->value(f.keys[i]));
        i = (i + 1) % limit;
    }
}
BENCHMARK(BM_LookupHit);

void BM_LookupMiss(benchmark::State &state)
{
    Fixture f;
    std::size_t i = limit;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.store->value(f.keys[i]));
        i = limit + (i + 1) % limit;
    }
}
BENCHMARK(BM_LookupMiss);

// A new key in a full cache: insert, evict the oldest, keep the save pending.
void BM_StoreNewKeyEvicting(benchmark::State &state)
{
    Fixture f;
    const QString text = QStringLiteral("traducción");
    std::size_t i = limit;
    for (auto _ : state) {
        f.store->set(text, f.keys[i]);
        i = (i + 1) % f.keys.size();
    }
}
BENCHMARK(BM_StoreNewKeyEvicting);

void BM_StoreReplacing(benchmark::State &state)
{
    Fixture f;
    const QString text = QStringLiteral("traducción");
    std::size_t i = 0;
    for (auto _ : state) {
        f.store->set(text, f.keys[i]);
        i = (i + 1) % limit;
    }
}
BENCHMARK(BM_StoreReplacing);

// The debounced save of a full cache into the preference store (in memory), on the main thread.
void BM_SaveFullCache(benchmark::State &state)
{
    Fixture f;
    for (auto _ : state) {
        f.store->set(QStringLiteral("x"), f.keys[0]);
        f.store->flush();
    }
}
BENCHMARK(BM_SaveFullCache)->Unit(benchmark::kMillisecond);

// The same save through to the preference file (encoding on the caller, atomic write and sync).
void BM_SaveFullCacheToFile(benchmark::State &state)
{
    QTemporaryDir dir;
    Fixture f(dir.filePath(QStringLiteral("prefs.json")));
    for (auto _ : state) {
        f.store->set(QStringLiteral("x"), f.keys[0]);
        f.store->flush();
    }
}
BENCHMARK(BM_SaveFullCacheToFile)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
