// Eleven tests that end every way a test can end, crashes included, for checking the runner's isolated runs
// against the standard runner's recorded subprocess output.
#pragma once

#include <span>

#include "ovra/runner/test_descriptor.hpp"

namespace ovra_runner_isolation_demo {

std::span<const ovra_runner::TestDescriptor> isolation_demo_table();

}  // namespace ovra_runner_isolation_demo
