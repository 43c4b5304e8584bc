// Micro-benchmarks of the multiset alone, without parsing or output:
// insertion in random and in sorted order, queries, and removals.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bstset/BSTSET.h"

namespace {

std::vector<int> randomValues(std::size_t n) {
    std::vector<int> values(n);
    std::uint64_t x = 88172645463325252ULL;
    for (int& v : values) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        v = static_cast<int>(x & 0x7fffffff);
    }
    return values;
}

void RandomInsert(benchmark::State& state) {
    const std::vector<int> values = randomValues(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        orlo::BSTSET<int> set;
        for (int v : values) set << v;
        benchmark::DoNotOptimize(set.getRoot());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(RandomInsert)->Arg(1000)->Arg(100000);

void SortedInsert(benchmark::State& state) {
    for (auto _ : state) {
        orlo::BSTSET<int> set;
        for (int v = 0; v < state.range(0); ++v) set << v;
        benchmark::DoNotOptimize(set.getRoot());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(SortedInsert)->Arg(1000)->Arg(5000);

void RandomQueries(benchmark::State& state) {
    std::vector<int> values = randomValues(static_cast<std::size_t>(state.range(0)));
    orlo::BSTSET<int> set;
    for (int v : values) set << v;
    for (auto _ : state) {
        int sum = 0;
        // Alternate two values so that every query walks the tree.
        for (std::size_t i = 0; i + 1 < values.size(); i += 2) {
            sum += set[values[i]];
            sum += set(values[i + 1]);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(RandomQueries)->Arg(1000)->Arg(100000);

void RandomRemove(benchmark::State& state) {
    std::vector<int> values = randomValues(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        orlo::BSTSET<int> set;
        for (int v : values) set << v;
        state.ResumeTiming();
        for (int& v : values) set >> v;
        benchmark::DoNotOptimize(set.getRoot());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(RandomRemove)->Arg(1000)->Arg(100000);

}  // namespace
