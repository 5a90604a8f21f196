// Module `deep::diagnostic::tests`: the host SGEMM beyond the suite's shapes, against references written
// here: products of small integers, exact in single precision whatever the order of summation, so that
// any fault of scale or indexing shows as an exact mismatch; random values within a rounding bound scaled
// by `inner` and the magnitudes; the argument checks at their limits; and the row-major indexing.
// The functions under test are parameters, so that a broken one can be shown to fail them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "ovra/runner/error.hpp"
#include "ovra/trivial_test/diagnostic_tests.hpp"

namespace ovra_tests::deep::diagnostic::tests {

using ovra_tests::diagnostic::tests::SgemmFunction;

// Called like matrix_index and product.
using MatrixIndexFunction = std::size_t (*)(std::span<const std::uint32_t> shape, std::size_t batch,
                                            std::uint32_t row, std::uint32_t column, bool transpose);
using ProductFunction = std::size_t (*)(std::span<const std::uint32_t> shape);

// Every shape up to 6 x 6 x 6, every transpose pair, rows stored with and without padding.
ovra_runner::Status small_integer_products_are_exact(SgemmFunction sgemm);

// 400 seeded shapes up to 64 x 64 x 64 and the extreme ones among them, every transpose pair, padded rows.
ovra_runner::Status integer_products_up_to_64_are_exact(SgemmFunction sgemm);

// 300 seeded products of values of random magnitudes, each element within (inner + 2) units of the last
// place of the sum of its terms' magnitudes from a double-precision dot product.
ovra_runner::Status real_products_match_a_scalar_reference(SgemmFunction sgemm);

// The limits of the arguments, just inside and just outside: signed 32-bit extents and strides, the
// output's length, strides as long as the stored row, operands as long as they are addressed, and empty
// extents. Refused calls leave the output as it was.
ovra_runner::Status sgemm_refuses_arguments_at_their_limits(SgemmFunction sgemm);

// Every position of every batch of small shapes, stored plainly and transposed, and counts past 32 bits.
ovra_runner::Status matrix_index_counts_batches_rows_and_columns(MatrixIndexFunction matrix_index,
                                                                 ProductFunction product);

ovra_runner::Status exhaustive_small_integer_products_are_exact();
ovra_runner::Status randomized_integer_products_up_to_64_are_exact();
ovra_runner::Status randomized_real_products_match_a_scalar_reference();
ovra_runner::Status exhaustive_sgemm_refuses_arguments_at_their_limits();
ovra_runner::Status exhaustive_matrix_index_counts_batches_rows_and_columns();

}  // namespace ovra_tests::deep::diagnostic::tests
