// Module `tests`: the binding slice-order property, with the packing under test as a parameter so that a
// deliberately wrong packing can be shown to fail it.
#pragma once

#include <cstdint>
#include <numeric>
#include <vector>

#include "ovra/package/binding.hpp"
#include "ovra/runner/check.hpp"
#include "ovra/runner/error.hpp"
#include "ovra/runner/narrow.hpp"
#include "ovra/trivial_test/rng.hpp"

namespace ovra_tests::tests {

// Packs 256 seeded bindings of one-element slices on shuffled physical tiles with `pack` (called like
// packed_binding) and checks that chunk i of every image holds logical tile i.
template <class Pack>
ovra_runner::Status binding_values_follow_logical_slice_order(Pack pack) {
    Rng random = Rng::with_seed(0x6C6F676963616C5FULL);
    // Each iteration refills the permutation and the binding completely; only their storage carries over,
    // which spares three allocations per iteration.
    std::vector<std::uint32_t> physical;
    ovra_package::Binding binding{"mapped", "f16", {}, {}};
    for (int iteration = 0; iteration < 256; ++iteration) {
        const std::uint64_t count = random.usize(inclusive<std::uint64_t>(1, 128));
        const ovra_runner::Result<std::uint32_t> tiles = ovra_runner::checked_narrow<std::uint32_t>(count);
        if (!tiles) {
            return std::unexpected(tiles.error());
        }
        physical.resize(*tiles);
        std::iota(physical.begin(), physical.end(), 0U);
        random.shuffle(physical);

        binding.shape.assign(1, *tiles);
        binding.slices.clear();
        for (std::size_t logical = 0; logical < physical.size(); ++logical) {
            binding.slices.push_back(ovra_package::RegionSlice{physical[logical], 0x100000, 2 * logical, 2});
        }

        const auto bytes = pack(binding,
                                [](std::uint16_t logical, std::uint32_t,
                                   std::uint32_t) -> ovra_runner::Result<std::uint16_t> { return logical; });
        if (!bytes) {
            return std::unexpected(bytes.error());
        }
        // Consecutive 2-byte chunks; a trailing odd byte would not form one.
        for (std::size_t logical = 0; 2 * logical + 1 < bytes->size(); ++logical) {
            const auto raw =
                static_cast<std::uint16_t>((*bytes)[2 * logical] | ((*bytes)[2 * logical + 1] << 8));
            ovra_runner::check_eq(raw, static_cast<std::uint16_t>(logical));
        }
    }
    return {};
}

// The registered test: the property over packed_binding.
ovra_runner::Status randomized_binding_values_follow_logical_slice_order();

}  // namespace ovra_tests::tests
