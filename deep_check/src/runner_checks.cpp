#include "ovra/deep_check/runner_checks.hpp"

#include <algorithm>
#include <source_location>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "ovra/deep_check/known_outcomes.hpp"
#include "ovra/deep_check/report_text.hpp"
#include "ovra/runner/backtrace.hpp"
#include "ovra/runner/check.hpp"
#include "ovra/runner/runner.hpp"

namespace ovra_tests::deep::runner::tests {

using ovra_runner::Status;

namespace {

// The reports as the known outcomes must give them. "%d%" stands for a duration or a thread id, "%*%" for a
// place in the runner's own source; "%check_eq%" and "%check%" are the places of the two failing checks.

constexpr std::string_view result_lines = R"(test known::check_eq_fails ... FAILED
test known::check_fails ... FAILED
test known::does_not_panic - should panic ... FAILED
test known::error_is_returned ... FAILED
test known::exception_is_thrown ... FAILED
test known::ignored_test ... ignored, known reason
test known::panics_as_expected - should panic ... ok
test known::passes ... ok
)";

// What each failed test printed, in this process: the first panic report of a run carries the hint.
constexpr std::string_view failure_blocks = R"(---- known::check_eq_fails stdout ----
adding 2 and 2

thread 'known::check_eq_fails' (%d%) panicked at %check_eq%:
assertion `left == right` failed
  left: 4
 right: 5
note: run with `OVRA_BACKTRACE=1` environment variable to display a backtrace

---- known::check_fails stdout ----

thread 'known::check_fails' (%d%) panicked at %check%:
the known condition does not hold

---- known::does_not_panic stdout ----
note: test did not panic as expected
---- known::error_is_returned stdout ----
Error: the known error

Caused by:
    0: its first cause
    1: its second cause

---- known::exception_is_thrown stdout ----

thread 'known::exception_is_thrown' (%d%) panicked at %*%:
C++ exception of type std::runtime_error: the known exception

)";

// What each failed test's child printed, each a process of its own with its own hint: a returned error and
// a should_panic test that passed end the child with a report of their own.
constexpr std::string_view isolated_failure_blocks = R"(---- known::check_eq_fails stdout ----
adding 2 and 2
---- known::check_eq_fails stderr ----

thread 'main' (%d%) panicked at %check_eq%:
assertion `left == right` failed
  left: 4
 right: 5
note: run with `OVRA_BACKTRACE=1` environment variable to display a backtrace

---- known::check_fails stdout ----
---- known::check_fails stderr ----

thread 'main' (%d%) panicked at %check%:
the known condition does not hold
note: run with `OVRA_BACKTRACE=1` environment variable to display a backtrace

---- known::does_not_panic stdout ----
---- known::does_not_panic stderr ----
test did not panic as expected at %does_not_panic%

---- known::error_is_returned stdout ----
---- known::error_is_returned stderr ----
Error: the known error

Caused by:
    0: its first cause
    1: its second cause

thread 'main' (%d%) panicked at %*%:
the test returned a termination value with a non-zero status code (1) which indicates a failure
note: run with `OVRA_BACKTRACE=1` environment variable to display a backtrace

---- known::exception_is_thrown stdout ----
---- known::exception_is_thrown stderr ----

thread 'main' (%d%) panicked at %*%:
C++ exception of type std::runtime_error: the known exception
note: run with `OVRA_BACKTRACE=1` environment variable to display a backtrace

)";

constexpr std::string_view failure_list = R"(
failures:
    known::check_eq_fails
    known::check_fails
    known::does_not_panic
    known::error_is_returned
    known::exception_is_thrown

test result: FAILED. 2 passed; 5 failed; 1 ignored; 0 measured; 0 filtered out; finished in %d%s
)";

std::string whole_run(std::string_view results, std::string_view blocks) {
    return fmt::format("\nrunning 8 tests\n{}\nfailures:\n\n{}{}\n", results, blocks, failure_list);
}

constexpr std::string_view one_passes = R"(
running 1 test
test known::passes ... ok

test result: ok. 1 passed; 0 failed; 0 ignored; 0 measured; 7 filtered out; finished in %d%s

)";

constexpr std::string_view exactly_check_fails = R"(
running 1 test
test known::check_fails ... FAILED

