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

// The smallest rows and columns each role accepts, as ovra_codegen states them; every accepted shape
// is a multiple of them.
BlockShape unit_of(Role role, const Precision& precision) {
    return role == Role::Right
               ? storage::right_matrix_block_shape(precision)
               : storage::amp_block_shape(static_cast<NativeKernelOrder>(role), precision).value();
}

std::vector<StoredMatrix> small_shapes() {
    std::vector<StoredMatrix> shapes;
    for (const Role role : all_roles) {
        for (const Precision& precision : {f8, f16, f32}) {
            const BlockShape unit = unit_of(role, precision);
            for (const std::uint32_t row_factor : {1U, 2U, 3U, 5U}) {
                for (const std::uint32_t column_factor : {1U, 2U, 3U, 5U}) {
                    shapes.push_back(
                        StoredMatrix{role, precision, unit.rows * row_factor, unit.columns * column_factor});
                }
            }
        }
    }
    return shapes;
}

// position_of is derived independently of ovra_codegen's mapping; going there and back must be the
// identity on every position, which makes both directions one-to-one onto the matrix. The outlines drawn
// around panels and blocks are only truthful if each outlined region is one run of positions: every run
// of a block's size, from a multiple of it, stays in one block.
TEST(StorageOrder, PositionOfInvertsTheLibraryMappingAndBlocksAreRuns) {
    for (const StoredMatrix& m : small_shapes()) {
        ASSERT_TRUE(check_shape(m).has_value()) << describe(m);
        const BlockShape block = block_shape(m);
        ASSERT_EQ(m.rows % block.rows + m.columns % block.columns, 0U) << describe(m);
        MatrixCoordinates run_start{};
        for (std::uint32_t position = 0; position < cell_count(m); ++position) {
            const CoordinatesResult cell = cell_at(m, position);
            ASSERT_TRUE(cell.has_value()) << describe(m) << " at " << position;
            ASSERT_EQ(position_of(m, *cell), std::optional<std::uint32_t>(position))
                << describe(m) << " at " << position << ", cell " << fmt::format("{}", *cell);
            if (position % (block.rows * block.columns) == 0) {
                run_start = *cell;
            }
            ASSERT_EQ(cell->row / block.rows, run_start.row / block.rows)
                << describe(m) << " at " << position;
            ASSERT_EQ(cell->column / block.columns, run_start.column / block.columns)
                << describe(m) << " at " << position;
        }
    }
}

struct CellCase {
    StoredMatrix matrix;
    MatrixCoordinates cell;
    std::optional<std::uint32_t> position;  // nothing: the cell lies outside the matrix
};

// Shapes far too large to scan, up to the last 32-bit position: the constant-time derivation still
// agrees with the library in both directions. Cells outside the matrix have no position.
TEST(StorageOrder, AgreesWithTheLibraryAtLargeShapes) {
    const std::vector<CellCase> cases{
        {StoredMatrix{Role::Left, f16, 268435455, 16}, {268435454, 15}, 4294967279U},
        {StoredMatrix{Role::Left, f16, 65536, 65536}, {65535, 65535}, 4294967295U},
        {StoredMatrix{Role::Left, f16, 65536, 65536}, {0, 16}, 1048576U},
        {StoredMatrix{Role::TransposedLeft, f32, 65536, 65536}, {65535, 65535}, 4294967295U},
        {StoredMatrix{Role::Output, f8, 4096, 1048576}, {1, 8}, 18U},
        {StoredMatrix{Role::Output, f8, 4096, 1048576}, {4095, 1048575}, 4294967295U},
        {StoredMatrix{Role::TransposedOutput, f32, 1048576, 4096}, {8, 4095}, 65522U},
        {StoredMatrix{Role::Right, f8, 1048576, 4096}, {0, 16}, 16777216U},
        {StoredMatrix{Role::Right, f8, 1048576, 4096}, {1048575, 4095}, 4294967295U},
        {StoredMatrix{Role::TransposedRight, f16, 4096, 1048576}, {16, 0}, 16777216U},
        {StoredMatrix{Role::TransposedRight, f16, 4096, 1048576}, {1, 0}, 16U},
        {StoredMatrix{Role::Output, f16, 2, 32}, {2, 0}, std::nullopt},
        {StoredMatrix{Role::Output, f16, 2, 32}, {0, 32}, std::nullopt},
        {StoredMatrix{Role::Output, f16, 2, 32},
         {std::numeric_limits<std::uint32_t>::max(), 0},
         std::nullopt},
    };
    for (const CellCase& c : cases) {
        ASSERT_TRUE(check_shape(c.matrix).has_value()) << describe(c.matrix);
        EXPECT_EQ(position_of(c.matrix, c.cell), c.position)
            << describe(c.matrix) << fmt::format(" cell {}", c.cell);
        if (c.position) {
            const CoordinatesResult back = cell_at(c.matrix, *c.position);
            ASSERT_TRUE(back.has_value());
            EXPECT_EQ(*back, c.cell) << describe(c.matrix) << " at " << *c.position;
        }
    }
}

struct ShapeCase {
    StoredMatrix matrix;
    std::optional<StorageError> want;  // nothing: accepted
};

TEST(StorageOrder, ChecksTheShapeAsTheRoleDoes) {
    const std::vector<ShapeCase> cases{
        {StoredMatrix{Role::Left, f8, 4, 16}, storage::AmpBlock{NativeKernelOrder::Left}},
        {StoredMatrix{Role::Output, f32, 4, 24}, storage::AmpBlock{NativeKernelOrder::Output}},
        {StoredMatrix{Role::TransposedOutput, f16, 24, 4}, storage::AmpBlock{NativeKernelOrder::Output}},
        {StoredMatrix{Role::TransposedRight, f32, 8, 16}, storage::InvalidView{}},
        {StoredMatrix{Role::Right, f16, 16, 8}, storage::InvalidView{}},
        {StoredMatrix{Role::Left, f16, 268435456, 16}, storage::Overflow{}},
        // Every one of 2^32 cells has a 32-bit position; one more row of cells and some would not.
        {StoredMatrix{Role::Left, f16, 65536, 65536}, std::nullopt},
        {StoredMatrix{Role::Right, f32, 4294967288U, 16}, storage::Overflow{}},
        {StoredMatrix{Role::TransposedRight, f32, 16, 268435456}, std::nullopt},
    };
    for (const ShapeCase& c : cases) {
        const std::expected<void, StorageError> got = check_shape(c.matrix);
        EXPECT_EQ(got ? std::nullopt : std::optional<StorageError>(got.error()), c.want)
            << describe(c.matrix) << (got ? "" : fmt::format(": {:?}", got.error()));
    }
}

}  // namespace
