// The deep check's test table, in name order.
#pragma once

#include <span>

#include "ovra/trivial_test/runner_vocabulary.hpp"

namespace ovra_tests::deep {

std::span<const TestDescriptor> registry();

}  // namespace ovra_tests::deep
