#include "ovra/trivial_test/diagnostic_tests.hpp"

#include <bit>
#include <cmath>
#include <vector>

#include "ovra/codegen/storage_coordinates.hpp"
#include "ovra/runner/check.hpp"
#include "ovra/runner/error.hpp"
#include "ovra/trivial_test/diagnostic.hpp"
#include "ovra/trivial_test/rng.hpp"

namespace ovra_tests::diagnostic::tests {

using ovra_runner::Status;

namespace {

// The single-precision constant 2.0e-5, spelled by its bits so no parsing can move it.
constexpr float gemm_tolerance = std::bit_cast<float>(0x37A7C5ACU);
static_assert(gemm_tolerance == 2.0e-5F);

std::vector<float> random_matrix(Rng& random, std::span<const std::uint32_t> shape) {
    std::vector<float> values(product(shape));
    for (float& value : values) {
        value = random.f32() - 0.5F;
    }
    return values;
}

}  // namespace

Status blas_gemm_matches_scalar_reference(SgemmFunction sgemm) {
    Rng random = Rng::with_seed(0x424C415347454D4DULL);
    for (int test_case = 0; test_case < 256; ++test_case) {
        const std::uint32_t rows = random.u32(inclusive<std::uint32_t>(1, 16));
        const std::uint32_t inner = random.u32(inclusive<std::uint32_t>(1, 24));
        const std::uint32_t columns = random.u32(inclusive<std::uint32_t>(1, 16));
        const bool transpose_left = random.boolean();
        const bool transpose_right = random.boolean();
        const std::array<std::uint32_t, 2> left_shape =
            transpose_left ? std::array{inner, rows} : std::array{rows, inner};
        const std::array<std::uint32_t, 2> right_shape =
            transpose_right ? std::array{columns, inner} : std::array{inner, columns};
        // All of `left` is drawn before any of `right`.
        const std::vector<float> left = random_matrix(random, left_shape);
        const std::vector<float> right = random_matrix(random, right_shape);
        std::vector<float> accelerated(std::size_t{rows} * columns, 0.0F);

        if (Status status = sgemm(left, right, accelerated, rows, columns, inner, left_shape[1],
                                  right_shape[1], transpose_left, transpose_right);
            !status) {
            return status;
        }
        for (std::uint32_t row = 0; row < rows; ++row) {
            for (std::uint32_t column = 0; column < columns; ++column) {
                float scalar = -0.0F;
                for (std::uint32_t k = 0; k < inner; ++k) {
                    const float term = left[matrix_index(left_shape, 0, row, k, transpose_left)] *
                                       right[matrix_index(right_shape, 0, k, column, transpose_right)];
                    scalar = scalar + term;
                }
                const float observed = accelerated[std::size_t{row} * columns + column];
                // Written so that a NaN difference fails too.
                ovra_runner::check(std::fabs(observed - scalar) <= gemm_tolerance,
                                   "assertion failed: (observed - scalar).abs() <= 2.0e-5");
            }
        }
    }
    return {};
}

Status randomized_blas_gemm_matches_scalar_reference() {
    return blas_gemm_matches_scalar_reference(host_sgemm);
}

Status randomized_gelu_reorder_preserves_logical_coordinates() {
    return gelu_reorder_preserves_logical_coordinates(
        gelu_word_permutation,
        [](ovra_codegen::layout::NativeKernelOrder role, ovra_codegen::operator_::Precision precision,
           std::uint32_t rows, std::uint32_t columns, std::uint32_t linear) {
            return ovra_codegen::storage::amp_matrix_coordinates(role, precision, rows, columns, linear);
        });
}

}  // namespace ovra_tests::diagnostic::tests
