// Module `deep::diagnostic::tests`, continued: the host product called from more threads than the host has
// cores. A library whose calls must take turns gets them one at a time, and every product comes out as it
// does alone. The product under test is a parameter, so that one that lets calls overlap can be shown to
// fail.
#pragma once

#include <cstdint>
#include <span>

#include "ovra/runner/error.hpp"
#include "ovra/trivial_test/cblas.hpp"

namespace ovra_tests::deep::diagnostic::tests {

using ovra_tests::diagnostic::Cblas;

// Called like host_sgemm_through.
using SgemmThroughFunction = ovra_runner::Status (*)(const Cblas& blas, std::span<const float> left,
                                                     std::span<const float> right, std::span<float> output,
                                                     std::uint32_t rows, std::uint32_t columns,
                                                     std::uint32_t inner, std::uint32_t left_stride,
                                                     std::uint32_t right_stride, bool transpose_left,
                                                     bool transpose_right);

// `blas` takes turns where the library says it must (`must_take_turns`). Seeded products through `blas`,
// computed alone first, then again and again from more threads than the host has cores, all released at
// once: each must equal its product alone exactly (the operands are small integers, so any order of
// summation gives the same sums). Then the same calls through a stand-in for `blas` that counts the calls
// inside it: when `blas` takes turns, it never sees two at once. Library races are rare events, while that
// count shows a missing turn in every run.
ovra_runner::Status concurrent_products_equal_products_alone(SgemmThroughFunction sgemm_through,
                                                             const Cblas& blas, bool must_take_turns);

ovra_runner::Status randomized_concurrent_products_equal_products_alone();

}  // namespace ovra_tests::deep::diagnostic::tests
