#include "ovra/trivial_test/binding_tests.hpp"

#include "ovra/trivial_test/packing.hpp"

namespace ovra_tests::tests {

using ovra_runner::Status;

Status randomized_binding_values_follow_logical_slice_order() {
    return binding_values_follow_logical_slice_order(
        [](const ovra_package::Binding& binding, auto value) { return packed_binding(binding, value); });
}

}  // namespace ovra_tests::tests
