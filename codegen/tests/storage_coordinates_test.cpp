// What the deep check leaves to the unit level: the block shapes the layout inspector draws with, the
// Output interleave read from a column to its place, answers for zero extents and for a role cast from a
// stray integer, and use at compile time. Each order's mapping, its block check and its panel-size limit
// are the deep check's (deep::storage::tests).
#include <array>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "ovra/codegen/layout_text.hpp"
#include "ovra/codegen/precision_text.hpp"
#include "ovra/codegen/storage_coordinates.hpp"
#include "ovra/codegen/storage_error_text.hpp"

namespace {

namespace layout = ovra_codegen::layout;
namespace operator_ = ovra_codegen::operator_;
namespace storage = ovra_codegen::storage;

using layout::NativeKernelOrder;
using operator_::Precision;
using storage::CoordinatesResult;
using storage::MatrixCoordinates;

// A kernel role, or nothing for the right-matrix order of right_matrix_coordinates.
using Order = std::optional<NativeKernelOrder>;
constexpr Order right_matrix = std::nullopt;

constexpr Order left = NativeKernelOrder::Left;
constexpr Order transposed_left = NativeKernelOrder::TransposedLeft;
constexpr Order transposed_right = NativeKernelOrder::TransposedRight;
constexpr Order output = NativeKernelOrder::Output;
constexpr Order transposed_output = NativeKernelOrder::TransposedOutput;
// A role cast from a stray integer names no order.
constexpr Order stray_role = static_cast<NativeKernelOrder>(9);

const Precision f8 = operator_::F8F143{-3};
const Precision f16 = operator_::F16{};
const Precision f32 = operator_::F32{};

CoordinatesResult map(Order order, Precision precision, std::uint32_t rows, std::uint32_t columns,
                      std::uint32_t linear) {
    if (!order) {
        return storage::right_matrix_coordinates(precision, rows, columns, linear);
    }
    return storage::amp_matrix_coordinates(*order, precision, rows, columns, linear);
}

std::string describe(Order order) {
    return order ? fmt::format("{}", *order) : "right-matrix";
}

std::string describe(const CoordinatesResult& result) {
    return result ? fmt::format("{}", *result) : fmt::format("{:?}", result.error());
}

CoordinatesResult at(std::uint32_t row, std::uint32_t column) {
    return MatrixCoordinates{row, column};
}

const CoordinatesResult invalid_view = std::unexpected(storage::StorageError{storage::InvalidView{}});

// The mapping is usable at compile time, through a transposed role's delegation.
static_assert(*storage::amp_matrix_coordinates(NativeKernelOrder::TransposedOutput, operator_::F16{}, 16, 2,
                                               18) == MatrixCoordinates{8, 1});

// The block shape is what the block check accepts: extents that are multiples of it pass (whatever the
// panel size then says), others are refused.
TEST(StorageCoordinates, BlockShapeIsWhatTheBlockCheckAccepts) {
    constexpr std::array<Order, 6> every_order = {left,   transposed_left,   transposed_right,
                                                  output, transposed_output, right_matrix};
    for (const Precision& precision : {f8, f16, f32}) {
        for (const Order order : every_order) {
            const storage::BlockShape block = order ? storage::amp_block_shape(*order, precision).value()
                                                    : storage::right_matrix_block_shape(precision);
            for (std::uint32_t rows = 1; rows <= 66; ++rows) {
                for (std::uint32_t columns = 1; columns <= 66; ++columns) {
                    const bool fits = rows % block.rows == 0 && columns % block.columns == 0;
                    ASSERT_EQ(map(order, precision, rows, columns, 0).has_value(), fits)
                        << describe(order) << ' ' << debug(precision) << ' ' << rows << 'x' << columns;
                }
            }
        }
    }
    EXPECT_EQ(storage::amp_block_shape(*stray_role, f16),
              std::unexpected(storage::StorageError{storage::InvalidView{}}));
    EXPECT_EQ(map(stray_role, f16, 16, 16, 0), invalid_view);
}

// The interleave in both directions, for tools that go from a cell to its position: read one way it
// gives the columns of a panel row, read the other the place of each column within it.
TEST(StorageCoordinates, OutputInterleaveIsUndoneByItsInverse) {
    constexpr std::array<std::uint32_t, 16> physical_of_column = {0, 1, 4, 5, 8,  9,  12, 13,
                                                                  2, 3, 6, 7, 10, 11, 14, 15};
    for (std::uint32_t column = 0; column < physical_of_column.size(); ++column) {
        EXPECT_EQ(storage::output_physical_column(column), physical_of_column[column]) << column;
        EXPECT_EQ(storage::output_logical_column(physical_of_column[column]), column) << column;
    }
}

// A matrix without rows (columns, for the transposes) has no position to map; a zero divisor must
// never be reached. Zero columns keep a nonzero panel size and stay accepted, positions past the first
// panel included.
TEST(StorageCoordinates, ZeroExtents) {
    struct MappingCase {
        Order order;
        Precision precision;
        std::uint32_t rows;
        std::uint32_t columns;
        std::uint32_t linear;
        CoordinatesResult want;
    };
    const std::vector<MappingCase> cases = {
        {left, f16, 2, 0, 5, at(0, 5)},
        {left, f16, 2, 0, 40, at(0, 24)},
        {output, f16, 2, 0, 18, at(1, 8)},
        {transposed_left, f32, 0, 3, 5, at(5, 0)},
        {right_matrix, f16, 16, 0, 256, at(0, 16)},

        {left, f16, 0, 16, 0, invalid_view},
        {left, f16, 0, 0, 7, invalid_view},
        {output, f32, 0, 16, 0, invalid_view},
        {transposed_left, f16, 16, 0, 0, invalid_view},
        {transposed_output, f16, 16, 0, 3, invalid_view},
        {right_matrix, f16, 0, 16, 0, invalid_view},
        {right_matrix, f8, 0, 0, 0, invalid_view},
        {transposed_right, f16, 16, 0, 0, invalid_view},
        // The block check still runs first.
        {left, f16, 0, 8, 0,
         std::unexpected(storage::StorageError{storage::AmpBlock{NativeKernelOrder::Left}})},
        {transposed_output, f16, 8, 0, 0,
         std::unexpected(storage::StorageError{storage::AmpBlock{NativeKernelOrder::Output}})},
    };
    for (const MappingCase& c : cases) {
        const CoordinatesResult got = map(c.order, c.precision, c.rows, c.columns, c.linear);
        EXPECT_TRUE(got == c.want) << describe(c.order) << ' ' << debug(c.precision) << ' ' << c.rows << 'x'
                                   << c.columns << " at " << c.linear << ": got " << describe(got)
                                   << ", want " << describe(c.want);
    }
}

}  // namespace
