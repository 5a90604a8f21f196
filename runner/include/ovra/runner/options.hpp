// The runner's command line: the options of the standard unit-test runner, with its semantics and messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ovra_runner {

enum class OutputFormat { Pretty, Terse, Json, Junit };
enum class ColorConfig { Auto, Always, Never };
enum class RunIgnored { No, Yes, Only };

struct TestOptions {
    bool list = false;
    std::vector<std::string> filters;
    bool filter_exact = false;
    bool force_run_in_process = false;
    bool exclude_should_panic = false;
    RunIgnored run_ignored = RunIgnored::No;
    // `--bench` without `--test` runs benchmarks only; this table has none, so every test shows as ignored.
    bool run_tests = true;
    bool bench_benchmarks = false;
    std::optional<std::string> logfile;
    bool nocapture = false;
    ColorConfig color = ColorConfig::Auto;
    OutputFormat format = OutputFormat::Pretty;
    bool shuffle = false;
    std::optional<std::uint64_t> shuffle_seed;
    std::optional<std::size_t> test_threads;
    std::vector<std::string> skip;
    bool report_time = false;
    bool ensure_time = false;
    // `--show-output`: captured output of passing tests too.
    bool display_output = false;
    bool fail_fast = false;
    // `--isolate`: each test in a child process of its own; `--timeout` implies it.
    bool isolate = false;
    std::optional<std::uint64_t> timeout_seconds;
    // The program name the command line started with, which a test's child process is given too.
    std::string program;
};

// `-h`/`--help`: print the usage of `program` and run nothing.
struct HelpRequest {
    std::string program;
};

using CommandLine = std::variant<TestOptions, HelpRequest>;

// Parses `args` (args[0] is the program name). The error is the message printed after "error: ".
std::expected<CommandLine, std::string> parse_command_line(std::span<const std::string_view> args);

// The text `--help` prints on standard output.
std::string usage_text(std::string_view program);

}  // namespace ovra_runner
