// packed_binding on arbitrary small bindings against a plain model of the image written out below: the
// same bytes or the same error, after the same callback calls in the same order.
//
// Offsets and sizes are kept below 32 KiB each so that an image stays under 64 KiB and the fuzzer stays
// fast. Some offsets lie near 2^64 instead: those either overflow the image end or ask for an image no
// allocation can hold, and both must be reported without allocating. Positions of 65536 and more would cost
// 65536 slices per input and are left to the unit tests.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "fuzz_input.hpp"
#include "ovra/package/binding.hpp"
#include "ovra/runner/error.hpp"
#include "ovra/trivial_test/packing.hpp"

namespace {

using ovra_fuzz::require;
using ovra_fuzz::take_u16;
using ovra_fuzz::take_u8;
using ovra_package::Binding;
using ovra_package::RegionSlice;
using ovra_runner::Error;
using ovra_runner::Result;

constexpr std::size_t max_slices = 8;

struct Call {
    std::uint16_t logical_tile;
    std::uint32_t linear;
    std::uint32_t elements;
    friend bool operator==(const Call&, const Call&) = default;
};

struct Case {
    Binding binding;
    std::uint16_t value_seed;
    // Index, over the whole packing, of the callback call that returns an error.
    std::optional<std::size_t> failing_call;
};

std::uint64_t decode_offset(ovra_fuzz::FuzzInput& input, unsigned kind) {
    switch (kind & 3U) {
        case 0:
        case 1:
            return take_u16(input) & 0x0FFFU;
        case 2:
            return take_u16(input) & 0x7FFFU;
        default:
            return std::numeric_limits<std::uint64_t>::max() - take_u16(input);
    }
}

std::uint64_t decode_size(ovra_fuzz::FuzzInput& input, unsigned kind) {
    switch (kind & 3U) {
        case 0:
            return 0;
        case 1:
            return take_u8(input) & 0x3FU;
        case 2:
            return take_u16(input) & 0x0FFFU;
        default:
            return take_u16(input) & 0x7FFFU;
    }
}

Case decode(ovra_fuzz::FuzzInput& input) {
    Case decoded{};
    decoded.binding.name = ovra_fuzz::take_text(input, 12);
    decoded.binding.dtype = ovra_fuzz::take_text(input, 4);
    const std::size_t rank = take_u8(input) % 4U;
    for (std::size_t axis = 0; axis < rank; ++axis) {
        decoded.binding.shape.push_back(ovra_fuzz::take_u32(input));
    }
    const std::size_t slice_count = take_u8(input) % (max_slices + 1);
    if ((take_u8(input) & 1U) != 0) {
        decoded.failing_call = take_u16(input);
    }
    decoded.value_seed = take_u16(input);
    for (std::size_t position = 0; position < slice_count; ++position) {
        const unsigned kind = take_u8(input);
        RegionSlice slice{};
        // Placement on the device plays no part in the image; arbitrary values check that it does not.
        slice.tile = take_u8(input);
        slice.tile_address = take_u16(input);
        slice.file_offset = decode_offset(input, kind);
        slice.size = decode_size(input, kind >> 2);
        decoded.binding.slices.push_back(slice);
    }
    return decoded;
}

// The value the callback gives; every argument changes it, so a wrong argument shows in the image.
std::uint16_t element_value(std::uint16_t seed, const Call& call) {
    const std::uint32_t mixed = seed ^ (std::uint32_t{call.logical_tile} * 0x9E37U) ^
                                (call.linear * 0x85EBU) ^ (call.elements * 0x27D4U);
    return static_cast<std::uint16_t>(mixed ^ (mixed >> 16));
}

Error callback_error(std::size_t call) {
    return Error{fmt::format("element source failed at call {}", call),
                 {"the fuzz input chose this call"},
                 std::nullopt};
}

Error plain_error(std::string message) {
    return Error{std::move(message), {}, std::nullopt};
}

// The image as the contract describes it, step by step, with no shortcuts.
Result<std::vector<std::uint8_t>> model_image(const Case& fuzz_case, std::vector<Call>& calls) {
    const Binding& binding = fuzz_case.binding;
    std::uint64_t total = 0;
    for (const RegionSlice& slice : binding.slices) {
        if (slice.size > std::numeric_limits<std::uint64_t>::max() - slice.file_offset) {
            return std::unexpected(plain_error(fmt::format(
                "binding {} has a slice that ends beyond the largest byte offset", binding.name)));
        }
        total = std::max(total, slice.file_offset + slice.size);
    }
    if (binding.slices.empty()) {
        return std::unexpected(plain_error("binding has no slices"));
    }
    if (total > static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max())) {
        return std::unexpected(plain_error(fmt::format(
            "binding {} needs a packed image of {} bytes, which cannot be allocated", binding.name, total)));
    }
    // Offsets below 2^15 and sizes below 2^15: total fits 16 bits here, and so does every index below.
    std::vector<std::uint8_t> image(static_cast<std::size_t>(total), 0);
    for (std::size_t position = 0; position < binding.slices.size(); ++position) {
        const RegionSlice& slice = binding.slices[position];
        if (slice.size == 0) {
            continue;
        }
        if (slice.size % 2 == 1) {
            return std::unexpected(plain_error(fmt::format("binding {} has a non-F16 slice", binding.name)));
        }
        const auto elements = static_cast<std::uint32_t>(slice.size / 2);
        for (std::uint32_t linear = 0; linear < elements; ++linear) {
            const Call call{static_cast<std::uint16_t>(position), linear, elements};
            calls.push_back(call);
            if (fuzz_case.failing_call == calls.size() - 1) {
                return std::unexpected(callback_error(calls.size() - 1));
            }
            const std::uint16_t bits = element_value(fuzz_case.value_seed, call);
            const auto offset = static_cast<std::size_t>(slice.file_offset + 2 * std::uint64_t{linear});
            image[offset] = static_cast<std::uint8_t>(bits & 0xFFU);
            image[offset + 1] = static_cast<std::uint8_t>(bits >> 8);
        }
    }
    return image;
}

