#include <array>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "coordinates_test_support.hpp"

namespace {

using namespace coordinates_test;

struct MappingCase {
    Order order;
    Precision precision;
    std::uint32_t rows;
    std::uint32_t columns;
    std::uint32_t linear;
    CoordinatesResult want;
};

CoordinatesResult at(std::uint32_t row, std::uint32_t column) {
    return MatrixCoordinates{row, column};
}
CoordinatesResult fails(storage::StorageError error) {
    return std::unexpected(error);
}

const CoordinatesResult left_block = fails(storage::AmpBlock{NativeKernelOrder::Left});
const CoordinatesResult output_block = fails(storage::AmpBlock{NativeKernelOrder::Output});
const CoordinatesResult invalid_view = fails(storage::InvalidView{});
const CoordinatesResult overflow = fails(storage::Overflow{});

constexpr Order left = NativeKernelOrder::Left;
constexpr Order transposed_left = NativeKernelOrder::TransposedLeft;
constexpr Order transposed_right = NativeKernelOrder::TransposedRight;
constexpr Order output = NativeKernelOrder::Output;
constexpr Order transposed_output = NativeKernelOrder::TransposedOutput;

const Precision f8 = operator_::F8F143{-3};
const Precision f16 = operator_::F16{};
const Precision f32 = operator_::F32{};

void expect_mappings(const std::vector<MappingCase>& cases) {
    for (const MappingCase& c : cases) {
        const CoordinatesResult got = map(c.order, c.precision, c.rows, c.columns, c.linear);
        EXPECT_TRUE(got == c.want) << describe(c.order) << ' ' << debug(c.precision) << ' ' << c.rows << 'x'
                                   << c.columns << " at " << c.linear << ": got " << describe(got)
                                   << ", want " << describe(c.want);
    }
}

// The mapping is usable at compile time.
static_assert(storage::amp_micro_dimension(operator_::F8F143{0}) == 32);
static_assert(storage::amp_micro_dimension(operator_::F16{}) == 16);
static_assert(storage::amp_micro_dimension(operator_::F32{}) == 8);
static_assert(*storage::amp_matrix_coordinates(NativeKernelOrder::TransposedOutput, operator_::F16{}, 16, 2,
                                               18) == MatrixCoordinates{8, 1});

TEST(StorageCoordinates, MapsEachRoleAsWorkedOut) {
    expect_mappings({
        {left, f32, 2, 16, 0, at(0, 0)},
        {left, f32, 2, 16, 7, at(0, 7)},
        {left, f32, 2, 16, 8, at(1, 0)},
        {left, f32, 2, 16, 15, at(1, 7)},
        {left, f32, 2, 16, 16, at(0, 8)},
        {left, f32, 2, 16, 31, at(1, 15)},
        {left, f16, 3, 32, 15, at(0, 15)},
        {left, f16, 3, 32, 16, at(1, 0)},
        {left, f16, 3, 32, 47, at(2, 15)},
        {left, f16, 3, 32, 48, at(0, 16)},
        {left, f16, 3, 32, 50, at(0, 18)},
        {left, f16, 3, 32, 95, at(2, 31)},
        {left, f8, 1, 64, 31, at(0, 31)},
        {left, f8, 1, 64, 32, at(0, 32)},
        {left, f8, 1, 64, 63, at(0, 63)},

        {transposed_left, f32, 16, 3, 1, at(1, 0)},
        {transposed_left, f32, 16, 3, 7, at(7, 0)},
        {transposed_left, f32, 16, 3, 8, at(0, 1)},
        {transposed_left, f32, 16, 3, 23, at(7, 2)},
        {transposed_left, f32, 16, 3, 24, at(8, 0)},
        {transposed_left, f32, 16, 3, 26, at(10, 0)},
        {transposed_left, f32, 16, 3, 47, at(15, 2)},

        {output, f16, 2, 16, 16, at(1, 0)},
        {output, f16, 2, 16, 17, at(1, 1)},
        {output, f16, 2, 16, 18, at(1, 8)},
        {output, f16, 2, 16, 31, at(1, 15)},

        {transposed_output, f16, 16, 2, 1, at(1, 0)},
        {transposed_output, f16, 16, 2, 2, at(8, 0)},
        {transposed_output, f16, 16, 2, 3, at(9, 0)},
        {transposed_output, f16, 16, 2, 16, at(0, 1)},
        {transposed_output, f16, 16, 2, 18, at(8, 1)},
        {transposed_output, f16, 16, 2, 31, at(15, 1)},

        {right_matrix, f16, 32, 16, 1, at(1, 0)},
        {right_matrix, f16, 32, 16, 15, at(15, 0)},
        {right_matrix, f16, 32, 16, 16, at(0, 1)},
        {right_matrix, f16, 32, 16, 255, at(15, 15)},
        {right_matrix, f16, 32, 16, 256, at(16, 0)},
        {right_matrix, f16, 32, 16, 511, at(31, 15)},
        {right_matrix, f8, 32, 32, 31, at(31, 0)},
        {right_matrix, f8, 32, 32, 32, at(0, 1)},
        {right_matrix, f8, 32, 32, 511, at(31, 15)},
        {right_matrix, f8, 32, 32, 512, at(0, 16)},
        {right_matrix, f8, 32, 32, 1023, at(31, 31)},

        {transposed_right, f32, 32, 16, 1, at(0, 1)},
        {transposed_right, f32, 32, 16, 7, at(0, 7)},
        {transposed_right, f32, 32, 16, 8, at(1, 0)},
        {transposed_right, f32, 32, 16, 127, at(15, 7)},
        {transposed_right, f32, 32, 16, 128, at(0, 8)},
        {transposed_right, f32, 32, 16, 256, at(16, 0)},
        {transposed_right, f32, 32, 16, 511, at(31, 15)},
    });
}

TEST(StorageCoordinates, OutputInterleavesColumnPairsWhateverThePrecision) {
    constexpr std::array<std::uint32_t, 16> first_row_columns = {0, 1, 8,  9,  2, 3, 10, 11,
                                                                 4, 5, 12, 13, 6, 7, 14, 15};
    std::vector<MappingCase> cases;
    for (const Precision& precision : {f8, f16, f32}) {
        for (std::uint32_t linear = 0; linear < first_row_columns.size(); ++linear) {
            cases.push_back({output, precision, 2, 16, linear, at(0, first_row_columns[linear])});
        }
        cases.push_back({output, precision, 2, 32, 32, at(0, 16)});
        cases.push_back({output, precision, 2, 32, 34, at(0, 24)});
        cases.push_back({output, precision, 2, 32, 63, at(1, 31)});
    }
    expect_mappings(cases);
}

// The interleave in both directions, for tools that go from a cell to its position: read one way it
// gives the columns above, read the other the place of each column within its panel row.
TEST(StorageCoordinates, OutputInterleaveIsUndoneByItsInverse) {
    constexpr std::array<std::uint32_t, 16> physical_of_column = {0, 1, 4, 5, 8,  9,  12, 13,
                                                                  2, 3, 6, 7, 10, 11, 14, 15};
    for (std::uint32_t column = 0; column < physical_of_column.size(); ++column) {
        EXPECT_EQ(storage::output_physical_column(column), physical_of_column[column]) << column;
        EXPECT_EQ(storage::output_logical_column(physical_of_column[column]), column) << column;
    }
}

TEST(StorageCoordinates, PositionsPastTheEndLeaveTheMatrix) {
    expect_mappings({
        {left, f16, 2, 16, 32, at(0, 16)},
        {left, f16, 2, 16, 48, at(1, 16)},
        {output, f16, 2, 16, 32, at(0, 16)},
        {right_matrix, f16, 32, 16, 512, at(0, 16)},
        {transposed_left, f32, 16, 3, 48, at(16, 0)},
        {transposed_output, f16, 16, 2, 32, at(16, 0)},
        {transposed_right, f32, 32, 16, 512, at(32, 0)},
    });
}

TEST(StorageCoordinates, BlockChecksNameTheUntransposedRole) {
    std::vector<MappingCase> cases = {
        {left, f8, 4, 16, 0, left_block},
        {transposed_left, f16, 8, 16, 0, left_block},
        {transposed_output, f16, 24, 4, 0, output_block},
        {transposed_right, f32, 8, 16, 0, invalid_view},   // 8 rows: not a multiple of 16
        {transposed_right, f32, 16, 12, 0, invalid_view},  // 12 columns: not a multiple of 8
        {right_matrix, f16, 24, 16, 0, invalid_view},
        {right_matrix, f16, 32, 8, 0, invalid_view},
        // A role cast from a stray integer names no order.
        {static_cast<NativeKernelOrder>(5), f16, 16, 16, 0, invalid_view},
    };
    for (const Precision& precision : {f8, f16, f32}) {
        cases.push_back({output, precision, 4, 24, 0, output_block});
    }
    expect_mappings(cases);
}

TEST(StorageCoordinates, PanelSizeOverflowsExactlyAtThirtyTwoBits) {
    expect_mappings({
        {left, f16, 268435456, 16, 0, overflow},
        {left, f16, 268435455, 16, 4294967279, at(268435454, 15)},
        {left, f8, 134217728, 32, 0, overflow},
        {left, f8, 134217727, 32, 4294967263, at(134217726, 31)},
        {left, f32, 536870912, 8, 0, overflow},
        {left, f32, 536870911, 8, 4294967287, at(536870910, 7)},
        {output, f32, 268435456, 16, 0, overflow},
        {output, f32, 268435455, 16, 4294967279, at(268435454, 15)},
        {transposed_left, f16, 16, 268435456, 0, overflow},
        {transposed_left, f16, 16, 268435455, 4294967279, at(15, 268435454)},
        {transposed_output, f32, 16, 268435456, 0, overflow},
        {transposed_output, f8, 16, 268435455, 4294967279, at(15, 268435454)},
        // Right-matrix blocks have a fixed size, so huge extents never overflow.
        {right_matrix, f16, 4294967280, 16, 4294967295, at(268435455, 15)},
        {transposed_right, f16, 16, 4294967280, 4294967295, at(15, 268435455)},
        // The block check comes first.
        {left, f16, 268435456, 8, 0, left_block},
        {transposed_left, f16, 8, 268435456, 0, left_block},
        {output, f16, 268435456, 8, 0, output_block},
    });
}

// A matrix without rows (columns, for the transposes) has no position to map; a zero divisor must
// never be reached. Zero columns keep a nonzero panel size and stay accepted.
TEST(StorageCoordinates, ZeroExtents) {
    expect_mappings({
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
        {left, f16, 0, 8, 0, left_block},
        {transposed_output, f16, 8, 0, 0, output_block},
    });
}

}  // namespace
