// The generator's sequence written a second time, plainly and apart from the suite's: the wyrand step,
// Lemire's reduction with its threshold taken as 2^W mod n directly, the float of the top 63 bits, and the
// forward Fisher-Yates walk. The generator checks compare every draw with it.
#pragma once

#include <cstdint>
#include <span>
#include <utility>

namespace ovra_tests::deep::rng {

struct ReferenceGenerator {
    __extension__ typedef unsigned __int128 Wide;

    std::uint64_t state;

    std::uint64_t step() {
        state += 0x2D358DCCAA6C78A5ULL;
        const Wide product = Wide{state} * Wide{state ^ 0x8BB84B93962EACC9ULL};
        return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
    }

    std::uint32_t low_half() { return static_cast<std::uint32_t>(step() & 0xFFFFFFFFU); }

    // Uniform in [0, n): a draw whose low product falls below 2^32 mod n is drawn again.
    std::uint32_t below(std::uint32_t n) {
        const std::uint64_t threshold = (std::uint64_t{1} << 32) % n;
        while (true) {
            const std::uint64_t product = std::uint64_t{low_half()} * n;
            if ((product & 0xFFFFFFFFU) >= threshold) {
                return static_cast<std::uint32_t>(product >> 32);
            }
        }
    }

    std::uint64_t below(std::uint64_t n) {
        const Wide threshold = (Wide{1} << 64) % n;
        while (true) {
            const Wide product = Wide{step()} * n;
            if ((product & 0xFFFFFFFFFFFFFFFFULL) >= threshold) {
                return static_cast<std::uint64_t>(product >> 64);
            }
        }
    }

    // The top 63 bits, rounded to the nearest single-precision value and scaled by 2^-63: 1.0 included.
    float unit_inclusive() {
        const auto top = static_cast<std::int64_t>(step() >> 1);
        return static_cast<float>(top) * 0x1p-63F;
    }

    float unit() {
        while (true) {
            if (const float value = unit_inclusive(); value < 1.0F) {
                return value;
            }
        }
    }

    void shuffle(std::span<std::uint32_t> values) {
        for (std::size_t i = 1; i < values.size(); ++i) {
            std::swap(values[i], values[below(std::uint64_t{i} + 1)]);
        }
    }
};

}  // namespace ovra_tests::deep::rng
