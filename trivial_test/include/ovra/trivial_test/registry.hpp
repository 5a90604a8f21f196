// The executable's test table: the three randomized tests, in name order.
#pragma once

#include <span>

#include "ovra/trivial_test/runner_vocabulary.hpp"

namespace ovra_tests {

std::span<const TestDescriptor> registry();

}  // namespace ovra_tests