failures:

---- known::check_fails stdout ----

thread 'known::check_fails' (%d%) panicked at %check%:
the known condition does not hold
note: run with `OVRA_BACKTRACE=1` environment variable to display a backtrace


failures:
    known::check_fails

test result: FAILED. 0 passed; 1 failed; 0 ignored; 0 measured; 7 filtered out; finished in %d%s

)";

constexpr std::string_view only_ignored = R"(
running 1 test
test known::ignored_test ... FAILED

failures:

---- known::ignored_test stdout ----
Error: an ignored test ran


failures:
    known::ignored_test

test result: FAILED. 0 passed; 1 failed; 0 ignored; 0 measured; 7 filtered out; finished in %d%s

)";

constexpr std::string_view skipped_all_but_two = R"(
running 2 tests
test known::ignored_test ... ignored, known reason
test known::passes ... ok

test result: ok. 1 passed; 0 failed; 1 ignored; 0 measured; 6 filtered out; finished in %d%s

)";

constexpr std::string_view listing = R"(known::check_eq_fails: test
known::check_fails: test
known::does_not_panic: test
known::error_is_returned: test
known::exception_is_thrown: test
known::ignored_test: test
known::panics_as_expected: test
known::passes: test

8 tests, 0 benchmarks
)";

constexpr std::string_view terse_results = R"(known::check_eq_fails --- FAILED
known::check_fails --- FAILED
known::does_not_panic --- FAILED
known::error_is_returned --- FAILED
known::exception_is_thrown --- FAILED
i..)";

constexpr std::string_view json_report =
    R"({ "type": "suite", "event": "started", "test_count": 8 }
{ "type": "test", "event": "started", "name": "known::check_eq_fails" }
{ "type": "test", "name": "known::check_eq_fails", "event": "failed", "stdout": "adding 2 and 2\n\nthread 'known::check_eq_fails' (%d%) panicked at %check_eq%:\nassertion `left == right` failed\n  left: 4\n right: 5\nnote: run with `OVRA_BACKTRACE=1` environment variable to display a backtrace\n" }
{ "type": "test", "event": "started", "name": "known::check_fails" }
{ "type": "test", "name": "known::check_fails", "event": "failed", "stdout": "\nthread 'known::check_fails' (%d%) panicked at %check%:\nthe known condition does not hold\n" }
{ "type": "test", "event": "started", "name": "known::does_not_panic" }
{ "type": "test", "name": "known::does_not_panic", "event": "failed", "message": "test did not panic as expected" }
{ "type": "test", "event": "started", "name": "known::error_is_returned" }
{ "type": "test", "name": "known::error_is_returned", "event": "failed", "stdout": "Error: the known error\n\nCaused by:\n    0: its first cause\n    1: its second cause\n" }
{ "type": "test", "event": "started", "name": "known::exception_is_thrown" }
{ "type": "test", "name": "known::exception_is_thrown", "event": "failed", "stdout": "\nthread 'known::exception_is_thrown' (%d%) panicked at %*%:\nC++ exception of type std::runtime_error: the known exception\n" }
{ "type": "test", "event": "started", "name": "known::ignored_test" }
{ "type": "test", "name": "known::ignored_test", "event": "ignored", "message": "known reason" }
{ "type": "test", "event": "started", "name": "known::panics_as_expected" }
{ "type": "test", "name": "known::panics_as_expected", "event": "ok" }
{ "type": "test", "event": "started", "name": "known::passes" }
{ "type": "test", "name": "known::passes", "event": "ok" }
{ "type": "suite", "event": "failed", "passed": 2, "failed": 5, "ignored": 1, "measured": 0, "filtered_out": 0, "exec_time": %d% }
)";

