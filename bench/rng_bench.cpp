// Cost of one draw of the suite's generator, per kind of draw.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <numeric>

#include "ovra/trivial_test/rng.hpp"

namespace {

using ovra_tests::Rng;

void gen_u64(benchmark::State& state) {
    Rng random = Rng::with_seed(1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(random.gen_u64());
    }
}
BENCHMARK(gen_u64);

void u32_one_to_twenty_four(benchmark::State& state) {
    Rng random = Rng::with_seed(1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(random.u32(ovra_tests::inclusive<std::uint32_t>(1, 24)));
    }
}
BENCHMARK(u32_one_to_twenty_four);

void f32(benchmark::State& state) {
    Rng random = Rng::with_seed(1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(random.f32());
    }
}
BENCHMARK(f32);

void shuffle_128(benchmark::State& state) {
    Rng random = Rng::with_seed(1);
    std::array<std::uint32_t, 128> values{};
    std::iota(values.begin(), values.end(), 0U);
    for (auto _ : state) {
        random.shuffle(values);
        benchmark::DoNotOptimize(values.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(shuffle_128);

}  // namespace
