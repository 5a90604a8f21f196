// Module `diagnostic::tests`: the GEMM scalar-reference and GELU reorder properties. Each property takes the
// piece under test as a parameter so that a deliberately broken one can be shown to fail it.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "ovra/codegen/storage_coordinates.hpp"
#include "ovra/codegen/storage_error_text.hpp"
#include "ovra/runner/check.hpp"
#include "ovra/runner/error.hpp"
#include "ovra/trivial_test/rng.hpp"

namespace ovra_tests::diagnostic::tests {

// Called like host_sgemm.
using SgemmFunction = ovra_runner::Status (*)(std::span<const float> left, std::span<const float> right,
                                              std::span<float> output, std::uint32_t rows,
                                              std::uint32_t columns, std::uint32_t inner,
                                              std::uint32_t left_stride, std::uint32_t right_stride,
                                              bool transpose_left, bool transpose_right);

// 256 seeded products through `sgemm`, each element compared with a single-precision scalar dot product.
ovra_runner::Status blas_gemm_matches_scalar_reference(SgemmFunction sgemm);

// The GELU word reorder: word i of every group of eight moves to word permutation[i], lanes unchanged.
inline constexpr std::array<std::uint32_t, 8> gelu_word_permutation{0, 4, 1, 5, 2, 6, 3, 7};

// 100 seeded F16 matrices: each element's Output-order cell before the move equals its Left-order cell
// after it. `coordinates` is called like amp_matrix_coordinates; a template parameter, so that the
// registered test's 464,128 calls inline as a direct call would.
template <class Coordinates>
ovra_runner::Status gelu_reorder_preserves_logical_coordinates(std::span<const std::uint32_t, 8> permutation,
                                                               Coordinates coordinates) {
    using ovra_codegen::layout::NativeKernelOrder;
    constexpr ovra_codegen::operator_::Precision f16 = ovra_codegen::operator_::F16{};
    constexpr std::uint32_t workers = 6;

    Rng random = Rng::with_seed(0x47454C5552454F52ULL);
    for (int test_case = 0; test_case < 100; ++test_case) {
        const std::uint32_t rows = random.u32(half_open<std::uint32_t>(1, 65));
        const std::uint32_t columns = 16 * random.u32(half_open<std::uint32_t>(1, 9));
        const std::uint32_t words = rows * columns / 2;
        // Worker w takes groups w, w + 6, w + 12, ... as six workers would share them.
        for (std::uint32_t worker = 0; worker < workers; ++worker) {
            for (std::uint32_t base = worker * 8; base + 8 <= words; base += workers * 8) {
                for (std::uint32_t source_word = 0; source_word < 8; ++source_word) {
                    const std::uint32_t destination_word = permutation[source_word];
                    for (std::uint32_t lane = 0; lane < 2; ++lane) {
                        const std::uint32_t source = base + source_word;
                        const std::uint32_t destination = base + destination_word;
                        const auto source_coordinates =
                            coordinates(NativeKernelOrder::Output, f16, rows, columns, source * 2 + lane);
                        if (!source_coordinates) {
                            return std::unexpected(ovra_runner::to_error(source_coordinates.error()));
                        }
                        const auto destination_coordinates =
                            coordinates(NativeKernelOrder::Left, f16, rows, columns, destination * 2 + lane);
                        if (!destination_coordinates) {
                            return std::unexpected(ovra_runner::to_error(destination_coordinates.error()));
                        }
                        ovra_runner::check_eq(*source_coordinates, *destination_coordinates);
                    }
                }
            }
        }
    }
    return {};
}

ovra_runner::Status randomized_blas_gemm_matches_scalar_reference();
ovra_runner::Status randomized_gelu_reorder_preserves_logical_coordinates();

}  // namespace ovra_tests::diagnostic::tests
