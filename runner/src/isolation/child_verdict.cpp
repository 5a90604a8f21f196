#include "child_verdict.hpp"

#include <signal.h>

#include <fmt/format.h>

namespace ovra_runner::isolation {

namespace {

struct VerdictOfEnd {
    std::optional<std::chrono::seconds> timeout;

    ChildVerdict operator()(const ChildExited& exited) const {
        if (exited.code == child_passed_status) {
            return {true, std::nullopt, {}};
        }
        if (exited.code == child_failed_status) {
            return {};
        }
        if (exited.code == child_out_of_memory_status) {
            return {false, std::string(out_of_memory_note), {}};
        }
        return {false, fmt::format("got unexpected return code {}", exited.code), {}};
    }
    ChildVerdict operator()(const ChildSignalled& signalled) const {
        // abort() is how a failed check ends a program that cannot unwind; it says nothing more.
        if (signalled.signal == SIGABRT) {
            return {};
        }
        return {false, fmt::format("child process exited with signal {}", signalled.signal), {}};
    }
    ChildVerdict operator()(const ChildTimedOut& /*timed_out*/) const {
        return {
            false, fmt::format("test exceeded its time limit of {} s", timeout ? timeout->count() : 0), {}};
    }
};

// The line after the last "panicked at ...:" header of the child's error side: the failure's own first line.
std::string failure_line(std::string_view err) {
    const std::size_t header = err.rfind(" panicked at ");
    if (header == std::string_view::npos) {
        return {};
    }
    const std::size_t start = err.find('\n', header);
    if (start == std::string_view::npos) {
        return {};
    }
    const std::string_view rest = err.substr(start + 1);
    return std::string(rest.substr(0, rest.find('\n')));
}

}  // namespace

ChildVerdict child_verdict(const ChildRun& run, std::string_view test_name,
                           std::optional<std::chrono::seconds> timeout) {
    ChildVerdict verdict = std::visit(VerdictOfEnd{timeout}, run.end);
    if (!verdict.passed && !verdict.note) {
        verdict.message = failure_line(run.err);
        // abort() and the like leave no report of their own.
        if (const auto* signalled = std::get_if<ChildSignalled>(&run.end); signalled && verdict.message.empty()) {
            verdict.message = fmt::format("child process exited with signal {}", signalled->signal);
        }
    }
    verdict.output = run.out;
    if (!verdict.output.empty() && verdict.output.back() != '\n') {
        verdict.output.push_back('\n');
    }
    verdict.output.append(fmt::format("---- {} stderr ----\n", test_name));
    verdict.output.append(run.err);
    return verdict;
}

}  // namespace ovra_runner::isolation
