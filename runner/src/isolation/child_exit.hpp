// What a test's child process says by the way it ended: the exit protocol between parent and child, and the
// test's result and captured output made from it.
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

#include "../test_result.hpp"
#include "child_process.hpp"

namespace ovra_runner::isolation {

// The child's exit status for a test that passed and for one that failed (its report is on its standard
// error). Any other ending is the test's own doing: a crash, an exit, a kill.
inline constexpr int child_passed_status = 57;
inline constexpr int child_failed_status = 58;
// The test could not get the memory it asked for; in this process too, that fails it with this note.
inline constexpr int child_out_of_memory_status = 59;
inline constexpr std::string_view out_of_memory_note = "test ran out of memory";

// The test as its child ran it: the child's standard output, then a "---- NAME stderr ----" line, then its
// standard error, as the output; a failure by the protocol named by the line its last failure report
// ("panicked at ...:") starts with, any other ending by a note.
CompletedTest completed_in_child(const TestDescriptor& test, const ChildRun& run,
                                 std::optional<std::chrono::seconds> timeout);

}  // namespace ovra_runner::isolation
