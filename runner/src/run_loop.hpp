// Runs the plan's tests, one after another or on a pool of workers, and emits one event per step. It prints
// nothing itself.
#pragma once

#include <functional>

#include "events.hpp"
#include "run_state.hpp"

namespace ovra_runner {

// Events reach `emit` on the calling thread only, in the order they happen. After a finished test, `emit`
// returning false starts no further test (tests still running are waited for).
void execute_plan(RunState& state, const std::function<bool(const RunEvent&)>& emit);

}  // namespace ovra_runner
