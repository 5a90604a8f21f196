// Runs with `--isolate` and `--timeout`: each test in a child process of the isolation demo, compared with
// the standard runner's recorded subprocess runs, plus what only a real process can show (a deadline, a
// parent killed while its child runs).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "isolation/child_exit.hpp"
#include "ovra/test_support/child_process.hpp"
#include "transcript.hpp"

namespace ovra_runner::testing {
namespace {

namespace fs = std::filesystem;
using ovra_test_support::run_child;

std::string read_file(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream buffer;
    buffer << file.rdbuf();
    return buffer.str();
}

std::vector<std::string> words_of(std::string_view text) {
    std::vector<std::string> words;
    std::istringstream stream{std::string(text)};
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

// One recorded run: the variables and arguments it was started with, what it printed, how it ended.
struct Recording {
    std::string name;
    std::vector<std::string> environment;
    std::vector<std::string> args;
    std::string out;
    std::string err;
    std::string status;
};

void PrintTo(const Recording& recording, std::ostream* stream) {
    *stream << recording.name;
}

std::vector<Recording> recordings() {
    std::vector<Recording> found;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(fs::path(OVRA_RUNNER_TEST_DATA) / "subprocess")) {
        Recording recording{entry.path().filename().string(),
                            {},
                            {},
                            read_file(entry.path() / "stdout"),
                            read_file(entry.path() / "stderr"),
                            words_of(read_file(entry.path() / "status")).at(0)};
        bool program_seen = false;
        for (std::string& word : words_of(read_file(entry.path() / "args"))) {
            if (program_seen) {
                recording.args.push_back(std::move(word));
            } else if (word.starts_with("./")) {
                program_seen = true;
            } else if (!word.starts_with("RUSTC_BOOTSTRAP=")) {
                recording.environment.push_back(std::move(word));
            }
        }
        found.push_back(std::move(recording));
    }
    std::sort(found.begin(), found.end(),
              [](const Recording& a, const Recording& b) { return a.name < b.name; });
    return found;
}

void replace_all(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// The recording's own masks become values our masks recognise; what is the other language's own becomes ours.
std::string comparable_recording(std::string text) {
    replace_all(text, "[TID]", "0");
    replace_all(text, "[TIME]", "0.00");
    replace_all(text, "__RUST_TEST_INVOKE", "OVRA_TEST_INVOKE");
    replace_all(text, "Error: \\\"boom\\\"", "Error: boom");
    replace_all(text, "Error: \"boom\"", "Error: boom");
    return normalise(text);
}

bool is_child_run(const Recording& recording) {
    return recording.name.starts_with("child-");
}

// The child's exit status under our protocol for the one the recording shows.
std::string our_child_status(const Recording& recording) {
    if (recording.status == "50") {
        return std::to_string(ovra_runner::isolation::child_passed_status);
    }
    if (recording.status == "signal") {
        return std::to_string(ovra_runner::isolation::child_failed_status);
    }
    return recording.status;
}

ovra_test_support::ChildOutcome run_recorded(const Recording& recording) {
    if (is_child_run(recording)) {
        const std::string test = recording.name.substr(std::string_view("child-").size());
        return run_child(OVRA_RUNNER_ISOLATION_DEMO, {}, {"OVRA_TEST_INVOKE=" + test});
    }
    std::vector<std::string> args{"--isolate"};
    args.insert(args.end(), recording.args.begin(), recording.args.end());
    return run_child(OVRA_RUNNER_ISOLATION_DEMO, args, recording.environment);
}

class RecordedSubprocessRun : public ::testing::TestWithParam<Recording> {};

TEST_P(RecordedSubprocessRun, PrintsWhatTheStandardRunnerPrints) {
    const Recording& recording = GetParam();
    const ovra_test_support::ChildOutcome actual = run_recorded(recording);
    const std::string expected_status =
        is_child_run(recording) ? our_child_status(recording) : recording.status;
    EXPECT_EQ(std::to_string(actual.status), expected_status) << actual.out << actual.err;
    EXPECT_EQ(normalise(actual.err), comparable_recording(recording.err));
    // Our JUnit is held to our own recorded document, as in-process (transcript_test.cpp).
    const std::string expected_out = recording.name == "format-junit" ? read_data_file("junit/isolated.xml")
                                                                     : comparable_recording(recording.out);
    const bool threads_race =
        std::find(recording.args.begin(), recording.args.end(), "--test-threads") == recording.args.end();
    if (threads_race && !is_child_run(recording)) {
        EXPECT_EQ(sorted_lines(normalise(actual.out), false), sorted_lines(expected_out, false)) << actual.out;
    } else {
        EXPECT_EQ(normalise(actual.out), expected_out);
    }
}

INSTANTIATE_TEST_SUITE_P(Transcripts, RecordedSubprocessRun, ::testing::ValuesIn(recordings()),
                         [](const ::testing::TestParamInfo<Recording>& info) {
                             return identifier_from(info.param.name);
                         });

TEST(IsolatedRun, KillsATestThatOutlivesItsTimeoutAndGoesOn) {
    const auto start = std::chrono::steady_clock::now();
    const ovra_test_support::ChildOutcome actual =
        run_child(OVRA_RUNNER_ISOLATION_DEMO,
                  {"--timeout", "1", "--test-threads", "1", "k_sleeps", "a_passes"}, {"DEMO_SLEEP_MS=60000"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(actual.status, 101);
    EXPECT_NE(actual.out.find("test a_passes ... ok\n"), std::string::npos) << actual.out;
    EXPECT_NE(actual.out.find("test k_sleeps ... FAILED\n"), std::string::npos) << actual.out;
    EXPECT_NE(actual.out.find("---- k_sleeps stdout ----\n---- k_sleeps stderr ----\n"
                              "note: test exceeded its time limit of 1 s\n"),
              std::string::npos)
        << actual.out;
}

// The standard runner drops what a passing child wrote; ours keeps it, so `--show-output` shows it as it does
// in-process.
TEST(IsolatedRun, ShowsWhatPassingChildrenWroteWhenAsked) {
    const ovra_test_support::ChildOutcome actual = run_child(
        OVRA_RUNNER_ISOLATION_DEMO, {"--isolate", "--show-output", "--test-threads", "1", "a_passes"});
    EXPECT_EQ(actual.status, 0);
    EXPECT_NE(actual.out.find("\nsuccesses:\n\n---- a_passes stdout ----\nhello from a_passes\n"
                              "---- a_passes stderr ----\n\n\nsuccesses:\n    a_passes\n"),
              std::string::npos)
        << actual.out;
}

struct OptionCase {
    std::vector<std::string> args;
    const char* err;
};

TEST(IsolatedRun, RefusesMalformedTimeouts) {
    const std::vector<OptionCase> cases{
        {{"--timeout", "0"}, "error: argument for --timeout must not be 0\n"},
        {{"--timeout", "x"},
         "error: argument for --timeout must be a number > 0 (error: invalid digit found in string)\n"},
        {{"--timeout", "-1"},
         "error: argument for --timeout must be a number > 0 (error: invalid digit found in string)\n"},
        {{"--timeout"}, "error: Argument to option 'timeout' missing\n"},
    };
    for (const OptionCase& row : cases) {
        const ovra_test_support::ChildOutcome actual = run_child(OVRA_RUNNER_ISOLATION_DEMO, row.args);
        EXPECT_EQ(actual.status, 101) << row.args.back();
        EXPECT_EQ(actual.err, row.err) << row.args.back();
        EXPECT_EQ(actual.out, "") << row.args.back();
    }
}

std::vector<pid_t> children_of(pid_t parent) {
    std::vector<pid_t> children;
    for (const fs::directory_entry& task : fs::directory_iterator(fmt::format("/proc/{}/task", parent))) {
        for (const std::string& word : words_of(read_file(task.path() / "children"))) {
            children.push_back(static_cast<pid_t>(std::stol(word)));
        }
    }
    return children;
}

bool process_exists(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

// This process becomes the subreaper of whatever its runners leave behind: an orphan is then this process's
// child, which the checks below can see and reap.
void adopt_orphans() {
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
}

struct Orphans {
    // Orphans that ended by exiting with one of the statuses a child uses to report its test.
    int finished_tests = 0;
    // Orphans still running at the deadline (then killed).
    int left_running = 0;
};

// Reaps every orphan that comes to this process within `patience`.
Orphans reap_orphans(std::chrono::milliseconds patience) {
    Orphans orphans;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (true) {
        int status = 0;
        const pid_t pid = ::waitpid(-1, &status, WNOHANG);
        if (pid < 0) {
            return orphans;  // ECHILD: none left
        }
        if (pid > 0) {
            const bool reported =
                WIFEXITED(status) && (WEXITSTATUS(status) == isolation::child_passed_status ||
                                      WEXITSTATUS(status) == isolation::child_failed_status);
            orphans.finished_tests += reported ? 1 : 0;
            continue;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            for (const pid_t child : children_of(::getpid())) {
                ::kill(child, SIGKILL);
                ++orphans.left_running;
            }
            while (::waitpid(-1, nullptr, 0) > 0) {
            }
            return orphans;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

struct EndingCase {
    const char* label;
    // Ignored by the runner's parent before it starts, as `trap '' SIGNAL` leaves them.
    std::vector<int> ignored;
    // Sent to the runner together once its test's child (and the child's own child) runs.
    std::vector<int> signals;
    // Whether the runner must end by one of `signals` (the system delivers them in its own order) rather than
    // finish its run and pass.
    bool ended;
};

void PrintTo(const EndingCase& row, std::ostream* stream) {
    *stream << row.label;
}

class EndedRunner : public ::testing::TestWithParam<EndingCase> {};

// However a runner ends, no child of its outlives it, nor anything such a child started; a signal that was
// ignored when it started stays ignored.
TEST_P(EndedRunner, LeavesNoProcessBehind) {
    const EndingCase& row = GetParam();
    adopt_orphans();
    ovra_test_support::ChildOptions options;
    options.ignored_signals = row.ignored;
    // A run that must finish does so soon; one that must be ended runs a child that started a process too.
    const bool ended = row.ended;
    options.environment = {ended ? "DEMO_SLEEP_MS=60000" : "DEMO_SLEEP_MS=1500"};
    if (ended) {
        options.environment.emplace_back("DEMO_GRANDCHILD=1");
    }
    ovra_test_support::StartedChild runner = ovra_test_support::start_child(
        OVRA_RUNNER_ISOLATION_DEMO, {"--isolate", "--exact", "k_sleeps"}, options);
    ASSERT_GT(runner.pid, 0) << runner.error;
    std::vector<pid_t> children;
    for (int attempt = 0; attempt < 500; ++attempt) {
        children = children_of(runner.pid);
        // The child's own child is left to this process as soon as the shell that started it has gone.
        if (children.size() == 1 && (!ended || children_of(::getpid()).size() == 2)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(children.size(), 1U);
    for (const int signal_number : row.signals) {
        ::kill(runner.pid, signal_number);
    }
    const ovra_test_support::ChildOutcome outcome = ovra_test_support::finish_child(runner);
    if (!ended) {
        EXPECT_EQ(outcome.status, 0) << outcome.out << outcome.err;
    } else {
        EXPECT_NE(std::find(row.signals.begin(), row.signals.end(), outcome.signal), row.signals.end())
            << outcome.signal << " " << outcome.status << outcome.err;
        // Reaped by the runner before it died: not even a zombie is left for this process to reap.
        EXPECT_FALSE(process_exists(children.front()));
    }
    const Orphans orphans = reap_orphans(std::chrono::seconds(3));
    EXPECT_EQ(orphans.left_running, 0);
    EXPECT_EQ(orphans.finished_tests, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, EndedRunner,
    ::testing::Values(EndingCase{"terminated", {}, {SIGTERM}, true},
                      EndingCase{"interrupted", {}, {SIGINT}, true},
                      EndingCase{"hung_up", {}, {SIGHUP}, true}, EndingCase{"quit", {}, {SIGQUIT}, true},
                      EndingCase{"storm", {}, {SIGTERM, SIGINT, SIGTERM, SIGHUP, SIGTERM, SIGQUIT}, true},
                      EndingCase{"terminate_ignored", {SIGTERM}, {SIGTERM}, false},
                      EndingCase{"children_ignored", {SIGCHLD}, {}, false}),
    [](const ::testing::TestParamInfo<EndingCase>& info) { return std::string(info.param.label); });

// A runner killed outright cannot end its children itself; each child must notice, even when it was started
// a moment before and a subreaper rather than init takes it over. Killed at many moments around a child's
// start, no runner may leave a child that goes on to run its test (which takes longer than any of the
// moments, so no child can have finished it before).
TEST(KilledRunner, LeavesNoChildToFinishItsTest) {
    adopt_orphans();
    ovra_test_support::ChildOptions options;
    options.environment = {"DEMO_SLEEP_MS=300", "DEMO_START_DELAY_MS=20"};
    Orphans total;
    for (int delay_ms = 20; delay_ms < 60; delay_ms += 2) {
        ovra_test_support::StartedChild runner = ovra_test_support::start_child(
            OVRA_RUNNER_ISOLATION_DEMO, {"--isolate", "--exact", "k_sleeps"}, options);
        ASSERT_GT(runner.pid, 0) << runner.error;
        std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
        ::kill(runner.pid, SIGKILL);
        (void)ovra_test_support::finish_child(runner);
        const Orphans orphans = reap_orphans(std::chrono::seconds(3));
        total.finished_tests += orphans.finished_tests;
        total.left_running += orphans.left_running;
    }
    EXPECT_EQ(total.finished_tests, 0);
    EXPECT_EQ(total.left_running, 0);
}

}  // namespace
}  // namespace ovra_runner::testing
