#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "ovra/codegen/storage_error_text.hpp"
#include "test_support.hpp"

namespace {

using namespace inspector_test;
namespace storage = ovra_codegen::storage;

constexpr std::array all_roles{Role::Left,   Role::TransposedLeft,   Role::TransposedRight,
                               Role::Output, Role::TransposedOutput, Role::Right};

// The smallest rows and columns each role accepts; every accepted shape is a multiple of them.
BlockShape unit_of(Role role, const Precision& precision) {
    const std::uint32_t inner = storage::amp_micro_dimension(precision);
    switch (role) {
        case Role::Left:
            return {1, inner};
        case Role::TransposedLeft:
            return {inner, 1};
        case Role::Output:
            return {1, 16};
        case Role::TransposedOutput:
            return {16, 1};
        case Role::Right:
            return {inner, 16};
        case Role::TransposedRight:
            return {16, inner};
    }
    return {1, 1};
}

std::vector<StoredMatrix> small_shapes() {
    std::vector<StoredMatrix> shapes;
    for (const Role role : all_roles) {
        for (const Precision& precision : {f8, f16, f32}) {
            const BlockShape unit = unit_of(role, precision);
            for (const std::uint32_t row_factor : {1U, 2U, 3U, 5U}) {
                for (const std::uint32_t column_factor : {1U, 2U, 3U, 5U}) {
                    shapes.push_back(
                        matrix(role, precision, unit.rows * row_factor, unit.columns * column_factor));
                }
            }
        }
    }
    return shapes;
}

// position_of is derived independently of ovra_codegen's mapping; going there and back must be the
// identity on every position, which makes both directions one-to-one onto the matrix.
TEST(StorageOrder, PositionOfInvertsTheLibraryMappingOnEveryPosition) {
    for (const StoredMatrix& m : small_shapes()) {
        ASSERT_TRUE(check_shape(m).has_value()) << describe(m);
        const auto count = static_cast<std::uint32_t>(cell_count(m));
        for (std::uint32_t position = 0; position < count; ++position) {
            const CoordinatesResult cell = cell_at(m, position);
            ASSERT_TRUE(cell.has_value()) << describe(m) << " at " << position;
            ASSERT_EQ(position_of(m, *cell), std::optional<std::uint32_t>(position))
                << describe(m) << " at " << position << ", cell " << fmt::format("{}", *cell);
        }
    }
}

// The outlines drawn around panels and blocks are only truthful if each outlined region is one
// unbroken run of positions.
TEST(StorageOrder, EachPanelOrBlockIsOneRunOfPositions) {
    for (const StoredMatrix& m : small_shapes()) {
        const BlockShape block = block_shape(m);
        ASSERT_EQ(m.rows % block.rows, 0U) << describe(m);
        ASSERT_EQ(m.columns % block.columns, 0U) << describe(m);
        for (std::uint32_t top = 0; top < m.rows; top += block.rows) {
            for (std::uint32_t left = 0; left < m.columns; left += block.columns) {
                std::uint32_t lowest = std::numeric_limits<std::uint32_t>::max();
                std::uint32_t highest = 0;
                for (std::uint32_t row = top; row < top + block.rows; ++row) {
                    for (std::uint32_t column = left; column < left + block.columns; ++column) {
                        const std::uint32_t position = position_of(m, {row, column}).value();
                        lowest = std::min(lowest, position);
                        highest = std::max(highest, position);
                    }
                }
                EXPECT_EQ(highest - lowest + 1, block.rows * block.columns)
                    << describe(m) << ", block at (" << top << ", " << left << ")";
                EXPECT_EQ(lowest % (block.rows * block.columns), 0U) << describe(m);
            }
        }
    }
}

struct LargeCase {
    StoredMatrix matrix;
    MatrixCoordinates cell;
    std::uint32_t position;
};

// Shapes far too large to scan, up to the last 32-bit position: the constant-time derivation still
// agrees with the library in both directions.
TEST(StorageOrder, AgreesWithTheLibraryAtLargeShapes) {
    const std::vector<LargeCase> cases{
        {matrix(Role::Left, f16, 268435455, 16), {268435454, 15}, 4294967279U},
        {matrix(Role::Left, f16, 65536, 65536), {65535, 65535}, 4294967295U},
        {matrix(Role::Left, f16, 65536, 65536), {0, 16}, 1048576U},
        {matrix(Role::TransposedLeft, f32, 65536, 65536), {65535, 65535}, 4294967295U},
        {matrix(Role::Output, f8, 4096, 1048576), {1, 8}, 18U},
        {matrix(Role::Output, f8, 4096, 1048576), {4095, 1048575}, 4294967295U},
        {matrix(Role::TransposedOutput, f32, 1048576, 4096), {8, 4095}, 65522U},
        {matrix(Role::Right, f8, 1048576, 4096), {0, 16}, 16777216U},
        {matrix(Role::Right, f8, 1048576, 4096), {1048575, 4095}, 4294967295U},
        {matrix(Role::TransposedRight, f16, 4096, 1048576), {16, 0}, 16777216U},
        {matrix(Role::TransposedRight, f16, 4096, 1048576), {1, 0}, 16U},
    };
    for (const LargeCase& c : cases) {
        ASSERT_TRUE(check_shape(c.matrix).has_value()) << describe(c.matrix);
        EXPECT_EQ(position_of(c.matrix, c.cell), std::optional<std::uint32_t>(c.position))
            << describe(c.matrix) << fmt::format(" cell {}", c.cell);
        const CoordinatesResult back = cell_at(c.matrix, c.position);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, c.cell) << describe(c.matrix) << " at " << c.position;
    }
}

