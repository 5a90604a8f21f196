// Runs one test and decides its outcome: the one function every worker calls, whatever the plan's strategy.
#pragma once

#include "events.hpp"
#include "run_plan.hpp"
#include "run_state.hpp"

namespace ovra_runner {

// Runs `test` the way `state.plan.strategy` says.
CompletedTest run_test(const TestDescriptor& test, RunState& state);

// The test function on the current thread, its output captured (or passed on to the console without
// capture) and every failure caught, so that only this test fails.
CompletedTest run_one_test(InProcess strategy, const TestDescriptor& test, RunState& state);

// The test in a child process of this executable, which decides pass or fail; how the child ended and what
// it wrote make the result (isolation/).
CompletedTest run_one_test(const Isolated& strategy, const TestDescriptor& test, RunState& state);

// In a child started for one test: runs it on this thread, writing straight to the process's streams, and
// returns the exit status that tells the parent how it went.
int run_test_as_child(const TestDescriptor& test);

}  // namespace ovra_runner
