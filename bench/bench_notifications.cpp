#include <benchmark/benchmark.h>

#include "PLYNotificationCenter.h"

// Posting cost with a realistic number of observers on unrelated names.
static void BM_PostWithObservers(benchmark::State& state) {
    auto& nc = PLYNotificationCenter::defaultCenter();
    PLYObserverBag bag;
    int hits = 0;
    for (int i = 0; i < state.range(0); ++i)
        bag.add(QStringLiteral("name-%1").arg(i % 10), nullptr, [&](const PLYNotification&) { ++hits; });
    for (auto _ : state) nc.post(QStringLiteral("name-3"));
    benchmark::DoNotOptimize(hits);
}
BENCHMARK(BM_PostWithObservers)->Arg(10)->Arg(100);

BENCHMARK_MAIN();
