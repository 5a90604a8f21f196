#include "ovra/deep_check/storage_checks.hpp"

#include <bit>
#include <string>
#include <type_traits>
#include <variant>

#include <fmt/format.h>

#include "ovra/codegen/precision_text.hpp"
#include "ovra/codegen/storage_error_text.hpp"
#include "ovra/deep_check/check_that.hpp"

namespace ovra_tests::deep::storage::tests {

using ovra_runner::Status;

namespace {

using ovra_codegen::layout::NativeKernelOrder;
using ovra_codegen::operator_::F16;
using ovra_codegen::operator_::F32;
using ovra_codegen::operator_::F8F143;
using ovra_codegen::operator_::Precision;
using ovra_codegen::storage::AmpBlock;
using ovra_codegen::storage::CoordinatesResult;
using ovra_codegen::storage::InvalidView;
using ovra_codegen::storage::Overflow;
using ovra_codegen::storage::StorageError;

constexpr std::uint64_t largest_u32 = 0xFFFFFFFF;

// Every order and precision, written out here rather than taken from the library.
constexpr std::array<StorageOrder, 6> every_order{StorageOrder::Left,        StorageOrder::TransposedLeft,
                                                  StorageOrder::Output,      StorageOrder::TransposedOutput,
                                                  StorageOrder::RightMatrix, StorageOrder::TransposedRight};
constexpr std::array<Precision, 3> every_precision{F8F143{-3}, F16{}, F32{}};

// Columns 0 to 15 of an Output panel row lie at these positions of the row: pairs 0, 4, 1, 5, 2, 6, 3, 7.
constexpr std::array<std::uint64_t, 16> output_slot{0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15};
// Output panels and right-matrix blocks are 16 columns wide whatever the precision.
constexpr std::uint32_t panel_columns = 16;

std::string_view name_of(StorageOrder order) {
    switch (order) {
        case StorageOrder::Left:
            return "Left";
        case StorageOrder::TransposedLeft:
            return "TransposedLeft";
        case StorageOrder::Output:
            return "Output";
        case StorageOrder::TransposedOutput:
            return "TransposedOutput";
        case StorageOrder::RightMatrix:
            return "right-matrix";
        case StorageOrder::TransposedRight:
            break;
    }
    return "TransposedRight";
}

constexpr bool is_transposed(StorageOrder order) {
    return order == StorageOrder::TransposedLeft || order == StorageOrder::TransposedOutput ||
           order == StorageOrder::TransposedRight;
}

// The order a transposed role stores its transpose in.
constexpr StorageOrder untransposed(StorageOrder order) {
    switch (order) {
        case StorageOrder::TransposedLeft:
            return StorageOrder::Left;
        case StorageOrder::TransposedOutput:
            return StorageOrder::Output;
        case StorageOrder::TransposedRight:
            return StorageOrder::RightMatrix;
        default:
            return order;
    }
}

std::uint32_t expected_micro_dimension(const Precision& precision) {
    if (std::holds_alternative<F8F143>(precision)) {
        return 32;
    }
    return std::holds_alternative<F16>(precision) ? 16 : 8;
}

struct Block {
    std::uint32_t rows;
    std::uint32_t columns;
};

// The extents an order accepts are multiples of its block.
Block block_of(StorageOrder order, std::uint32_t inner) {
    Block plain{1, inner};
    if (untransposed(order) == StorageOrder::Output) {
        plain = {1, panel_columns};
    } else if (untransposed(order) == StorageOrder::RightMatrix) {
        plain = {inner, panel_columns};
    }
    return is_transposed(order) ? Block{plain.columns, plain.rows} : plain;
}

// The error an order gives for extents that are not block multiples: AmpBlock names the untransposed role.
StorageError misfit_error(StorageOrder order) {
    switch (untransposed(order)) {
        case StorageOrder::Left:
            return AmpBlock{NativeKernelOrder::Left};
        case StorageOrder::Output:
            return AmpBlock{NativeKernelOrder::Output};
        default:
            return InvalidView{};
    }
}

// Where an untransposed order stores cell (row, column) of a matrix of `rows` rows; it goes on past the
// last column as if further panels (blocks) followed. `inner` is a power of two, 2^`shift`: shifts and
// masks spare the divisions that would dominate a check run millions of times.
template <StorageOrder Plain>
std::uint64_t plain_position(std::uint64_t shift, std::uint64_t rows, std::uint64_t row,
                             std::uint64_t column) {
    const std::uint64_t inner = std::uint64_t{1} << shift;
    if constexpr (Plain == StorageOrder::Left) {
        return (column >> shift) * (rows << shift) + (row << shift) + (column & (inner - 1));
    } else if constexpr (Plain == StorageOrder::Output) {
        return column / panel_columns * (rows * panel_columns) + row * panel_columns +
               output_slot[column % panel_columns];
    } else {
        // Blocks of inner x 16 cells, numbered down the rows first; each block column by column.
        const std::uint64_t block = column / panel_columns * (rows >> shift) + (row >> shift);
        return block * (inner * panel_columns) + column % panel_columns * inner + (row & (inner - 1));
    }
}

// One shape of one order and precision, and the functions under test that map it.
struct Subject {
    StorageOrder order;
    Precision precision;
    std::uint32_t inner;
    std::uint32_t rows;
    std::uint32_t columns;
    CoordinatesFunction amp;
    RightMatrixFunction right;

