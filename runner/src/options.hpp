// The runner's command line: the standard unit-test runner's options, with its semantics and messages. One
// table row per option gives its names, its value and its help (the usage text is laid out from the rows,
// usage.cpp); the plan is then resolved from the options given and the surroundings in one pass.
#pragma once

#include <array>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ovra/runner/run_environment.hpp"
#include "run_plan.hpp"

namespace ovra_runner {

enum class Repeat { Once, Many };

struct OptionRow {
    // '\0' for an option without a letter.
    char letter = '\0';
    // Empty for an option with a letter alone.
    std::string_view name{};
    // What the help calls the value; empty for a flag.
    std::string_view hint{};
    Repeat repeat = Repeat::Once;
    // Lines separated by '\n'; empty for an option the help does not show.
    std::string_view help{};
};

std::span<const OptionRow> option_rows();

// The variables that stand in for absent options: the worker count, and the thresholds of `--report-time`
// and `--ensure-time` ("WARN_MS,CRITICAL_MS").
inline constexpr std::string_view threads_variable = "OVRA_TEST_THREADS";
inline constexpr std::array<std::string_view, 2> option_variables{threads_variable, time_unit_variable};

// `-h`/`--help`: print the usage of `program` and run nothing.
struct HelpRequest {
    std::string program;
};

// A plan without its tests (see `select_tests`), or help.
using CommandLine = std::variant<RunPlan, HelpRequest>;

struct ParsedCommandLine {
    // The warnings of the options given, for the error side; there are none where an option is unsound.
    std::vector<std::string_view> warnings;
    // The error is the message printed after "error: ".
    std::expected<CommandLine, std::string> command_line;
};

// Parses `args` (args[0] is the program name) and resolves the plan with the surroundings: the options'
// values first, each fault reported in a fixed order whatever the order of the arguments, then, for a run,
// the variables that stand in for absent options.
ParsedCommandLine parse_command_line(std::span<const std::string_view> args, const RunEnvironment& environment);

// The text `--help` prints on standard output.
std::string usage_text(std::string_view program);

}  // namespace ovra_runner
