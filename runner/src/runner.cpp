#include "ovra/runner/runner.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <expected>
#include <optional>
#include <string>
#include <system_error>

#include <fmt/format.h>

#include "console.hpp"
#include "integer_text.hpp"
#include "log_file.hpp"
#include "ovra/runner/options.hpp"
#include "terminal.hpp"
#include "time_options.hpp"

namespace ovra_tests {

static_assert(sizeof(std::size_t) == sizeof(std::uint64_t), "counts read as 64-bit numbers must fit a size");

namespace {

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

// The standard runner words every lost report so, listing or not; the system's text and number follow.
std::string io_error_message(IoError error) {
    return fmt::format("io error when listing tests: {} (os error {})",
                       std::generic_category().message(error.os_error), error.os_error);
}

// The run's status once its report is complete: a report that did not reach its reader, or a log that could
// not be finished, is a failed run whatever the tests did.
int finish_report(Terminal& terminal, LogFile& log, int status) {
    if (const WriteResult closed = close_log(log); !closed) {
        record_failure(terminal, closed.error());
    }
    if (const std::optional<IoError> failure = report_failure(terminal)) {
        return report_error(terminal, io_error_message(*failure));
    }
    return status;
}

std::expected<LogFile, std::string> create_log(const TestOptions& options) {
    if (!options.logfile) {
        return LogFile{};
    }
    std::expected<LogFile, IoError> log = open_log(*options.logfile);
    if (!log) {
        return std::unexpected(fmt::format("could not create the log file `{}`: {}", *options.logfile,
                                           std::generic_category().message(log.error().os_error)));
    }
    return std::move(*log);
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
    Terminal terminal{console, false, {}, {}};
    const std::expected<CommandLine, std::string> command_line = parse_command_line(args);
    if (!command_line) {
        return report_error(terminal, command_line.error());
    }
    if (const auto* help = std::get_if<HelpRequest>(&*command_line)) {
        write_out(terminal, usage_text(help->program));
        LogFile no_log;
        return finish_report(terminal, no_log, exit_success);
    }
    const TestOptions& options = std::get<TestOptions>(*command_line);
    if (options.logfile) {
        write_err(terminal, "warning: `--logfile` is deprecated\n");
    }
    terminal.use_color = use_color(options, environment);
    if (options.list) {
        std::expected<LogFile, std::string> log = create_log(options);
        if (!log) {
            return report_error(terminal, log.error());
        }
        list_tests_console(table, options, terminal, log->file != nullptr ? &*log : nullptr);
        return finish_report(terminal, *log, exit_success);
    }

    const auto time_options = resolve_time_options(options, environment);
    if (!time_options) {
        return report_error(terminal, time_options.error());
    }
    const auto concurrency = worker_count(options, environment);
    if (!concurrency) {
        return report_error(terminal, concurrency.error());
    }
    // Created only once everything else is known to be valid, so a refused run leaves an old log as it was.
    std::expected<LogFile, std::string> log = create_log(options);
    if (!log) {
        return report_error(terminal, log.error());
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
        const bool success =
            run_tests_console(table, options, settings, terminal, log->file != nullptr ? &*log : nullptr);
        return finish_report(terminal, *log, success ? exit_success : exit_failure);
    } catch (const std::exception& exception) {
        // The harness itself failed (memory ran out, a thread refused for a reason other than a limit);
        // tests' own failures never reach here.
        return report_error(terminal, exception.what());
    }
}

int run_tests(std::span<const TestDescriptor> table, std::span<const std::string_view> args,
              const RunEnvironment& environment, std::string& out, std::string& err) {
    const ConsoleWriters console{[&](std::string_view text) -> WriteResult {
                                     out.append(text);
                                     return {};
                                 },
                                 [&](std::string_view text) -> WriteResult {
                                     err.append(text);
                                     return {};
                                 }};
    return run_tests(table, args, environment, console);
}

}  // namespace ovra_tests
