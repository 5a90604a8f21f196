#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ovra/runner/capture.hpp"
#include "ovra/runner/check.hpp"
#include "run_helpers.hpp"
#include "time_options.hpp"

namespace ovra_runner::testing {
namespace {

using namespace std::chrono_literals;


Status fails_a_check() {
    check(false, "checked");
    return {};
}

Status throws_a_standard_exception() {
    throw std::runtime_error("escaped exception");
}

Status throws_something_else() {
    throw 42;
}

Status runs_out_of_memory() {
    throw std::bad_alloc();
}

Status sleeps_long() {
    std::this_thread::sleep_for(300ms);
    return {};
}

Status sleeps_briefly() {
    std::this_thread::sleep_for(30ms);
    return {};
}

Status writes_both_sides() {
    println("to stdout");
    eprintln("to stderr");
    return {};
}

// Each test writes its own name many times and fails, so that mixed-up sinks show in the failure blocks.
template <int N>
Status chatty_failure() {
    for (int line = 0; line < 200; ++line) {
        println("chatty {}", N);
        if (line % 50 == 0) {
            std::this_thread::yield();
        }
    }
    fail(fmt::format("chatty {} done", N));
}

TEST(Capture, KeepsEachTestsOutputApartAcrossWorkers) {
    static constexpr std::array<std::string_view, 8> names{"c::t0", "c::t1", "c::t2", "c::t3",
                                                           "c::t4", "c::t5", "c::t6", "c::t7"};
    const std::array table{TestDescriptor{.name = names[0], .function = chatty_failure<0>},
                           TestDescriptor{.name = names[1], .function = chatty_failure<1>},
                           TestDescriptor{.name = names[2], .function = chatty_failure<2>},
                           TestDescriptor{.name = names[3], .function = chatty_failure<3>},
                           TestDescriptor{.name = names[4], .function = chatty_failure<4>},
                           TestDescriptor{.name = names[5], .function = chatty_failure<5>},
                           TestDescriptor{.name = names[6], .function = chatty_failure<6>},
                           TestDescriptor{.name = names[7], .function = chatty_failure<7>}};
    for (int repetition = 0; repetition < 5; ++repetition) {
        const RunOutput output = run_table(table, {"--test-threads", "4"});
        EXPECT_EQ(output.status, 101);
        for (int n = 0; n < 8; ++n) {
            const std::string heading = fmt::format("---- c::t{} stdout ----\n", n);
            const std::size_t start = output.out.find(heading);
            ASSERT_NE(start, std::string::npos) << output.out;
            const std::size_t end = output.out.find("\n----", start + heading.size());
            const std::string block = output.out.substr(start, end - start);
            EXPECT_EQ(count_of(block, fmt::format("chatty {}\n", n)), 200U);
            EXPECT_EQ(count_of(block, "chatty "), 201U);  // its lines and its own failure message
        }
        // The hint about backtraces follows the first failure only.
        EXPECT_EQ(count_of(output.out, "note: run with `OVRA_BACKTRACE=1`"), 1U);
    }
}

TEST(Failures, StayWithTheTestThatRaisedThem) {
    const std::array table{TestDescriptor{.name = "x::a_standard",
                                          .source_file = "x.cpp",
                                          .start_line = 3,
                                          .start_col = 8,
                                          .end_line = 3,
                                          .end_col = 18,
                                          .function = throws_a_standard_exception},
                           TestDescriptor{.name = "x::b_other",
                                          .source_file = "x.cpp",
                                          .start_line = 9,
                                          .start_col = 8,
                                          .end_line = 9,
                                          .end_col = 15,
                                          .function = throws_something_else},
                           TestDescriptor{.name = "x::c_passes", .function = passes},
                           TestDescriptor{.name = "x::e_out_of_memory", .function = runs_out_of_memory}};
    const RunOutput output = run_table(table, {"--test-threads", "2"});
    EXPECT_EQ(output.status, 101);
    EXPECT_NE(output.out.find("---- x::e_out_of_memory stdout ----\nnote: test ran out of memory\n"),
              std::string::npos)
        << output.out;
    EXPECT_NE(output.out.find("' ("), std::string::npos);
    // Located where the runner caught them, with their type.
    EXPECT_NE(output.out.find(":\nC++ exception of type std::runtime_error: escaped exception\n"), std::string::npos)
        << output.out;
    EXPECT_NE(output.out.find(":\nC++ exception of type int\n"), std::string::npos) << output.out;
    EXPECT_EQ(count_of(output.out, ") panicked at runner/src/test_execution.cpp:"), 2U) << output.out;
    EXPECT_NE(output.out.find("1 passed; 3 failed;"), std::string::npos) << output.out;
}

TEST(Capture, IsBypassedWithNoCaptureOnTheMatchingSide) {
    const std::array table{TestDescriptor{.name = "io::both", .function = writes_both_sides}};
    const RunOutput captured = run_table(table, {"--show-output"});
    EXPECT_NE(captured.out.find("---- io::both stdout ----\nto stdout\nto stderr\n"), std::string::npos);
    EXPECT_EQ(captured.err, "");
    const RunOutput passed_on = run_table(table, {"--no-capture", "--test-threads", "1"});
    EXPECT_NE(passed_on.out.find("test io::both ... to stdout\nok\n"), std::string::npos) << passed_on.out;
    EXPECT_EQ(passed_on.err, "to stderr\n");
}

TEST(FailFast, StartsNoTestAfterTheFirstFailure) {
    const std::array table{TestDescriptor{.name = "ff::a", .function = passes},
                           TestDescriptor{.name = "ff::b", .function = fails_a_check},
                           TestDescriptor{.name = "ff::c", .function = passes}};
    const RunOutput output = run_table(table, {"--fail-fast", "--test-threads", "1"});
    EXPECT_EQ(output.status, 101);
    EXPECT_EQ(output.out.find("ff::c"), std::string::npos) << output.out;
    EXPECT_NE(output.out.find("test result: FAILED. 1 passed; 1 failed; 0 ignored"), std::string::npos);
}

TEST(LongRunningTests, AreReportedOnceWithSeveralWorkers) {
    const std::array table{TestDescriptor{.name = "slow::sleeper", .function = sleeps_long},
                           TestDescriptor{.name = "slow::quick", .function = passes}};
    RunEnvironment environment = quiet_environment();
    environment.long_running_after = 40ms;
    const RunOutput pretty = run_table(table, {"--test-threads", "2"}, environment);
    EXPECT_EQ(count_of(pretty.out, "test slow::sleeper has been running for over 0.04 seconds\n"), 1U)
        << pretty.out;
    EXPECT_EQ(count_of(pretty.out, "slow::quick has been running"), 0U);
    const RunOutput json = run_table(table, {"--test-threads", "2", "--format", "json"}, environment);
    EXPECT_EQ(
        count_of(json.out, "{ \"type\": \"test\", \"event\": \"timeout\", \"name\": \"slow::sleeper\" }\n"),
        1U);
    // One worker keeps the running test's name on the last line; nothing may break into it.
    const RunOutput serial = run_table(table, {"--test-threads", "1"}, environment);
    EXPECT_EQ(serial.out.find("has been running"), std::string::npos);
}

TEST(TimeLimits, FailATestOverTheCriticalTimeWhenEnsured) {
    const std::array table{TestDescriptor{.name = "t::slow", .function = sleeps_briefly}};
    RunEnvironment environment = quiet_environment();
    environment.variables["OVRA_TEST_TIME_UNIT"] = "1,5";
    const RunOutput ensured = run_table(table, {"--ensure-time", "--color", "always"}, environment);
    EXPECT_EQ(ensured.status, 101);
    EXPECT_NE(
        ensured.out.find("test t::slow ... \x1b[31mFAILED (time limit exceeded)\x1b(B\x1b[m\x1b[31m <0.0"),
        std::string::npos)
        << ensured.out;
    EXPECT_NE(ensured.out.find("\nfailures (time limit exceeded):\n    t::slow\n"), std::string::npos);
    EXPECT_NE(run_table(table, {"--ensure-time", "--format", "json"}, environment)
                  .out.find("\"event\": \"failed\", \"exec_time\": 0.0"),
              std::string::npos);
    const RunOutput reported = run_table(table, {"--report-time"}, environment);
    EXPECT_EQ(reported.status, 0);
    EXPECT_NE(reported.out.find("test t::slow ... ok <0.0"), std::string::npos) << reported.out;
}

struct LimitCase {
    const char* label;
    const char* unit;
    std::chrono::nanoseconds exec_time;
    bool warn;
    bool critical;
};

void PrintTo(const LimitCase& row, std::ostream* stream) {
    *stream << row.label;
}

class TimeLimit : public ::testing::TestWithParam<LimitCase> {};

// A limit is reached at exactly its value; limits far beyond any nanosecond count are never reached and
// never overflow on the way.
TEST_P(TimeLimit, IsReachedAtItsValue) {
    const LimitCase& row = GetParam();
    const auto unit = parse_threshold(row.unit);
    ASSERT_TRUE(unit.has_value()) << unit.error();
    const TimeOptions options{true, *unit};
    EXPECT_EQ(is_warn(options, row.exec_time), row.warn);
    EXPECT_EQ(is_critical(options, row.exec_time), row.critical);
}

constexpr std::chrono::nanoseconds longest = std::chrono::nanoseconds::max();

INSTANTIATE_TEST_SUITE_P(
    Boundaries, TimeLimit,
    ::testing::Values(
        LimitCase{"below_warn", "5,10", 5ms - 1ns, false, false},
        LimitCase{"at_warn", "5,10", 5ms, true, false},
        LimitCase{"below_critical", "5,10", 10ms - 1ns, true, false},
        LimitCase{"at_critical", "5,10", 10ms, true, true},
        LimitCase{"equal_limits_below", "5,5", 5ms - 1ns, false, false},
        LimitCase{"equal_limits_at", "5,5", 5ms, true, true},
        LimitCase{"zero_limits", "0,0", 0ns, true, true},
        LimitCase{"longest_time_under_the_largest_nanosecond_limit", "9223372036854,9223372036854", longest,
                  true, true},
        LimitCase{"longest_time_under_one_more", "9223372036855,9223372036855", longest, false, false},
        LimitCase{"limit_past_any_nanosecond_count", "9223372036854776,9223372036854776", longest, false,
                  false},
        LimitCase{"largest_limits", "18446744073709551615,18446744073709551615", longest, false, false}),
    [](const ::testing::TestParamInfo<LimitCase>& info) { return std::string(info.param.label); });

// Writers whose stdout side accepts `accepted` pieces and then fails as a full disk does.
struct FailingConsole {
    std::size_t accepted = 0;
    std::size_t calls_after_failure = 0;
    std::string out;
    std::string err;

