// The words the code generator uses for where a tensor's elements live: which axis is meant, the
// orders a matrix can be stored in, and what layout validation reports. Plain values, passed by value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <variant>

namespace ovra_codegen::layout {

// The axis at `position`, counted from the first axis of the shape.
struct FromStart {
    std::uint16_t position;
    friend bool operator==(const FromStart&, const FromStart&) = default;
};

// The axis at `position`, counted from the last axis of the shape.
struct FromEnd {
    std::uint16_t position;
    friend bool operator==(const FromEnd&, const FromEnd&) = default;
};

// The tensor's elements in their linear order rather than one axis.
struct Linear {
    friend bool operator==(const Linear&, const Linear&) = default;
};

using TensorAxis = std::variant<FromStart, FromEnd, Linear>;

// The operand role whose native storage order of the AMP unit a matrix has. A plain right operand
// has no native order of its own, hence no `Right`.
enum class NativeKernelOrder : std::uint8_t {
    Left,
    TransposedLeft,
    TransposedRight,
    Output,
    TransposedOutput,
};

// Block-major order of two tensor axes.
struct BlockedOrder {
    std::array<TensorAxis, 2> axes;
    std::array<std::uint16_t, 2> block_shape;
    std::array<std::uint8_t, 2> permutation;  // order of the two blocked axes in storage
    friend bool operator==(const BlockedOrder&, const BlockedOrder&) = default;
};

struct EmptyTileGroup {
    friend bool operator==(const EmptyTileGroup&, const EmptyTileGroup&) = default;
};

struct EmptyAxisTiling {
    friend bool operator==(const EmptyAxisTiling&, const EmptyAxisTiling&) = default;
};

struct TileCountOverflow {
    friend bool operator==(const TileCountOverflow&, const TileCountOverflow&) = default;
};

struct AxisOutOfRange {
    TensorAxis axis;
    std::size_t rank;
    friend bool operator==(const AxisOutOfRange&, const AxisOutOfRange&) = default;
};

struct RankTooLarge {
    std::size_t rank;
    friend bool operator==(const RankTooLarge&, const RankTooLarge&) = default;
};

struct InvalidStorageOrder {
    friend bool operator==(const InvalidStorageOrder&, const InvalidStorageOrder&) = default;
};

struct DuplicateAxis {
    std::size_t axis;  // resolved axis index
    friend bool operator==(const DuplicateAxis&, const DuplicateAxis&) = default;
};

struct IndivisibleAxis {
    std::size_t axis;  // resolved axis index, not a TensorAxis
    std::uint32_t extent;
    std::uint32_t block_size;
    friend bool operator==(const IndivisibleAxis&, const IndivisibleAxis&) = default;
};

struct IndivisibleShard {
    std::uint32_t extent;
    std::uint32_t block_size;
    friend bool operator==(const IndivisibleShard&, const IndivisibleShard&) = default;
};

struct InvalidPaddingGroups {
    std::uint16_t groups;
    std::uint16_t partitions;
    std::uint32_t extent;
    friend bool operator==(const InvalidPaddingGroups&, const InvalidPaddingGroups&) = default;
};

struct ExtentOverflow {
    std::size_t axis;  // resolved axis index
    friend bool operator==(const ExtentOverflow&, const ExtentOverflow&) = default;
};

struct TileCountMismatch {
    std::uint16_t declared;
    std::uint32_t implied;
    friend bool operator==(const TileCountMismatch&, const TileCountMismatch&) = default;
};

struct InvalidTileMapping {
    friend bool operator==(const InvalidTileMapping&, const InvalidTileMapping&) = default;
};

using LayoutError =
    std::variant<EmptyTileGroup, EmptyAxisTiling, TileCountOverflow, AxisOutOfRange, RankTooLarge,
                 InvalidStorageOrder, DuplicateAxis, IndivisibleAxis, IndivisibleShard, InvalidPaddingGroups,
                 ExtentOverflow, TileCountMismatch, InvalidTileMapping>;

}  // namespace ovra_codegen::layout
