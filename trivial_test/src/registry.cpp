#include "ovra/trivial_test/registry.hpp"

#include <array>

#include "ovra/trivial_test/binding_tests.hpp"
#include "ovra/trivial_test/diagnostic_tests.hpp"

namespace ovra_tests {

namespace {

// Each location is that of the test function's name where it is defined; a unit test reads the files and
// keeps these in step with the source.
constexpr std::array<TestDescriptor, 3> table{{
    {.name = "diagnostic::tests::randomized_blas_gemm_matches_scalar_reference",
     .source_file = "trivial_test/src/diagnostic_tests.cpp",
     .start_line = 109,
     .start_col = 8,
     .end_line = 109,
     .end_col = 53,
     .function = &diagnostic::tests::randomized_blas_gemm_matches_scalar_reference},
    {.name = "diagnostic::tests::randomized_gelu_reorder_preserves_logical_coordinates",
     .source_file = "trivial_test/src/diagnostic_tests.cpp",
     .start_line = 113,
     .start_col = 8,
     .end_line = 113,
     .end_col = 61,
     .function = &diagnostic::tests::randomized_gelu_reorder_preserves_logical_coordinates},
    {.name = "tests::randomized_binding_values_follow_logical_slice_order",
     .source_file = "trivial_test/src/binding_tests.cpp",
     .start_line = 7,
     .start_col = 8,
     .end_line = 7,
     .end_col = 60,
     .function = &tests::randomized_binding_values_follow_logical_slice_order},
}};

}  // namespace

std::span<const TestDescriptor> registry() { return table; }

}  // namespace ovra_tests
