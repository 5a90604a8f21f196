#include "ovra/deep_check/rendering_checks.hpp"

#include <limits>
#include <string_view>
#include <type_traits>
#include <vector>

#include <fmt/format.h>

#include "ovra/codegen/layout_text.hpp"
#include "ovra/codegen/precision_text.hpp"
#include "ovra/codegen/storage_error_text.hpp"
#include "ovra/deep_check/check_that.hpp"
#include "ovra/deep_check/report_text.hpp"
#include "ovra/runner/backtrace.hpp"
#include "ovra/runner/narrow.hpp"

using ovra_runner::Status;

namespace ovra_tests::deep::rendering {

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

// A value and the texts it must give: its debug rendering and, for an error, its message.
struct Written {
    Vocabulary value;
    std::string debug;
    std::optional<std::string> message;
};

const BlockedOrder example_order{
    {TensorAxis{layout::FromStart{0}}, TensorAxis{layout::FromEnd{0}}}, {16, 32}, {1, 0}};
constexpr std::string_view example_order_text =
    "BlockedOrder { axes: [FromStart(0), FromEnd(0)], block_shape: [16, 32], permutation: [1, 0] }";

std::vector<Written> vocabulary_texts() {
    return {
        {TensorAxis{layout::FromStart{0}}, "FromStart(0)", {}},
        {TensorAxis{layout::FromEnd{1}}, "FromEnd(1)", {}},
        {TensorAxis{layout::FromStart{u16_max}}, "FromStart(65535)", {}},
        {TensorAxis{layout::FromEnd{u16_max}}, "FromEnd(65535)", {}},
        {TensorAxis{layout::Linear{}}, "Linear", {}},
        {NativeKernelOrder::Left, "Left", {}},
        {NativeKernelOrder::TransposedLeft, "TransposedLeft", {}},
        {NativeKernelOrder::TransposedRight, "TransposedRight", {}},
        {NativeKernelOrder::Output, "Output", {}},
        {NativeKernelOrder::TransposedOutput, "TransposedOutput", {}},
        {example_order, std::string(example_order_text), {}},
        {BlockedOrder{
             {TensorAxis{layout::Linear{}}, TensorAxis{layout::FromEnd{u16_max}}}, {u16_max, 0}, {255, 0}},
         "BlockedOrder { axes: [Linear, FromEnd(65535)], block_shape: [65535, 0], permutation: [255, 0] }",
         {}},
        {Precision{operator_::F8F143{-3}}, "F8F143 { scale_exponent: -3 }", {}},
        {Precision{operator_::F8F143{-128}}, "F8F143 { scale_exponent: -128 }", {}},
        {Precision{operator_::F8F143{127}}, "F8F143 { scale_exponent: 127 }", {}},
        {Precision{operator_::F16{}}, "F16", {}},
        {Precision{operator_::F32{}}, "F32", {}},
    };
}

// Every variant, and each field at its extremes.
std::vector<Written> layout_error_texts() {
    const auto error = [](LayoutError value, std::string_view debug, std::string_view message) {
        return Written{value, std::string(debug), std::string(message)};
    };
    return {
        error(layout::EmptyTileGroup{}, "EmptyTileGroup", "layout has an empty tile group"),
        error(layout::EmptyAxisTiling{}, "EmptyAxisTiling",
              "axis tiling must have nonzero partitions and block size"),
        error(layout::TileCountOverflow{}, "TileCountOverflow", "tile count calculation overflowed"),
        error(layout::AxisOutOfRange{layout::FromEnd{3}, 2}, "AxisOutOfRange { axis: FromEnd(3), rank: 2 }",
              "axis FromEnd(3) is outside rank 2"),
        error(layout::AxisOutOfRange{layout::Linear{}, 0}, "AxisOutOfRange { axis: Linear, rank: 0 }",
              "axis Linear is outside rank 0"),
        error(layout::AxisOutOfRange{layout::FromStart{u16_max}, usize_max},
              "AxisOutOfRange { axis: FromStart(65535), rank: 18446744073709551615 }",
              "axis FromStart(65535) is outside rank 18446744073709551615"),
        error(layout::RankTooLarge{70000}, "RankTooLarge(70000)",
              "tensor rank 70000 cannot be represented by shard axis identifiers"),
        error(layout::RankTooLarge{usize_max}, "RankTooLarge(18446744073709551615)",
              "tensor rank 18446744073709551615 cannot be represented by shard axis identifiers"),
        error(layout::InvalidStorageOrder{}, "InvalidStorageOrder",
              "storage axes or permutation are invalid"),
        error(layout::DuplicateAxis{3}, "DuplicateAxis(3)", "axis 3 is tiled more than once"),
        error(layout::DuplicateAxis{usize_max}, "DuplicateAxis(18446744073709551615)",
              "axis 18446744073709551615 is tiled more than once"),
        error(layout::IndivisibleAxis{1, 30, 16}, "IndivisibleAxis { axis: 1, extent: 30, block_size: 16 }",
              "axis 1 extent 30 is not divisible by block size 16"),
        error(layout::IndivisibleAxis{usize_max, u32_max, u32_max},
              "IndivisibleAxis { axis: 18446744073709551615, extent: 4294967295, block_size: 4294967295 }",
              "axis 18446744073709551615 extent 4294967295 is not divisible by block size 4294967295"),
        error(layout::IndivisibleShard{30, 16}, "IndivisibleShard { extent: 30, block_size: 16 }",
              "shard extent 30 is not divisible by block size 16"),
        error(layout::IndivisibleShard{u32_max, 0}, "IndivisibleShard { extent: 4294967295, block_size: 0 }",
              "shard extent 4294967295 is not divisible by block size 0"),
        // The message names the extent first; the rendering keeps the declared order.
        error(layout::InvalidPaddingGroups{3, 4, 10},
              "InvalidPaddingGroups { groups: 3, partitions: 4, extent: 10 }",
              "axis extent 10 cannot be divided into 3 padding groups and 4 partitions"),
        error(layout::InvalidPaddingGroups{u16_max, 1, u32_max},
              "InvalidPaddingGroups { groups: 65535, partitions: 1, extent: 4294967295 }",
              "axis extent 4294967295 cannot be divided into 65535 padding groups and 1 partitions"),
        error(layout::ExtentOverflow{1}, "ExtentOverflow(1)", "padded extent for axis 1 overflowed"),
        error(layout::ExtentOverflow{usize_max}, "ExtentOverflow(18446744073709551615)",
              "padded extent for axis 18446744073709551615 overflowed"),
        error(layout::TileCountMismatch{8, 6}, "TileCountMismatch { declared: 8, implied: 6 }",
              "layout declares 8 tiles but its tiling implies 6"),
        error(layout::TileCountMismatch{u16_max, u32_max},
              "TileCountMismatch { declared: 65535, implied: 4294967295 }",
              "layout declares 65535 tiles but its tiling implies 4294967295"),
        error(layout::InvalidTileMapping{}, "InvalidTileMapping",
              "tile strides do not form the declared partition and replica mapping"),
    };
}

// Every variant; `Layout` around every layout error above adds its name to the rendering and nothing to
// the message.
std::vector<Written> storage_error_texts() {
    const auto error = [](StorageError value, std::string debug, std::string message) {
        return Written{value, std::move(debug), std::move(message)};
    };
    std::vector<Written> texts = {
        error(storage::WrongShard{}, "WrongShard", "view does not refer to the supplied shard"),
        error(storage::InvalidView{}, "InvalidView", "view extents are not a valid subset of the shard"),
        error(storage::MatrixRank{}, "MatrixRank", "matrix storage requires a tensor of rank at least two"),
        error(storage::AmpBlock{NativeKernelOrder::Left}, "AmpBlock { role: Left }",
              "AMP Left storage dimensions are incompatible with its block shape"),
        error(storage::AmpBlock{NativeKernelOrder::Output}, "AmpBlock { role: Output }",
              "AMP Output storage dimensions are incompatible with its block shape"),
        error(storage::AmpBlock{NativeKernelOrder::TransposedRight}, "AmpBlock { role: TransposedRight }",
              "AMP TransposedRight storage dimensions are incompatible with its block shape"),
        error(storage::BlockMajorBlock{example_order},
              fmt::format("BlockMajorBlock {{ order: {} }}", example_order_text),
              fmt::format("block-major {} storage dimensions are incompatible with its block shape",
                          example_order_text)),
        error(storage::Overflow{}, "Overflow", "tensor storage size overflowed"),
    };
    for (const Written& wrapped : layout_error_texts()) {
        texts.push_back(error(storage::Layout{std::get<LayoutError>(wrapped.value)},
                              fmt::format("Layout({})", wrapped.debug), *wrapped.message));
    }
    return texts;
}

// The value gives the written texts; an error converts into the tests' error value with its message, no
// cause, and a backtrace exactly when the environment enables them.
void check_texts(RenderFunction render, const Written& written) {
    const Texts texts = render(written.value);
    const auto about = [&](std::string_view what, const auto& got, const auto& want) {
        return fmt::format("{}: {} is `{}`, not `{}`", written.debug, what, got, want);
    };
    check_that(texts.debug == written.debug,
               [&] { return about("the debug rendering", texts.debug, written.debug); });
    check_that(texts.formatted_debug == written.debug,
               [&] { return about("\"{:?}\"", texts.formatted_debug, written.debug); });
    const std::string& formatted = written.message ? *written.message : written.debug;
    check_that(texts.formatted == formatted, [&] { return about("\"{}\"", texts.formatted, formatted); });
    check_that(texts.message == written.message, [&] {
        return about("the message", texts.message.value_or("(none)"), written.message.value_or("(none)"));
    });
    check_that(texts.converted.has_value() == written.message.has_value(), [&] {
        return fmt::format("{}: converts into an error value: {}", written.debug,
                           texts.converted.has_value());
    });
    if (texts.converted && written.message) {
        const ovra_runner::Error& converted = *texts.converted;
        check_that(converted.message == *written.message, [&] {
            return about("the converted error's message", converted.message, *written.message);
        });
        check_that(converted.causes.empty(), [&] {
            return fmt::format("{}: the converted error has {} causes, not none", written.debug,
                               converted.causes.size());
        });
        check_that(converted.backtrace.has_value() == runner::backtraces_requested(), [&] {
            return fmt::format("{}: the converted error {} a backtrace", written.debug,
                               converted.backtrace ? "carries" : "lacks");
        });
    }
}

}  // namespace

