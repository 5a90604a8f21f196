#include <gtest/gtest.h>

#include "ovra/test_support/source_location.hpp"
#include "ovra/trivial_test/registry.hpp"

namespace ovra_tests {
namespace {

TEST(Registry, SourceLocationsPointAtTheTestFunctionNames) {
    for (const ovra_runner::TestDescriptor& test : registry()) {
        EXPECT_EQ(ovra_test_support::verify_source_location(test, OVRA_SOURCE_ROOT), std::nullopt)
            << test.name;
    }
}

}  // namespace
}  // namespace ovra_tests
