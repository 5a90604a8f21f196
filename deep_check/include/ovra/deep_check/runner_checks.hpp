// Module `deep::runner::tests`: the runner's own check, like the test button of a smoke detector. The table
// of known outcomes (known_outcomes.hpp) goes through the runner with and without filters, on one and on
// several workers, in each output format, in-process and isolated, and every report, count and exit
// status must be exactly the one those outcomes give: a runner that reports a failure as passed, exits 0
// after one or runs nothing fails here, on the host, whatever compiled it. The runner is a parameter, so
// that a broken one can be shown to fail it.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ovra/runner/error.hpp"
#include "ovra/runner/run_environment.hpp"
#include "ovra/runner/test_descriptor.hpp"

namespace ovra_tests::deep::runner::tests {

// Called like ovra_runner::run_tests.
using RunTestsFunction = int (*)(std::span<const ovra_runner::TestDescriptor> table,
                                 std::span<const std::string_view> args,
                                 const ovra_runner::RunEnvironment& environment,
                                 const ovra_runner::ConsoleWriters& console);

// In this process: no filter on one worker and on several, a filter, --exact, --skip, --ignored, --list, a
// malformed option, and the terse, JSON and JUnit formats.
ovra_runner::Status known_outcomes_are_reported_exactly(RunTestsFunction run_tests);

// What the deep check runs before anything else, as a smoke detector's test button is pressed: the whole
// table on one worker and on several. A runner that fails here (counts a failure as a pass, exits 0 after
// one, selects nothing, has a `check` that never fails) would report the failure of any test of it as it
// pleased, so its message, if any, is for the caller to report without the runner.
std::optional<std::string> runner_fault(RunTestsFunction run_tests);

// With --isolate, each test in a child process of this executable. Only ovra_deep_check itself can serve
// as that child (its main hands the known outcomes to a child that asks for one).
ovra_runner::Status isolated_known_outcomes_are_reported_exactly(RunTestsFunction run_tests);

ovra_runner::Status exhaustive_known_outcomes_are_reported_exactly();
ovra_runner::Status exhaustive_isolated_known_outcomes_are_reported_exactly();

}  // namespace ovra_tests::deep::runner::tests
