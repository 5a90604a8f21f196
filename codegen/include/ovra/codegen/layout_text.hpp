// Debug renderings of the layout vocabulary and the messages of layout errors.
//
// Debug renderings are one line: a field-less value is its name ("Linear"), a value with one unnamed
// field is "Name(field)", a record is "Name { field: value, ... }" in declared field order, and an
// array is "[a, b]". Integers are plain decimal numbers.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "ovra/codegen/layout.hpp"
#include "ovra/codegen/text_format.hpp"
#include "ovra/codegen/text_sink.hpp"

namespace ovra_codegen::layout {

using text::TextSink;
using text::WriteResult;

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const FromStart& axis) {
    return text::write_pieces(sink, "FromStart(", axis.position, ")");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const FromEnd& axis) {
    return text::write_pieces(sink, "FromEnd(", axis.position, ")");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const Linear& /*axis*/) {
    return sink.write("Linear");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const TensorAxis& axis) {
    return std::visit([&sink](const auto& variant) { return write_debug(sink, variant); }, axis);
}

// The name of an order, as its debug rendering writes it; empty for a value outside the enumeration.
constexpr std::string_view kernel_order_name(NativeKernelOrder order) {
    switch (order) {
        case NativeKernelOrder::Left:
            return "Left";
        case NativeKernelOrder::TransposedLeft:
            return "TransposedLeft";
        case NativeKernelOrder::TransposedRight:
            return "TransposedRight";
        case NativeKernelOrder::Output:
            return "Output";
        case NativeKernelOrder::TransposedOutput:
            return "TransposedOutput";
    }
    return {};
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, NativeKernelOrder order) {
    if (const std::string_view name = kernel_order_name(order); !name.empty()) {
        return sink.write(name);
    }
    // Only a value cast from an out-of-range integer gets here: no name fits it, so the number shows.
    return text::write_pieces(sink, "NativeKernelOrder(", std::underlying_type_t<NativeKernelOrder>(order),
                              ")");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const BlockedOrder& order) {
    return text::write_pieces(sink, "BlockedOrder { axes: ", order.axes, ", block_shape: ", order.block_shape,
                              ", permutation: ", order.permutation, " }");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const EmptyTileGroup& /*error*/) {
    return sink.write("EmptyTileGroup");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const EmptyAxisTiling& /*error*/) {
    return sink.write("EmptyAxisTiling");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const TileCountOverflow& /*error*/) {
    return sink.write("TileCountOverflow");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const AxisOutOfRange& error) {
    return text::write_pieces(sink, "AxisOutOfRange { axis: ", error.axis, ", rank: ", error.rank, " }");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const RankTooLarge& error) {
    return text::write_pieces(sink, "RankTooLarge(", error.rank, ")");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const InvalidStorageOrder& /*error*/) {
    return sink.write("InvalidStorageOrder");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const DuplicateAxis& error) {
    return text::write_pieces(sink, "DuplicateAxis(", error.axis, ")");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const IndivisibleAxis& error) {
    return text::write_pieces(sink, "IndivisibleAxis { axis: ", error.axis, ", extent: ", error.extent,
                              ", block_size: ", error.block_size, " }");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const IndivisibleShard& error) {
    return text::write_pieces(sink, "IndivisibleShard { extent: ", error.extent,
                              ", block_size: ", error.block_size, " }");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const InvalidPaddingGroups& error) {
    return text::write_pieces(sink, "InvalidPaddingGroups { groups: ", error.groups,
                              ", partitions: ", error.partitions, ", extent: ", error.extent, " }");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const ExtentOverflow& error) {
    return text::write_pieces(sink, "ExtentOverflow(", error.axis, ")");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const TileCountMismatch& error) {
    return text::write_pieces(sink, "TileCountMismatch { declared: ", error.declared,
                              ", implied: ", error.implied, " }");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const InvalidTileMapping& /*error*/) {
    return sink.write("InvalidTileMapping");
}

template <TextSink Sink>
WriteResult write_debug(Sink& sink, const LayoutError& error) {
    return std::visit([&sink](const auto& variant) { return write_debug(sink, variant); }, error);
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const EmptyTileGroup& /*error*/) {
    return sink.write("layout has an empty tile group");
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const EmptyAxisTiling& /*error*/) {
    return sink.write("axis tiling must have nonzero partitions and block size");
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const TileCountOverflow& /*error*/) {
    return sink.write("tile count calculation overflowed");
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const AxisOutOfRange& error) {
    return text::write_pieces(sink, "axis ", error.axis, " is outside rank ", error.rank);
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const RankTooLarge& error) {
    return text::write_pieces(sink, "tensor rank ", error.rank,
                              " cannot be represented by shard axis identifiers");
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const InvalidStorageOrder& /*error*/) {
    return sink.write("storage axes or permutation are invalid");
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const DuplicateAxis& error) {
    return text::write_pieces(sink, "axis ", error.axis, " is tiled more than once");
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const IndivisibleAxis& error) {
    return text::write_pieces(sink, "axis ", error.axis, " extent ", error.extent,
                              " is not divisible by block size ", error.block_size);
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const IndivisibleShard& error) {
    return text::write_pieces(sink, "shard extent ", error.extent, " is not divisible by block size ",
                              error.block_size);
}

// The message names the extent first, unlike the field order.
template <TextSink Sink>
WriteResult write_message(Sink& sink, const InvalidPaddingGroups& error) {
    return text::write_pieces(sink, "axis extent ", error.extent, " cannot be divided into ", error.groups,
                              " padding groups and ", error.partitions, " partitions");
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const ExtentOverflow& error) {
    return text::write_pieces(sink, "padded extent for axis ", error.axis, " overflowed");
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const TileCountMismatch& error) {
    return text::write_pieces(sink, "layout declares ", error.declared, " tiles but its tiling implies ",
                              error.implied);
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const InvalidTileMapping& /*error*/) {
    return sink.write("tile strides do not form the declared partition and replica mapping");
}

template <TextSink Sink>
WriteResult write_message(Sink& sink, const LayoutError& error) {
    return std::visit([&sink](const auto& variant) { return write_message(sink, variant); }, error);
}

std::string debug(const TensorAxis& axis);
std::string debug(NativeKernelOrder order);
std::string debug(const BlockedOrder& order);
std::string debug(const LayoutError& error);
std::string message(const LayoutError& error);

}  // namespace ovra_codegen::layout

template <>
struct fmt::formatter<ovra_codegen::layout::TensorAxis>
    : ovra_codegen::text::DebugFormatter<ovra_codegen::layout::TensorAxis> {};

template <>
struct fmt::formatter<ovra_codegen::layout::NativeKernelOrder>
    : ovra_codegen::text::DebugFormatter<ovra_codegen::layout::NativeKernelOrder> {};

template <>
struct fmt::formatter<ovra_codegen::layout::BlockedOrder>
    : ovra_codegen::text::DebugFormatter<ovra_codegen::layout::BlockedOrder> {};

template <>
struct fmt::formatter<ovra_codegen::layout::LayoutError>
    : ovra_codegen::text::ErrorFormatter<ovra_codegen::layout::LayoutError> {};
