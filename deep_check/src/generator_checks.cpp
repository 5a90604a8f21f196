#include "ovra/deep_check/generator_checks.hpp"

#include <numeric>

namespace ovra_tests::deep::rng::tests {

using ovra_runner::Status;

double detail::chi_square(std::span<const std::uint64_t> counts) {
    const auto total = static_cast<double>(std::accumulate(counts.begin(), counts.end(), std::uint64_t{0}));
    const double expected = total / static_cast<double>(counts.size());
    double statistic = 0;
    for (const std::uint64_t count : counts) {
        const double difference = static_cast<double>(count) - expected;
        statistic += difference * difference / expected;
    }
    return statistic;
}

Status exhaustive_steps_follow_the_published_sequence() {
    return steps_follow_the_published_sequence<Rng>();
}

Status exhaustive_bounded_draws_reject_below_their_thresholds() {
    return bounded_draws_reject_below_their_thresholds<Rng>();
}

Status exhaustive_shuffles_and_floats_follow_their_draws() {
    return shuffles_and_floats_follow_their_draws<Rng>();
}

Status randomized_bounded_draws_are_uniform() {
    return bounded_draws_are_uniform<Rng>();
}

}  // namespace ovra_tests::deep::rng::tests
