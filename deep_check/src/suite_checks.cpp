#include "ovra/deep_check/suite_checks.hpp"

#include <array>
#include <limits>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "ovra/deep_check/check_that.hpp"
#include "ovra/trivial_test/binding_tests.hpp"

namespace ovra_tests::deep::suite::tests {

using ovra_runner::Status;

namespace {

using ovra_tests::diagnostic::tests::gelu_word_permutation;

// How a test ended: "" when it passed, the message of the check that stopped it, or the message of the
// error it returned with its causes.
template <class Test>
std::string ending_of(Test test) {
    try {
        const Status status = test();
        if (status) {
            return {};
        }
        std::string text = "returned: " + status.error().message;
        for (const std::string& cause : status.error().causes) {
            text += "; caused by: " + cause;
        }
        return text;
    } catch (const ovra_runner::CheckFailure& failure) {
        return failure.message;
    }
}

// The registered test passes on the real code, evaluating exactly `checks` checks.
void check_reach(std::string_view test, ovra_runner::TestFunction registered, std::uint64_t checks) {
    const std::uint64_t before = ovra_runner::checks_evaluated();
    const std::string ending = ending_of(registered);
    const std::uint64_t evaluated = ovra_runner::checks_evaluated() - before;
    check_that(ending.empty(),
               [&] { return fmt::format("the {} fails on the real code: {}", test, ending); });
    check_that(evaluated == checks,
               [&] { return fmt::format("the {} evaluates {} checks, not {}", test, evaluated, checks); });
}

// Run against a stand-in with `fault`, the test ends with `expected` ("" for success).
void check_ending(std::string_view test, std::string_view fault, const std::string& ending,
                  std::string_view expected) {
    const auto said = [](std::string_view end) {
        return end.empty() ? std::string("pass") : fmt::format("end with\n{}", end);
    };
    check_that(ending == expected, [&] {
        return fmt::format("the {} against {} must {}\nbut does {}", test, fault, said(expected),
                           said(ending));
    });
}

std::string equality_failure(std::string_view left, std::string_view right) {
    return fmt::format("assertion `left == right` failed\n  left: {}\n right: {}", left, right);
}

// The GEMM test's stand-ins: the single-precision scalar product summed as the test sums it (this source
// is compiled without contraction into fused multiply-adds, as the test's is), so that an offset added to
// an element is the very difference the test sees, up to the rounding of the sum.

constexpr float tolerance = 2.0e-5F;

enum class ProductFault { WithinTolerance, BeyondToleranceAtTheEnd, NotANumberAtTheStart, Refused };

// The products made on this thread since the last run began.
thread_local std::uint32_t products_made = 0;

template <ProductFault Fault>
Status faulty_product(std::span<const float> left, std::span<const float> right, std::span<float> output,
                      std::uint32_t rows, std::uint32_t columns, std::uint32_t inner,
                      std::uint32_t left_stride, std::uint32_t right_stride, bool transpose_left,
                      bool transpose_right) {
    const std::uint32_t product = products_made++;
    if constexpr (Fault == ProductFault::Refused) {
        return std::unexpected(
            ovra_runner::make_error("host GEMM output dimensions are inconsistent", {"the product's cause"}));
    }
    for (std::uint32_t row = 0; row < rows; ++row) {
        for (std::uint32_t column = 0; column < columns; ++column) {
            float sum = -0.0F;
            for (std::uint32_t k = 0; k < inner; ++k) {
                const float a = transpose_left ? left[std::size_t{k} * left_stride + row]
                                               : left[std::size_t{row} * left_stride + k];
                const float b = transpose_right ? right[std::size_t{column} * right_stride + k]
                                                : right[std::size_t{k} * right_stride + column];
                sum = sum + a * b;
            }
            // Within 0.875 times the tolerance, with room for the rounding of sums below 8.
            output[std::size_t{row} * columns + column] =
                Fault == ProductFault::WithinTolerance ? sum + 0.875F * tolerance : sum;
        }
    }
    // The test's 256 products, the last one's last element.
    if (Fault == ProductFault::BeyondToleranceAtTheEnd && product == 255) {
        output.back() += 1.125F * tolerance;
    }
    if (Fault == ProductFault::NotANumberAtTheStart && product == 0) {
        output.front() = std::numeric_limits<float>::quiet_NaN();
    }
    return {};
}

}  // namespace

ovra_codegen::storage::CoordinatesResult FaultyCoordinates::operator()(
    ovra_codegen::layout::NativeKernelOrder role, ovra_codegen::operator_::Precision precision,
    std::uint32_t rows, std::uint32_t columns, std::uint32_t linear) const {
    using ovra_codegen::layout::NativeKernelOrder;
    if (fault == CoordinatesFault::OutputRefused && role == NativeKernelOrder::Output) {
        return std::unexpected(ovra_codegen::storage::AmpBlock{NativeKernelOrder::Output});
    }
    ovra_codegen::storage::CoordinatesResult cell =
        ovra_codegen::storage::amp_matrix_coordinates(role, precision, rows, columns, linear);
    if (fault == CoordinatesFault::LastLeftRowOffByOne && role == NativeKernelOrder::Left && cell &&
        std::uint64_t{linear} + 1 == std::uint64_t{rows} * columns) {
        ++cell->row;
    }
    return cell;
}

Status binding_test_reaches_every_chunk_and_fails_on_faults(ovra_runner::TestFunction registered,
                                                            BindingTestBody body) {
    constexpr std::string_view test = "binding test";
    check_reach(test, registered, 16048);
    // The first binding has 39 slices: its last chunk holds 38, or 38 x 256 exchanged. Its slice on
    // physical tile 0 is the one at position 30.
    check_ending(test, "a packer that exchanges the bytes of the last chunk",
                 ending_of([&] { return body(FaultyPacker{PackingFault::LastChunkExchanged}); }),
                 equality_failure("9728", "38"));
    check_ending(test, "a packer that places slices by tile",
                 ending_of([&] { return body(FaultyPacker{PackingFault::PlacedByTile}); }),
                 equality_failure("30", "0"));
    check_ending(test, "a packer that refuses",
                 ending_of([&] { return body(FaultyPacker{PackingFault::Refused}); }),
                 "returned: binding mapped refused; caused by: the packer's cause");
    return {};
}

Status gemm_test_reaches_every_element_and_fails_on_faults(ovra_runner::TestFunction registered,
                                                           GemmTestBody body) {
    constexpr std::string_view test = "GEMM test";
    check_reach(test, registered, 17627);
    const auto run = [&](ovra_tests::diagnostic::tests::SgemmFunction sgemm) {
        products_made = 0;
        return ending_of([&] { return body(sgemm); });
    };
    const std::string beyond = "assertion failed: (observed - scalar).abs() <= 2.0e-5";
    check_ending(test, "a product off by 0.875 times the tolerance in every element",
                 run(faulty_product<ProductFault::WithinTolerance>), "");
    check_ending(test, "a product off by 1.125 times the tolerance in the last element of the last product",
                 run(faulty_product<ProductFault::BeyondToleranceAtTheEnd>), beyond);
    check_ending(test, "a product with NaN in the first element of the first product",
                 run(faulty_product<ProductFault::NotANumberAtTheStart>), beyond);
    check_ending(test, "a product that refuses", run(faulty_product<ProductFault::Refused>),
                 "returned: host GEMM output dimensions are inconsistent; caused by: the product's cause");
    return {};
}

Status gelu_test_reaches_every_lane_and_fails_on_faults(ovra_runner::TestFunction registered,
                                                        GeluTestBody body) {
    constexpr std::string_view test = "GELU test";
    check_reach(test, registered, 232064);
    // The first matrix is 5 x 80: its last position is (4, 79) in both orders.
    check_ending(test, "coordinates off by one in the last row of lane 1 of the last group", ending_of([&] {
                     return body(gelu_word_permutation,
                                 FaultyCoordinates{CoordinatesFault::LastLeftRowOffByOne});
                 }),
                 equality_failure("(4, 79)", "(5, 79)"));
    // Output order's interleave left in place: physical word 1 holds logical pair 4, columns 8 and 9.
    constexpr std::array<std::uint32_t, 8> identity{0, 1, 2, 3, 4, 5, 6, 7};
    check_ending(test, "the identity as the word permutation",
                 ending_of([&] { return body(identity, FaultyCoordinates{CoordinatesFault::None}); }),
                 equality_failure("(0, 8)", "(0, 2)"));
    check_ending(test, "coordinates that refuse Output order", ending_of([&] {
                     return body(gelu_word_permutation, FaultyCoordinates{CoordinatesFault::OutputRefused});
                 }),
                 "returned: AMP Output storage dimensions are incompatible with its block shape");
    return {};
}

Status randomized_binding_test_reaches_every_chunk_and_fails_on_faults() {
    return binding_test_reaches_every_chunk_and_fails_on_faults(
        ovra_tests::tests::randomized_binding_values_follow_logical_slice_order,
        ovra_tests::tests::binding_values_follow_logical_slice_order<FaultyPacker>);
}

Status randomized_gelu_test_reaches_every_lane_and_fails_on_faults() {
    return gelu_test_reaches_every_lane_and_fails_on_faults(
        ovra_tests::diagnostic::tests::randomized_gelu_reorder_preserves_logical_coordinates,
        ovra_tests::diagnostic::tests::gelu_reorder_preserves_logical_coordinates<FaultyCoordinates>);
}

Status randomized_gemm_test_reaches_every_element_and_fails_on_faults() {
    return gemm_test_reaches_every_element_and_fails_on_faults(
        ovra_tests::diagnostic::tests::randomized_blas_gemm_matches_scalar_reference,
        ovra_tests::diagnostic::tests::blas_gemm_matches_scalar_reference);
}

}  // namespace ovra_tests::deep::suite::tests
