// Throughput of packed-image assembly against the bandwidth of clearing the same number of bytes.
//
// A fresh 256 MiB image costs the kernel a page fault per page, which on a virtual machine can dwarf the
// assembly itself; the "WarmHeap" runs let the allocator keep freed memory so that they measure the zero
// fill and the element stores alone. They come last because the allocator setting stays for the process.

#include <malloc.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "ovra/trivial_test/packing.hpp"

namespace {

constexpr std::uint64_t image_bytes = std::uint64_t{256} << 20;

ovra_package::Binding binding_of_slices(std::uint64_t slice_bytes) {
    ovra_package::Binding binding{"bench", "f16", {}, {}};
    for (std::uint64_t offset = 0; offset < image_bytes; offset += slice_bytes) {
        binding.slices.push_back({0, 0, offset, slice_bytes});
    }
    return binding;
}

void count_bytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(image_bytes));
}

// Serves large blocks from the heap and never hands freed memory back, so pages stay mapped between runs.
void keep_freed_memory() {
    constexpr int one_gib = 1 << 30;
    mallopt(M_MMAP_THRESHOLD, one_gib);
    mallopt(M_TRIM_THRESHOLD, one_gib);
}

void pack(benchmark::State& state, std::uint64_t slice_bytes) {
    const ovra_package::Binding binding = binding_of_slices(slice_bytes);
    for (auto _ : state) {
        ovra_tests::Result<std::vector<std::uint8_t>> image =
            ovra_tests::packed_binding(binding,
                                       [](std::uint16_t logical_tile, std::uint32_t linear,
                                          std::uint32_t) -> ovra_tests::Result<std::uint16_t> {
                                           return static_cast<std::uint16_t>(logical_tile ^ linear);
                                       });
        if (!image) {
            state.SkipWithError(image.error().message.c_str());
            return;
        }
        benchmark::DoNotOptimize(image->data());
        benchmark::ClobberMemory();
    }
    count_bytes(state);
}

// The floor for any function that returns a new zero-filled image of this size.
void zeroed_vector(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::uint8_t> image(image_bytes);
        benchmark::DoNotOptimize(image.data());
        benchmark::ClobberMemory();
    }
    count_bytes(state);
}

void BM_PackedBinding4KiBSlices(benchmark::State& state) {
    pack(state, 4096);
}
void BM_PackedBindingOneSlice(benchmark::State& state) {
    pack(state, image_bytes);
}
void BM_ZeroedVector(benchmark::State& state) {
    zeroed_vector(state);
}

void BM_Memset(benchmark::State& state) {
    std::vector<std::uint8_t> buffer(image_bytes, 1);
    int fill = 0;
    for (auto _ : state) {
        std::memset(buffer.data(), fill, buffer.size());
        fill ^= 1;
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    count_bytes(state);
}

void BM_PackedBinding4KiBSlicesWarmHeap(benchmark::State& state) {
    keep_freed_memory();
    pack(state, 4096);
}
void BM_PackedBindingOneSliceWarmHeap(benchmark::State& state) {
    keep_freed_memory();
    pack(state, image_bytes);
}
void BM_ZeroedVectorWarmHeap(benchmark::State& state) {
    keep_freed_memory();
    zeroed_vector(state);
}

BENCHMARK(BM_PackedBinding4KiBSlices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackedBindingOneSlice)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZeroedVector)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memset)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackedBinding4KiBSlicesWarmHeap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackedBindingOneSliceWarmHeap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZeroedVectorWarmHeap)->Unit(benchmark::kMillisecond);

}  // namespace
