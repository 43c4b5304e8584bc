// Micro-benchmarks of the multiset alone, without parsing or output:
// insertion in random and in sorted order, queries, removals, the early
// walks that hint upcoming operations, and what many small sets cost.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "bstset/BSTSET.h"
#include "bstset/ReadAhead.h"

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
        benchmark::DoNotOptimize(set.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(RandomInsert)->Arg(1000)->Arg(100000);

void SortedInsert(benchmark::State& state) {
    for (auto _ : state) {
        orlo::BSTSET<int> set;
        for (int v = 0; v < state.range(0); ++v) set << v;
        benchmark::DoNotOptimize(set.size());
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
        benchmark::DoNotOptimize(set.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(RandomRemove)->Arg(1000)->Arg(100000);

// The command mix of the random workload on a tree of 400,000 values, each
// operation hinted to the set (ReadAheadSet::prefetch) `ahead` operations before
// it comes (0: no hints), as the interpreter hints the commands it reads
// ahead. The tree is far larger than the caches, so without hints every
// walk waits for memory level after level. With `writes` set, each
// operation also writes three short lines to /dev/null, as Orlo writes three
// lines per command: the system calls push the walks' nodes out of the
// nearest cache in between.
void EarlyWalk(benchmark::State& state) {
    const auto ahead = static_cast<std::size_t>(state.range(0));
    const bool writes = state.range(1) != 0;
    const std::vector<int> held = randomValues(400000);
    const std::vector<int> fresh = randomValues(800000);
    struct Op {
        bool add;
        int value;
    };
    std::vector<Op> ops;
    for (std::size_t i = 0; i < 200000; ++i) {
        // 70% insertions of new values, 30% removals of held ones.
        if (i % 10 < 7) {
            ops.push_back({true, fresh[400000 + i]});
        } else {
            ops.push_back({false, held[(i * 7919) % held.size()]});
        }
    }
    const int null = ::open("/dev/null", O_WRONLY);
    for (auto _ : state) {
        state.PauseTiming();
        orlo::ReadAheadSet<int> set;
        for (int v : held) set << v;
        state.ResumeTiming();
        long sum = 0;
        for (std::size_t i = 0; i < ops.size(); ++i) {
            if (ahead != 0 && i + ahead < ops.size()) set.prefetch(ops[i + ahead].value);
            if (ops[i].add) {
                set << ops[i].value;
            } else {
                set >> ops[i].value;
            }
            sum += set[ops[i].value] + set(ops[i].value);
            if (writes) {
                for (int line = 0; line < 3; ++line) benchmark::DoNotOptimize(::write(null, "b[123456] == 17\n", 16));
            }
        }
        benchmark::DoNotOptimize(sum);
        state.PauseTiming();
        set.clear();
        state.ResumeTiming();
    }
    ::close(null);
    state.SetItemsProcessed(state.iterations() * static_cast<long>(ops.size()));
}
BENCHMARK(EarlyWalk)
    ->ArgsProduct({{0, 8, 16, 24, 28, 31}, {0, 1}})
    ->ArgNames({"ahead", "writes"})
    ->Unit(benchmark::kMillisecond);

#if defined(__GLIBC__)
// 20,000 sets of two values each, as a program keeping many small sets
// would: the heap they take, per set and in all (counters), and the time to
// make and destroy them.
void SmallSets(benchmark::State& state) {
    const auto heap = [] {
        const struct mallinfo2 info = ::mallinfo2();
        return static_cast<double>(info.uordblks + info.hblkhd);
    };
    double bytes = 0;
    for (auto _ : state) {
        const double before = heap();
        std::vector<orlo::BSTSET<int>> sets(20000);
        for (std::size_t i = 0; i < sets.size(); ++i) sets[i] << static_cast<int>(i) << static_cast<int>(i + 1);
        bytes = heap() - before;
        benchmark::DoNotOptimize(sets.data());
    }
    state.counters["MB"] = bytes / 1e6;
    state.counters["bytes_per_set"] = bytes / 20000;
}
BENCHMARK(SmallSets)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
