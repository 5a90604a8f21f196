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

// The extents each order needs to be a multiple of: (rows, columns).
std::pair<std::uint32_t, std::uint32_t> block_of(Order order, std::uint32_t inner) {
    if (!order) {
        return {inner, 16};
    }
    switch (*order) {
        case NativeKernelOrder::Left:
            return {1, inner};
        case NativeKernelOrder::TransposedLeft:
            return {inner, 1};
        case NativeKernelOrder::TransposedRight:
            return {16, inner};
        case NativeKernelOrder::Output:
            return {1, 16};
        case NativeKernelOrder::TransposedOutput:
            return {16, 1};
    }
    return {1, 1};
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
        const std::uint32_t inner = storage::amp_micro_dimension(precision);
        for (const Order order : every_order) {
            const auto [row_block, column_block] = block_of(order, inner);
            const std::uint32_t rows = random_extent(generator, row_block);
            const std::uint32_t columns = random_extent(generator, column_block);
            std::vector<bool> seen(std::size_t{rows} * columns, false);
            for (std::uint32_t linear = 0; linear < rows * columns; ++linear) {
                const CoordinatesResult got = map(order, precision, rows, columns, linear);
                const bool fresh_cell = got && got->row < rows && got->column < columns &&
                                        !seen[std::size_t{got->row} * columns + got->column];
                ASSERT_TRUE(fresh_cell) << describe(order) << ' ' << debug(precision) << ' ' << rows << 'x'
                                        << columns << " at " << linear << ": " << describe(got);
                seen[std::size_t{got->row} * columns + got->column] = true;
            }
        }
    }
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
