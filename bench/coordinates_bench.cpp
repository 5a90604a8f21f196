// Cost of one storage-to-logical mapping, the inner step of every reorder check.

#include <cstdint>

#include <benchmark/benchmark.h>

#include "ovra/codegen/storage_coordinates.hpp"

namespace {

namespace storage = ovra_codegen::storage;
using ovra_codegen::layout::NativeKernelOrder;

void map_positions(benchmark::State& state, NativeKernelOrder role) {
    // Extents the compiler cannot see, so the divisions by the panel size stay real divisions.
    std::uint32_t rows = 512;
    std::uint32_t columns = 1024;
    benchmark::DoNotOptimize(rows);
    benchmark::DoNotOptimize(columns);
    const std::uint32_t cells = rows * columns;
    const ovra_codegen::operator_::Precision precision = ovra_codegen::operator_::F16{};
    std::uint32_t linear = 0;
    for (auto _ : state) {
        storage::CoordinatesResult coordinates =
            storage::amp_matrix_coordinates(role, precision, rows, columns, linear);
        benchmark::DoNotOptimize(coordinates);
        // A new position every call, wrapping inside the matrix, so no call can be hoisted.
        linear += 37;
        if (linear >= cells) {
            linear -= cells;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_AmpMatrixCoordinatesLeftF16(benchmark::State& state) {
    map_positions(state, NativeKernelOrder::Left);
}
void BM_AmpMatrixCoordinatesOutputF16(benchmark::State& state) {
    map_positions(state, NativeKernelOrder::Output);
}

BENCHMARK(BM_AmpMatrixCoordinatesLeftF16);
BENCHMARK(BM_AmpMatrixCoordinatesOutputF16);

}  // namespace
