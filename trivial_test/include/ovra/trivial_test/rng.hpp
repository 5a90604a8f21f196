// The suite's seeded generator: the wyrand step, Lemire's multiply-and-reject range reduction and a
// forward Fisher-Yates shuffle. Every draw is fixed to the bit, so each run checks the same cases.
#pragma once

#include <cstdint>
#include <limits>
#include <source_location>
#include <span>
#include <string>
#include <type_traits>
#include <utility>

#include <fmt/format.h>

#include "ovra/runner/check.hpp"

namespace ovra_tests {

enum class BoundKind { Included, Excluded, Unbounded };

template <class T>
struct Bound {
    BoundKind kind;
    T value;
};

template <class T>
struct Range {
    Bound<T> start;
    Bound<T> end;
};

// [a, b]
template <class T>
constexpr Range<T> inclusive(T a, T b) {
    return {{BoundKind::Included, a}, {BoundKind::Included, b}};
}
// [a, b)
template <class T>
constexpr Range<T> half_open(T a, T b) {
    return {{BoundKind::Included, a}, {BoundKind::Excluded, b}};
}
// [.., b]
template <class T>
constexpr Range<T> up_to(T b) {
    return {{BoundKind::Unbounded, T{}}, {BoundKind::Included, b}};
}
template <class T>
constexpr Range<T> full() {
    return {{BoundKind::Unbounded, T{}}, {BoundKind::Unbounded, T{}}};
}

// "Included(5)", "Excluded(5)" or "Unbounded": the bound as the empty-range message shows it.
template <class T>
std::string render_bound(const Bound<T>& bound) {
    switch (bound.kind) {
        case BoundKind::Included:
            return fmt::format("Included({})", +bound.value);
        case BoundKind::Excluded:
            return fmt::format("Excluded({})", +bound.value);
        case BoundKind::Unbounded:
            break;
    }
    return "Unbounded";
}

struct Rng {
    std::uint64_t state;

    static constexpr Rng with_seed(std::uint64_t seed) { return Rng{seed}; }

    constexpr std::uint64_t gen_u64() {
        state += 0x2D358DCCAA6C78A5ULL;
        const uint128 t = static_cast<uint128>(state) * (state ^ 0x8BB84B93962EACC9ULL);
        return static_cast<std::uint64_t>(t) ^ static_cast<std::uint64_t>(t >> 64);
    }

    // The low half of one step; the high half is dropped, not folded in.
    constexpr std::uint32_t gen_u32() { return static_cast<std::uint32_t>(gen_u64()); }

    constexpr std::uint32_t gen_mod_u32(std::uint32_t n) { return gen_mod<std::uint32_t>(n); }
    constexpr std::uint64_t gen_mod_u64(std::uint64_t n) { return gen_mod<std::uint64_t>(n); }

    std::uint8_t u8(Range<std::uint8_t> range,
                    std::source_location location = std::source_location::current()) {
        return bounded(range, location);
    }
    std::uint32_t u32(Range<std::uint32_t> range,
                      std::source_location location = std::source_location::current()) {
        return bounded(range, location);
    }
    std::uint64_t usize(Range<std::uint64_t> range,
                        std::source_location location = std::source_location::current()) {
        return bounded(range, location);
    }

    // `bool` in the generator's vocabulary; the keyword is not a legal name.
    bool boolean() { return (u8(full<std::uint8_t>()) & 1U) == 0; }

    constexpr float f32_inclusive() {
        const std::uint64_t x = gen_u64() >> 1;
        // A signed conversion rounds to nearest even, as the sequence requires; x is below 2^63.
        return static_cast<float>(static_cast<std::int64_t>(x)) * 0x1p-63F;
    }

    constexpr float f32() {
        while (true) {
            const float value = f32_inclusive();
            if (value < 1.0F) {
                return value;
            }
        }
    }

    void shuffle(std::span<std::uint32_t> slice) {
        for (std::size_t i = 1; i < slice.size(); ++i) {
            const std::size_t j = usize(up_to<std::uint64_t>(i));
            std::swap(slice[i], slice[j]);
        }
    }

  private:
    __extension__ typedef unsigned __int128 uint128;

    // A draw of T's width: the low bits of one step, as gen_u32 takes them.
    template <class T>
    constexpr T gen_raw() {
        return static_cast<T>(gen_u64());
    }

    // Lemire's reduction: the high half of draw x n, drawn again while the low half falls below 2^W mod n.
    // The threshold is below n, so its division is needed only when the low half is.
    template <class T>
    constexpr T gen_mod(T n) {
        using Wide = std::conditional_t<sizeof(T) == 8, uint128, std::uint64_t>;
        constexpr int width = std::numeric_limits<T>::digits;
        Wide product = static_cast<Wide>(gen_raw<T>()) * n;
        T low = static_cast<T>(product);
        if (low < n) {
            const T threshold = static_cast<T>(T{0} - n) % n;
            while (low < threshold) {
                product = static_cast<Wide>(gen_raw<T>()) * n;
                low = static_cast<T>(product);
            }
        }
        return static_cast<T>(product >> width);
    }

    template <class T>
    [[noreturn]] static void fail_empty(Range<T> range, std::source_location location) {
        ovra_runner::fail(
            fmt::format("empty range: {}..{}", render_bound(range.start), render_bound(range.end)), location);
    }

    template <class T>
    T bounded(Range<T> range, std::source_location location) {
        constexpr T max = std::numeric_limits<T>::max();
        const bool excluded_start = range.start.kind == BoundKind::Excluded;
        const bool excluded_end = range.end.kind == BoundKind::Excluded;
        // An excluded bound at the far end of T's values leaves nothing: the next value in would wrap around.
        const bool wraps =
            (excluded_start && range.start.value == max) || (excluded_end && range.end.value == 0);
        const T low = range.start.kind == BoundKind::Unbounded
                          ? T{0}
                          : static_cast<T>(range.start.value + excluded_start);
        const T high =
            range.end.kind == BoundKind::Unbounded ? max : static_cast<T>(range.end.value - excluded_end);
        if (wraps || low > high) {
            fail_empty(range, location);
        }
        if (low == 0 && high == max) {
            return gen_raw<T>();
        }
        // A narrower type reduces a 32-bit draw, as u32 does.
        using Draw = std::conditional_t<sizeof(T) == 8, std::uint64_t, std::uint32_t>;
        return static_cast<T>(low + gen_mod<Draw>(static_cast<Draw>(high - low + 1)));
    }
};

}  // namespace ovra_tests
