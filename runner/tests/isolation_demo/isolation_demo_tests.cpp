#include "isolation_demo_tests.hpp"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>

#include "ovra/runner/capture.hpp"
#include "ovra/runner/check.hpp"
#include "ovra/runner/error.hpp"

namespace ovra_runner_isolation_demo {

namespace runner = ovra_runner;
using runner::Status;

Status a_passes() {
    runner::println("hello from a_passes");
    return {};
}

Status b_fails_assert_eq() {
    runner::check_eq(std::pair{0, 8}, std::pair{0, 2});
    return {};
}

Status c_returns_error() {
    return std::unexpected(runner::make_error("boom"));
}

Status d_segfaults() {
    // A store to a page that allows none: a real SIGSEGV, with no undefined behaviour the compiler could
    // turn into something else.
    void* page = ::mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    *static_cast<volatile char*>(page) = 1;
    return {};
}

Status e_exits_with_code_3() {
    std::exit(3);
}

Status f_aborts() {
    std::abort();
}

Status g_killed() {
    ::kill(::getpid(), SIGKILL);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    return {};
}

Status h_ignored() {
    return {};
}

Status i_prints_to_stderr_and_passes() {
    runner::eprintln("hello from i on stderr");
    return {};
}

Status j_should_panic() {
    runner::check(false, "boom");
    return {};
}

// DEMO_SLEEP_MS makes it as slow as a check of a time limit needs.
Status k_sleeps() {
    const char* sleep = std::getenv("DEMO_SLEEP_MS");
    // DEMO_GRANDCHILD leaves a process of its own running in the background, as a test starting a server would.
    if (std::getenv("DEMO_GRANDCHILD") != nullptr && std::system("sleep 60 &") != 0) {
        return std::unexpected(runner::make_error("cannot start a process in the background"));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(sleep == nullptr ? 300 : std::atoll(sleep)));
    return {};
}

namespace {

constexpr std::string_view source = "runner/tests/isolation_demo/isolation_demo_tests.cpp";

constexpr runner::TestDescriptor at(std::string_view name, std::uint32_t line, runner::TestFunction function) {
    const auto column = std::uint32_t{8};
    return {.name = name,
            .source_file = source,
            .start_line = line,
            .start_col = column,
            .end_line = line,
            .end_col = column + static_cast<std::uint32_t>(name.size()),
            .function = function};
}

constexpr std::array<runner::TestDescriptor, 11> table = [] {
    std::array<runner::TestDescriptor, 11> tests{{
        at("a_passes", 22, a_passes),
        at("b_fails_assert_eq", 27, b_fails_assert_eq),
        at("c_returns_error", 32, c_returns_error),
        at("d_segfaults", 36, d_segfaults),
        at("e_exits_with_code_3", 44, e_exits_with_code_3),
        at("f_aborts", 48, f_aborts),
        at("g_killed", 52, g_killed),
        at("h_ignored", 58, h_ignored),
        at("i_prints_to_stderr_and_passes", 62, i_prints_to_stderr_and_passes),
        at("j_should_panic", 67, j_should_panic),
        at("k_sleeps", 73, k_sleeps),
    }};
    tests[7].ignore = true;
    tests[7].ignore_message = "not today";
    tests[9].should_panic = true;
    return tests;
}();

}  // namespace

std::span<const runner::TestDescriptor> isolation_demo_table() {
    return table;
}

}  // namespace ovra_runner_isolation_demo
