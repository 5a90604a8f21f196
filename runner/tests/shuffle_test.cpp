#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "shuffle.hpp"

namespace ovra_runner::testing {
namespace {

std::vector<std::string> names_of(std::size_t count) {
    std::vector<std::string> names;
    for (std::size_t index = 0; index < count; ++index) {
        names.push_back("mod::test_" + std::to_string(index));
    }
    return names;
}

std::vector<std::size_t> order_for(std::uint64_t seed, const std::vector<std::string>& names) {
    const std::vector<std::string_view> views(names.begin(), names.end());
    return shuffled_order(seed, views);
}

// The seed that the standard runner printed for the demo must replay its order here.
TEST(ShuffledOrder, ReplaysTheStandardRunnersOrderForItsSeed) {
    const std::vector<std::string> demo{"diagnostic::tests::randomized_alpha_passes",
                                        "diagnostic::tests::randomized_beta_fails_eq",
                                        "tests::randomized_gamma_returns_error", "tests::zeta_ignored"};
    EXPECT_EQ(order_for(7, demo), (std::vector<std::size_t>{1, 2, 0, 3}));
}

TEST(ShuffledOrder, IsAPermutationThatDependsOnSeedAndNames) {
    for (std::size_t count = 0; count <= 40; ++count) {
        const std::vector<std::string> names = names_of(count);
        std::set<std::vector<std::size_t>> distinct;
        for (std::uint64_t seed = 0; seed < 16; ++seed) {
            std::vector<std::size_t> order = order_for(seed, names);
            EXPECT_EQ(order, order_for(seed, names));
            distinct.insert(order);
            std::sort(order.begin(), order.end());
            std::vector<std::size_t> identity(count);
            std::iota(identity.begin(), identity.end(), std::size_t{0});
            ASSERT_EQ(order, identity) << "count " << count << " seed " << seed;
        }
        if (count >= 5) {
            EXPECT_GT(distinct.size(), 8U) << "count " << count;
        }
    }
    // Renaming one test changes the order for the same seed.
    std::vector<std::string> renamed = names_of(12);
    renamed[5] = "mod::renamed";
    EXPECT_NE(order_for(7, names_of(12)), order_for(7, renamed));
}

}  // namespace
}  // namespace ovra_runner::testing
