// Throughput of packed-image assembly against the bandwidth of clearing the same number of bytes.
//
// Every run takes a fresh image, as a caller of packed_binding gets one: a 256 MiB block comes straight
// from the kernel, so its page faults are part of the cost. The yardstick is memset over a fresh block of
// the same size, which pays the same faults; memset over a buffer already mapped is shown beside it.
//
// Then the other end: a binding of 128 one-element slices, the spread of the binding test, packed whole,
// and its slice step alone (the per-slice checks, then the element) in packed_binding's form beside the
// plain loop and beside the checks through checked_narrow.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <expected>
#include <memory>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "ovra/trivial_test/packing.hpp"

namespace {

constexpr std::uint64_t image_bytes = std::uint64_t{256} << 20;

ovra_package::Binding binding_of_slices(std::uint64_t slice_bytes, std::uint64_t total = image_bytes) {
    ovra_package::Binding binding{"bench", "f16", {}, {}};
    for (std::uint64_t offset = 0; offset < total; offset += slice_bytes) {
        binding.slices.push_back({0, 0, offset, slice_bytes});
    }
    return binding;
}

// The element source of every case: cheap, and different for each tile and element.
constexpr auto tile_value = [](std::uint16_t logical_tile, std::uint32_t linear,
                               std::uint32_t /*count*/) -> ovra_runner::Result<std::uint16_t> {
    return static_cast<std::uint16_t>(logical_tile ^ linear);
};

void count_bytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(image_bytes));
}

// Packs `binding` into a fresh image once per iteration; false when packing failed (the run is then
// skipped and counts nothing).
bool pack_fresh_images(benchmark::State& state, const ovra_package::Binding& binding) {
    for (auto _ : state) {
        ovra_runner::Result<ovra_tests::PackedImage> image = ovra_tests::packed_binding(binding, tile_value);
        if (!image) {
            state.SkipWithError(image.error().message.c_str());
            return false;
        }
        benchmark::DoNotOptimize(image->data());
        benchmark::ClobberMemory();
    }
    return true;
}

void pack(benchmark::State& state, std::uint64_t slice_bytes) {
    if (pack_fresh_images(state, binding_of_slices(slice_bytes))) {
        count_bytes(state);
    }
}

constexpr std::uint64_t element_slices = 128;

void count_element_slices(benchmark::State& state) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(element_slices));
}

// The element step without its first element taken ahead of the loop: the plain form that
// packing_detail::store_slice is measured against.
template <class Callback>
ovra_runner::Status store_slice_plain(std::uint8_t* destination, std::uint16_t tile, std::uint32_t count,
                                      Callback& value) {
    for (std::uint32_t linear = 0; linear < count; ++linear) {
        ovra_runner::Result<std::uint16_t> bits = value(tile, linear, count);
        if (!bits) [[unlikely]] {
            return std::unexpected(std::move(bits.error()));
        }
        ovra_tests::packing_detail::store_le16(destination + std::size_t{linear} * 2, *bits);
    }
    return {};
}

// The slice step of packed_binding for a non-empty, even-sized slice: the checks of the integer types it is
// packed with, then its elements, the first one ahead of the loop (packing_detail::store_slice) or not.
template <bool FirstAhead, class Callback>
ovra_runner::Status slice_step(std::uint8_t* image, const ovra_package::RegionSlice& slice,
                               std::size_t position, Callback& value) {
    if (!ovra_tests::packing_detail::fits_packing_types(slice, position)) [[unlikely]] {
        return std::unexpected(ovra_runner::integer_conversion_error());
    }
    std::uint8_t* destination = image + static_cast<std::size_t>(slice.file_offset);
    const auto tile = static_cast<std::uint16_t>(position);
    const auto count = static_cast<std::uint32_t>(slice.size / 2);
    if constexpr (FirstAhead) {
        return ovra_tests::packing_detail::store_slice(destination, tile, count, value);
    } else {
        return store_slice_plain(destination, tile, count, value);
    }
}

// The same step with its checks through checked_narrow: the plain form that
// packing_detail::fits_packing_types is measured against.
template <class Callback>
ovra_runner::Status slice_step_checked_narrow(std::uint8_t* image, const ovra_package::RegionSlice& slice,
                                              std::size_t position, Callback& value) {
    const ovra_runner::Result<std::uint32_t> count =
        ovra_runner::checked_narrow<std::uint32_t>(slice.size / 2);
    if (!count) {
        return std::unexpected(count.error());
    }
    const ovra_runner::Result<std::uint16_t> tile = ovra_runner::checked_narrow<std::uint16_t>(position);
    if (!tile) {
        return std::unexpected(tile.error());
    }
    return ovra_tests::packing_detail::store_slice(image + static_cast<std::size_t>(slice.file_offset), *tile,
                                                   *count, value);
}

// `step` over every slice of a binding of one-element slices, as packed_binding walks them, into an image
// already mapped: the slice step alone, without the allocation around it.
template <class Step>
void step_element_slices(benchmark::State& state, Step step) {
    const ovra_package::Binding binding = binding_of_slices(2, 2 * element_slices);
    std::vector<std::uint8_t> image(2 * element_slices);
    auto value = tile_value;
    for (auto _ : state) {
        for (std::size_t position = 0; position < binding.slices.size(); ++position) {
            const ovra_runner::Status stepped = step(image.data(), binding.slices[position], position, value);
            if (!stepped) {
                state.SkipWithError(stepped.error().message.c_str());
                return;
            }
        }
        benchmark::DoNotOptimize(image.data());
        benchmark::ClobberMemory();
    }
    count_element_slices(state);
}

void BM_PackedBindingOneElementSlices(benchmark::State& state) {
    if (pack_fresh_images(state, binding_of_slices(2, 2 * element_slices))) {
        count_element_slices(state);
    }
}
// packed_binding's form: the checks in one test, the first element ahead of the loop.
void BM_SliceStepOneElement(benchmark::State& state) {
    step_element_slices(state, [](auto&&... arguments) { return slice_step<true>(arguments...); });
}
void BM_SliceStepPlainLoopOneElement(benchmark::State& state) {
    step_element_slices(state, [](auto&&... arguments) { return slice_step<false>(arguments...); });
}
void BM_SliceStepCheckedNarrowOneElement(benchmark::State& state) {
    step_element_slices(state, [](auto&&... arguments) { return slice_step_checked_narrow(arguments...); });
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
BENCHMARK(BM_PackedBindingOneElementSlices);
BENCHMARK(BM_SliceStepOneElement);
BENCHMARK(BM_SliceStepPlainLoopOneElement);
BENCHMARK(BM_SliceStepCheckedNarrowOneElement);

}  // namespace
