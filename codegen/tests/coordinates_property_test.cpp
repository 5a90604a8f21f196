#include <array>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "coordinates_test_support.hpp"

namespace {

using namespace coordinates_test;

constexpr std::array<Order, 6> every_order = {
    NativeKernelOrder::Left,   NativeKernelOrder::TransposedLeft,   NativeKernelOrder::TransposedRight,
    NativeKernelOrder::Output, NativeKernelOrder::TransposedOutput, right_matrix};

// The library's block shape of each order.
storage::BlockShape block_of(Order order, Precision precision) {
    if (!order) {
        return storage::right_matrix_block_shape(precision);
    }
    return storage::amp_block_shape(*order, precision).value();
}

Precision random_precision(std::mt19937& generator) {
    switch (std::uniform_int_distribution<int>(0, 2)(generator)) {
        case 0:
            // The scale exponent must not matter to addressing.
            return operator_::F8F143{
                static_cast<std::int8_t>(std::uniform_int_distribution<int>(-128, 127)(generator))};
        case 1:
            return operator_::F16{};
        default:
            return operator_::F32{};
    }
}

// A multiple of `block` between `block` and about 64 (at least one block).
std::uint32_t random_extent(std::mt19937& generator, std::uint32_t block) {
    const std::uint32_t most_blocks = block >= 64 ? 1 : 64 / block;
    return block * std::uniform_int_distribution<std::uint32_t>(1, most_blocks)(generator);
}

TEST(CoordinatesProperty, EveryOrderMapsEachPositionToItsOwnCell) {
    std::mt19937 generator(0x0c0de9e0);
    for (int shape = 0; shape < 300; ++shape) {
        const Precision precision = random_precision(generator);
        for (const Order order : every_order) {
            const storage::BlockShape block = block_of(order, precision);
            const std::uint32_t rows = random_extent(generator, block.rows);
            const std::uint32_t columns = random_extent(generator, block.columns);
            std::vector<bool> seen(std::size_t{rows} * columns, false);
            const std::uint32_t block_size = block.rows * block.columns;
            for (std::uint32_t linear = 0; linear < rows * columns; ++linear) {
                const CoordinatesResult got = map(order, precision, rows, columns, linear);
                const bool fresh_cell = got && got->row < rows && got->column < columns &&
                                        !seen[std::size_t{got->row} * columns + got->column];
                ASSERT_TRUE(fresh_cell) << describe(order) << ' ' << debug(precision) << ' ' << rows << 'x'
                                        << columns << " at " << linear << ": " << describe(got);
                seen[std::size_t{got->row} * columns + got->column] = true;
                // Each block is one run of positions: a position lies in the block of its run's first.
                const CoordinatesResult first =
                    map(order, precision, rows, columns, linear - linear % block_size);
                ASSERT_TRUE(first.has_value());
                EXPECT_EQ(got->row / block.rows, first->row / block.rows)
                    << describe(order) << " at " << linear;
                EXPECT_EQ(got->column / block.columns, first->column / block.columns)
                    << describe(order) << " at " << linear;
            }
        }
    }
}

// The block shape is what the block check accepts: extents that are multiples of it pass (whatever the
// panel size then says), others are refused.
TEST(CoordinatesProperty, BlockShapeIsWhatTheBlockCheckAccepts) {
    for (const Precision& precision :
         {Precision{operator_::F8F143{0}}, Precision{operator_::F16{}}, Precision{operator_::F32{}}}) {
        for (const Order order : every_order) {
            const storage::BlockShape block = block_of(order, precision);
            for (std::uint32_t rows = 1; rows <= 66; ++rows) {
                for (std::uint32_t columns = 1; columns <= 66; ++columns) {
                    const bool fits = rows % block.rows == 0 && columns % block.columns == 0;
                    ASSERT_EQ(map(order, precision, rows, columns, 0).has_value(), fits)
                        << describe(order) << ' ' << debug(precision) << ' ' << rows << 'x' << columns;
                }
            }
        }
    }
    EXPECT_EQ(storage::amp_block_shape(static_cast<NativeKernelOrder>(9), operator_::F16{}),
              std::unexpected(storage::StorageError{storage::InvalidView{}}));
}

CoordinatesResult exchanged(const CoordinatesResult& result) {
    if (!result) {
        return result;
    }
    return MatrixCoordinates{result->column, result->row};
}

// Shapes that fit and shapes that do not, zero extents and positions past the end included: errors
// must agree as well as coordinates.
TEST(CoordinatesProperty, TransposedRolesEqualTheirUntransposedOrderOnExchangedExtents) {
    struct Pairing {
        NativeKernelOrder transposed;
        Order plain;
    };
    constexpr std::array<Pairing, 3> pairings = {
        {{NativeKernelOrder::TransposedLeft, NativeKernelOrder::Left},
         {NativeKernelOrder::TransposedOutput, NativeKernelOrder::Output},
         {NativeKernelOrder::TransposedRight, right_matrix}}};
    std::mt19937 generator(0x7a05e);
    std::uniform_int_distribution<std::uint32_t> extent(0, 70);
    for (int shape = 0; shape < 300; ++shape) {
        const Precision precision = random_precision(generator);
        const std::uint32_t rows = extent(generator);
        const std::uint32_t columns = extent(generator);
        for (const Pairing& pairing : pairings) {
            for (std::uint32_t linear = 0; linear < rows * columns + 40; linear += 3) {
                const CoordinatesResult got = map(pairing.transposed, precision, rows, columns, linear);
                const CoordinatesResult want =
                    exchanged(map(pairing.plain, precision, columns, rows, linear));
                ASSERT_TRUE(got == want) << describe(pairing.transposed) << ' ' << debug(precision) << ' '
                                         << rows << 'x' << columns << " at " << linear << ": got "
                                         << describe(got) << ", want " << describe(want);
            }
        }
    }
}

}  // namespace