    ConsoleWriters writers() {
        return ConsoleWriters{[this](std::string_view text) -> IoResult {
                                  if (accepted == 0) {
                                      ++calls_after_failure;
                                      return std::unexpected(IoError{ENOSPC});
                                  }
                                  --accepted;
                                  out.append(text);
                                  return {};
                              },
                              [this](std::string_view text) -> IoResult {
                                  err.append(text);
                                  return {};
                              }};
    }
};

struct LostWriteCase {
    std::vector<std::string_view> args;
    std::size_t accepted;
};

void PrintTo(const LostWriteCase& row, std::ostream* stream) {
    for (const std::string_view arg : row.args) {
        *stream << arg << ' ';
    }
    *stream << "after " << row.accepted << " pieces";
}

class LostWrite : public ::testing::TestWithParam<LostWriteCase> {};

// Whatever the format and wherever the report breaks off, the run stops writing, waits for its workers and
// ends with one error line and status 101.
TEST_P(LostWrite, EndsTheRunWithOneErrorLine) {
    static constexpr std::array<std::string_view, 6> names{"w::a", "w::b", "w::c", "w::d", "w::e", "w::f"};
    const std::array table{TestDescriptor{.name = names[0], .function = passes},
                           TestDescriptor{.name = names[1], .function = fails_a_check},
                           TestDescriptor{.name = names[2], .function = writes_both_sides},
                           TestDescriptor{.name = names[3], .function = passes},
                           TestDescriptor{.name = names[4], .ignore = true, .function = passes},
                           TestDescriptor{.name = names[5], .function = passes}};
    FailingConsole console{GetParam().accepted, 0, {}, {}};
    std::vector<std::string_view> args{"./runner"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const int status = run_tests(table, args, quiet_environment(), console.writers());
    EXPECT_EQ(status, 101);
    // With --no-capture the tests' own error side comes first.
    EXPECT_TRUE(console.err.ends_with(
                    "\nerror: io error when listing tests: No space left on device (os error 28)\n") ||
                console.err == "error: io error when listing tests: No space left on device (os error 28)\n")
        << console.err;
    EXPECT_EQ(count_of(console.err, "error: "), 1U) << console.err;
    EXPECT_EQ(console.calls_after_failure, 1U) << "writes went on after the first failure";
}

INSTANTIATE_TEST_SUITE_P(
    Formats, LostWrite,
    ::testing::Values(LostWriteCase{{}, 0}, LostWriteCase{{}, 3}, LostWriteCase{{"--test-threads", "1"}, 2},
                      LostWriteCase{{"--test-threads", "3", "--no-capture"}, 4},
                      LostWriteCase{{"-q", "--test-threads", "2"}, 1}, LostWriteCase{{"--format", "json"}, 2},
                      LostWriteCase{{"--format", "junit"}, 0}, LostWriteCase{{"--list"}, 1},
                      LostWriteCase{{"--list", "--format", "json"}, 3}, LostWriteCase{{"--help"}, 0}));

TEST(Shuffle, WithoutASeedTakesOneFromTheClockAndPrintsIt) {
    const std::array table{TestDescriptor{.name = "s::a", .function = passes}};
    RunEnvironment environment = quiet_environment();
    environment.now = std::chrono::system_clock::time_point(std::chrono::nanoseconds(987654321));
    EXPECT_NE(
        run_table(table, {"--shuffle"}, environment).out.find("running 1 test (shuffle seed: 987654321)\n"),
        std::string::npos);
    EXPECT_NE(
        run_table(table, {"--shuffle", "--shuffle-seed", "3"}, environment).out.find("(shuffle seed: 3)"),
        std::string::npos);
}

TEST(BenchOnly, ReportsEveryTestAsIgnored) {
    const std::array table{TestDescriptor{.name = "b::fails", .function = fails_a_check}};
    const RunOutput bench = run_table(table, {"--bench"});
    EXPECT_EQ(bench.status, 0);
    EXPECT_NE(bench.out.find("test b::fails ... ignored\n"), std::string::npos) << bench.out;
    EXPECT_EQ(run_table(table, {"--bench", "--test"}).status, 101);
}

TEST(LogFile, RecordsEachResult) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        fmt::format("ovra_runner_log_{}.txt", ::testing::UnitTest::GetInstance()->random_seed());
    const std::array table{TestDescriptor{.name = "l::fails", .function = fails_a_check},
                           TestDescriptor{.name = "l::ignored", .ignore = true, .function = passes},
                           TestDescriptor{.name = "l::passes", .function = passes}};
    const RunOutput output = run_table(table, {"--logfile", path.string(), "--test-threads", "1"});
    EXPECT_EQ(output.err, "warning: `--logfile` is deprecated\n");
    std::ifstream file(path);
    std::stringstream content;
    content << file.rdbuf();
    EXPECT_EQ(content.str(), "failed l::fails\nignored l::ignored\nok l::passes\n");
    std::filesystem::remove(path);
    const RunOutput unwritable = run_table(table, {"--logfile", "/nonexistent-dir/log.txt"});
    EXPECT_EQ(unwritable.status, 101);
    EXPECT_TRUE(
        unwritable.err.ends_with("error: could not create the log file `/nonexistent-dir/log.txt`: "
                                 "No such file or directory\n"))
        << unwritable.err;
}

}  // namespace
}  // namespace ovra_runner::testing
