// Module `deep::storage::tests`: every storage order against cell-to-position formulas written here, over
// every shape up to 64 x 128 in block multiples, and the block and panel-size errors at their thresholds.
// Each check takes the functions under test as parameters, so that a broken one can be shown to fail it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "ovra/codegen/layout.hpp"
#include "ovra/codegen/precision.hpp"
#include "ovra/codegen/storage_coordinates.hpp"
#include "ovra/codegen/storage_error.hpp"
#include "ovra/runner/error.hpp"

namespace ovra_tests::deep::storage::tests {

// Called like amp_micro_dimension, amp_matrix_coordinates and right_matrix_coordinates.
using MicroDimensionFunction = std::uint32_t (*)(ovra_codegen::operator_::Precision precision);
using CoordinatesFunction = ovra_codegen::storage::CoordinatesResult (*)(
    ovra_codegen::layout::NativeKernelOrder role, ovra_codegen::operator_::Precision precision,
    std::uint32_t rows, std::uint32_t columns, std::uint32_t linear);
using RightMatrixFunction = ovra_codegen::storage::CoordinatesResult (*)(
    ovra_codegen::operator_::Precision precision, std::uint32_t rows, std::uint32_t columns,
    std::uint32_t linear);
// Called like the storage error's `message`.
using StorageMessageFunction = std::string (*)(const ovra_codegen::storage::StorageError& error);

// The five kernel roles' orders and right-matrix order (that of right_matrix_coordinates).
enum class StorageOrder { Left, TransposedLeft, Output, TransposedOutput, RightMatrix, TransposedRight };

inline constexpr std::array<StorageOrder, 2> left_orders{StorageOrder::Left, StorageOrder::TransposedLeft};
inline constexpr std::array<StorageOrder, 2> output_orders{StorageOrder::Output,
                                                           StorageOrder::TransposedOutput};
inline constexpr std::array<StorageOrder, 2> right_matrix_orders{StorageOrder::RightMatrix,
                                                                 StorageOrder::TransposedRight};

// For each order and precision, every shape whose extents are block multiples up to 64 rows by 128 columns,
// every position of it and one panel past its end: the position maps to a cell that the order's formula
// stores at that very position, inside the matrix exactly when the position is. A formula is a function,
// so this makes each order a bijection of the positions onto the cells.
ovra_runner::Status orders_place_every_cell_by_formula(std::span<const StorageOrder> orders,
                                                       CoordinatesFunction amp, RightMatrixFunction right);

// Every shape from 0 x 0 to 66 x 66 (two blocks of the largest size and more) for every order and
// precision: block multiples are accepted, all others refused with the error that names the order.
// Also the micro dimension of each precision, and the message of each error the orders give.
ovra_runner::Status block_checks_refuse_exactly_the_non_multiples(MicroDimensionFunction micro_dimension,
                                                                  CoordinatesFunction amp,
                                                                  RightMatrixFunction right,
                                                                  StorageMessageFunction message);

// The panel size at its 32-bit limit for every order and precision: the largest extent that fits maps its
// last position, the next two overflow; the block check comes first; right-matrix blocks never overflow.
ovra_runner::Status panel_sizes_overflow_exactly_past_32_bits(CoordinatesFunction amp,
                                                              RightMatrixFunction right);

ovra_runner::Status exhaustive_left_orders_place_every_cell_by_formula();
ovra_runner::Status exhaustive_output_orders_place_every_cell_by_formula();
ovra_runner::Status exhaustive_right_matrix_orders_place_every_cell_by_formula();
ovra_runner::Status exhaustive_block_checks_refuse_exactly_the_non_multiples();
ovra_runner::Status exhaustive_panel_sizes_overflow_exactly_past_32_bits();

}  // namespace ovra_tests::deep::storage::tests
