// Reproducible test order for `--shuffle-seed`: the same seed over the same names gives the standard runner's
// order, so a seed printed by either runner replays the same order.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace ovra_runner {

// SipHash-1-3 with both keys zero over a byte stream.
struct SipHasher13 {
    std::uint64_t v0 = 0x736f6d6570736575ULL;
    std::uint64_t v1 = 0x646f72616e646f6dULL;
    std::uint64_t v2 = 0x6c7967656e657261ULL;
    std::uint64_t v3 = 0x7465646279746573ULL;
    std::uint64_t tail = 0;
    std::size_t tail_length = 0;
    std::uint64_t length = 0;
};

void write_bytes(SipHasher13& hasher, std::span<const std::uint8_t> bytes);
void write_u64(SipHasher13& hasher, std::uint64_t value);
// A string as the hashed stream carries it: its bytes, then 0xFF.
void write_str(SipHasher13& hasher, std::string_view text);
std::uint64_t finish(const SipHasher13& hasher);

// The permutation the seed gives for `names` (in run order before shuffling): result[k] is the index in
// `names` of the k-th test to run.
std::vector<std::size_t> shuffled_order(std::uint64_t seed, std::span<const std::string_view> names);

}  // namespace ovra_runner