// One line; cut here at each test case.
constexpr std::string_view junit_report =
    R"(<?xml version="1.0" encoding="UTF-8"?><testsuites><testsuite name="ovra_deep_check" package="ovra_deep_check" id="0" errors="0" failures="5" tests="8" skipped="1" time="%d%">)"
    R"(<testcase classname="known" name="check_eq_fails" time="%d%"><failure message="assertion `left == right` failed" type="assert"/><system-out><![CDATA[adding 2 and 2]]>&#xA;&#xA;<![CDATA[thread 'known::check_eq_fails' (%d%) panicked at %check_eq%:]]>&#xA;<![CDATA[assertion `left == right` failed]]>&#xA;<![CDATA[  left: 4]]>&#xA;<![CDATA[ right: 5]]>&#xA;<![CDATA[note: run with `OVRA_BACKTRACE=1` environment variable to display a backtrace]]>&#xA;<![CDATA[]]></system-out></testcase>)"
    R"(<testcase classname="known" name="check_fails" time="%d%"><failure message="the known condition does not hold" type="assert"/><system-out><![CDATA[]]>&#xA;<![CDATA[thread 'known::check_fails' (%d%) panicked at %check%:]]>&#xA;<![CDATA[the known condition does not hold]]>&#xA;<![CDATA[]]></system-out></testcase>)"
    R"(<testcase classname="known" name="does_not_panic" time="%d%"><failure message="test did not panic as expected" type="assert"/></testcase>)"
    R"(<testcase classname="known" name="error_is_returned" time="%d%"><failure message="Error: the known error" type="assert"/><system-out><![CDATA[Error: the known error]]>&#xA;&#xA;<![CDATA[Caused by:]]>&#xA;<![CDATA[    0: its first cause]]>&#xA;<![CDATA[    1: its second cause]]>&#xA;<![CDATA[]]></system-out></testcase>)"
    R"(<testcase classname="known" name="exception_is_thrown" time="%d%"><failure message="C++ exception of type std::runtime_error: the known exception" type="assert"/><system-out><![CDATA[]]>&#xA;<![CDATA[thread 'known::exception_is_thrown' (%d%) panicked at %*%:]]>&#xA;<![CDATA[C++ exception of type std::runtime_error: the known exception]]>&#xA;<![CDATA[]]></system-out></testcase>)"
    R"(<testcase classname="known" name="ignored_test" time="0"><skipped message="known reason"/></testcase>)"
    R"(<testcase classname="known" name="panics_as_expected" time="%d%"/>)"
    R"(<testcase classname="known" name="passes" time="%d%"/>)"
    R"(<system-out/><system-err/></testsuite></testsuites>
)";

enum class Order {
    // One worker: the report comes in the table's order.
    Names,
    // Several: results and failure blocks come as the tests finish, and the hint with whichever failure
    // is reported first.
    Completion,
};

struct KnownRun {
    std::vector<std::string_view> args;
    int status;
    std::string report;
    Order order = Order::Names;
    // Completion order: the hints the whole report carries.
    std::size_t hints = 0;
    std::string_view err = "";
};

// Fails the check through `fail` alone: the runner's `check` is part of what this checks, and one that never
// failed would hide every fault found here.
template <class Describe>
void require(bool condition, const Describe& describe) {
    if (!condition) {
        ovra_runner::fail(describe());
    }
}

std::string place(const std::source_location& location) {
    return fmt::format("{}:{}:{}", location.file_name(), location.line(), location.column());
}

