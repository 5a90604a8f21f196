// Module `deep::rng::tests`: the seeded generator against the reference sequence written in
// reference_generator.hpp, draw by draw: raw steps and the draws made of one step, bounded draws with the
// rejection exactly at its threshold, empty ranges, shuffles and floats, known answers, and the spread of
// bounded draws that a biased range reduction cannot keep. Each check takes the generator type as a
// parameter (one shaped like Rng), so that a broken one can be shown to fail it.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <numeric>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "ovra/deep_check/check_that.hpp"
#include "ovra/deep_check/reference_generator.hpp"
#include "ovra/runner/check.hpp"
#include "ovra/runner/error.hpp"
#include "ovra/trivial_test/rng.hpp"

namespace ovra_tests::deep::rng::tests {

namespace detail {

// Seed 0, the extremes, one with the top bit alone, and the suite's three.
inline constexpr std::array<std::uint64_t, 8> seeds{0,
                                                    1,
                                                    2,
                                                    0xFFFFFFFFFFFFFFFFULL,
                                                    0x8000000000000000ULL,
                                                    0x6C6F676963616C5FULL,
                                                    0x424C415347454D4DULL,
                                                    0x47454C5552454F52ULL};

// The inverse of an odd number modulo 2^64 (Newton's iteration doubles the correct bits each round).
constexpr std::uint64_t odd_inverse(std::uint64_t odd) {
    std::uint64_t inverse = odd;
    for (int round = 0; round < 6; ++round) {
        inverse *= 2 - odd * inverse;
    }
    return inverse;
}

// Pearson's statistic of `counts` against equal expected counts.
double chi_square(std::span<const std::uint64_t> counts);

// A draw agrees with the reference's.
template <class Value>
void check_draw(std::string_view draw, std::uint64_t seed, int index, Value got, Value want) {
    check_that(got == want, [&] {
        return fmt::format("seed {:#x}, draw {}: {} gave {}, not {}", seed, index, draw, got, want);
    });
}

// A float draw agrees with the reference's to the bit.
inline void check_float_draw(std::string_view draw, std::uint64_t seed, int index, float got, float want) {
    check_that(std::bit_cast<std::uint32_t>(got) == std::bit_cast<std::uint32_t>(want), [&] {
        return fmt::format("seed {:#x}, draw {}: {} gave {} ({:#010x}), not {} ({:#010x})", seed, index, draw,
                           got, std::bit_cast<std::uint32_t>(got), want, std::bit_cast<std::uint32_t>(want));
    });
}

// After a draw, the generator stands where the reference does: their next steps agree. A draw that took
// a step too many or too few shows here.
template <class Generator>
void check_in_step(Generator& random, ReferenceGenerator& reference, std::string_view after) {
    const std::uint64_t got = random.gen_u64();
    const std::uint64_t want = reference.step();
    check_that(got == want, [&] {
        return fmt::format("after {}, the next step is {:#018x}, not {:#018x}", after, got, want);
    });
}

// The message of the check that `draw` stops with, if it does.
template <class Draw>
std::optional<std::string> failure_of(Draw draw) {
    try {
        draw();
    } catch (const ovra_runner::CheckFailure& failure) {
        return failure.message;
    }
    return std::nullopt;
}

// A bounded draw over `range` gives `low` plus the reference's reduced draw of `length` values.
template <class T>
struct BoundedCase {
    Range<T> range;
    T low;
    std::uint64_t length;
};

}  // namespace detail

// The published first steps for seed 0, then thousands of steps and one-step draws (low half, full-range
// u8, u32 and usize, bool, f32_inclusive) from several seeds, each equal to the reference's.
template <class Generator>
ovra_runner::Status steps_follow_the_published_sequence() {
    Generator zero = Generator::with_seed(0);
    int index = 0;
    for (const std::uint64_t published :
         {0x9A45CD888D59F0D6ULL, 0x01445B6A189663F5ULL, 0x1842218B97E7A496ULL}) {
        detail::check_draw("gen_u64", 0, index++, zero.gen_u64(), published);
    }
    for (const std::uint64_t seed : detail::seeds) {
        Generator random = Generator::with_seed(seed);
        ReferenceGenerator reference{seed};
        for (int draw = 0; draw < 7 * 512; ++draw) {
            switch (draw % 7) {
                case 0:
                    detail::check_draw("gen_u64", seed, draw, random.gen_u64(), reference.step());
                    break;
                case 1:
                    detail::check_draw("gen_u32", seed, draw, random.gen_u32(), reference.low_half());
                    break;
                case 2:
                    detail::check_draw("full-range u8", seed, draw,
                                       std::uint32_t{random.u8(full<std::uint8_t>())},
                                       reference.low_half() & 0xFFU);
                    break;
                case 3:
                    detail::check_draw("bool", seed, draw, random.boolean(), (reference.step() & 1U) == 0);
                    break;
                case 4:
                    detail::check_draw("u32 over [0, 4294967295]", seed, draw,
                                       random.u32(inclusive<std::uint32_t>(0, 0xFFFFFFFFU)),
                                       reference.low_half());
                    break;
                case 5:
                    detail::check_draw("full-range usize", seed, draw, random.usize(full<std::uint64_t>()),
                                       reference.step());
                    break;
                default:
                    detail::check_float_draw("f32_inclusive", seed, draw, random.f32_inclusive(),
                                             reference.unit_inclusive());
                    break;
            }
        }
    }
    return {};
}

// Lemire's reduction against the reference for moduli that never reject (powers of two), rarely reject,
// and reject a quarter to a half of their draws, at 32 and 64 bits; moduli chosen so that a draw's low
// product lies exactly one below the threshold (rejected) or on it (accepted); bounded draws of every
// range kind; and empty ranges, which fail with their bounds before drawing.
template <class Generator>
ovra_runner::Status bounded_draws_reject_below_their_thresholds() {
    constexpr std::array<std::uint32_t, 15> moduli{
        1,     2,           3,           5,           7,           16,          24,         100,
        65537, 0x7FFFFFFFU, 0x80000000U, 0x80000001U, 0xC0000000U, 0xFFFFFFFEU, 0xFFFFFFFFU};
    constexpr std::array<std::uint64_t, 10> wide_moduli{1,
                                                        3,
                                                        24,
                                                        128,
                                                        129,
                                                        0x100000001ULL,
                                                        0x8000000000000000ULL,
                                                        0x8000000000000001ULL,
                                                        0xC000000000000000ULL,
                                                        0xFFFFFFFFFFFFFFFFULL};
    // Seeds whose first draw reduced over 24, and over 3, is rejected.
    std::vector<std::uint64_t> seeds(detail::seeds.begin(), detail::seeds.end());
    seeds.insert(seeds.end(), {224669470, 3546908075});
    for (const std::uint64_t seed : seeds) {
        Generator random = Generator::with_seed(seed);
        ReferenceGenerator reference{seed};
        int index = 0;
        for (const std::uint32_t n : moduli) {
            const std::string draw = fmt::format("gen_mod_u32({})", n);
            for (int count = 0; count < 64; ++count) {
                detail::check_draw(draw, seed, index++, random.gen_mod_u32(n), reference.below(n));
            }
        }
        for (const std::uint64_t n : wide_moduli) {
            const std::string draw = fmt::format("gen_mod_u64({})", n);
            for (int count = 0; count < 64; ++count) {
                detail::check_draw(draw, seed, index++, random.gen_mod_u64(n), reference.below(n));
            }
        }
        detail::check_in_step(random, reference, fmt::format("the reduced draws of seed {:#x}", seed));
    }

    // Above 2^31 the threshold 2^32 mod n is 2^32 - n, and the low product of a draw r is r * n mod 2^32;
    // for an even r the modulus n = -(r + 1)^-1 makes it exactly the threshold minus one, so that draw is
    // rejected. (With 3 x 2^30 above, the low products are the multiples of 2^30, among them the threshold
    // itself, accepted.) Likewise at 64 bits.
    int narrow_edges = 0;
    int wide_edges = 0;
    for (std::uint64_t seed = 0; seed < 64; ++seed) {
        const std::uint64_t step = ReferenceGenerator{seed}.step();
        const std::uint64_t low = step & 0xFFFFFFFFU;
        const auto n = static_cast<std::uint32_t>((0 - detail::odd_inverse(low + 1)) & 0xFFFFFFFFU);
        if (low % 2 == 0 && n > 0x80000000U) {
            Generator random = Generator::with_seed(seed);
            ReferenceGenerator reference{seed};
            const std::string draw = fmt::format("gen_mod_u32({})", n);
            detail::check_draw(draw, seed, 0, random.gen_mod_u32(n), reference.below(n));
            detail::check_in_step(random, reference, draw);
            ++narrow_edges;
        }
        const std::uint64_t wide_n = 0 - detail::odd_inverse(step + 1);
        if (step % 2 == 0 && wide_n > (std::uint64_t{1} << 63)) {
            Generator random = Generator::with_seed(seed);
            ReferenceGenerator reference{seed};
            const std::string draw = fmt::format("gen_mod_u64({})", wide_n);
            detail::check_draw(draw, seed, 0, random.gen_mod_u64(wide_n), reference.below(wide_n));
            detail::check_in_step(random, reference, draw);
            ++wide_edges;
        }
    }
    check_that(narrow_edges > 0 && wide_edges > 0, [&] {
        return fmt::format("{} and {} seeds give a draw just below the threshold", narrow_edges, wide_edges);
    });

    using detail::BoundedCase;
    constexpr std::uint32_t u32_max = 0xFFFFFFFFU;
    constexpr std::uint64_t u64_max = 0xFFFFFFFFFFFFFFFFULL;
    const std::array<BoundedCase<std::uint32_t>, 10> narrow{{
        {inclusive<std::uint32_t>(1, 16), 1, 16},
        {inclusive<std::uint32_t>(1, 24), 1, 24},
        {half_open<std::uint32_t>(1, 65), 1, 64},
        {half_open<std::uint32_t>(1, 9), 1, 8},
        {inclusive<std::uint32_t>(9, 9), 9, 1},
        {half_open<std::uint32_t>(0, u32_max), 0, u32_max},
        {inclusive<std::uint32_t>(1, u32_max), 1, u32_max},
        {inclusive<std::uint32_t>(u32_max - 2, u32_max), u32_max - 2, 3},
        {{{BoundKind::Excluded, 4}, {BoundKind::Included, 10}}, 5, 6},
        {{{BoundKind::Unbounded, 0}, {BoundKind::Excluded, 7}}, 0, 7},
    }};
    const std::array<BoundedCase<std::uint64_t>, 6> wide{{
        {inclusive<std::uint64_t>(1, 128), 1, 128},
        {up_to<std::uint64_t>(0), 0, 1},
        {up_to<std::uint64_t>(127), 0, 128},
        {half_open<std::uint64_t>(0, u64_max), 0, u64_max},
        {{{BoundKind::Excluded, 0}, {BoundKind::Unbounded, 0}}, 1, u64_max},
        {inclusive<std::uint64_t>(u64_max - 4, u64_max), u64_max - 4, 5},
    }};
    const std::array<BoundedCase<std::uint8_t>, 3> bytes{{
        {inclusive<std::uint8_t>(3, 200), 3, 198},
        {{{BoundKind::Unbounded, 0}, {BoundKind::Excluded, 255}}, 0, 255},
        {half_open<std::uint8_t>(1, 2), 1, 1},
    }};
    // The name of a bounded draw, as the empty-range message writes its bounds.
    const auto name = [](std::string_view draw, const auto& range) {
        return fmt::format("{} over {}..{}", draw, render_bound(range.start), render_bound(range.end));
    };
    for (const std::uint64_t seed : detail::seeds) {
        Generator random = Generator::with_seed(seed);
        ReferenceGenerator reference{seed};
        for (const BoundedCase<std::uint32_t>& c : narrow) {
            const std::string draw = name("u32", c.range);
            for (int index = 0; index < 64; ++index) {
                detail::check_draw(draw, seed, index, random.u32(c.range),
                                   c.low + reference.below(static_cast<std::uint32_t>(c.length)));
            }
        }
        for (const BoundedCase<std::uint64_t>& c : wide) {
            const std::string draw = name("usize", c.range);
            for (int index = 0; index < 64; ++index) {
                detail::check_draw(draw, seed, index, random.usize(c.range),
                                   c.low + reference.below(c.length));
            }
        }
        for (const BoundedCase<std::uint8_t>& c : bytes) {
            const std::string draw = name("u8", c.range);
            for (int index = 0; index < 64; ++index) {
                detail::check_draw(draw, seed, index, std::uint32_t{random.u8(c.range)},
                                   c.low + reference.below(static_cast<std::uint32_t>(c.length)));
            }
        }
        detail::check_in_step(random, reference, "the bounded draws");
    }

    // Empty ranges fail with their bounds, before any step.
    const auto check_empty = [](std::string_view expected, auto draw) {
        Generator random = Generator::with_seed(7);
        ReferenceGenerator reference{7};
        const std::optional<std::string> message = detail::failure_of([&] { draw(random); });
        check_that(message == expected, [&] {
            return fmt::format("a draw that should fail with \"{}\" {}", expected,
                               message ? fmt::format("failed with \"{}\"", *message) : "returned");
        });
        detail::check_in_step(random, reference, expected);
    };
    check_empty("empty range: Included(5)..Excluded(5)",
                [](Generator& r) { r.u32(half_open<std::uint32_t>(5, 5)); });
    check_empty("empty range: Included(0)..Excluded(0)",
                [](Generator& r) { r.u32(half_open<std::uint32_t>(0, 0)); });
    check_empty("empty range: Included(7)..Included(6)",
                [](Generator& r) { r.u32(inclusive<std::uint32_t>(7, 6)); });
    check_empty("empty range: Excluded(4294967295)..Unbounded", [](Generator& r) {
        r.u32({{BoundKind::Excluded, 0xFFFFFFFFU}, {BoundKind::Unbounded, 0}});
    });
    check_empty("empty range: Unbounded..Excluded(0)", [](Generator& r) {
        r.u32({{BoundKind::Unbounded, 0}, {BoundKind::Excluded, 0}});
    });
    check_empty("empty range: Included(3)..Included(2)",
                [](Generator& r) { r.usize(inclusive<std::uint64_t>(3, 2)); });
    check_empty("empty range: Excluded(255)..Unbounded", [](Generator& r) {
        r.u8({{BoundKind::Excluded, 255}, {BoundKind::Unbounded, 0}});
    });
    return {};
}

// Shuffles of every length up to 130 against the reference walk, and the binding test's documented first
// permutation; floats draw by draw, a draw that rounds to 1.0, which f32_inclusive keeps and f32 draws
// again, and the host's rounding at that edge.
template <class Generator>
ovra_runner::Status shuffles_and_floats_follow_their_draws() {
    for (const std::uint64_t seed : detail::seeds) {
        Generator random = Generator::with_seed(seed);
        ReferenceGenerator reference{seed};
        for (std::uint32_t length = 0; length <= 130; ++length) {
            std::vector<std::uint32_t> got(length);
            std::iota(got.begin(), got.end(), 0U);
            std::vector<std::uint32_t> want = got;
            random.shuffle(got);
            reference.shuffle(want);
            check_that(got == want, [&] {
                return fmt::format("seed {:#x}: shuffle of {} gave [{}], not [{}]", seed, length,
                                   fmt::join(got, ", "), fmt::join(want, ", "));
            });
        }
        detail::check_in_step(random, reference, fmt::format("the shuffles of seed {:#x}", seed));
    }
    Generator binding = Generator::with_seed(0x6C6F676963616C5FULL);
    const std::uint64_t count = binding.usize(inclusive<std::uint64_t>(1, 128));
    std::vector<std::uint32_t> physical(count);
    std::iota(physical.begin(), physical.end(), 0U);
    binding.shuffle(physical);
    physical.resize(std::min<std::size_t>(physical.size(), 5));
    check_that(count == 39 && physical == std::vector<std::uint32_t>{29, 3, 38, 25, 26}, [&] {
        return fmt::format(
            "the binding seed draws {} slices on tiles [{}, ...], not 39 on [29, 3, 38, 25, 26, ...]", count,
            fmt::join(physical, ", "));
    });

    // The host must round the top 63 bits to nearest even: 2^63 - 2^38 is the first to give 1.0.
    check_that(
        static_cast<float>(std::int64_t{0x7FFFFFC000000000}) == 0x1p63F &&
            static_cast<float>(std::int64_t{0x7FFFFFBFFFFFFFFF}) == 0x1.fffffep62F,
        [] { return std::string("the host does not round 64-bit integers to floats to nearest even"); });
    // The first seed whose first draw rounds to 1.0.
    constexpr std::uint64_t rounds_to_one = 2912851;
    std::vector<std::uint64_t> seeds(detail::seeds.begin(), detail::seeds.end());
    seeds.push_back(rounds_to_one);
    for (const std::uint64_t seed : seeds) {
        Generator inclusive_draws = Generator::with_seed(seed);
        Generator draws = Generator::with_seed(seed);
        ReferenceGenerator inclusive_reference{seed};
        ReferenceGenerator reference{seed};
        for (int index = 0; index < 1024; ++index) {
            detail::check_float_draw("f32_inclusive", seed, index, inclusive_draws.f32_inclusive(),
                                     inclusive_reference.unit_inclusive());
            const float value = draws.f32();
            detail::check_float_draw("f32", seed, index, value, reference.unit());
            check_that(value < 1.0F,
                       [&] { return fmt::format("seed {:#x}, draw {}: f32 gave {}", seed, index, value); });
        }
        detail::check_in_step(draws, reference, fmt::format("the f32 draws of seed {:#x}", seed));
    }
    Generator edge = Generator::with_seed(rounds_to_one);
    check_that(edge.f32_inclusive() == 1.0F,
               [&] { return fmt::format("f32_inclusive of seed {} is not 1.0", rounds_to_one); });

    return {};
}

// Bounded draws spread evenly. Over 3 x 2^30 values (3 x 2^62 for usize), multiplying and shifting without
// the rejection makes multiples of 3 twice as common as other residues, and a plain modulo makes the
// lowest third twice as common; the suite's range [1, 24], bool and the six orders of a 3-element shuffle
// come out evenly too. Each statistic is checked against the bound a fair generator exceeds once in 10^5.
template <class Generator>
ovra_runner::Status bounded_draws_are_uniform() {
    Generator random = Generator::with_seed(0x554E49464F524D53ULL);  // "UNIFORMS"
    const auto check_even = [](std::span<const std::uint64_t> counts, double bound, std::string_view what) {
        const double statistic = detail::chi_square(counts);
        check_that(statistic <= bound, [&] {
            return fmt::format("{} are not spread evenly: counts [{}], chi-square {:.1f} above {}", what,
                               fmt::join(counts, ", "), statistic, bound);
        });
    };
    constexpr int draws = 12000;
    constexpr double bound_1 = 19.5;   // one degree of freedom
    constexpr double bound_2 = 23.0;   // two
    constexpr double bound_5 = 30.9;   // five
    constexpr double bound_23 = 64.0;  // twenty-three

    // Draws over [0, 3 x 2^shift), counted by thirds of the range and by residue modulo 3.
    const auto check_thirds_and_residues = [&](auto draw_one, int shift, std::string_view what) {
        std::array<std::uint64_t, 3> thirds{};
        std::array<std::uint64_t, 3> residues{};
        for (int draw = 0; draw < draws; ++draw) {
            const auto value = draw_one();
            ++thirds[value >> shift];
            ++residues[value % 3];
        }
        check_even(thirds, bound_2, fmt::format("{} by thirds of the range", what));
        check_even(residues, bound_2, fmt::format("{} by residue modulo 3", what));
    };
    check_thirds_and_residues([&] { return random.u32(half_open<std::uint32_t>(0, 0xC0000000U)); }, 30,
                              "u32 draws over [0, 3 x 2^30)");
    check_thirds_and_residues(
        [&] { return random.usize(half_open<std::uint64_t>(0, 0xC000000000000000ULL)); }, 62,
        "usize draws over [0, 3 x 2^62)");

    std::array<std::uint64_t, 24> values{};
    for (int draw = 0; draw < 24 * 1000; ++draw) {
        const std::uint32_t value = random.u32(inclusive<std::uint32_t>(1, 24));
        check_that(value >= 1 && value <= 24, [&] { return fmt::format("u32 over [1, 24] gave {}", value); });
        ++values[value - 1];
    }
    check_even(values, bound_23, "u32 draws over [1, 24]");

    std::array<std::uint64_t, 2> flags{};
    for (int draw = 0; draw < draws; ++draw) {
        ++flags[random.boolean() ? 1U : 0U];
    }
    check_even(flags, bound_1, "bool draws");

    // The six orders of three elements, numbered by where the first two went.
    std::array<std::uint64_t, 6> orders{};
    for (int draw = 0; draw < 6 * 1000; ++draw) {
        std::array<std::uint32_t, 3> order{0, 1, 2};
        random.shuffle(order);
        ++orders[order[0] * 2 + (order[1] > order[2] ? 1U : 0U)];
    }
    check_even(orders, bound_5, "shuffles of three elements");
    return {};
}

ovra_runner::Status exhaustive_steps_follow_the_published_sequence();
ovra_runner::Status exhaustive_bounded_draws_reject_below_their_thresholds();
ovra_runner::Status exhaustive_shuffles_and_floats_follow_their_draws();
ovra_runner::Status randomized_bounded_draws_are_uniform();

}  // namespace ovra_tests::deep::rng::tests
