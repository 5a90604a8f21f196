// Runs one test and decides its outcome: the one function every worker calls, whatever the plan's strategy.
#pragma once

#include <span>
#include <string_view>

#include "run_plan.hpp"
#include "run_state.hpp"
#include "test_result.hpp"

namespace ovra_runner {

// Runs `test` the way `state.plan.strategy` says: the test function on the calling thread, its output
// captured (or passed on to the console without capture) and every failure caught, so that only this test
// fails; or in a child process of this executable, whose end and output make the result (isolation/).
CompletedTest execute(const TestDescriptor& test, RunState& state);

// The whole of a child started by a runner to run the test of `table` called `name`: runs it on this thread,
// writing straight to the process's streams, and returns the exit status that tells the parent how it went.
// The test's own code does not see the request.
int child_main(std::span<const TestDescriptor> table, std::string_view name);

}  // namespace ovra_runner