    [[nodiscard]] std::string describe(std::uint64_t linear, const CoordinatesResult& result) const {
        return fmt::format("{} {} {} x {}: position {} maps to {}", name_of(order), precision, rows, columns,
                           linear, result ? fmt::format("{}", *result) : fmt::format("{:?}", result.error()));
    }
};

constexpr NativeKernelOrder role_of(StorageOrder order) {
    switch (order) {
        case StorageOrder::Left:
            return NativeKernelOrder::Left;
        case StorageOrder::TransposedLeft:
            return NativeKernelOrder::TransposedLeft;
        case StorageOrder::Output:
            return NativeKernelOrder::Output;
        case StorageOrder::TransposedOutput:
            return NativeKernelOrder::TransposedOutput;
        default:
            return NativeKernelOrder::TransposedRight;
    }
}

// Calls `visit` with the order as a compile-time constant, so that the loops over positions are compiled
// once per order with nothing left to decide per position.
template <class Visit>
auto with_order(StorageOrder order, Visit visit) {
    using enum StorageOrder;
    switch (order) {
        case Left:
            return visit(std::integral_constant<StorageOrder, Left>{});
        case TransposedLeft:
            return visit(std::integral_constant<StorageOrder, TransposedLeft>{});
        case Output:
            return visit(std::integral_constant<StorageOrder, Output>{});
        case TransposedOutput:
            return visit(std::integral_constant<StorageOrder, TransposedOutput>{});
        case RightMatrix:
            return visit(std::integral_constant<StorageOrder, RightMatrix>{});
        case TransposedRight:
            break;
    }
    return visit(std::integral_constant<StorageOrder, TransposedRight>{});
}

template <StorageOrder Order>
CoordinatesResult map_as(const Subject& subject, std::uint32_t linear) {
    if constexpr (Order == StorageOrder::RightMatrix) {
        return subject.right(subject.precision, subject.rows, subject.columns, linear);
    } else {
        return subject.amp(role_of(Order), subject.precision, subject.rows, subject.columns, linear);
    }
}

CoordinatesResult map(const Subject& subject, std::uint32_t linear) {
    return with_order(subject.order, [&](auto order) { return map_as<order()>(subject, linear); });
}

// A transposed role stores its matrix as the untransposed order stores the transpose: the transpose's
// extents and cell go into the plain formula.
template <StorageOrder Order>
std::uint64_t position_as(const Subject& subject, std::uint64_t shift,
                          const ovra_codegen::storage::MatrixCoordinates& cell) {
    if constexpr (is_transposed(Order)) {
        return plain_position<untransposed(Order)>(shift, subject.columns, cell.column, cell.row);
    } else {
        return plain_position<Order>(shift, subject.rows, cell.row, cell.column);
    }
}

// For every position from `begin` to `end`: its cell is the one the formula stores there; it lies inside
// the matrix exactly when the position does, and a position past the end leaves the matrix only across
// the panels: a column at or past `columns` for the untransposed orders (the row stays below `rows`), a
// row at or past `rows` when transposed.
template <StorageOrder Order>
void check_positions_as(const Subject& subject, std::uint64_t begin, std::uint64_t end) {
    const auto shift = static_cast<std::uint64_t>(std::countr_zero(subject.inner));
    const std::uint64_t cells = std::uint64_t{subject.rows} * subject.columns;
    for (std::uint64_t linear = begin; linear < end; ++linear) {
        const CoordinatesResult result = map_as<Order>(subject, static_cast<std::uint32_t>(linear));
        const bool row_inside = result && result->row < subject.rows;
        const bool column_inside = result && result->column < subject.columns;
        const bool placed = result && (is_transposed(Order) ? column_inside : row_inside) &&
                            (row_inside && column_inside) == (linear < cells) &&
                            position_as<Order>(subject, shift, *result) == linear;
        check_that(placed, [&] {
            const std::string mapping = subject.describe(linear, result);
            if (!result) {
                return mapping;
            }
            return fmt::format("{}, a cell {} the matrix, which its formula stores at {}", mapping,
                               row_inside && column_inside ? "inside" : "outside",
                               position_as<Order>(subject, shift, *result));
        });
    }
}

void check_positions(const Subject& subject, std::uint64_t begin, std::uint64_t end) {
    with_order(subject.order, [&](auto order) { check_positions_as<order()>(subject, begin, end); });
}

void check_position(const Subject& subject, std::uint32_t linear) {
    check_positions(subject, linear, std::uint64_t{linear} + 1);
}

// Positions one panel (or block, for right-matrix order) takes: how far past the end a check looks.
std::uint64_t panel_of(const Subject& subject) {
    const std::uint64_t plain_rows = is_transposed(subject.order) ? subject.columns : subject.rows;
    switch (untransposed(subject.order)) {
        case StorageOrder::Left:
            return plain_rows * subject.inner;
        case StorageOrder::Output:
            return plain_rows * panel_columns;
        default:
            return std::uint64_t{subject.inner} * panel_columns;
    }
}

Subject subject_of(StorageOrder order, const Precision& precision, std::uint32_t rows, std::uint32_t columns,
                   CoordinatesFunction amp, RightMatrixFunction right) {
    return {order, precision, expected_micro_dimension(precision), rows, columns, amp, right};
}

// The scale exponent of F8F143 must not matter to addressing, so each shape carries another one.
Precision with_exponent_for(const Precision& precision, std::uint32_t rows, std::uint32_t columns) {
    if (std::holds_alternative<F8F143>(precision)) {
        return F8F143{static_cast<std::int8_t>(static_cast<std::uint8_t>(rows * 5 + columns))};
    }
    return precision;
}

}  // namespace

Status orders_place_every_cell_by_formula(std::span<const StorageOrder> orders, CoordinatesFunction amp,
                                          RightMatrixFunction right) {
    constexpr std::uint32_t most_rows = 64;
    constexpr std::uint32_t most_columns = 128;
    for (const StorageOrder order : orders) {
        for (const Precision& precision : every_precision) {
            const Block block = block_of(order, expected_micro_dimension(precision));
            for (std::uint32_t rows = block.rows; rows <= most_rows; rows += block.rows) {
                for (std::uint32_t columns = block.columns; columns <= most_columns;
                     columns += block.columns) {
                    const Subject subject = subject_of(order, with_exponent_for(precision, rows, columns),
                                                       rows, columns, amp, right);
                    check_positions(subject, 0, std::uint64_t{rows} * columns + panel_of(subject));
                }
            }
        }
    }
    return {};
}

Status block_checks_refuse_exactly_the_non_multiples(MicroDimensionFunction micro_dimension,
                                                     CoordinatesFunction amp, RightMatrixFunction right,
                                                     StorageMessageFunction message) {
    // What a user reads of each error the orders give.
    struct Reading {
        CoordinatesResult result;
        std::string_view message;
    };
    const std::array<Reading, 4> readings{{
        {amp(NativeKernelOrder::TransposedLeft, F16{}, 8, 16, 0),
         "AMP Left storage dimensions are incompatible with its block shape"},
        {amp(NativeKernelOrder::TransposedOutput, F32{}, 24, 4, 0),
         "AMP Output storage dimensions are incompatible with its block shape"},
        {right(F16{}, 24, 16, 0), "view extents are not a valid subset of the shard"},
        {amp(NativeKernelOrder::Left, F16{}, 268435456, 16, 0), "tensor storage size overflowed"},
    }};
    for (const Reading& reading : readings) {
        check_that(!reading.result.has_value() && message(reading.result.error()) == reading.message, [&] {
            return reading.result ? fmt::format("a call expected to fail with \"{}\" gave {}",
                                                reading.message, *reading.result)
                                  : fmt::format("{:?} reads \"{}\", not \"{}\"", reading.result.error(),
                                                message(reading.result.error()), reading.message);
        });
    }
    for (const Precision& precision : every_precision) {
        check_that(micro_dimension(precision) == expected_micro_dimension(precision), [&] {
            return fmt::format("the micro dimension of {} is {}, not {}", precision,
                               micro_dimension(precision), expected_micro_dimension(precision));
        });
    }
    constexpr std::uint32_t largest_extent = 66;
    for (const StorageOrder order : every_order) {
        for (const Precision& precision : every_precision) {
            const Block block = block_of(order, expected_micro_dimension(precision));
            for (std::uint32_t rows = 0; rows <= largest_extent; ++rows) {
                for (std::uint32_t columns = 0; columns <= largest_extent; ++columns) {
                    const Subject subject = subject_of(order, precision, rows, columns, amp, right);
                    if (rows % block.rows != 0 || columns % block.columns != 0) {
                        const CoordinatesResult result = map(subject, 0);
                        check_that(result == std::unexpected(misfit_error(order)), [&] {
                            return subject.describe(0, result) +
                                   fmt::format(", not to {:?}", misfit_error(order));
                        });
                    } else if ((is_transposed(order) ? columns : rows) != 0) {
                        check_position(subject, 0);
                    } else {
                        // A matrix without rows (columns, transposed) has no position to map; the call must
                        // only return, whatever it answers.
                        static_cast<void>(map(subject, 0));
                    }
                }
            }
        }
    }
    return {};
}

Status panel_sizes_overflow_exactly_past_32_bits(CoordinatesFunction amp, RightMatrixFunction right) {
    for (const StorageOrder order : every_order) {
        for (const Precision& precision : every_precision) {
            const std::uint32_t inner = expected_micro_dimension(precision);
            // The panel extent (rows, or columns when transposed) and the other one, a single block.
            const auto shape = [&](std::uint64_t panel_extent, std::uint32_t other) {
                const auto extent = static_cast<std::uint32_t>(panel_extent);
                return is_transposed(order) ? subject_of(order, precision, other, extent, amp, right)
                                            : subject_of(order, precision, extent, other, amp, right);
            };
            const auto expect = [&](const Subject& subject, const CoordinatesResult& expected) {
                const CoordinatesResult result = map(subject, 0);
                check_that(result == expected, [&] {
                    return subject.describe(0, result) + fmt::format(", not to {:?}", expected.error());
                });
            };
            const auto check_far_positions = [&](const Subject& subject) {
                for (const std::uint64_t linear :
                     {std::uint64_t{0}, std::uint64_t{subject.rows} * subject.columns - 1,
                      std::uint64_t{subject.rows} * subject.columns, largest_u32}) {
                    if (linear <= largest_u32) {
                        check_position(subject, static_cast<std::uint32_t>(linear));
                    }
                }
            };
            if (untransposed(order) == StorageOrder::RightMatrix) {
                // Blocks have a fixed size: the largest extents accepted map like any other.
                check_far_positions(shape(largest_u32 - largest_u32 % inner, panel_columns));
                check_far_positions(
                    shape(inner, static_cast<std::uint32_t>(largest_u32 - largest_u32 % panel_columns)));
                continue;
            }
            const std::uint32_t width = untransposed(order) == StorageOrder::Left ? inner : panel_columns;
            const std::uint64_t most = largest_u32 / width;
            check_far_positions(shape(most, width));
            expect(shape(most + 1, width), std::unexpected(StorageError{Overflow{}}));
            expect(shape(most + 2, width), std::unexpected(StorageError{Overflow{}}));
            // The block check comes before the panel size.
            expect(shape(most + 1, width / 2), std::unexpected(misfit_error(order)));
        }
    }
    return {};
}

Status exhaustive_left_orders_place_every_cell_by_formula() {
    return orders_place_every_cell_by_formula(left_orders, ovra_codegen::storage::amp_matrix_coordinates,
                                              ovra_codegen::storage::right_matrix_coordinates);
}

Status exhaustive_output_orders_place_every_cell_by_formula() {
    return orders_place_every_cell_by_formula(output_orders, ovra_codegen::storage::amp_matrix_coordinates,
                                              ovra_codegen::storage::right_matrix_coordinates);
}

Status exhaustive_right_matrix_orders_place_every_cell_by_formula() {
    return orders_place_every_cell_by_formula(right_matrix_orders,
                                              ovra_codegen::storage::amp_matrix_coordinates,
                                              ovra_codegen::storage::right_matrix_coordinates);
}

Status exhaustive_block_checks_refuse_exactly_the_non_multiples() {
    return block_checks_refuse_exactly_the_non_multiples(
        ovra_codegen::storage::amp_micro_dimension, ovra_codegen::storage::amp_matrix_coordinates,
        ovra_codegen::storage::right_matrix_coordinates, ovra_codegen::storage::message);
}

Status exhaustive_panel_sizes_overflow_exactly_past_32_bits() {
    return panel_sizes_overflow_exactly_past_32_bits(ovra_codegen::storage::amp_matrix_coordinates,
                                                     ovra_codegen::storage::right_matrix_coordinates);
}

}  // namespace ovra_tests::deep::storage::tests
