#include <gtest/gtest.h>

#include <cstdint>

#include "ovra/runner/narrow.hpp"

namespace ovra_runner {
namespace {

template <class To, class From>
void expect_edges(From fits, From too_large) {
    const Result<To> inside = checked_narrow<To>(fits);
    ASSERT_TRUE(inside.has_value());
    EXPECT_EQ(static_cast<From>(*inside), fits);
    const Result<To> outside = checked_narrow<To>(too_large);
    ASSERT_FALSE(outside.has_value());
    EXPECT_EQ(outside.error().message, "out of range integral type conversion attempted");
    EXPECT_TRUE(outside.error().causes.empty());
}

// Each narrowing the test package performs, at the last value that fits and the first that does not.
TEST(CheckedNarrow, AcceptsTheLastFittingValueAndRejectsTheNext) {
    expect_edges<std::int32_t, std::uint32_t>(2147483647U, 2147483648U);
    expect_edges<std::uint32_t, std::uint64_t>(4294967295ULL, 4294967296ULL);
    expect_edges<std::uint16_t, std::size_t>(65535U, 65536U);
}

TEST(CheckedNarrow, RejectsNegativeValuesForUnsignedTargets) {
    EXPECT_FALSE(checked_narrow<std::uint32_t>(-1).has_value());
    EXPECT_TRUE(checked_narrow<std::uint32_t>(0).has_value());
}

}  // namespace
}  // namespace ovra_runner
