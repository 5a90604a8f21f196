// Module `deep::packing::tests`: packed images against a plain reference packer written here, over
// bindings of many-element, empty, odd-sized, overlapping and scattered slices, and at the 16-bit limit of
// logical tiles. The packer under test is a parameter, so that a broken one can be shown to fail them.
#pragma once

#include <cstdint>
#include <vector>

#include "ovra/package/binding.hpp"
#include "ovra/runner/error.hpp"
#include "ovra/trivial_test/packing.hpp"

namespace ovra_tests::deep::packing::tests {

struct CallbackCall {
    std::uint16_t logical_tile;
    std::uint32_t linear;
    std::uint32_t elements;
    friend bool operator==(const CallbackCall&, const CallbackCall&) = default;
};

// The value of an element, made of all three arguments so that each shows in both of its bytes.
constexpr std::uint16_t element_value(std::uint16_t logical_tile, std::uint32_t linear,
                                      std::uint32_t elements) {
    return static_cast<std::uint16_t>((logical_tile * 0x9E37U + linear * 0x3F1U + elements * 0x65U) ^
                                      0x5A5AU);
}

// The callback the packer under test is handed: records each call in `calls` and returns element_value,
// or, at call number `failing_call` (from 0), an error of its own.
struct RecordingCallback {
    std::vector<CallbackCall>* calls;
    std::uint64_t failing_call;

    ovra_runner::Result<std::uint16_t> operator()(std::uint16_t logical_tile, std::uint32_t linear,
                                                  std::uint32_t elements);
};

// Called like packed_binding.
using PackFunction = ovra_runner::Result<PackedImage> (*)(const ovra_package::Binding& binding,
                                                          RecordingCallback value);

// 3000 seeded bindings, some of them refused and some with a callback that fails: the image, the calls
// and any error equal those of the reference packer.
ovra_runner::Status packed_images_match_a_plain_packer(PackFunction pack);

// 65536 slices pack; a non-empty slice at position 65536 is refused after the calls for those before it,
// unless it is empty (then the binding packs) or odd-sized (then that is the error).
ovra_runner::Status logical_tiles_stop_at_the_16_bit_limit(PackFunction pack);

ovra_runner::Status randomized_packed_images_match_a_plain_packer();
ovra_runner::Status exhaustive_logical_tiles_stop_at_the_16_bit_limit();

}  // namespace ovra_tests::deep::packing::tests
