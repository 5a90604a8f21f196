// How one test ended, and the finished test as every report shows it: its ending sorted, once, into a kind.
#pragma once

#include <chrono>
#include <string>
#include <variant>

#include "ovra/runner/test_descriptor.hpp"

namespace ovra_runner {

struct TestPassed {};
// The test's captured output says what happened; `message` is its first line.
struct TestFailed {
    std::string message;
};
// A failure whose message is shown under the test's output, as a note (a should-panic test that passed, one
// that ran out of memory, and whatever a strategy running tests elsewhere has to say about how a test ended).
struct TestFailedWithNote {
    std::string message;
};
struct TestIgnored {};
struct TestTimeLimitExceeded {};

using TestResult =
    std::variant<TestPassed, TestFailed, TestFailedWithNote, TestIgnored, TestTimeLimitExceeded>;

enum class ResultKind { Passed, Failed, TimeLimitExceeded, Ignored };

inline bool is_failure(ResultKind kind) {
    return kind == ResultKind::Failed || kind == ResultKind::TimeLimitExceeded;
}

struct CompletedTest {
    TestDescriptor test;
    ResultKind kind = ResultKind::Passed;
    // The note shown under a failure's output, where it has one; empty otherwise.
    std::string note;
    // A failure in one line (its first, or its note); empty for a test that did not fail.
    std::string message;
    // Measured for every test that ran (0 for an ignored one); shown where a time option asks for it, and
    // always in JUnit.
    std::chrono::nanoseconds exec_time{};
    std::string output;
};

// The finished test: the one place where an ending becomes the kind the reports show.
CompletedTest complete(const TestDescriptor& test, TestResult result, std::chrono::nanoseconds exec_time,
                       std::string output);

}  // namespace ovra_runner
