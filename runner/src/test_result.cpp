#include "test_result.hpp"

namespace ovra_runner {

namespace {

struct Classifier {
    ResultClass operator()(const TestPassed&) const { return {ResultKind::Passed, {}}; }
    ResultClass operator()(const TestFailed&) const { return {ResultKind::Failed, {}}; }
    ResultClass operator()(const TestFailedWithNote& result) const {
        return {ResultKind::Failed, result.message};
    }
    ResultClass operator()(const TestIgnored&) const { return {ResultKind::Ignored, {}}; }
    ResultClass operator()(const TestTimeLimitExceeded&) const { return {ResultKind::TimeLimitExceeded, {}}; }
};

}  // namespace

ResultClass classify(const TestResult& result) {
    return std::visit(Classifier{}, result);
}

}  // namespace ovra_runner