Texts library_texts(const Vocabulary& value) {
    return std::visit(
        [](const auto& each) -> Texts {
            using Type = std::remove_cvref_t<decltype(each)>;
            Texts texts{{}, fmt::format("{}", each), fmt::format("{:?}", each), std::nullopt, std::nullopt};
            if constexpr (std::is_same_v<Type, Precision>) {
                texts.debug = operator_::debug(each);
            } else if constexpr (std::is_same_v<Type, StorageError>) {
                texts.debug = storage::debug(each);
                texts.message = storage::message(each);
                texts.converted = ovra_runner::to_error(each);
            } else {
                texts.debug = layout::debug(each);
                if constexpr (std::is_same_v<Type, LayoutError>) {
                    texts.message = layout::message(each);
                    texts.converted = ovra_runner::to_error(each);
                }
            }
            return texts;
        },
        value);
}

}  // namespace ovra_tests::deep::rendering

namespace ovra_tests::deep::layout::tests {

Status vocabulary_renders_as_written(rendering::RenderFunction render) {
    for (const auto& texts : {rendering::vocabulary_texts(), rendering::layout_error_texts()}) {
        for (const rendering::Written& written : texts) {
            rendering::check_texts(render, written);
        }
    }
    return {};
}

Status exhaustive_vocabulary_renders_as_written() {
    return vocabulary_renders_as_written(rendering::library_texts);
}

}  // namespace ovra_tests::deep::layout::tests

namespace ovra_tests::deep::storage::tests {

Status errors_render_and_convert_as_written(rendering::RenderFunction render,
                                            rendering::ConversionErrorFunction conversion_error) {
    for (const rendering::Written& written : rendering::storage_error_texts()) {
        rendering::check_texts(render, written);
    }
    // What the test package reports wherever a narrowing does not fit.
    const ovra_runner::Error conversion = conversion_error();
    check_that(
        conversion.message == "out of range integral type conversion attempted" && conversion.causes.empty(),
        [&] {
            return fmt::format("the integer-conversion error is `{}` with {} causes", conversion.message,
                               conversion.causes.size());
        });
    return {};
}

Status exhaustive_errors_render_and_convert_as_written() {
    return errors_render_and_convert_as_written(rendering::library_texts,
                                                ovra_runner::integer_conversion_error);
}

}  // namespace ovra_tests::deep::storage::tests
