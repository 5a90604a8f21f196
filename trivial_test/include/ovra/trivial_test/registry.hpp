// The executable's test table: the three randomized tests, in name order.
#pragma once

#include <span>

#include "ovra/runner/test_descriptor.hpp"

namespace ovra_tests {

std::span<const ovra_runner::TestDescriptor> registry();

}  // namespace ovra_tests
