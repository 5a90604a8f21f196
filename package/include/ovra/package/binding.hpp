// A binding: one tensor that the host exchanges with a program on the accelerator, cut into slices that each
// live in the memory of one tile. Plain values, built by giving every field; nothing is checked here, so that
// consumers decide what they can handle (an empty slice list, empty or odd-sized slices, gaps, overlaps).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ovra_package {

struct RegionSlice {
    // Physical tile whose memory holds the slice, and where in that memory it begins. They say where the
    // bytes live on the device and play no part in the host image.
    std::uint32_t tile;
    std::uint32_t tile_address;
    // Byte offset of the slice's first byte within the binding's packed host image, and its length in bytes
    // (0 allowed: an empty slice still occupies its position).
    std::uint64_t file_offset;
    std::uint64_t size;

    friend bool operator==(const RegionSlice&, const RegionSlice&) = default;
};

struct Binding {
    std::string name;
    // Element type name, free text (e.g. "f16").
    std::string dtype;
    // Dimensions in elements.
    std::vector<std::uint32_t> shape;
    // Logical order: the slice at position i is the part of the tensor that belongs to logical tile i,
    // whatever its physical `tile`.
    std::vector<RegionSlice> slices;

    friend bool operator==(const Binding&, const Binding&) = default;
};

}  // namespace ovra_package
