// How one test ended, and the one place that sorts an ending into what every report shows.
#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace ovra_runner {

struct TestPassed {};
// The test's captured output already says what happened.
struct TestFailed {};
// A failure whose message is shown under the test's output, as a note (a should-panic test that passed, and
// whatever a strategy running tests elsewhere has to say about how a test ended).
struct TestFailedWithNote {
    std::string message;
};
struct TestIgnored {};
struct TestTimeLimitExceeded {};

using TestResult =
    std::variant<TestPassed, TestFailed, TestFailedWithNote, TestIgnored, TestTimeLimitExceeded>;

enum class ResultKind { Passed, Failed, TimeLimitExceeded, Ignored };

struct ResultClass {
    ResultKind kind;
    // The note of a failure with one; empty otherwise.
    std::string_view note;
};

ResultClass classify(const TestResult& result);

inline bool is_failure(ResultKind kind) {
    return kind == ResultKind::Failed || kind == ResultKind::TimeLimitExceeded;
}

}  // namespace ovra_runner
