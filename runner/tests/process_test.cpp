#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace ovra_tests::testing {
namespace {

struct ProcessResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string read_file(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream buffer;
    buffer << file.rdbuf();
    return buffer.str();
}

// Runs the demo executable with `args` and `extra_environment` added to this process's environment (minus
// the runner's own variables, so that the caller's shell cannot change the outcome).
ProcessResult run_demo_process(const std::vector<std::string>& args,
                               const std::vector<std::string>& extra_environment = {}) {
    const std::filesystem::path directory = std::filesystem::temp_directory_path();
    static int serial = 0;
    const std::string stem =
        "ovra_runner_process_" + std::to_string(::getpid()) + "_" + std::to_string(++serial);
    const std::filesystem::path out_path = directory / (stem + ".out");
    const std::filesystem::path err_path = directory / (stem + ".err");

    std::vector<std::string> argument_storage{OVRA_RUNNER_DEMO};
    argument_storage.insert(argument_storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& argument : argument_storage) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    std::vector<std::string> environment_storage;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view variable(*entry);
        if (!variable.starts_with("OVRA_")) {
            environment_storage.emplace_back(variable);
        }
    }
    environment_storage.insert(environment_storage.end(), extra_environment.begin(), extra_environment.end());
    std::vector<char*> envp;
    for (std::string& variable : environment_storage) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv.front(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ProcessResult result;
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << OVRA_RUNNER_DEMO;
        return result;
    }
    int wait_status = 0;
    ::waitpid(pid, &wait_status, 0);
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    std::filesystem::remove(out_path);
    std::filesystem::remove(err_path);
    return result;
}

struct ProcessCase {
    const char* label;
    std::vector<std::string> args;
    std::vector<std::string> environment;
    int status;
    const char* out_starts_with;
    const char* err;  // exact
};

void PrintTo(const ProcessCase& row, std::ostream* stream) {
    *stream << row.label;
}

class DemoProcess : public ::testing::TestWithParam<ProcessCase> {};

TEST_P(DemoProcess, ExitsWithTheRunnersStatus) {
    const ProcessCase& row = GetParam();
    const ProcessResult result = run_demo_process(row.args, row.environment);
    EXPECT_EQ(result.status, row.status) << result.out << result.err;
    EXPECT_TRUE(result.out.starts_with(row.out_starts_with)) << result.out;
    EXPECT_EQ(result.err, row.err);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, DemoProcess,
    ::testing::Values(
        ProcessCase{"failures", {}, {}, 101, "\nrunning 4 tests\n", ""},
        ProcessCase{"one_pass",
                    {"--exact", "diagnostic::tests::randomized_alpha_passes"},
                    {},
                    0,
                    "\nrunning 1 test\ntest diagnostic::tests::randomized_alpha_passes ... ok\n",
                    ""},
        ProcessCase{"nothing_selected", {"nomatch"}, {}, 0, "\nrunning 0 tests\n", ""},
        ProcessCase{"listing", {"--list"}, {}, 0, "diagnostic::tests::randomized_alpha_passes: test\n", ""},
        ProcessCase{"bad_option", {"--bogus"}, {}, 101, "", "error: Unrecognized option: 'bogus'\n"},
        ProcessCase{"bad_thread_variable",
                    {},
                    {"OVRA_TEST_THREADS=abc"},
                    101,
                    "",
                    "error: OVRA_TEST_THREADS is `abc`, should be a positive integer.\n"},
        ProcessCase{"thread_option_wins",
                    {"alpha", "--test-threads", "2"},
                    {"OVRA_TEST_THREADS=abc"},
                    0,
                    "\nrunning 1 test\n",
                    ""},
        ProcessCase{
            "bad_time_variable",
            {"--ensure-time"},
            {"OVRA_TEST_TIME_UNIT=7"},
            101,
            "",
            "error: Duration variable OVRA_TEST_TIME_UNIT expected to have 2 numbers separated by comma, "
            "but got 7\n"}),
    [](const ::testing::TestParamInfo<ProcessCase>& info) { return std::string(info.param.label); });

TEST(DemoProcess, HelpNamesTheProgramAsInvoked) {
    const ProcessResult result = run_demo_process({"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(
        result.out.starts_with(std::string("Usage: ") + OVRA_RUNNER_DEMO + " [OPTIONS] [FILTERS...]\n"))
        << result.out;
}

TEST(DemoProcess, WithoutCaptureEachSideGoesToItsStream) {
    const ProcessResult result = run_demo_process({"--no-capture", "--test-threads", "1"});
    EXPECT_EQ(result.status, 101);
    EXPECT_NE(result.out.find("test diagnostic::tests::randomized_alpha_passes ... hello from alpha\nok\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find("Error:"), std::string::npos);
    EXPECT_NE(result.err.find("Error: out of range integral type conversion attempted\n"), std::string::npos);
    EXPECT_NE(result.err.find("panicked at runner/tests/demo/demo_tests.cpp:"), std::string::npos)
        << result.err;
}

TEST(DemoProcess, BacktraceReplacesTheHintWhenEnabled) {
    const ProcessResult result = run_demo_process({"beta"}, {"OVRA_BACKTRACE=1"});
    EXPECT_EQ(result.status, 101);
    EXPECT_NE(result.out.find("\nstack backtrace:\n"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("note: run with"), std::string::npos) << result.out;
}

}  // namespace
}  // namespace ovra_tests::testing
