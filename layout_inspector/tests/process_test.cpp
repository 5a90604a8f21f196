// ovra_layout as a process: main hands the tool's outcome to the streams and the exit status, and
// short of memory (one refused allocation, from a preloaded malloc that fails once, or an address-space
// limit) it ends as it would have, or with the one line "error: out of memory" and status 1; never by a
// signal. A file it was to write is then the whole picture or not there.

#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gtest/gtest.h>

#include "ovra/test_support/child_process.hpp"
#include "test_support.hpp"

namespace {

namespace fs = std::filesystem;
using inspector_test::contents_of;
using ovra_test_support::ChildOptions;
using ovra_test_support::ChildOutcome;
using ovra_test_support::ChildStdout;

struct StreamCase {
    std::vector<std::string> arguments;
    ChildStdout stdout_mode;
    int status;
    std::string out_part;  // what standard output contains; empty: nothing
    std::string err;
};

TEST(Process, HandsTheOutcomeToTheStreams) {
    const std::vector<StreamCase> cases{
        {{"Output", "F16", "2", "16"}, ChildStdout::Captured, 0, "  1 16 17 20 21 24 25 28 29 18 19", ""},
        {{"Output", "F16", "2", "16", "-x"}, ChildStdout::Captured, 2, "", "error: unknown option '-x'\n"},
        // A pipe is written where it is.
        {{"Output", "F16", "2", "16", "--svg", "/dev/stdout"}, ChildStdout::Captured, 0, "</svg>\n", ""},
        // Output lost to a full device is a failure, not a success.
        {{"Output", "F16", "2", "16"}, ChildStdout::DevFull, 1, "", "error: cannot write standard output\n"},
    };
    for (const StreamCase& c : cases) {
        ChildOptions options;
        options.stdout_mode = c.stdout_mode;
        const ChildOutcome outcome = ovra_test_support::run_child(OVRA_LAYOUT, c.arguments, options);
        const std::string context = fmt::format("{}", fmt::join(c.arguments, " "));
        EXPECT_EQ(outcome.status, c.status) << context;
        EXPECT_EQ(outcome.err, c.err) << context;
        EXPECT_TRUE(c.out_part.empty() ? outcome.out.empty()
                                       : outcome.out.find(c.out_part) != std::string::npos)
            << context << ": " << outcome.out;
    }
}

TEST(Process, EndsAsItWouldHaveOrWithOneLineWhenMemoryRunsOut) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP()
        << "a preloaded malloc and a tight address-space limit conflict with the sanitizers' runtimes";
#endif
    const fs::path scratch = inspector_test::make_scratch("ovra_layout_memory");
    const fs::path file = scratch / "picture.svg";
    const std::string preload = "LD_PRELOAD=" OVRA_FAIL_ALLOCATION_LIBRARY;
    const std::vector<std::vector<std::string>> invocations{
        {"Output", "F16", "128", "128"},
        {"Output", "F16", "64", "64", "--inverse"},
        {"Output", "F16", "128", "128", "--svg", file.string()},
        {"Sideways", "F16", "2", "16"}};
    for (const std::vector<std::string>& arguments : invocations) {
        // The normal run, which also counts the allocations there are to refuse.
        ChildOptions counting;
        counting.environment = {preload, "OVRA_COUNT_ALLOCATIONS_TO=" + (scratch / "count").string()};
        const ChildOutcome normal = ovra_test_support::run_child(OVRA_LAYOUT, arguments, counting);
        const std::string picture = contents_of(file);
        std::vector<ChildOptions> starts(std::stoul(contents_of(scratch / "count")));
        for (std::size_t refused = 1; refused <= starts.size(); ++refused) {
            starts[refused - 1].environment = {preload, "OVRA_FAIL_ALLOCATION=" + std::to_string(refused)};
        }
        for (const rlim_t kibibytes : {rlim_t{6144}, rlim_t{8192}}) {
            starts.emplace_back().limits = {{RLIMIT_AS, kibibytes * 1024}};
        }
        for (const ChildOptions& options : starts) {
            fs::remove(file);
            const ChildOutcome outcome = ovra_test_support::run_child(OVRA_LAYOUT, arguments, options);
            const std::string context = fmt::format(
                "{} with [{}]{}", fmt::join(arguments, " "), fmt::join(options.environment, " "),
                options.limits.empty() ? "" : fmt::format(" ulimit -v {}", options.limits[0].value / 1024));
            EXPECT_EQ(outcome.signal, 0) << context;
            const bool as_normal =
                outcome.status == normal.status && outcome.out == normal.out && outcome.err == normal.err;
            const bool out_of_memory =
                outcome.status == 1 && outcome.out.empty() && outcome.err == "error: out of memory\n";
            EXPECT_TRUE(as_normal || out_of_memory)
                << context << ": " << outcome.status << " " << outcome.err;
            // Beside the count, only the whole picture may be left: no part of it, no temporary file.
            EXPECT_EQ(std::distance(fs::directory_iterator(scratch), {}), fs::exists(file) ? 2 : 1)
                << context;
            EXPECT_TRUE(!fs::exists(file) || contents_of(file) == picture) << context;
        }
    }
    fs::remove_all(scratch);
}

}  // namespace
