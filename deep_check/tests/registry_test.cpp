#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ovra/deep_check/known_outcomes.hpp"
#include "ovra/deep_check/registry.hpp"
#include "ovra/test_support/source_location.hpp"

namespace ovra_tests::deep {
namespace {

TEST(DeepCheckRegistry, HoldsItsTestsInNameOrderUnderTheirModules) {
    const std::span<const ovra_runner::TestDescriptor> table = registry();
    EXPECT_TRUE(std::ranges::is_sorted(table, {}, &ovra_runner::TestDescriptor::name));
    for (const ovra_runner::TestDescriptor& test : table) {
        EXPECT_TRUE(test.name.starts_with("deep::")) << test.name;
        EXPECT_FALSE(test.ignore) << test.name;
        EXPECT_FALSE(test.should_panic) << test.name;
        EXPECT_NE(test.function, nullptr) << test.name;
    }
}

TEST(DeepCheckRegistry, SourceLocationsPointAtTheTestFunctionNames) {
    for (const ovra_runner::TestDescriptor& test : registry()) {
        EXPECT_EQ(ovra_test_support::verify_source_location(test, OVRA_SOURCE_ROOT), std::nullopt)
            << test.name;
    }
}

// The known outcomes of the runner's check reach only a child that asks for one of them by its name, so that
// no listing of the deep check shows them.
TEST(DeepCheckRegistry, OnlyAChildNamingAKnownOutcomeRunsTheirTable) {
    const std::span<const ovra_runner::TestDescriptor> known = known_outcomes::table();
    for (const char* invoked : {static_cast<const char*>(nullptr), "known::", "known::passes ",
                                "deep::runner::tests::exhaustive_known_outcomes_are_reported_exactly"}) {
        EXPECT_EQ(known_outcomes::table_for_process(invoked).data(), registry().data())
            << (invoked ? invoked : "no variable");
    }
    for (const ovra_runner::TestDescriptor& test : known) {
        EXPECT_EQ(known_outcomes::table_for_process(std::string(test.name).c_str()).data(), known.data())
            << test.name;
        EXPECT_FALSE(std::ranges::any_of(registry(), [&](const ovra_runner::TestDescriptor& own) {
            return own.name == test.name;
        })) << test.name;
    }
}

}  // namespace
}  // namespace ovra_tests::deep
