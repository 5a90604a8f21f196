// A table unfit to run is refused before anything runs, and a table line made by test_case() says where it
// stands.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "ovra/runner/test_descriptor.hpp"
#include "run_helpers.hpp"

namespace ovra_runner::testing {
namespace {


constexpr std::array sound{test_case("t::a", passes), ignored(test_case("t::b", passes), "not now")};
constexpr std::array doubled{test_case("t::a", passes), test_case("t::b", passes), test_case("t::a", passes)};
constexpr std::array unrunnable{test_case("t::a", passes), TestDescriptor{.name = "t::b"}};

// The checks a static table can make while compiling.
static_assert(!table_fault(sound));
static_assert(table_fault(doubled).has_value());
static_assert(std::holds_alternative<MissingFunction>(*table_fault(unrunnable)));

struct FaultCase {
    std::span<const TestDescriptor> table;
    std::vector<std::string> args;
    const char* err;
};

class FaultyTable : public ::testing::TestWithParam<FaultCase> {};

// Even a listing: a table that names a test twice, or cannot run one, is no suite to report on.
TEST_P(FaultyTable, IsRefusedBeforeAnythingRuns) {
    const RunOutput output = run_table(GetParam().table, GetParam().args);
    EXPECT_EQ(output.status, 101);
    EXPECT_EQ(output.out, "");
    EXPECT_EQ(output.err, GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, FaultyTable,
    ::testing::Values(FaultCase{doubled, {}, "error: the test table names `t::a` more than once\n"},
                      FaultCase{doubled, {"--list"}, "error: the test table names `t::a` more than once\n"},
                      FaultCase{unrunnable, {"t::a"}, "error: the test `t::b` in the test table has no function\n"}));

TEST(TestCase, MarksItsOwnLineAndTheNamesLength) {
    constexpr TestDescriptor line = test_case("t::named", passes);
    EXPECT_EQ(line.source_file, "runner/tests/table_test.cpp");
    EXPECT_EQ(line.start_line, static_cast<std::uint32_t>(__LINE__ - 2));
    EXPECT_EQ(line.end_col - line.start_col, 8U);
    EXPECT_TRUE(sound[1].ignore);
    EXPECT_EQ(sound[1].ignore_message, "not now");
    EXPECT_EQ(run_table(sound, {}).status, 0);
}

}  // namespace
}  // namespace ovra_runner::testing
