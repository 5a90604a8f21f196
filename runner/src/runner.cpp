#include "ovra/runner/runner.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <expected>
#include <memory>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "console.hpp"
#include "integer_text.hpp"
#include "ovra/runner/options.hpp"
#include "terminal.hpp"
#include "time_options.hpp"

namespace ovra_tests {

static_assert(sizeof(std::size_t) == sizeof(std::uint64_t), "counts read as 64-bit numbers must fit a size");

namespace {

struct CloseFile {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, CloseFile>;

// Messages quote what the user typed; control characters in it are shown as \xNN so that the report stays
// one line and cannot drive the terminal.
std::string printable(std::string_view message) {
    std::string text;
    text.reserve(message.size());
    for (const char character : message) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte < 0x20 || byte == 0x7F) {
            text.append(fmt::format("\\x{:02x}", byte));
        } else {
            text.push_back(character);
        }
    }
    return text;
}

int report_error(Terminal& terminal, std::string_view message) {
    write_err(terminal, fmt::format("error: {}\n", printable(message)));
    return exit_failure;
}

std::expected<std::size_t, std::string> worker_count(const TestOptions& options,
                                                     const RunEnvironment& environment) {
    if (options.test_threads) {
        return *options.test_threads;
    }
    if (environment.test_threads) {
        const auto count = parse_unsigned(*environment.test_threads);
        if (!count || *count == 0) {
            return std::unexpected(fmt::format("OVRA_TEST_THREADS is `{}`, should be a positive integer.",
                                               *environment.test_threads));
        }
        return static_cast<std::size_t>(*count);
    }
    return std::max<std::size_t>(environment.hardware_threads, 1);
}

std::optional<std::uint64_t> shuffle_seed(const TestOptions& options, const RunEnvironment& environment) {
    if (options.shuffle_seed) {
        return options.shuffle_seed;
    }
    if (!options.shuffle) {
        return std::nullopt;
    }
    const auto nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(environment.now.time_since_epoch()).count();
    return nanoseconds < 0 ? 0 : static_cast<std::uint64_t>(nanoseconds);
}

bool use_color(const TestOptions& options, const RunEnvironment& environment) {
    switch (options.color) {
        case ColorConfig::Always:
            return true;
        case ColorConfig::Never:
            return false;
        case ColorConfig::Auto:
            break;
    }
    // Output passed through from tests would interleave with escape sequences.
    return !options.nocapture && environment.stdout_is_terminal;
}

}  // namespace

int run_tests(std::span<const TestDescriptor> table, std::span<const std::string_view> args,
              const RunEnvironment& environment, const ConsoleWriters& console) {
    Terminal terminal{console, false, {}};
    const std::expected<CommandLine, std::string> command_line = parse_command_line(args);
    if (!command_line) {
        return report_error(terminal, command_line.error());
    }
    if (const auto* help = std::get_if<HelpRequest>(&*command_line)) {
        write_out(terminal, usage_text(help->program));
        return exit_success;
    }
    const TestOptions& options = std::get<TestOptions>(*command_line);
    FileHandle log;
    if (options.logfile) {
        write_err(terminal, "warning: `--logfile` is deprecated\n");
        log.reset(std::fopen(options.logfile->c_str(), "w"));
        if (!log) {
            return report_error(terminal, fmt::format("could not create the log file `{}`: {}",
                                                      *options.logfile, std::strerror(errno)));
        }
    }
    terminal.use_color = use_color(options, environment);
    if (options.list) {
        list_tests_console(table, options, terminal, log.get());
        return exit_success;
    }

    const auto time_options = resolve_time_options(options, environment);
    if (!time_options) {
        return report_error(terminal, time_options.error());
    }
    const auto concurrency = worker_count(options, environment);
    if (!concurrency) {
        return report_error(terminal, concurrency.error());
    }
    std::atomic<bool> backtrace_hint_pending{true};
    RunSettings settings;
    settings.concurrency = *concurrency;
    settings.force_ignore = !options.run_tests;
    settings.fail_fast = options.fail_fast;
    settings.shuffle_seed = shuffle_seed(options, environment);
    settings.long_running_after = environment.long_running_after;
    settings.test_context =
        TestRunContext{options.nocapture, &terminal, *time_options, &backtrace_hint_pending};
    try {
        const bool success = run_tests_console(table, options, settings, terminal, log.get());
        return success ? exit_success : exit_failure;
    } catch (const std::exception& exception) {
        // The harness itself failed (no thread could be started, memory ran out); tests' own failures
        // never reach here.
        return report_error(terminal, exception.what());
    }
}

int run_tests(std::span<const TestDescriptor> table, std::span<const std::string_view> args,
              const RunEnvironment& environment, std::string& out, std::string& err) {
    const ConsoleWriters console{[&](std::string_view text) { out.append(text); },
                                 [&](std::string_view text) { err.append(text); }};
    return run_tests(table, args, environment, console);
}

}  // namespace ovra_tests
