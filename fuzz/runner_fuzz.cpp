// The runner's command line from arbitrary argument lists, run in-process on a small table (one test passes,
// one fails a check, one is ignored) with a fixed environment. Whatever the arguments, the run either goes
// ahead or ends with exactly one "error: ..." line on the error side and status 101; it never crashes,
// hangs or trips a sanitizer.
//
// The input is split into arguments at NUL bytes. A log file named on the command line is created for real,
// so every name that could reach `--logfile` is replaced by /dev/null first: the fuzzer must not create or
// truncate files wherever its bytes point. An empty name is kept, since opening it fails harmlessly and
// reaches the runner's error path. A command line that asks for isolation is parsed but not run.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "fuzz_input.hpp"
#include "ovra/runner/capture.hpp"
#include "ovra/runner/check.hpp"
#include "ovra/runner/runner.hpp"
#include "ovra/runner/test_descriptor.hpp"
// The runner's own command-line parser, to check the defusing below against it.
#include "options.hpp"

namespace {

using ovra_fuzz::require;
using ovra_runner::Status;
using ovra_runner::TestDescriptor;

constexpr std::size_t max_arguments = 16;
constexpr std::size_t max_argument_bytes = 64;
constexpr std::string_view program_name = "ovra_fuzz";
constexpr std::string_view harmless_log = "/dev/null";
constexpr std::string_view logfile_option = "--logfile";
constexpr std::string_view logfile_warning = "warning: `--logfile` is deprecated\n";

Status passes() {
    ovra_runner::println("captured output of a passing test");
    return {};
}

Status fails_a_check() {
    ovra_runner::println("captured output of a failing test");
    ovra_runner::check_eq(1 + 1, 3);
    return {};
}

Status never_runs() {
    ovra_runner::fail("an ignored test ran");
}

constexpr TestDescriptor table[] = {
    {.name = "fuzz::tests::fails_a_check", .source_file = "fuzz/runner_fuzz.cpp", .function = fails_a_check},
    {.name = "fuzz::tests::ignored",
     .ignore = true,
     .ignore_message = "never run by default",
     .source_file = "fuzz/runner_fuzz.cpp",
     .function = never_runs},
    {.name = "fuzz::tests::passes", .source_file = "fuzz/runner_fuzz.cpp", .function = passes},
};

std::vector<std::string> split_arguments(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> arguments{std::string(program_name)};
    if (size == 0) {
        return arguments;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= bytes.size() && arguments.size() <= max_arguments) {
        const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
        arguments.emplace_back(bytes.substr(start, std::min(end - start, max_argument_bytes)));
        start = end + 1;
    }
    return arguments;
}

// Over-approximates what the parser could take as a log file name: the argument after any "--logfile" (even
// where it is really another option's value) and the text after "--logfile=".
void defuse_log_file(std::vector<std::string>& arguments) {
    const std::string inline_prefix = fmt::format("{}=", logfile_option);
    for (std::size_t index = 1; index < arguments.size(); ++index) {
        std::string& argument = arguments[index];
        if (argument == logfile_option && index + 1 < arguments.size() && !arguments[index + 1].empty()) {
            arguments[index + 1] = harmless_log;
            ++index;
        } else if (argument.starts_with(inline_prefix) && argument.size() > inline_prefix.size()) {
            argument = fmt::format("{}{}", inline_prefix, harmless_log);
        }
    }
}

ovra_runner::RunEnvironment fixed_environment() {
    ovra_runner::RunEnvironment environment;
    environment.hardware_threads = 2;
    environment.stdout_is_terminal = false;
    environment.now = std::chrono::system_clock::time_point(std::chrono::seconds(1700000000));
    return environment;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> arguments = split_arguments(data, size);
    defuse_log_file(arguments);
    const std::vector<std::string_view> args(arguments.begin(), arguments.end());
    const auto shown = [&] { return fmt::format("arguments {}", arguments); };

    // The defusing above must agree with the parser; if it ever does not, stop before any file is opened.
    const auto parsed = ovra_runner::parse_command_line(args, fixed_environment()).command_line;
    if (parsed) {
        if (const auto* plan = std::get_if<ovra_runner::RunPlan>(&*parsed)) {
            require(!plan->logfile || plan->logfile->empty() || *plan->logfile == harmless_log,
                    "a log file name escaped the fuzz target's defusing", shown);
            // An isolated run starts this executable again for each test, and this one is no test program:
            // each child would fuzz on its own and never end. The plan above is the one the run would follow.
            if (std::holds_alternative<ovra_runner::Isolated>(plan->strategy)) {
                return 0;
            }
        }
    }

    std::string out;
    std::string err;
    const ovra_runner::ConsoleWriters console{[&](std::string_view text) -> ovra_runner::IoResult {
                                                  out.append(text);
                                                  return {};
                                              },
                                              [&](std::string_view text) -> ovra_runner::IoResult {
                                                  err.append(text);
                                                  return {};
                                              }};
    const int status = ovra_runner::run_tests(table, args, fixed_environment(), console);
    const auto detail = [&] {
        return fmt::format("{}\nstatus {}\nout {:?}\nerr {:?}", shown(), status, out, err);
    };

    require(status == ovra_runner::exit_success || status == ovra_runner::exit_failure,
            "the status is neither 0 nor 101", detail);
    // Every run that goes ahead prints its header (or a listing, or the usage) on the output side, so a
    // failing status with nothing printed there is a rejected command line.
    if (status == ovra_runner::exit_failure && out.empty()) {
        std::string_view report = err;
        if (report.starts_with(logfile_warning)) {
            report.remove_prefix(logfile_warning.size());
        }
        require(report.starts_with("error: "), "a rejected command line printed no \"error: \" line", detail);
        require(report.find('\n') == report.size() - 1, "a rejected command line printed more than one line",
                detail);
    } else {
        require(!std::string_view(err).starts_with("error: "), "a run that went ahead printed an error line",
                detail);
    }
    return 0;
}
