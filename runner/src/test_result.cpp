#include "test_result.hpp"

#include <utility>

namespace ovra_runner {

namespace {

struct ResultClass {
    ResultKind kind;
    std::string note;
};

struct Classifier {
    ResultClass operator()(TestPassed) const { return {ResultKind::Passed, {}}; }
    ResultClass operator()(TestFailed) const { return {ResultKind::Failed, {}}; }
    ResultClass operator()(TestFailedWithNote& result) const {
        return {ResultKind::Failed, std::move(result.message)};
    }
    ResultClass operator()(TestIgnored) const { return {ResultKind::Ignored, {}}; }
    ResultClass operator()(TestTimeLimitExceeded) const { return {ResultKind::TimeLimitExceeded, {}}; }
};

ResultClass classify(TestResult& result) {
    return std::visit(Classifier{}, result);
}

}  // namespace

CompletedTest complete(const TestDescriptor& test, TestResult result,
                       std::optional<std::chrono::nanoseconds> exec_time, std::string output) {
    ResultClass sorted = classify(result);
    return CompletedTest{test, sorted.kind, std::move(sorted.note), exec_time, std::move(output)};
}

}  // namespace ovra_runner
