// Comparing a runner's report with the one written in the runner's check: patterns for what legitimately
// varies (durations, thread ids, places inside the runner), results put in name order for runs whose
// tests finish in any order, and backtraces taken out for hosts that enable them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ovra_tests::deep::runner {

// In a pattern, "%d%" stands for a number (digits and dots: a duration, a thread id) and "%*%" for any text
// within the line; everything else stands for itself.
bool line_matches(std::string_view pattern, std::string_view line);

struct LineMismatch {
    std::size_t line;  // from 1
    std::string expected;
    std::string got;
};

// The first line of `text` that its line of `pattern` does not match, if any (a missing line is empty).
std::optional<LineMismatch> first_mismatch(std::string_view pattern, std::string_view text);

// Whether this process asks for backtraces: OVRA_BACKTRACE set to anything but "0".
bool backtraces_requested();

// The line the runner adds to the first failure report of a run when backtraces are off.
inline constexpr std::string_view backtrace_hint =
    "note: run with `OVRA_BACKTRACE=1` environment variable to display a backtrace";

// A pretty report with its "test ... " result lines sorted and its failure blocks ("---- NAME stdout ----"
// up to the next) sorted by name, as a run on one worker writes them.
std::string in_name_order(std::string_view report);

// `report` without its lines equal to `line`; `removed` counts them.
std::string without_line(std::string_view report, std::string_view line, std::size_t& removed);

// A report without the backtraces OVRA_BACKTRACE adds: a "stack backtrace:" or "Stack backtrace:" heading
// and its indented frames (and the empty line before the latter heading). Line by line, so for pretty and
// terse reports.
std::string without_backtraces(std::string_view report);

// A JSON or JUnit report without what the failed tests printed: the "stdout" fields and <system-out>
// elements of the tests.
std::string without_test_output(std::string_view report);

}  // namespace ovra_tests::deep::runner
