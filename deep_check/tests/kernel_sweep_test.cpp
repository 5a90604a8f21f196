// The kernel sweep over a stand-in OpenBLAS (fake_dynamic_openblas.cpp), whose kernels misbehave in each way
// a child can end: the report names every kernel with its verdict, and only real failures fail.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "ovra/deep_check/cblas_under_check.hpp"
#include "ovra/deep_check/kernel_sweep.hpp"

namespace ovra_tests::deep {
namespace {

using diagnostic::tests::KernelReport;
using diagnostic::tests::KernelSweep;
using diagnostic::tests::sweep_kernels;

const CblasLibrary& stand_in_openblas() {
    static const CblasLibrary library = [] {
        ovra_runner::Result<CblasLibrary> loaded = load_cblas(OVRA_FAKE_OPENBLAS);
        EXPECT_TRUE(loaded.has_value()) << loaded.error().message;
        return loaded.value_or(CblasLibrary{});
    }();
    return library;
}

KernelReport sweep(std::span<const std::string_view> names, std::chrono::milliseconds time_limit,
                   std::string program = OVRA_DEEP_CHECK) {
    return sweep_kernels({std::move(program), &stand_in_openblas(), names, time_limit});
}

TEST(KernelSweep, GivesEveryNameItsVerdictAndFailsOnlyOnRealFailures) {
    constexpr std::array<std::string_view, 6> names{"Katmai",      "Prescott",   "Bulldozer",
                                                    "Sandybridge", "Dunnington", "Haswell"};
    const KernelReport report = sweep(names, std::chrono::seconds(120));
    ASSERT_EQ(report.lines.size(), 8U);
    EXPECT_EQ(report.lines[0], "library: " + describe(stand_in_openblas()));
    EXPECT_EQ(report.lines[1], "kernel Katmai: same as Prescott");
    EXPECT_EQ(report.lines[2], "kernel Prescott: ok");
    EXPECT_EQ(report.lines[3], "kernel Bulldozer: not executable on this CPU (SIGILL)");
    EXPECT_EQ(report.lines[4], "kernel Sandybridge: FAILED: was killed by signal 6 (SIGABRT)");
    EXPECT_EQ(report.lines[5], "kernel Dunnington: FAILED: exited with status 3");
    EXPECT_EQ(report.lines[6], "kernel Haswell: ok (selected on this host)");
    EXPECT_EQ(
        report.lines[7],
        "2 kernels passed the SGEMM checks, 2 failed; 1 names not executable on this CPU, 1 the same as "
        "another");
    EXPECT_EQ(report.failures, (std::vector<std::string>{"Sandybridge: was killed by signal 6 (SIGABRT)",
                                                         "Dunnington: exited with status 3"}));
}

TEST(KernelSweep, FailsAKernelStillRunningAtItsTimeLimit) {
    constexpr std::array<std::string_view, 1> hangs{"Nehalem"};
    const std::vector<std::string> failures = sweep(hangs, std::chrono::seconds(2)).failures;
    ASSERT_EQ(failures.size(), 1U);
    // Its check hangs; on a machine slow enough, its probe may be what the limit stops.
    EXPECT_TRUE(failures[0].starts_with("Nehalem: ")) << failures[0];
    EXPECT_TRUE(failures[0].ends_with("did not finish within 2 s")) << failures[0];
}

TEST(KernelSweep, FailsAKernelWhoseChildCannotStart) {
    constexpr std::array<std::string_view, 1> names{"Haswell"};
    EXPECT_EQ(sweep(names, std::chrono::seconds(120), "/nonexistent/ovra_deep_check").failures,
              std::vector<std::string>{"Haswell: its probe could not be started: No such file or directory"});
}

char* haswell() {
    static char name[] = "Haswell";
    return name;
}

TEST(KernelSweep, SaysSoWhereTheLibraryOffersNoChoiceOfKernel) {
    struct Case {
        CblasLibrary library;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {{{}, "", "", "BLIS 0.9.0", nullptr, false, false},
         {"library: BLIS 0.9.0, linked into this executable",
          "kernels: the library offers no choice of kernel; the other SGEMM tests check the one it runs"}},
        {{{},
          "libopenblas.so.0",
          "/usr/lib/libopenblas.so.0",
          "OpenBLAS 0.3.21 Haswell",
          haswell,
          false,
          true},
         {"library: OpenBLAS 0.3.21 Haswell, loaded by OVRA_CBLAS=libopenblas.so.0 from "
          "/usr/lib/libopenblas.so.0",
          "kernels: this OpenBLAS has one kernel, Haswell, which the other SGEMM tests check"}},
    };
    for (const Case& c : cases) {
        const KernelReport report = sweep_kernels({OVRA_DEEP_CHECK, &c.library, {}, std::chrono::seconds(1)});
        EXPECT_EQ(report.lines, c.lines);
        EXPECT_TRUE(report.failures.empty());
    }
}

}  // namespace
}  // namespace ovra_tests::deep
