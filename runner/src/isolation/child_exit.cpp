#include "child_exit.hpp"

#include <signal.h>

#include <fmt/format.h>

namespace ovra_runner::isolation {

namespace {

// Why the test failed where its child did not end by the protocol; nothing where it did.
std::optional<std::string> note_of(const ChildEnd& end, std::optional<std::chrono::seconds> timeout) {
    if (const auto* exited = std::get_if<ChildExited>(&end)) {
        if (exited->code == child_passed_status || exited->code == child_failed_status) {
            return std::nullopt;
        }
        if (exited->code == child_out_of_memory_status) {
            return std::string(out_of_memory_note);
        }
        return fmt::format("got unexpected return code {}", exited->code);
    }
    if (const auto* signalled = std::get_if<ChildSignalled>(&end)) {
        // abort() is how a failed check ends a program that cannot unwind; it says nothing more.
        if (signalled->signal == SIGABRT) {
            return std::nullopt;
        }
        return fmt::format("child process exited with signal {}", signalled->signal);
    }
    return fmt::format("test exceeded its time limit of {} s", timeout ? timeout->count() : 0);
}

// The line after the last "panicked at ...:" header of the child's error side: the failure's own first line.
std::string failure_line(std::string_view err) {
    const std::size_t header = err.rfind(" panicked at ");
    const std::size_t start = header == std::string_view::npos ? header : err.find('\n', header);
    if (start == std::string_view::npos) {
        return {};
    }
    const std::string_view rest = err.substr(start + 1);
    return std::string(rest.substr(0, rest.find('\n')));
}

}  // namespace

CompletedTest completed_in_child(const TestDescriptor& test, const ChildRun& run,
                                 std::optional<std::chrono::seconds> timeout) {
    CompletedTest completed{.test = test, .exec_time = run.elapsed, .output = run.out};
    if (!completed.output.empty() && completed.output.back() != '\n') {
        completed.output.push_back('\n');
    }
    completed.output.append(fmt::format("---- {} stderr ----\n", test.name));
    completed.output.append(run.err);
    const auto* exited = std::get_if<ChildExited>(&run.end);
    if (std::optional<std::string> note = note_of(run.end, timeout)) {
        fail_with_note(completed, std::move(*note));
    } else if (exited == nullptr || exited->code != child_passed_status) {
        completed.kind = ResultKind::Failed;
        completed.message = failure_line(run.err);
        // abort() and the like leave no report of their own.
        if (const auto* signalled = std::get_if<ChildSignalled>(&run.end); signalled && completed.message.empty()) {
            completed.message = fmt::format("child process exited with signal {}", signalled->signal);
        }
    }
    return completed;
}

}  // namespace ovra_runner::isolation
