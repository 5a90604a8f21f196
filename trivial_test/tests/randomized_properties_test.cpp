// The three suite properties pass on the real code and fail, with the reported message, on deliberately
// broken stand-ins: a property that cannot fail proves nothing.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "ovra/trivial_test/binding_tests.hpp"
#include "ovra/trivial_test/diagnostic.hpp"
#include "ovra/trivial_test/diagnostic_tests.hpp"
#include "ovra/trivial_test/packing.hpp"
#include "ovra/trivial_test/runner_vocabulary.hpp"

namespace ovra_tests {
namespace {

// Runs a property and returns the message of the check that stopped it, or "" when it passed.
template <class Property>
std::string failure_of(Property property) {
    try {
        const Status status = property();
        return status ? std::string() : "returned: " + status.error().message;
    } catch (const CheckFailure& failure) {
        return failure.message;
    }
}

// Places each slice by its physical tile instead of its position: the fault the property exists to catch.
Result<PackedImage> pack_by_tile(const ovra_package::Binding& binding, auto value) {
    ovra_package::Binding by_tile = binding;
    for (ovra_package::RegionSlice& slice : by_tile.slices) {
        slice.file_offset = 2 * std::uint64_t{slice.tile};
    }
    return packed_binding(by_tile, value);
}

TEST(RandomizedProperties, PassOnTheRealCode) {
    EXPECT_EQ(failure_of(tests::randomized_binding_values_follow_logical_slice_order), "");
    EXPECT_EQ(failure_of(diagnostic::tests::randomized_blas_gemm_matches_scalar_reference), "");
    EXPECT_EQ(failure_of(diagnostic::tests::randomized_gelu_reorder_preserves_logical_coordinates), "");
}

TEST(RandomizedProperties, BindingOrderCatchesPackingByTile) {
    // Chunk 0 then holds the logical tile that sits on physical tile 0 instead of 0.
    const std::string message = failure_of([] {
        return tests::binding_values_follow_logical_slice_order(
            [](const ovra_package::Binding& binding, auto value) { return pack_by_tile(binding, value); });
    });
    EXPECT_TRUE(message.starts_with("assertion `left == right` failed\n  left: ")) << message;
    EXPECT_TRUE(message.ends_with("\n right: 0")) << message;
}

TEST(RandomizedProperties, BindingOrderPassesPackingErrorsOnUnchanged) {
    const std::string message = failure_of([] {
        return tests::binding_values_follow_logical_slice_order(
            [](const ovra_package::Binding& binding, auto) -> Result<PackedImage> {
                return std::unexpected(make_error("binding " + binding.name + " refused"));
            });
    });
    EXPECT_EQ(message, "returned: binding mapped refused");
}

TEST(RandomizedProperties, GeluReorderCatchesAWrongPermutation) {
    // The identity leaves Output's interleave in place: physical word 1 holds logical pair 4, columns 8
    // and 9.
    constexpr std::array<std::uint32_t, 8> identity{0, 1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(
        failure_of([&] { return diagnostic::tests::gelu_reorder_preserves_logical_coordinates(identity); }),
        "assertion `left == right` failed\n  left: (0, 8)\n right: (0, 2)");
}

template <float Perturbation>
Status perturbed_sgemm(std::span<const float> left, std::span<const float> right, std::span<float> output,
                       std::uint32_t rows, std::uint32_t columns, std::uint32_t inner,
                       std::uint32_t left_stride, std::uint32_t right_stride, bool transpose_left,
                       bool transpose_right) {
    Status status = diagnostic::host_sgemm(left, right, output, rows, columns, inner, left_stride,
                                           right_stride, transpose_left, transpose_right);
    output.back() += Perturbation;
    return status;
}

TEST(RandomizedProperties, GemmReferenceCatchesPerturbationsAboveTheTolerance) {
    constexpr const char* message = "assertion failed: (observed - scalar).abs() <= 2.0e-5";
    EXPECT_EQ(failure_of([] {
                  return diagnostic::tests::blas_gemm_matches_scalar_reference(perturbed_sgemm<1.0e-4F>);
              }),
              message);
    EXPECT_EQ(failure_of([] {
                  return diagnostic::tests::blas_gemm_matches_scalar_reference(
                      perturbed_sgemm<std::numeric_limits<float>::quiet_NaN()>);
              }),
              message);
    // Well inside the tolerance (the products agree to about 1e-7), a perturbation passes.
    EXPECT_EQ(failure_of([] {
                  return diagnostic::tests::blas_gemm_matches_scalar_reference(perturbed_sgemm<1.0e-6F>);
              }),
              "");
}

TEST(RandomizedProperties, GemmReferencePassesSgemmErrorsOnUnchanged) {
    const auto refusing = [](std::span<const float>, std::span<const float>, std::span<float>, std::uint32_t,
                             std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, bool,
                             bool) -> Status {
        return std::unexpected(make_error("host GEMM output dimensions are inconsistent"));
    };
    EXPECT_EQ(failure_of([&] { return diagnostic::tests::blas_gemm_matches_scalar_reference(refusing); }),
              "returned: host GEMM output dimensions are inconsistent");
}

}  // namespace
}  // namespace ovra_tests
