// Assembly of a binding's packed host image from 16-bit (F16) elements supplied by a callback.
#pragma once

#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <utility>

#include <fmt/format.h>

#include "ovra/package/binding.hpp"
#include "ovra/runner/error.hpp"
#include "ovra/runner/narrow.hpp"

namespace ovra_tests {

namespace packing_detail {

// One 16-bit store, low byte first whatever the host's byte order.
inline void store_le16(std::uint8_t* destination, std::uint16_t bits) {
    if constexpr (std::endian::native == std::endian::big) {
        bits = std::byteswap(bits);
    }
    std::memcpy(destination, &bits, sizeof bits);
}

// Stores the `count` elements (at least one) of the slice at position `tile` from `destination` on, low byte
// first; the first error of `value` is returned unchanged and stops the slice. The first element is stored
// ahead of the loop so that a one-element slice (one element per tile is a common spread) skips the loop's
// set-up, which costs more than the element itself: bench/packing_bench.cpp measures it against the plain
// loop.
template <class Callback>
ovra_runner::Status store_slice(std::uint8_t* destination, std::uint16_t tile, std::uint32_t count,
                                Callback& value) {
    ovra_runner::Result<std::uint16_t> first = value(tile, 0, count);
    if (!first) [[unlikely]] {
        return std::unexpected(std::move(first.error()));
    }
    store_le16(destination, *first);
    for (std::uint32_t linear = 1; linear < count; ++linear) {
        ovra_runner::Result<std::uint16_t> bits = value(tile, linear, count);
        if (!bits) [[unlikely]] {
            return std::unexpected(std::move(bits.error()));
        }
        store_le16(destination + std::size_t{linear} * 2, *bits);
    }
    return {};
}

// Whether the slice at `position` fits the integer types the callback takes: its element count 32 bits and
// its position (the logical tile) 16 bits. Plain comparisons, since narrowing through checked_narrow's
// Result values costs the binding test, whose slices hold one element each, 11 % more instructions:
// bench/packing_bench.cpp measures both forms.
constexpr bool fits_packing_types(const ovra_package::RegionSlice& slice, std::size_t position) {
    return std::in_range<std::uint32_t>(slice.size / 2) && std::in_range<std::uint16_t>(position);
}

// Releases an image that came from std::calloc.
struct FreeBytes {
    void operator()(std::uint8_t* bytes) const noexcept { std::free(bytes); }
};

}  // namespace packing_detail

// An owned packed image: `size()` bytes at `data()` (null when empty). It comes from calloc: the system hands
// out large blocks already zeroed and commits their pages only when written, so an image costs the pages its
// slices touch, not its length, and is written in one pass.
struct PackedImage {
    std::unique_ptr<std::uint8_t[], packing_detail::FreeBytes> bytes;
    std::size_t length = 0;

    [[nodiscard]] const std::uint8_t* data() const noexcept { return bytes.get(); }
    [[nodiscard]] std::size_t size() const noexcept { return length; }
    [[nodiscard]] bool empty() const noexcept { return length == 0; }
    [[nodiscard]] const std::uint8_t* begin() const noexcept { return bytes.get(); }
    [[nodiscard]] const std::uint8_t* end() const noexcept { return bytes.get() + length; }
    const std::uint8_t& operator[](std::size_t index) const noexcept { return bytes[index]; }
};

// The packed image of `binding`: `total` bytes, `total` being the largest `file_offset + size` over all
// slices (empty ones included), holding element `linear` of the slice at position i at byte
// `file_offset + 2 * linear`, low byte first, with the value `value(i, linear, size / 2)` returned.
// Slices are written in sequence order, so a later slice wins where two overlap; uncovered bytes are 0.
// Only `name` and each slice's `file_offset` and `size` are read. A callback error is returned unchanged and
// ends the call at once; no partial image is ever returned.
template <class Callback>
requires std::invocable<Callback&, std::uint16_t, std::uint32_t, std::uint32_t>
    ovra_runner::Result<PackedImage> packed_binding(const ovra_package::Binding& binding, Callback value) {
    // The image length comes first, over every slice, before any slice is judged.
    std::uint64_t total = 0;
    for (const ovra_package::RegionSlice& slice : binding.slices) {
        if (slice.size > std::numeric_limits<std::uint64_t>::max() - slice.file_offset) {
            return std::unexpected(ovra_runner::make_error(fmt::format(
                "binding {} has a slice that ends beyond the largest byte offset", binding.name)));
        }
        const std::uint64_t end = slice.file_offset + slice.size;
        if (end > total) {
            total = end;
        }
    }
    if (binding.slices.empty()) {
        return std::unexpected(ovra_runner::make_error("binding has no slices"));
    }
    const ovra_runner::Result<std::size_t> length = ovra_runner::checked_narrow<std::size_t>(total);
    if (!length) {
        return std::unexpected(length.error());
    }

    // A slice far out in the image asks for more memory than exists, which is an error like any other.
    // Sizes beyond the largest object are refused before the allocator sees them, since a sanitizer's
    // allocator ends the process on them instead of returning null.
    const auto unallocatable = [&] {
        return ovra_runner::make_error(fmt::format(
            "binding {} needs a packed image of {} bytes, which cannot be allocated", binding.name, total));
    };
    if (*length > static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max())) {
        return std::unexpected(unallocatable());
    }
    PackedImage image;
    if (*length != 0) {
        // Zeroed by calloc: what no slice covers stays 0 without a pass over it.
        image.bytes.reset(static_cast<std::uint8_t*>(std::calloc(*length, 1)));
        if (!image.bytes) {
            return std::unexpected(unallocatable());
        }
        image.length = *length;
    }

    const std::span<const ovra_package::RegionSlice> slices = binding.slices;
    for (std::size_t position = 0; position < slices.size(); ++position) {
        const ovra_package::RegionSlice& slice = slices[position];
        if (slice.size == 0) {
            continue;
        }
        if (slice.size % 2 != 0) [[unlikely]] {
            return std::unexpected(
                ovra_runner::make_error(fmt::format("binding {} has a non-F16 slice", binding.name)));
        }
        if (!packing_detail::fits_packing_types(slice, position)) [[unlikely]] {
            return std::unexpected(ovra_runner::integer_conversion_error());
        }
        // file_offset + size <= total, which fits the host's size type, so every element's offset does too
        // and the element loop needs no checks.
        std::uint8_t* destination = image.bytes.get() + static_cast<std::size_t>(slice.file_offset);
        const auto tile = static_cast<std::uint16_t>(position);
        const auto count = static_cast<std::uint32_t>(slice.size / 2);
        if (ovra_runner::Status stored = packing_detail::store_slice(destination, tile, count, value);
            !stored) [[unlikely]] {
            return std::unexpected(std::move(stored.error()));
        }
    }
    return image;
}

}  // namespace ovra_tests
