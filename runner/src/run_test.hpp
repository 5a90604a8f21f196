// Runs one test function on the current thread and decides its outcome.
#pragma once

#include <atomic>
#include <optional>

#include "events.hpp"
#include "terminal.hpp"
#include "time_options.hpp"

namespace ovra_tests {

struct TestRunContext {
    // With `--no-capture` the test writes straight to the terminal; otherwise into its own buffer.
    bool nocapture = false;
    Terminal* terminal = nullptr;
    std::optional<TimeOptions> time_options;
    // The hint about OVRA_BACKTRACE follows only the first failure report of a run.
    std::atomic<bool>* backtrace_hint_pending = nullptr;
};

CompletedTest run_one_test(const TestDescriptor& test, const TestRunContext& context);

}  // namespace ovra_tests