void replace_all(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// The pattern with the places it names filled in.
std::string with_places(std::string pattern) {
    replace_all(pattern, "%check_eq%", place(known_outcomes::check_eq_location));
    replace_all(pattern, "%check%", place(known_outcomes::check_location));
    // A child names the table line of a should_panic test that passed.
    const auto does_not_panic = std::ranges::find(known_outcomes::table(), "known::does_not_panic",
                                                  &ovra_runner::TestDescriptor::name);
    replace_all(pattern, "%does_not_panic%",
                fmt::format("{}:{}:{}", does_not_panic->source_file, does_not_panic->start_line,
                            does_not_panic->start_col));
    return pattern;
}

void check_run(RunTestsFunction run_tests, const KnownRun& run) {
    std::vector<std::string_view> args{"ovra_deep_check"};
    args.insert(args.end(), run.args.begin(), run.args.end());
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
    // Nothing of this process's surroundings: no variables, no terminal, one hardware thread, a fixed clock.
    const int status = run_tests(known_outcomes::table(), args, ovra_runner::RunEnvironment{}, console);

    const std::string command = fmt::format("{}", fmt::join(args, " "));
    require(status == run.status,
            [&] { return fmt::format("`{}` exits with {}, not {}:\n{}", command, status, run.status, out); });
    require(err == run.err,
            [&] { return fmt::format("`{}` writes to standard error\n{}\nnot\n{}", command, err, run.err); });

    std::string expected = with_places(run.report);
    std::string got = out;
    std::size_t hints = 0;
    // A host that enables backtraces gets them in every failure report, and no hint.
    const bool backtraces = backtraces_requested();
    if (backtraces) {
        std::size_t removed = 0;
        expected = without_line(expected, backtrace_hint, removed);
        got = without_backtraces(got);
        if (got.starts_with('{') || got.starts_with('<')) {
            expected = without_test_output(expected);
            got = without_test_output(got);
        }
    }
    if (run.order == Order::Completion) {
        std::size_t in_expected = 0;
        expected = in_name_order(without_line(expected, backtrace_hint, in_expected));
        got = in_name_order(without_line(got, backtrace_hint, hints));
        require(hints == (backtraces ? 0 : run.hints), [&] {
            return fmt::format("`{}` writes {} backtrace hints, not {}:\n{}", command, hints, run.hints, out);
        });
    }
    const std::optional<LineMismatch> mismatch = first_mismatch(expected, got);
    require(!mismatch, [&] {
        return fmt::format("`{}` writes line {} as\n{}\nwhere it should be\n{}\nin the report:\n{}", command,
                           mismatch->line, mismatch->got, mismatch->expected, out);
    });
}

// The whole table on one worker and on several: what decides whether the runner can report at all.
std::vector<KnownRun> whole_table_runs() {
    const std::string whole = whole_run(result_lines, failure_blocks);
    return {
        {{"--test-threads", "1"}, ovra_runner::exit_failure, whole},
        {{"--test-threads", "3"}, ovra_runner::exit_failure, whole, Order::Completion, 1},
    };
}

}  // namespace

Status known_outcomes_are_reported_exactly(RunTestsFunction run_tests) {
    std::vector<KnownRun> runs = whole_table_runs();
    runs.insert(
        runs.end(),
        {
            {{"passes", "--test-threads", "2"}, ovra_runner::exit_success, std::string(one_passes)},
            {{"--exact", "known::check_fails", "--test-threads", "1"},
             ovra_runner::exit_failure,
             std::string(exactly_check_fails)},
            {{"--ignored", "--test-threads", "1"}, ovra_runner::exit_failure, std::string(only_ignored)},
            {{"--skip", "fails", "--skip", "error", "--skip", "exception", "--skip", "panic",
              "--test-threads", "1"},
             ovra_runner::exit_success,
             std::string(skipped_all_but_two)},
            {{"--list"}, ovra_runner::exit_success, std::string(listing)},
            {.args = {"--test-threads", "0"},
             .status = ovra_runner::exit_failure,
             .report = "",
             .err = "error: argument for --test-threads must not be 0\n"},
            {{"-q", "--test-threads", "1"},
             ovra_runner::exit_failure,
             whole_run(terse_results, failure_blocks)},
            {{"--format", "json", "--test-threads", "1"},
             ovra_runner::exit_failure,
             std::string(json_report)},
            {{"--format", "junit", "--test-threads", "1"},
             ovra_runner::exit_failure,
             std::string(junit_report)},
        });
    for (const KnownRun& run : runs) {
        check_run(run_tests, run);
    }
    return {};
}

std::optional<std::string> runner_fault(RunTestsFunction run_tests) {
    try {
        for (const KnownRun& run : whole_table_runs()) {
            check_run(run_tests, run);
        }
    } catch (const ovra_runner::CheckFailure& failure) {
        return failure.message;
    }
    return std::nullopt;
}

Status isolated_known_outcomes_are_reported_exactly(RunTestsFunction run_tests) {
    check_run(run_tests, {{"--isolate", "--test-threads", "3"},
                          ovra_runner::exit_failure,
                          whole_run(result_lines, isolated_failure_blocks),
                          Order::Completion,
                          4});
    return {};
}

Status exhaustive_known_outcomes_are_reported_exactly() {
    return known_outcomes_are_reported_exactly(ovra_runner::run_tests);
}

Status exhaustive_isolated_known_outcomes_are_reported_exactly() {
    return isolated_known_outcomes_are_reported_exactly(ovra_runner::run_tests);
}

}  // namespace ovra_tests::deep::runner::tests