std::string describe(const Case& fuzz_case) {
    std::string text =
        fmt::format("binding {:?}, seed {}, failing call {}\n", fuzz_case.binding.name, fuzz_case.value_seed,
                    fuzz_case.failing_call ? fmt::format("{}", *fuzz_case.failing_call) : "none");
    for (const RegionSlice& slice : fuzz_case.binding.slices) {
        text.append(fmt::format("  slice file_offset {} size {}\n", slice.file_offset, slice.size));
    }
    return text;
}

template <class Image>
std::string describe(const Result<Image>& result) {
    if (result) {
        return fmt::format("an image of {} bytes", result->size());
    }
    return fmt::format("error {:?} caused by {}", result.error().message, result.error().causes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ovra_fuzz::FuzzInput input{data, size};
    const Case fuzz_case = decode(input);

    std::vector<Call> calls;
    const auto value = [&](std::uint16_t logical_tile, std::uint32_t linear,
                           std::uint32_t elements) -> Result<std::uint16_t> {
        const Call call{logical_tile, linear, elements};
        calls.push_back(call);
        if (fuzz_case.failing_call == calls.size() - 1) {
            return std::unexpected(callback_error(calls.size() - 1));
        }
        return element_value(fuzz_case.value_seed, call);
    };
    const Result<ovra_tests::PackedImage> packed = ovra_tests::packed_binding(fuzz_case.binding, value);

    std::vector<Call> expected_calls;
    const Result<std::vector<std::uint8_t>> expected = model_image(fuzz_case, expected_calls);

    require(packed.has_value() == expected.has_value(), "packed_binding and the model disagree on success",
            [&] {
                return fmt::format("{}packed: {}\nmodel: {}", describe(fuzz_case), describe(packed),
                                   describe(expected));
            });
    if (packed) {
        require(std::ranges::equal(*packed, *expected), "packed_binding built other bytes than the model",
                [&] {
                    return fmt::format("{}packed: {}\nmodel: {}", describe(fuzz_case), describe(packed),
                                       describe(expected));
                });
    } else {
        require(packed.error().message == expected.error().message &&
                    packed.error().causes == expected.error().causes,
                "packed_binding returned another error than the model", [&] {
                    return fmt::format("{}packed: {}\nmodel: {}", describe(fuzz_case), describe(packed),
                                       describe(expected));
                });
    }
    require(calls == expected_calls, "packed_binding called the element source differently from the model",
            [&] {
                return fmt::format("{}{} calls, model {}", describe(fuzz_case), calls.size(),
                                   expected_calls.size());
            });
    return 0;
}
