#include "ovra/deep_check/packing_checks.hpp"

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "ovra/deep_check/check_that.hpp"
#include "ovra/trivial_test/rng.hpp"

namespace ovra_tests::deep::packing::tests {

using ovra_runner::Status;

namespace {

using ovra_package::Binding;
using ovra_package::RegionSlice;

constexpr std::uint64_t no_failing_call = std::numeric_limits<std::uint64_t>::max();

// The callback's own error, with a cause: it must come back whole.
ovra_runner::Error callback_refusal(std::uint64_t call) {
    return ovra_runner::make_error(fmt::format("callback refused call {}", call),
                                   {"the callback's own cause"});
}

// What packing a binding must give: its image or its error, and the callback calls made on the way.
struct Packing {
    std::vector<std::uint8_t> image;
    std::optional<ovra_runner::Error> error;
    std::vector<CallbackCall> calls;
};

// The reference packer: the image as long as the largest slice end, zero where no slice writes, then
// each slice in order, each element through the callback and stored low byte first. The bindings checked
// here keep every end small.
Packing reference_packing(const Binding& binding, std::uint64_t failing_call) {
    Packing packing;
    if (binding.slices.empty()) {
        packing.error = ovra_runner::make_error("binding has no slices");
        return packing;
    }
    std::uint64_t total = 0;
    for (const RegionSlice& slice : binding.slices) {
        total = std::max(total, slice.file_offset + slice.size);
    }
    packing.image.assign(total, 0);
    for (std::size_t position = 0; position < binding.slices.size(); ++position) {
        const RegionSlice& slice = binding.slices[position];
        if (slice.size == 0) {
            continue;
        }
        if (slice.size % 2 != 0) {
            packing.error =
                ovra_runner::make_error(fmt::format("binding {} has a non-F16 slice", binding.name));
            return packing;
        }
        if (position > 0xFFFF) {
            packing.error = ovra_runner::integer_conversion_error();
            return packing;
        }
        const auto tile = static_cast<std::uint16_t>(position);
        const auto elements = static_cast<std::uint32_t>(slice.size / 2);
        for (std::uint32_t linear = 0; linear < elements; ++linear) {
            const bool fails = packing.calls.size() == failing_call;
            packing.calls.push_back({tile, linear, elements});
            if (fails) {
                packing.error = callback_refusal(failing_call);
                return packing;
            }
            const std::uint16_t value = element_value(tile, linear, elements);
            packing.image[slice.file_offset + 2 * std::uint64_t{linear}] =
                static_cast<std::uint8_t>(value & 0xFF);
            packing.image[slice.file_offset + 2 * std::uint64_t{linear} + 1] =
                static_cast<std::uint8_t>(value >> 8);
        }
    }
    return packing;
}

std::string describe_binding(const Binding& binding) {
    std::string text = fmt::format("binding \"{}\" of {} slices", binding.name, binding.slices.size());
    constexpr std::size_t shown = 12;
    for (std::size_t position = 0; position < std::min(shown, binding.slices.size()); ++position) {
        text += fmt::format("{}{} bytes at {}", position == 0 ? ": " : ", ", binding.slices[position].size,
                            binding.slices[position].file_offset);
    }
    return binding.slices.size() > shown ? text + ", ..." : text;
}

// Index of the first difference of two sequences (the shorter one's length when one is a prefix).
template <class T>
std::size_t first_difference(const std::vector<T>& got, const std::vector<T>& want) {
    const auto [got_at, want_at] = std::ranges::mismatch(got, want);
    return static_cast<std::size_t>(got_at - got.begin());
}

// Packs `binding` with the packer under test and with the reference; both must agree in everything.
void check_packing(PackFunction pack, const Binding& binding, std::uint64_t failing_call) {
    const Packing expected = reference_packing(binding, failing_call);
    std::vector<CallbackCall> calls;
    const ovra_runner::Result<PackedImage> packed = pack(binding, RecordingCallback{&calls, failing_call});
    const auto failure = [&binding](const std::string& what) {
        return fmt::format("{}: {}", describe_binding(binding), what);
    };
    if (expected.error) {
        check_that(!packed.has_value(), [&] {
            return failure(fmt::format("packed, where the error is \"{}\"", expected.error->message));
        });
        check_that(packed.error().message == expected.error->message &&
                       packed.error().causes == expected.error->causes,
                   [&] {
                       return failure(fmt::format("the error is \"{}\" with {} causes, not \"{}\"",
                                                  packed.error().message, packed.error().causes.size(),
                                                  expected.error->message));
                   });
    } else {
        check_that(packed.has_value(), [&] { return failure("refused: " + packed.error().message); });
        const std::vector<std::uint8_t> image(packed->begin(), packed->end());
        check_that(image.size() == expected.image.size(), [&] {
            return failure(
                fmt::format("the image has {} bytes, not {}", image.size(), expected.image.size()));
        });
        const std::size_t byte = first_difference(image, expected.image);
        check_that(byte == image.size(), [&] {
            return failure(fmt::format("byte {} of the image is {:#04x}, not {:#04x}", byte, image[byte],
                                       expected.image[byte]));
        });
    }
    const std::size_t call = first_difference(calls, expected.calls);
    check_that(calls == expected.calls, [&] {
        const auto render = [](const std::vector<CallbackCall>& list, std::size_t at) {
            return at < list.size() ? fmt::format("({}, {}, {})", list[at].logical_tile, list[at].linear,
                                                  list[at].elements)
                                    : std::string("no call");
        };
        return failure(fmt::format("callback call {} of {} is {}, not {} of {}", call, calls.size(),
                                   render(calls, call), render(expected.calls, call), expected.calls.size()));
    });
}

// A slice of a random binding: mostly many elements at a random byte offset, so that slices overlap and
// leave gaps; some empty, a few odd-sized, some empty ones far out so that they decide the length.
RegionSlice random_slice(Rng& random) {
    const std::uint32_t tile = random.u32(full<std::uint32_t>());
    const std::uint32_t tile_address = random.u32(full<std::uint32_t>());
    const std::uint32_t kind = random.u32(half_open<std::uint32_t>(0, 32));
    const std::uint64_t offset = random.u32(inclusive<std::uint32_t>(0, 80));
    if (kind < 3) {
        return {tile, tile_address, offset, 0};
    }
    if (kind < 5) {
        return {tile, tile_address, offset + 100 * kind, 0};
    }
    if (kind == 5) {
        return {tile, tile_address, offset,
                2 * std::uint64_t{random.u32(inclusive<std::uint32_t>(0, 8))} + 1};
    }
    return {tile, tile_address, offset, 2 * std::uint64_t{random.u32(inclusive<std::uint32_t>(1, 24))}};
}

}  // namespace

ovra_runner::Result<std::uint16_t> RecordingCallback::operator()(std::uint16_t logical_tile,
                                                                 std::uint32_t linear,
                                                                 std::uint32_t elements) {
    const std::uint64_t call = calls->size();
    calls->push_back({logical_tile, linear, elements});
    if (call == failing_call) {
        return std::unexpected(callback_refusal(call));
    }
    return element_value(logical_tile, linear, elements);
}

Status packed_images_match_a_plain_packer(PackFunction pack) {
    check_packing(pack, Binding{"weights", "f16", {}, {}}, no_failing_call);
    // A slice that ends beyond the largest byte offset cannot be packed, whatever the error says.
    std::vector<CallbackCall> calls;
    const Binding beyond{
        "beyond", "f16", {}, {{0, 0, 0, 2}, {1, 0, std::numeric_limits<std::uint64_t>::max() - 1, 2}}};
    check_that(!pack(beyond, RecordingCallback{&calls, no_failing_call}).has_value(),
               [&] { return describe_binding(beyond) + ": packed"; });

    Rng random = Rng::with_seed(0x5041434B494E4753ULL);  // "PACKINGS"
    Binding binding;
    for (int test_case = 0; test_case < 3000; ++test_case) {
        // Names with braces show a name used as a format string.
        binding.name =
            test_case % 7 == 0 ? fmt::format("in {{0}} {}", test_case) : fmt::format("case {}", test_case);
        binding.dtype = "f16";
        binding.slices.resize(random.u32(inclusive<std::uint32_t>(1, 12)));
        binding.shape.assign(1, static_cast<std::uint32_t>(binding.slices.size()));
        for (RegionSlice& slice : binding.slices) {
            slice = random_slice(random);
        }
        const bool callback_fails = random.u32(half_open<std::uint32_t>(0, 8)) == 0;
        check_packing(pack, binding,
                      callback_fails ? random.u32(inclusive<std::uint32_t>(0, 100)) : no_failing_call);
    }
    return {};
}

Status logical_tiles_stop_at_the_16_bit_limit(PackFunction pack) {
    constexpr std::size_t tiles = 65536;
    // One element per slice, in logical order, so that the image is 2 bytes per tile.
    Binding binding{"wide", "f16", {}, {}};
    for (std::size_t position = 0; position < tiles; ++position) {
        binding.slices.push_back({static_cast<std::uint32_t>(tiles - 1 - position), 0, 2 * position, 2});
    }
    check_packing(pack, binding, no_failing_call);

    // Position 65536, non-empty and even-sized: refused once the calls for all before it are made.
    binding.slices.push_back({0, 0, 0, 4});
    check_packing(pack, binding, no_failing_call);
    // Odd-sized there, the slice is refused for its size first.
    binding.slices.back().size = 3;
    check_packing(pack, binding, no_failing_call);
    // Empty slices from there on pack, and the last of them still sets the length.
    binding.slices.back().size = 0;
    binding.slices.push_back({0, 0, 2 * tiles + 6, 0});
    check_packing(pack, binding, no_failing_call);
    return {};
}

Status randomized_packed_images_match_a_plain_packer() {
    return packed_images_match_a_plain_packer(packed_binding<RecordingCallback>);
}

Status exhaustive_logical_tiles_stop_at_the_16_bit_limit() {
    return logical_tiles_stop_at_the_16_bit_limit(packed_binding<RecordingCallback>);
}

}  // namespace ovra_tests::deep::packing::tests
