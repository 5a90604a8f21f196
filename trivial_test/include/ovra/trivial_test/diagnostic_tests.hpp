// Module `diagnostic::tests`: the GEMM scalar-reference and GELU reorder properties. Each property takes the
// piece under test as a parameter so that a deliberately broken one can be shown to fail it.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "ovra/trivial_test/runner_vocabulary.hpp"

namespace ovra_tests::diagnostic::tests {

// Called like host_sgemm.
using SgemmFunction = Status (*)(std::span<const float> left, std::span<const float> right,
                                 std::span<float> output, std::uint32_t rows, std::uint32_t columns,
                                 std::uint32_t inner, std::uint32_t left_stride, std::uint32_t right_stride,
                                 bool transpose_left, bool transpose_right);

// 256 seeded products through `sgemm`, each element compared with a single-precision scalar dot product.
Status blas_gemm_matches_scalar_reference(SgemmFunction sgemm);

// The GELU word reorder: word i of every group of eight moves to word permutation[i], lanes unchanged.
inline constexpr std::array<std::uint32_t, 8> gelu_word_permutation{0, 4, 1, 5, 2, 6, 3, 7};

// 100 seeded F16 matrices: each element's Output-order cell before the move equals its Left-order cell
// after it.
Status gelu_reorder_preserves_logical_coordinates(std::span<const std::uint32_t, 8> permutation);

Status randomized_blas_gemm_matches_scalar_reference();
Status randomized_gelu_reorder_preserves_logical_coordinates();

}  // namespace ovra_tests::diagnostic::tests
