// Throughput of packed-image assembly against the bandwidth of clearing the same number of bytes.
//
// Every run takes a fresh image, as a caller of packed_binding gets one: a 256 MiB block comes straight
// from the kernel, so its page faults are part of the cost. The yardstick is memset over a fresh block of
// the same size, which pays the same faults; memset over a buffer already mapped is shown beside it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
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

void pack(benchmark::State& state, std::uint64_t slice_bytes) {
    const ovra_package::Binding binding = binding_of_slices(slice_bytes);
    for (auto _ : state) {
        ovra_runner::Result<ovra_tests::PackedImage> image =
            ovra_tests::packed_binding(binding,
                                       [](std::uint16_t logical_tile, std::uint32_t linear,
                                          std::uint32_t) -> ovra_runner::Result<std::uint16_t> {
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

void BM_PackedBinding4KiBSlices(benchmark::State& state) {
    pack(state, 4096);
}
void BM_PackedBindingOneSlice(benchmark::State& state) {
    pack(state, image_bytes);
}

// The yardstick: a fresh block from the allocator, cleared once, then released.
void BM_MemsetFreshBuffer(benchmark::State& state) {
    for (auto _ : state) {
        const std::unique_ptr<void, decltype(&std::free)> buffer(std::malloc(image_bytes), &std::free);
        if (!buffer) {
            state.SkipWithError("no memory for the buffer");
            return;
        }
        // Opaque to the compiler, which would otherwise turn malloc and a zero memset into calloc.
        benchmark::DoNotOptimize(buffer.get());
        std::memset(buffer.get(), 0, image_bytes);
        benchmark::DoNotOptimize(buffer.get());
        benchmark::ClobberMemory();
    }
    count_bytes(state);
}

// The same over a buffer whose pages are already mapped: the memory bandwidth alone.
void BM_MemsetMappedBuffer(benchmark::State& state) {
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

BENCHMARK(BM_PackedBinding4KiBSlices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackedBindingOneSlice)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemsetFreshBuffer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemsetMappedBuffer)->Unit(benchmark::kMillisecond);

}  // namespace
