// Each of the three tests evaluates exactly as many checks as its domain has elements: a test that silently
// skips part of what it claims to visit (its last case, a worker's share, a lane, an image's last chunk)
// still passes on correct code, and only its count gives it away.
#include <gtest/gtest.h>

#include <cstdint>

#include "ovra/trivial_test/binding_tests.hpp"
#include "ovra/trivial_test/diagnostic_tests.hpp"
#include "ovra/trivial_test/runner_vocabulary.hpp"

namespace ovra_tests {
namespace {

struct VisitCase {
    const char* label;
    TestFunction test;
    std::uint64_t checks;
};

TEST(VisitCounts, EachTestChecksEveryElementOfItsDomain) {
    const VisitCase cases[] = {
        // One comparison per element of the 100 matrices.
        {"gelu", diagnostic::tests::randomized_gelu_reorder_preserves_logical_coordinates, 232064},
        // One per element of the 256 products: the sum of rows x columns over the shapes the seed draws.
        {"gemm", diagnostic::tests::randomized_blas_gemm_matches_scalar_reference, 17627},
        // One per 2-byte chunk of the 256 images: the sum of the slice counts the seed draws.
        {"binding", tests::randomized_binding_values_follow_logical_slice_order, 16048},
    };
    for (const VisitCase& c : cases) {
        const std::uint64_t before = ovra_runner::checks_evaluated();
        const Status status = c.test();
        EXPECT_TRUE(status.has_value()) << c.label;
        EXPECT_EQ(ovra_runner::checks_evaluated() - before, c.checks) << c.label;
    }
}

}  // namespace
}  // namespace ovra_tests
