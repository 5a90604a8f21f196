// Module `deep::diagnostic::tests`, continued: products where a BLAS changes path. Implementations cut the
// inner extent into blocks of a few hundred, the rows into blocks of several hundred and the columns into
// blocks of thousands, split an extent between one and two blocks into two halves, switch to edge kernels
// at the end of every block, take a path of their own for small products, and share large ones among
// threads. Products that stop at 64 x 64 x 64 reach none of this, so a block that overwrites instead of
// adding, a wrong edge or a lost bit of a long sum passes them. The product under test is a parameter, so
// that one wrong past a block can be shown to fail.
#pragma once

#include "ovra/runner/error.hpp"
#include "ovra/trivial_test/diagnostic_tests.hpp"

namespace ovra_tests::deep::diagnostic::tests {

using ovra_tests::diagnostic::tests::SgemmFunction;

// Products of small integers, exact in any order of summation, with rows, inner or columns past 1,100 and
// columns past 16,400 at remainders around the multiples of 4, 8 and 16, two extents past 1,024 at once,
// rows past 4,096 and past a quarter of a million, every transpose pair, padded strides and the output NaN
// before the call. The first wrong element fails, named with its call.
ovra_runner::Status integer_products_past_the_blocking_sizes_are_exact(SgemmFunction sgemm);

// Sums of up to 2,049 positive terms of random magnitudes, so that no cancellation hides a lost bit, each
// within (inner + 2) units in the last place of the exact sum.
ovra_runner::Status long_sums_keep_their_precision(SgemmFunction sgemm);

ovra_runner::Status exhaustive_integer_products_past_the_blocking_sizes_are_exact();
ovra_runner::Status randomized_long_sums_keep_their_precision();

}  // namespace ovra_tests::deep::diagnostic::tests
