// The runner's command line: the standard unit-test runner's options, with its semantics and messages, as one
// table. A row is all there is to an option: its names, its value, its help, the variable that stands in for
// it, and the setters that turn its text into the plan's settings with their exact messages. The usage text
// is made from the same rows (usage.cpp).
#pragma once

#include <expected>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ovra/runner/run_environment.hpp"
#include "run_plan.hpp"

namespace ovra_runner {

enum class Repeat { Once, Many };

struct OptionInput;

// A setter's error is the message printed after "error: ".
using OptionSetter = std::expected<void, std::string> (*)(RunPlan& plan, const OptionInput& input);

struct OptionRow {
    // '\0' for an option without a letter.
    char letter = '\0';
    // Empty for an option without a long name; a row with neither is a variable on its own.
    std::string_view name{};
    // What the help calls the value; empty for a flag.
    std::string_view hint{};
    Repeat repeat = Repeat::Once;
    // Lines separated by '\n'; empty for a row the help does not show.
    std::string_view help{};
    // Read, for a run only, where the option is absent.
    std::string_view variable{};
    // Printed on the error side when the option is given and the command line is otherwise sound.
    std::string_view warning{};
    // Setters run in ascending order (table order among equals): those that can fail in the order their
    // faults are reported, so that a command line with several reports the same one every time.
    int order = 0;
    // When the option is on the command line; and when it is not (null: nothing to do).
    OptionSetter given = nullptr;
    OptionSetter absent = nullptr;
};

// Every occurrence of every option (a flag records an empty value), by row, and the free arguments.
struct MatchedArguments {
    std::vector<std::vector<std::string>> values;
    std::vector<std::string> free;
};

// What a setter is told.
struct OptionInput {
    // The values given, one per occurrence; empty where the option is absent.
    std::span<const std::string> values;
    // The row's variable, for a run where the option is absent and the surroundings have it.
    std::optional<std::string_view> variable;
    const RunEnvironment& environment;
    std::string_view program;
    const MatchedArguments& arguments;

    // Whether the option of that long name is on the command line too.
    bool given(std::string_view name) const;
};

std::span<const OptionRow> option_rows();

// The variables the rows read, for the process to look up once.
std::vector<std::string_view> option_variables();

// `-h`/`--help`: print the usage of `program` and run nothing.
struct HelpRequest {
    std::string program;
};

// A plan without its tests (see `select_tests`), or help.
using CommandLine = std::variant<RunPlan, HelpRequest>;

// Parses `args` (args[0] is the program name). The error is the message printed after "error: ". Once
// the options given are known to be sound, and before the surroundings are read, `warn` gets the warnings of
// the options given.
std::expected<CommandLine, std::string> parse_command_line(
    std::span<const std::string_view> args, const RunEnvironment& environment,
    const std::function<void(std::string_view)>& warn = [](std::string_view) {});

// The text `--help` prints on standard output.
std::string usage_text(std::string_view program);

}  // namespace ovra_runner
