#include "ovra/trivial_test/registry.hpp"

#include <array>

#include "ovra/trivial_test/binding_tests.hpp"
#include "ovra/trivial_test/diagnostic_tests.hpp"
#include "ovra/trivial_test/test_locations.hpp"

namespace ovra_tests {

namespace {

using test_locations::Location;

// The locations come from the sources themselves (test_locations.cmake); a unit test reads the files again.
constexpr TestDescriptor entry(std::string_view name, const Location& location, TestFunction function) {
    return {.name = name,
            .source_file = location.file,
            .start_line = location.line,
            .start_col = location.start_col,
            .end_line = location.line,
            .end_col = location.end_col,
            .function = function};
}

constexpr std::array<TestDescriptor, 3> table{{
    entry("diagnostic::tests::randomized_blas_gemm_matches_scalar_reference",
          test_locations::randomized_blas_gemm_matches_scalar_reference,
          &diagnostic::tests::randomized_blas_gemm_matches_scalar_reference),
    entry("diagnostic::tests::randomized_gelu_reorder_preserves_logical_coordinates",
          test_locations::randomized_gelu_reorder_preserves_logical_coordinates,
          &diagnostic::tests::randomized_gelu_reorder_preserves_logical_coordinates),
    entry("tests::randomized_binding_values_follow_logical_slice_order",
          test_locations::randomized_binding_values_follow_logical_slice_order,
          &tests::randomized_binding_values_follow_logical_slice_order),
}};
static_assert(!table_fault(table), "every test of the suite has a name of its own and a function");

}  // namespace

std::span<const TestDescriptor> registry() { return table; }

}  // namespace ovra_tests
