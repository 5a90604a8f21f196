// What the threads of one run share: the plan they all read, the console they write to, and the display
// state that belongs to the run as a whole.
#pragma once

#include <atomic>

#include "console.hpp"
#include "run_plan.hpp"

namespace ovra_runner {

struct RunState {
    const RunPlan& plan;
    Console& console;
    // The hint about OVRA_BACKTRACE follows only the first failure report of a run, whichever worker has it.
    std::atomic<bool> backtrace_hint_pending{true};
};

}  // namespace ovra_runner