TEST(StorageOrder, CellsOutsideTheMatrixHaveNoPosition) {
    const StoredMatrix m = matrix(Role::Output, f16, 2, 32);
    EXPECT_EQ(position_of(m, {2, 0}), std::nullopt);
    EXPECT_EQ(position_of(m, {0, 32}), std::nullopt);
    EXPECT_EQ(position_of(m, {std::numeric_limits<std::uint32_t>::max(), 0}), std::nullopt);
}

struct ShapeCase {
    StoredMatrix matrix;
    std::optional<StorageError> want;  // nothing: accepted
};

TEST(StorageOrder, ChecksTheShapeAsTheRoleDoes) {
    const std::vector<ShapeCase> cases{
        {matrix(Role::Left, f8, 4, 16), storage::AmpBlock{NativeKernelOrder::Left}},
        {matrix(Role::TransposedLeft, f16, 8, 16), storage::AmpBlock{NativeKernelOrder::Left}},
        {matrix(Role::Output, f32, 4, 24), storage::AmpBlock{NativeKernelOrder::Output}},
        {matrix(Role::TransposedOutput, f16, 24, 4), storage::AmpBlock{NativeKernelOrder::Output}},
        {matrix(Role::TransposedRight, f32, 8, 16), storage::InvalidView{}},
        {matrix(Role::Right, f16, 16, 8), storage::InvalidView{}},
        {matrix(Role::Left, f16, 268435456, 16), storage::Overflow{}},
        // Every one of 2^32 cells has a 32-bit position; one more row of cells and some would not.
        {matrix(Role::Left, f16, 65536, 65536), std::nullopt},
        {matrix(Role::Left, f16, 65536, 65552), storage::Overflow{}},
        {matrix(Role::Right, f32, 4294967288U, 16), storage::Overflow{}},
        {matrix(Role::TransposedRight, f32, 16, 268435456), std::nullopt},
    };
    for (const ShapeCase& c : cases) {
        const std::expected<void, StorageError> got = check_shape(c.matrix);
        if (c.want) {
            ASSERT_FALSE(got.has_value()) << describe(c.matrix);
            EXPECT_EQ(got.error(), *c.want) << describe(c.matrix) << ": " << fmt::format("{:?}", got.error());
        } else {
            EXPECT_TRUE(got.has_value()) << describe(c.matrix);
        }
    }
}

}  // namespace
