// ovra_layout short of memory, from one refused allocation (a preloaded malloc that fails once) or an
// address-space limit: it ends as it would have, or with the one line "error: out of memory" and
// status 1; never by a signal. A file it was to write is the whole picture or not there.

#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gtest/gtest.h>

#include "ovra/test_support/child_process.hpp"

namespace {

namespace fs = std::filesystem;
using ovra_test_support::ChildOptions;
using ovra_test_support::ChildOutcome;

std::string contents_of(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

TEST(ToolOutOfMemory, EndsAsItWouldHaveOrWithOneLine) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a preloaded malloc and a tight address-space limit conflict with the sanitizers' runtimes";
#endif
    std::string scratch_name = (fs::path(testing::TempDir()) / "ovra_layout_memory_XXXXXX").string();
    ASSERT_NE(::mkdtemp(scratch_name.data()), nullptr);
    const fs::path scratch = scratch_name;
    const fs::path file = scratch / "picture.svg";
    const std::string preload = "LD_PRELOAD=" OVRA_FAIL_ALLOCATION_LIBRARY;
    const std::vector<std::vector<std::string>> invocations{{"Output", "F16", "128", "128"},
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
            const std::string context =
                fmt::format("{} with [{}]{}", fmt::join(arguments, " "), fmt::join(options.environment, " "),
                            options.limits.empty() ? "" : fmt::format(" ulimit -v {}", options.limits[0].value / 1024));
            EXPECT_EQ(outcome.signal, 0) << context;
            const bool as_normal =
                outcome.status == normal.status && outcome.out == normal.out && outcome.err == normal.err;
            const bool out_of_memory =
                outcome.status == 1 && outcome.out.empty() && outcome.err == "error: out of memory\n";
            EXPECT_TRUE(as_normal || out_of_memory) << context << ": " << outcome.status << " " << outcome.err;
            // Beside the count, only the whole picture may be left: no part of it, no temporary file.
            EXPECT_EQ(std::distance(fs::directory_iterator(scratch), {}), fs::exists(file) ? 2 : 1) << context;
            EXPECT_TRUE(!fs::exists(file) || contents_of(file) == picture) << context;
        }
    }
    fs::remove_all(scratch);
}

}  // namespace
