// How one test ended: made where it ended (in this process or from its child's end), then read by every
// report.
#pragma once

#include <chrono>
#include <string>
#include <utility>

#include "ovra/runner/test_descriptor.hpp"

namespace ovra_runner {

enum class ResultKind { Passed, Failed, TimeLimitExceeded, Ignored };

struct CompletedTest {
    TestDescriptor test{};
    ResultKind kind = ResultKind::Passed;
    // Shown under a failure's output where the output does not tell what happened (a should-panic test that
    // passed, one that ran out of memory, a child that crashed or overran); empty otherwise.
    std::string note{};
    // A failure in one line (its first, or its note); empty for a test that did not fail.
    std::string message{};
    // Measured for every test that ran (0 for an ignored one); shown where a time option asks for it, and
    // always in JUnit.
    std::chrono::nanoseconds exec_time{};
    std::string output{};
};

inline void fail_with_note(CompletedTest& completed, std::string note) {
    completed.kind = ResultKind::Failed;
    completed.message = note;
    completed.note = std::move(note);
}

}  // namespace ovra_runner
