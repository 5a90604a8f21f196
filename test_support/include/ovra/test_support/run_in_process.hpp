// Runs the runner in-process with both sides of its console collected into strings, for tests and fuzz
// targets that compare what a run prints.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "ovra/runner/run_environment.hpp"
#include "ovra/runner/test_descriptor.hpp"

namespace ovra_test_support {

// `run_tests` over `table` with `args` (args[0] is the program name); returns the exit status.
int run_tests_collecting(std::span<const ovra_runner::TestDescriptor> table,
                         std::span<const std::string_view> args,
                         const ovra_runner::RunEnvironment& environment, std::string& out, std::string& err);

}  // namespace ovra_test_support
