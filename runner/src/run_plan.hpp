// Every setting of a run resolved once, from the command line and the surroundings: what the run loop, the
// console and the formatters read. The command line's options stop here.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "ovra/runner/options.hpp"
#include "ovra/runner/run_environment.hpp"
#include "ovra/runner/test_descriptor.hpp"
#include "time_options.hpp"

namespace ovra_runner {

enum class PlanAction { Run, List };

// Each test runs inside this process, on the worker's thread.
struct InProcess {};

// Each test in a child process of this executable, which a worker waits for: a crash, an exit or a hang
// fails only that test.
struct Isolated {
    // argv[0] of this run, for the child's.
    std::string program_name;
    // A child still running after this long is ended and its test fails.
    std::optional<std::chrono::seconds> timeout;
};

// How a worker runs one test; `run_test` (run_test.hpp) dispatches on it.
using TestStrategy = std::variant<InProcess, Isolated>;

struct OutputDisplay {
    // Off with `--no-capture`: tests write straight to the console.
    bool capture = true;
    // `--show-output`: captured output of passing tests too.
    bool show_passing_output = false;
};

struct RunPlan {
    PlanAction action = PlanAction::Run;
    // The selected tests, `ignore` cleared where ignored tests are to run: ascending by name, and for a run
    // in run order (shuffled when there is a seed).
    std::vector<TestDescriptor> tests;
    std::size_t filtered_out = 0;
    OutputFormat format = OutputFormat::Pretty;
    bool use_color = false;
    OutputDisplay display;
    std::optional<std::string> logfile;

    // What follows matters to a run only; a listing leaves it as it is.
    // At least 1; with 1 (or one test to run) the tests run on the calling thread.
    std::size_t workers = 1;
    std::optional<std::uint64_t> shuffle_seed;
    std::optional<TimeOptions> time_limits;
    // `--bench` without `--test`: every test is reported as ignored.
    bool force_ignore = false;
    bool fail_fast = false;
    std::chrono::milliseconds long_running_after{std::chrono::seconds(60)};
    TestStrategy strategy = InProcess{};
};

// The plan, or the message of the first setting that is wrong (printed after "error: "). A listing reads
// neither OVRA_TEST_THREADS nor OVRA_TEST_TIME_UNIT, so neither can refuse it.
std::expected<RunPlan, std::string> resolve_run_plan(std::span<const TestDescriptor> table,
                                                     const TestOptions& options,
                                                     const RunEnvironment& environment);

}  // namespace ovra_runner
