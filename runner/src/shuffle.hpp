// Reproducible test order for `--shuffle-seed`: the same seed over the same names gives the standard runner's
// order, so a seed printed by either runner replays the same order.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace ovra_runner {

// The permutation the seed gives for `names` (in run order before shuffling): result[k] is the index in
// `names` of the k-th test to run.
std::vector<std::size_t> shuffled_order(std::uint64_t seed, std::span<const std::string_view> names);

}  // namespace ovra_runner
