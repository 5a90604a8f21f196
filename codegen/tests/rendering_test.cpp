#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "ovra/codegen/layout_text.hpp"
#include "ovra/codegen/precision_text.hpp"
#include "ovra/codegen/storage_error_text.hpp"
#include "ovra/runner/error.hpp"

namespace {

namespace layout = ovra_codegen::layout;
namespace operator_ = ovra_codegen::operator_;
namespace storage = ovra_codegen::storage;

using layout::BlockedOrder;
using layout::LayoutError;
using layout::NativeKernelOrder;
using layout::TensorAxis;
using operator_::Precision;
using storage::StorageError;

constexpr std::size_t usize_max = std::numeric_limits<std::size_t>::max();
constexpr std::uint32_t u32_max = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint16_t u16_max = std::numeric_limits<std::uint16_t>::max();

// What the library produced for one value, next to what it should produce. Error types also have a
// message, and "{}" formats it; for the other types "{}" gives the debug rendering.
struct RenderingCase {
    std::string want_debug;
    std::optional<std::string> want_message;
    std::string debug;
    std::optional<std::string> message;
    std::string formatted;
    std::string formatted_debug;
};

template <typename T>
RenderingCase rendering(const T& value, std::string want_debug,
                        std::optional<std::string> want_message = {}) {
    RenderingCase rendered{std::move(want_debug), std::move(want_message),  debug(value),
                           std::nullopt,          fmt::format("{}", value), fmt::format("{:?}", value)};
    if constexpr (std::is_same_v<T, LayoutError> || std::is_same_v<T, StorageError>) {
        rendered.message = message(value);
    }
    return rendered;
}

// The names the debug renderings start with, for tools that show them on their own.
static_assert(layout::kernel_order_name(NativeKernelOrder::TransposedOutput) == "TransposedOutput");
static_assert(layout::kernel_order_name(static_cast<NativeKernelOrder>(200)).empty());
static_assert(operator_::precision_name(Precision{operator_::F8F143{-3}}) == "F8F143");
static_assert(operator_::precision_name(Precision{operator_::F32{}}) == "F32");

const BlockedOrder example_order{
    {TensorAxis{layout::FromStart{0}}, TensorAxis{layout::FromEnd{0}}}, {16, 32}, {1, 0}};
const std::string example_order_text =
    "BlockedOrder { axes: [FromStart(0), FromEnd(0)], block_shape: [16, 32], permutation: [1, 0] }";

std::vector<RenderingCase> rendering_table() {
    return {
        rendering<TensorAxis>(layout::FromStart{0}, "FromStart(0)"),
        rendering<TensorAxis>(layout::FromEnd{1}, "FromEnd(1)"),
        rendering<TensorAxis>(layout::FromStart{u16_max}, "FromStart(65535)"),
        rendering<TensorAxis>(layout::FromEnd{u16_max}, "FromEnd(65535)"),
        rendering<TensorAxis>(layout::Linear{}, "Linear"),

        rendering(NativeKernelOrder::Left, "Left"),
        rendering(NativeKernelOrder::TransposedLeft, "TransposedLeft"),
        rendering(NativeKernelOrder::TransposedRight, "TransposedRight"),
        rendering(NativeKernelOrder::Output, "Output"),
        rendering(NativeKernelOrder::TransposedOutput, "TransposedOutput"),
        rendering(static_cast<NativeKernelOrder>(200), "NativeKernelOrder(200)"),

        rendering(
            BlockedOrder{
                {TensorAxis{layout::FromStart{0}}, TensorAxis{layout::FromStart{1}}}, {16, 32}, {1, 0}},
            "BlockedOrder { axes: [FromStart(0), FromStart(1)], block_shape: [16, 32], permutation: [1, 0] "
            "}"),
        rendering(
            BlockedOrder{
                {TensorAxis{layout::Linear{}}, TensorAxis{layout::FromEnd{u16_max}}}, {u16_max, 0}, {255, 0}},
            "BlockedOrder { axes: [Linear, FromEnd(65535)], block_shape: [65535, 0], permutation: [255, 0] "
            "}"),

        rendering<Precision>(operator_::F8F143{-3}, "F8F143 { scale_exponent: -3 }"),
        rendering<Precision>(operator_::F8F143{-128}, "F8F143 { scale_exponent: -128 }"),
        rendering<Precision>(operator_::F8F143{127}, "F8F143 { scale_exponent: 127 }"),
        rendering<Precision>(operator_::F16{}, "F16"),
        rendering<Precision>(operator_::F32{}, "F32"),

        rendering<LayoutError>(layout::EmptyTileGroup{}, "EmptyTileGroup", "layout has an empty tile group"),
        rendering<LayoutError>(layout::EmptyAxisTiling{}, "EmptyAxisTiling",
                               "axis tiling must have nonzero partitions and block size"),
        rendering<LayoutError>(layout::TileCountOverflow{}, "TileCountOverflow",
                               "tile count calculation overflowed"),
        rendering<LayoutError>(layout::AxisOutOfRange{layout::FromEnd{2}, 2},
                               "AxisOutOfRange { axis: FromEnd(2), rank: 2 }",
                               "axis FromEnd(2) is outside rank 2"),
        rendering<LayoutError>(layout::AxisOutOfRange{layout::FromEnd{3}, 2},
                               "AxisOutOfRange { axis: FromEnd(3), rank: 2 }",
                               "axis FromEnd(3) is outside rank 2"),
        rendering<LayoutError>(layout::AxisOutOfRange{layout::Linear{}, 0},
                               "AxisOutOfRange { axis: Linear, rank: 0 }", "axis Linear is outside rank 0"),
        rendering<LayoutError>(layout::AxisOutOfRange{layout::FromStart{u16_max}, usize_max},
                               "AxisOutOfRange { axis: FromStart(65535), rank: 18446744073709551615 }",
                               "axis FromStart(65535) is outside rank 18446744073709551615"),
        rendering<LayoutError>(layout::RankTooLarge{70000}, "RankTooLarge(70000)",
                               "tensor rank 70000 cannot be represented by shard axis identifiers"),
        rendering<LayoutError>(
            layout::RankTooLarge{usize_max}, "RankTooLarge(18446744073709551615)",
            "tensor rank 18446744073709551615 cannot be represented by shard axis identifiers"),
        rendering<LayoutError>(layout::InvalidStorageOrder{}, "InvalidStorageOrder",
                               "storage axes or permutation are invalid"),
        rendering<LayoutError>(layout::DuplicateAxis{3}, "DuplicateAxis(3)",
                               "axis 3 is tiled more than once"),
        rendering<LayoutError>(layout::DuplicateAxis{usize_max}, "DuplicateAxis(18446744073709551615)",
                               "axis 18446744073709551615 is tiled more than once"),
        rendering<LayoutError>(layout::IndivisibleAxis{1, 30, 16},
                               "IndivisibleAxis { axis: 1, extent: 30, block_size: 16 }",
                               "axis 1 extent 30 is not divisible by block size 16"),
        rendering<LayoutError>(
            layout::IndivisibleAxis{usize_max, u32_max, u32_max},
            "IndivisibleAxis { axis: 18446744073709551615, extent: 4294967295, block_size: 4294967295 }",
            "axis 18446744073709551615 extent 4294967295 is not divisible by block size 4294967295"),
        rendering<LayoutError>(layout::IndivisibleShard{30, 16},
                               "IndivisibleShard { extent: 30, block_size: 16 }",
                               "shard extent 30 is not divisible by block size 16"),
        rendering<LayoutError>(layout::IndivisibleShard{u32_max, 0},
                               "IndivisibleShard { extent: 4294967295, block_size: 0 }",
                               "shard extent 4294967295 is not divisible by block size 0"),
        rendering<LayoutError>(layout::InvalidPaddingGroups{3, 4, 10},
                               "InvalidPaddingGroups { groups: 3, partitions: 4, extent: 10 }",
                               "axis extent 10 cannot be divided into 3 padding groups and 4 partitions"),
        rendering<LayoutError>(
            layout::InvalidPaddingGroups{u16_max, 1, u32_max},
            "InvalidPaddingGroups { groups: 65535, partitions: 1, extent: 4294967295 }",
            "axis extent 4294967295 cannot be divided into 65535 padding groups and 1 partitions"),
        rendering<LayoutError>(layout::ExtentOverflow{1}, "ExtentOverflow(1)",
                               "padded extent for axis 1 overflowed"),
        rendering<LayoutError>(layout::TileCountMismatch{8, 6},
                               "TileCountMismatch { declared: 8, implied: 6 }",
                               "layout declares 8 tiles but its tiling implies 6"),
        rendering<LayoutError>(layout::TileCountMismatch{u16_max, u32_max},
                               "TileCountMismatch { declared: 65535, implied: 4294967295 }",
                               "layout declares 65535 tiles but its tiling implies 4294967295"),
        rendering<LayoutError>(layout::InvalidTileMapping{}, "InvalidTileMapping",
                               "tile strides do not form the declared partition and replica mapping"),

        rendering<StorageError>(storage::WrongShard{}, "WrongShard",
                                "view does not refer to the supplied shard"),
        rendering<StorageError>(storage::InvalidView{}, "InvalidView",
                                "view extents are not a valid subset of the shard"),
        rendering<StorageError>(storage::MatrixRank{}, "MatrixRank",
                                "matrix storage requires a tensor of rank at least two"),
        rendering<StorageError>(storage::AmpBlock{NativeKernelOrder::Left}, "AmpBlock { role: Left }",
                                "AMP Left storage dimensions are incompatible with its block shape"),
        rendering<StorageError>(storage::AmpBlock{NativeKernelOrder::Output}, "AmpBlock { role: Output }",
                                "AMP Output storage dimensions are incompatible with its block shape"),
        rendering<StorageError>(
            storage::AmpBlock{NativeKernelOrder::TransposedRight}, "AmpBlock { role: TransposedRight }",
            "AMP TransposedRight storage dimensions are incompatible with its block shape"),
        rendering<StorageError>(storage::BlockMajorBlock{example_order},
                                "BlockMajorBlock { order: " + example_order_text + " }",
                                "block-major " + example_order_text +
                                    " storage dimensions are incompatible with its block shape"),
        rendering<StorageError>(storage::Layout{layout::EmptyTileGroup{}}, "Layout(EmptyTileGroup)",
                                "layout has an empty tile group"),
        rendering<StorageError>(storage::Layout{layout::AxisOutOfRange{layout::FromStart{5}, 2}},
                                "Layout(AxisOutOfRange { axis: FromStart(5), rank: 2 })",
                                "axis FromStart(5) is outside rank 2"),
        rendering<StorageError>(storage::Overflow{}, "Overflow", "tensor storage size overflowed"),
    };
}

TEST(Rendering, EveryVariantRendersAndFormatsAsDocumented) {
    for (const RenderingCase& rendered : rendering_table()) {
        SCOPED_TRACE(rendered.want_debug);
        EXPECT_EQ(rendered.debug, rendered.want_debug);
        EXPECT_EQ(rendered.formatted_debug, rendered.want_debug);
        EXPECT_EQ(rendered.message, rendered.want_message);
        EXPECT_EQ(rendered.formatted, rendered.want_message.value_or(rendered.want_debug));
    }
}

// One of each layout error variant, for the checks that must hold for all of them.
std::vector<LayoutError> every_layout_error() {
    return {layout::EmptyTileGroup{},        layout::EmptyAxisTiling{},
            layout::TileCountOverflow{},     layout::AxisOutOfRange{layout::FromEnd{7}, 3},
            layout::RankTooLarge{9},         layout::InvalidStorageOrder{},
            layout::DuplicateAxis{4},        layout::IndivisibleAxis{2, 33, 8},
            layout::IndivisibleShard{17, 4}, layout::InvalidPaddingGroups{5, 6, 7},
            layout::ExtentOverflow{11},      layout::TileCountMismatch{12, 13},
            layout::InvalidTileMapping{}};
}

TEST(Rendering, WrappedLayoutErrorKeepsItsMessageAndAddsOnlyTheVariantName) {
    const std::vector<LayoutError> errors = every_layout_error();
    ASSERT_EQ(errors.size(), std::variant_size_v<LayoutError>);
    for (const LayoutError& error : errors) {
        const StorageError wrapped = storage::Layout{error};
        EXPECT_EQ(message(wrapped), message(error));
        EXPECT_EQ(debug(wrapped), "Layout(" + debug(error) + ")");
    }
}

// A library error ends any chain of causes: converted into the runner's error value, as a test that
// returns it does, it keeps its message and carries no cause.

TEST(Rendering, NoErrorHasACause) {
    std::vector<StorageError> errors = {storage::WrongShard{},
                                        storage::InvalidView{},
                                        storage::MatrixRank{},
                                        storage::AmpBlock{NativeKernelOrder::Left},
                                        storage::BlockMajorBlock{example_order},
                                        storage::Overflow{}};
    for (const LayoutError& error : every_layout_error()) {
        const ovra_runner::Error converted = ovra_runner::to_error(error);
        EXPECT_EQ(converted.message, message(error)) << debug(error);
        EXPECT_TRUE(converted.causes.empty()) << debug(error);
        errors.push_back(storage::Layout{error});
    }
    for (const StorageError& error : errors) {
        const ovra_runner::Error converted = ovra_runner::to_error(error);
        EXPECT_EQ(converted.message, message(error)) << debug(error);
        EXPECT_TRUE(converted.causes.empty()) << debug(error);
    }
}

TEST(Rendering, UnknownFormatFlagsAreRejected) {
    const StorageError error = storage::Overflow{};
    EXPECT_THROW(static_cast<void>(fmt::format(fmt::runtime("{:x}"), error)), fmt::format_error);
    EXPECT_THROW(static_cast<void>(fmt::format(fmt::runtime("{:?x}"), NativeKernelOrder::Left)),
                 fmt::format_error);
}

}  // namespace
