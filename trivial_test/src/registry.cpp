#include "ovra/trivial_test/registry.hpp"

#include <array>

#include "ovra/trivial_test/binding_tests.hpp"
#include "ovra/trivial_test/diagnostic_tests.hpp"
#include "ovra/trivial_test/test_locations.hpp"

namespace ovra_tests {

namespace {

constexpr std::array<ovra_runner::TestDescriptor, 3> table{{
    located_test("diagnostic::tests::randomized_blas_gemm_matches_scalar_reference",
                 test_locations::randomized_blas_gemm_matches_scalar_reference,
                 &diagnostic::tests::randomized_blas_gemm_matches_scalar_reference),
    located_test("diagnostic::tests::randomized_gelu_reorder_preserves_logical_coordinates",
                 test_locations::randomized_gelu_reorder_preserves_logical_coordinates,
                 &diagnostic::tests::randomized_gelu_reorder_preserves_logical_coordinates),
    located_test("tests::randomized_binding_values_follow_logical_slice_order",
                 test_locations::randomized_binding_values_follow_logical_slice_order,
                 &tests::randomized_binding_values_follow_logical_slice_order),
}};
static_assert(!ovra_runner::table_fault(table),
              "every test of the suite has a name of its own and a function");

}  // namespace

std::span<const ovra_runner::TestDescriptor> registry() {
    return table;
}

}  // namespace ovra_tests
