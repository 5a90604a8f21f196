// Every setting of a run, resolved once: the command line and the surroundings fill it (options.cpp), the
// table's tests are then chosen for it (`select_tests`). The run loop, the reporter and the formatters read
// nothing else.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "ovra/runner/test_descriptor.hpp"
#include "time_options.hpp"

namespace ovra_runner {

enum class PlanAction { Run, List };
enum class OutputFormat { Pretty, Terse, Json, Junit };
enum class RunIgnored { No, Yes, Only };

// Each test runs inside this process, on the worker's thread.
struct InProcess {};

// Each test in a child process of this executable, which a worker waits for: a crash, an exit or a hang
// fails only that test.
struct Isolated {
    // A child still running after this long is ended and its test fails.
    std::optional<std::chrono::seconds> timeout;
};

// How a worker runs one test (test_execution.hpp).
using TestStrategy = std::variant<InProcess, Isolated>;

struct OutputDisplay {
    // Off with `--no-capture`: tests write straight to the console.
    bool capture = true;
    // `--show-output`: captured output of passing tests too.
    bool show_passing_output = false;
};

// Which of the table's tests a run takes; read by `select_tests` alone.
struct TestSelection {
    std::vector<std::string> filters;
    bool exact = false;
    std::vector<std::string> skip;
    bool exclude_should_panic = false;
    RunIgnored run_ignored = RunIgnored::No;
    // `--bench` without `--test`: a table has no benchmarks, so every test of a run is reported as ignored.
    bool ignore_all = false;
};

struct RunPlan {
    // argv[0], as the run was started.
    std::string program;
    PlanAction action = PlanAction::Run;
    TestSelection selection;
    // The selected tests, ascending by name, and for a run in run order (shuffled when there is a seed), with
    // `ignore` set exactly on those the run does not run.
    std::vector<TestDescriptor> tests;
    std::size_t filtered_out = 0;
    OutputFormat format = OutputFormat::Pretty;
    bool use_color = false;
    OutputDisplay display;
    std::optional<std::string> logfile;

    // What follows matters to a run only.
    // At least 1; with 1 the tests run one after another on the calling thread.
    std::size_t workers = 1;
    std::optional<std::uint64_t> shuffle_seed;
    std::optional<TimeOptions> time_limits;
    bool fail_fast = false;
    std::chrono::milliseconds long_running_after{std::chrono::seconds(60)};
    TestStrategy strategy = InProcess{};
};

// Fills `plan.tests` and `plan.filtered_out` from `table` as `plan.selection` says.
void select_tests(std::span<const TestDescriptor> table, RunPlan& plan);

}  // namespace ovra_runner
