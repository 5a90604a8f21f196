// Cost of the checks around the host product: host_sgemm against the bare CBLAS call it makes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "ovra/trivial_test/cblas.hpp"
#include "ovra/trivial_test/diagnostic.hpp"

namespace {

struct Operands {
    std::vector<float> left;
    std::vector<float> right;
    std::vector<float> output;
};

// rows x inner times inner x columns, plain storage, values in [-0.5, 0.5).
Operands operands(std::uint32_t rows, std::uint32_t inner, std::uint32_t columns) {
    Operands result{std::vector<float>(std::size_t{rows} * inner),
                    std::vector<float>(std::size_t{inner} * columns),
                    std::vector<float>(std::size_t{rows} * columns)};
    std::uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1664525U + 1013904223U;
        return static_cast<float>(state >> 8) / 16777216.0F - 0.5F;
    };
    for (float& value : result.left) {
        value = next();
    }
    for (float& value : result.right) {
        value = next();
    }
    return result;
}

std::uint32_t argument(const benchmark::State& state, std::size_t index) {
    return static_cast<std::uint32_t>(state.range(index));
}

void BM_HostSgemm(benchmark::State& state) {
    const std::uint32_t rows = argument(state, 0);
    const std::uint32_t inner = argument(state, 1);
    const std::uint32_t columns = argument(state, 2);
    Operands data = operands(rows, inner, columns);
    for (auto _ : state) {
        const ovra_runner::Status status = ovra_tests::diagnostic::host_sgemm(
            data.left, data.right, data.output, rows, columns, inner, inner, columns, false, false);
        if (!status) {
            state.SkipWithError(status.error().message.c_str());
            return;
        }
        benchmark::DoNotOptimize(data.output.data());
        benchmark::ClobberMemory();
    }
}

void BM_CblasSgemm(benchmark::State& state) {
    const auto rows = static_cast<int>(state.range(0));
    const auto inner = static_cast<int>(state.range(1));
    const auto columns = static_cast<int>(state.range(2));
    Operands data = operands(argument(state, 0), argument(state, 1), argument(state, 2));
    for (auto _ : state) {
        cblas_sgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, rows, columns, inner, 1.0F, data.left.data(),
                    inner, data.right.data(), columns, 0.0F, data.output.data(), columns);
        benchmark::DoNotOptimize(data.output.data());
        benchmark::ClobberMemory();
    }
}

// rows, inner, columns
BENCHMARK(BM_HostSgemm)->Args({16, 24, 16})->Args({512, 512, 512});
BENCHMARK(BM_CblasSgemm)->Args({16, 24, 16})->Args({512, 512, 512});

}  // namespace
