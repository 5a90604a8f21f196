#include "test_result.hpp"

#include <utility>

namespace ovra_runner {

namespace {

struct ResultClass {
    ResultKind kind;
    std::string note;
    std::string message;
};

struct Classifier {
    ResultClass operator()(TestPassed) const { return {ResultKind::Passed, {}, {}}; }
    ResultClass operator()(TestFailed& result) const { return {ResultKind::Failed, {}, std::move(result.message)}; }
    ResultClass operator()(TestFailedWithNote& result) const {
        return {ResultKind::Failed, result.message, result.message};
    }
    ResultClass operator()(TestIgnored) const { return {ResultKind::Ignored, {}, {}}; }
    ResultClass operator()(TestTimeLimitExceeded) const {
        return {ResultKind::TimeLimitExceeded, {}, "time limit exceeded"};
    }
};

ResultClass classify(TestResult& result) {
    return std::visit(Classifier{}, result);
}

}  // namespace

CompletedTest complete(const TestDescriptor& test, TestResult result, std::chrono::nanoseconds exec_time,
                       std::string output) {
    ResultClass sorted = classify(result);
    return CompletedTest{test, sorted.kind, std::move(sorted.note), std::move(sorted.message), exec_time,
                         std::move(output)};
}

}  // namespace ovra_runner
