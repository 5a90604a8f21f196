#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ovra/runner/capture.hpp"
#include "ovra/runner/check.hpp"
#include "run_helpers.hpp"

namespace ovra_tests::testing {
namespace {

using namespace std::chrono_literals;

Status passes() {
    return {};
}

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
                           TestDescriptor{.name = "x::d_no_function"}};
    const RunOutput output = run_table(table, {"--test-threads", "2"});
    EXPECT_EQ(output.status, 101);
    EXPECT_NE(output.out.find("' ("), std::string::npos);
    EXPECT_NE(output.out.find(") panicked at x.cpp:3:8:\nescaped exception\n"), std::string::npos)
        << output.out;
    EXPECT_NE(output.out.find(") panicked at x.cpp:9:8:\nunknown exception\n"), std::string::npos)
        << output.out;
    EXPECT_NE(output.out.find("test has no function\n"), std::string::npos) << output.out;
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
    environment.test_time_unit = "1,5";
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
}  // namespace ovra_tests::testing
