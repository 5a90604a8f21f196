// The executable on a machine that refuses it something: memory (one allocation, or the whole address
// space), file size, a sane place for its log. Each run must end, by itself, with a report or one error line
// and a failure status; never an abort, another signal or a hang.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "ovra/test_support/child_process.hpp"

namespace {

namespace fs = std::filesystem;
using ovra_test_support::ChildOptions;
using ovra_test_support::ChildOutcome;
using ovra_test_support::ChildStdout;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif
#if defined(__SANITIZE_THREAD__)
constexpr bool thread_sanitized = true;
#else
constexpr bool thread_sanitized = false;
#endif

constexpr const char* out_of_memory = "error: out of memory\n";

fs::path scratch_path(std::string_view label) {
    return fs::temp_directory_path() / fmt::format("ovra_hostile_{}_{}", label, ::getpid());
}

std::string read_file(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

// What every refused resource allows: the run ended by itself, with status 0 and nothing on standard error,
// or with 101 and either a report of failed tests or the one line that says the runner ran out of memory.
void expect_an_orderly_end(const ChildOutcome& outcome, const std::string& context) {
    EXPECT_FALSE(outcome.timed_out) << context;
    EXPECT_EQ(outcome.signal, 0) << context << outcome.err;
    if (outcome.status == 0) {
        EXPECT_EQ(outcome.err, "") << context;
        return;
    }
    EXPECT_EQ(outcome.status, 101) << context << outcome.err;
    if (outcome.err.empty()) {
        EXPECT_NE(outcome.out.find("test result: FAILED."), std::string::npos) << context << outcome.out;
    } else {
        EXPECT_EQ(outcome.err, out_of_memory) << context;
    }
}

class RefusedAllocation : public ::testing::TestWithParam<std::vector<std::string>> {};

// Every allocation of a run, refused in turn (all of the first ones, then a spread over the rest): in a
// test it fails that test, in the runner it ends the run with one line.
TEST_P(RefusedAllocation, EndsTheRunInOrder) {
    if (sanitized) {
        GTEST_SKIP() << "a preloaded allocator conflicts with the sanitizer's own";
    }
    const std::vector<std::string>& arguments = GetParam();
    const fs::path count_file = scratch_path("allocations");
    ChildOptions counting;
    counting.environment = {std::string("LD_PRELOAD=") + OVRA_FAIL_ALLOCATION_LIBRARY,
                            "OVRA_COUNT_ALLOCATIONS_TO=" + count_file.string()};
    const ChildOutcome normal = ovra_test_support::run_child(OVRA_TRIVIAL_TEST, arguments, counting);
    ASSERT_EQ(normal.status, 0) << normal.err;
    const std::uint64_t count = std::stoull(read_file(count_file));
    fs::remove(count_file);
    ASSERT_GT(count, 0U);

    std::set<std::uint64_t> refused;
    for (std::uint64_t number = 1; number <= std::min<std::uint64_t>(count, 64); ++number) {
        refused.insert(number);
    }
    for (std::uint64_t step = 1; step <= 40; ++step) {
        refused.insert(std::max<std::uint64_t>(1, count * step / 40));
    }
    for (const std::uint64_t number : refused) {
        ChildOptions options;
        options.environment = {std::string("LD_PRELOAD=") + OVRA_FAIL_ALLOCATION_LIBRARY,
                               fmt::format("OVRA_FAIL_ALLOCATION={}", number)};
        options.deadline = std::chrono::seconds(20);
        expect_an_orderly_end(ovra_test_support::run_child(OVRA_TRIVIAL_TEST, arguments, options),
                              fmt::format("allocation {} of {} refused: ", number, count));
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, RefusedAllocation,
                         ::testing::Values(std::vector<std::string>{"--test-threads", "1"},
                                           std::vector<std::string>{"--test-threads", "3"},
                                           std::vector<std::string>{"--isolate"}));

class AddressSpaceLimit : public ::testing::TestWithParam<rlim_t> {};

// Too little address space for the product's work buffer, for worker threads, or for both.
TEST_P(AddressSpaceLimit, EndsTheRunInOrder) {
    if (sanitized) {
        GTEST_SKIP() << "a sanitizer's shadow memory does not fit such a limit";
    }
    ChildOptions options;
    options.limits = {{RLIMIT_AS, GetParam() * 1024}};
    options.deadline = std::chrono::seconds(20);
    expect_an_orderly_end(ovra_test_support::run_child(OVRA_TRIVIAL_TEST, {}, options),
                          fmt::format("ulimit -v {}: ", GetParam()));
}

INSTANTIATE_TEST_SUITE_P(KiB, AddressSpaceLimit, ::testing::Values(49152, 102400, 184320));

struct RefusedWrite {
    const char* label;
    // "LOG" stands for a scratch file's path.
    std::vector<std::string> arguments;
    // Limits the size of every file the run writes (ulimit -f, in bytes).
    std::optional<rlim_t> file_size;
    // Whether standard output is the scratch file (otherwise it is captured).
    bool stdout_to_log;
    // Exact, with "LOG" standing for the path.
    std::string err;
};

void PrintTo(const RefusedWrite& row, std::ostream* stream) {
    *stream << row.label;
}

std::string with_log(std::string text, const std::string& path) {
    for (std::size_t at = text.find("LOG"); at != std::string::npos;
         at = text.find("LOG", at + path.size())) {
        text.replace(at, 3, path);
    }
    return text;
}

class ReportWithNowhereToGo : public ::testing::TestWithParam<RefusedWrite> {};

TEST_P(ReportWithNowhereToGo, EndsWithOneErrorLine) {
    const RefusedWrite& row = GetParam();
    if (thread_sanitized && row.file_size) {
        GTEST_SKIP() << "ThreadSanitizer's runtime writes a file of its own at start, which the limit refuses";
    }
    const std::string path = scratch_path(row.label).string();
    ChildOptions options;
    if (row.file_size) {
        options.limits = {{RLIMIT_FSIZE, *row.file_size}};
    }
    if (row.stdout_to_log) {
        options.stdout_mode = ChildStdout::File;
        options.stdout_path = path;
    }
    std::vector<std::string> arguments;
    for (const std::string& argument : row.arguments) {
        arguments.push_back(with_log(argument, path));
    }
    const ChildOutcome outcome = ovra_test_support::run_child(OVRA_TRIVIAL_TEST, arguments, options);
    fs::remove(path);
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.status, 101);
    EXPECT_EQ(outcome.err, with_log(row.err, path));
}

constexpr const char* too_large = "error: io error when listing tests: File too large (os error 27)\n";
constexpr const char* deprecated = "warning: `--logfile` is deprecated\n";

INSTANTIATE_TEST_SUITE_P(
    Files, ReportWithNowhereToGo,
    ::testing::Values(
        RefusedWrite{"report_past_the_size_limit", {}, 0, true, too_large},
        RefusedWrite{
            "log_past_the_size_limit", {"--logfile", "LOG"}, 0, false, std::string(deprecated) + too_large},
        RefusedWrite{
            "log_that_is_the_report",
            {"--logfile", "LOG"},
            std::nullopt,
            true,
            std::string(deprecated) +
                "error: could not create the log file `LOG`: it is the file standard output writes to\n"},
        RefusedWrite{"log_that_is_the_captured_report",
                     {"--logfile", "/dev/stdout"},
                     std::nullopt,
                     false,
                     std::string(deprecated) +
                         "error: could not create the log file `/dev/stdout`: it is the "
                         "file standard output writes to\n"}),
    [](const ::testing::TestParamInfo<RefusedWrite>& info) { return std::string(info.param.label); });

}  // namespace
