#include <gtest/gtest.h>

#include <algorithm>

#include "ovra/deep_check/registry.hpp"
#include "ovra/test_support/source_location.hpp"

namespace ovra_tests::deep {
namespace {

TEST(DeepCheckRegistry, HoldsItsTestsInNameOrderUnderTheirModules) {
    const std::span<const TestDescriptor> table = registry();
    ASSERT_EQ(table.size(), 25U);
    EXPECT_TRUE(std::ranges::is_sorted(table, {}, &TestDescriptor::name));
    for (const TestDescriptor& test : table) {
        EXPECT_TRUE(test.name.starts_with("deep::")) << test.name;
        EXPECT_FALSE(test.ignore) << test.name;
        EXPECT_FALSE(test.should_panic) << test.name;
        EXPECT_NE(test.function, nullptr) << test.name;
    }
}

TEST(DeepCheckRegistry, SourceLocationsPointAtTheTestFunctionNames) {
    for (const TestDescriptor& test : registry()) {
        EXPECT_EQ(ovra_test_support::verify_source_location(test, OVRA_SOURCE_ROOT), std::nullopt)
            << test.name;
    }
}

}  // namespace
}  // namespace ovra_tests::deep
