#include "ovra/runner/runner.hpp"

#include <chrono>
#include <exception>
#include <expected>
#include <new>
#include <optional>
#include <string>
#include <system_error>

#include <fmt/format.h>

#include "command_line_run.hpp"
#include "console.hpp"
#include "log_file.hpp"
#include "options.hpp"
#include "ovra/printable/printable.hpp"
#include "reporter.hpp"
#include "run_loop.hpp"
#include "run_plan.hpp"
#include "run_state.hpp"
#include "test_execution.hpp"

namespace ovra_runner {

namespace {

int report_error(Console& console, std::string_view message) {
    write_err(console, fmt::format("error: {}\n", ovra_printable::printable(message)));
    return exit_failure;
}

// The standard runner words every lost report so, listing or not; the system's text and number follow.
std::string io_error_message(IoError error) {
    return fmt::format("io error when listing tests: {} (os error {})",
                       std::generic_category().message(error.os_error), error.os_error);
}

// The run's status once its report is complete: a report that did not reach its reader, or a log that could
// not be finished, is a failed run whatever the tests did.
int finish_report(Console& console, LogFile& log, int status) {
    if (const IoResult closed = close_log(log); !closed) {
        record_failed_write(console, closed.error());
    }
    if (const std::optional<IoError> failure = first_failed_write(console)) {
        return report_error(console, io_error_message(*failure));
    }
    return status;
}

std::string describe(const TableFault& fault) {
    if (const auto* duplicate = std::get_if<DuplicateName>(&fault)) {
        return fmt::format("the test table names `{}` more than once", duplicate->name);
    }
    return fmt::format("the test `{}` in the test table has no function", std::get<MissingFunction>(fault).name);
}

// The whole run; what the runner's own code cannot do (no memory, say) is thrown.
int run_parsed(std::span<const TestDescriptor> table, ParsedCommandLine parsed, const RunEnvironment& environment,
               Console& console) {
    if (const std::optional<TableFault> fault = table_fault(table)) {
        return report_error(console, describe(*fault));
    }
    for (const std::string_view warning : parsed.warnings) {
        write_err(console, warning);
    }
    if (!parsed.command_line) {
        return report_error(console, parsed.command_line.error());
    }
    if (const auto* help = std::get_if<HelpRequest>(&*parsed.command_line)) {
        write_out(console, usage_text(help->program));
        LogFile no_log;
        return finish_report(console, no_log, exit_success);
    }
    RunPlan& plan = std::get<RunPlan>(*parsed.command_line);
    select_tests(table, plan);
    // Created only once everything else is known to be valid, so a refused run leaves an old log as it was.
    std::expected<LogFile, std::string> log =
        plan.logfile ? create_log(*plan.logfile, environment.stdout_file) : LogFile();
    if (!log) {
        return report_error(console, log.error());
    }
    if (plan.action == PlanAction::List) {
        report_listing(plan, console, *log);
        return finish_report(console, *log, exit_success);
    }
    Reporter reporter = make_reporter(plan, console, *log);
    RunState state{plan, console};
    const auto start = std::chrono::steady_clock::now();
    execute_plan(state, [&](const RunEvent& event) { return report(reporter, event); });
    const bool success = report_end(reporter, std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                  std::chrono::steady_clock::now() - start));
    return finish_report(console, *log, success ? exit_success : exit_failure);
}

}  // namespace

int run_command_line(std::span<const TestDescriptor> table, std::span<const std::string_view> args,
                     const RunEnvironment& environment, const ConsoleWriters& writers,
                     std::optional<std::string_view> child_request) {
    Console console{writers, {}, {}};
    try {
        ParsedCommandLine parsed = parse_command_line(args, environment);
        if (child_request && parsed.command_line && std::holds_alternative<RunPlan>(*parsed.command_line)) {
            return child_main(table, *child_request);
        }
        return run_parsed(table, std::move(parsed), environment, console);
    } catch (const std::bad_alloc&) {
        // A fixed text: formatting one could need the memory that ran out.
        write_err(console, out_of_memory_line);
        return exit_failure;
    } catch (const std::exception& exception) {
        // The harness itself failed (a thread refused for a reason other than a limit, say); tests' own
        // failures never reach here.
        return report_error(console, exception.what());
    }
}

int run_tests(std::span<const TestDescriptor> table, std::span<const std::string_view> args,
              const RunEnvironment& environment, const ConsoleWriters& writers) {
    return run_command_line(table, args, environment, writers, std::nullopt);
}

}  // namespace ovra_runner
