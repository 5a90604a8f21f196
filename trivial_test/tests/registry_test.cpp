#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ovra/test_support/source_location.hpp"
#include "ovra/trivial_test/registry.hpp"

namespace ovra_tests {
namespace {

TEST(Registry, HoldsTheThreeTestsInNameOrder) {
    const std::span<const TestDescriptor> table = registry();
    ASSERT_EQ(table.size(), 3U);
    EXPECT_TRUE(std::ranges::is_sorted(table, {}, &TestDescriptor::name));
    for (const TestDescriptor& test : table) {
        EXPECT_FALSE(test.ignore) << test.name;
        EXPECT_FALSE(test.should_panic) << test.name;
        EXPECT_NE(test.function, nullptr) << test.name;
    }
}

TEST(Registry, SourceLocationsPointAtTheTestFunctionNames) {
    for (const TestDescriptor& test : registry()) {
        EXPECT_EQ(ovra_test_support::verify_source_location(test, OVRA_SOURCE_ROOT), std::nullopt)
            << test.name;
    }
}

}  // namespace
}  // namespace ovra_tests
