// The deep check's test table, in name order.
#pragma once

#include <span>

#include "ovra/runner/test_descriptor.hpp"

namespace ovra_tests::deep {

std::span<const ovra_runner::TestDescriptor> registry();

}  // namespace ovra_tests::deep
