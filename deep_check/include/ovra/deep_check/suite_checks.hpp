// Module `deep::suite::tests`: the three tests of ovra_trivial_test, checked in turn on the host. Each must
// evaluate exactly one check per element of its domain, so that a loop that skips part of it (its last
// case, a column, a worker's groups, a lane, a chunk) fails here whatever compiled it; and each must fail
// on a stand-in for the code it checks with one fault, with the message its contract gives, while the
// registered test passes on the real code. The tests are parameters (the registered function and the body
// that takes the code it checks), so that a weakened one can be shown to fail these checks.
#pragma once

#include <cstdint>
#include <span>
#include <utility>

#include "ovra/codegen/storage_coordinates.hpp"
#include "ovra/package/binding.hpp"
#include "ovra/runner/error.hpp"
#include "ovra/runner/test_descriptor.hpp"
#include "ovra/trivial_test/diagnostic_tests.hpp"
#include "ovra/trivial_test/packing.hpp"

namespace ovra_tests::deep::suite::tests {

// What the stand-in for packed_binding does wrong.
enum class PackingFault {
    // The two bytes of each image's last chunk exchanged.
    LastChunkExchanged,
    // Each slice placed by its physical tile instead of its position.
    PlacedByTile,
    // Every binding refused with an error of its own, which has a cause.
    Refused,
};

// Called like packed_binding, by the binding test.
struct FaultyPacker {
    PackingFault fault;

    template <class Value>
    ovra_runner::Result<PackedImage> operator()(const ovra_package::Binding& binding, Value value) const {
        switch (fault) {
            case PackingFault::LastChunkExchanged:
                break;
            case PackingFault::PlacedByTile: {
                ovra_package::Binding by_tile = binding;
                for (ovra_package::RegionSlice& slice : by_tile.slices) {
                    slice.file_offset = 2 * std::uint64_t{slice.tile};
                }
                return packed_binding(by_tile, value);
            }
            case PackingFault::Refused:
                return std::unexpected(
                    ovra_runner::make_error("binding " + binding.name + " refused", {"the packer's cause"}));
        }
        ovra_runner::Result<PackedImage> image = packed_binding(binding, value);
        if (image && image->size() >= 2) {
            std::swap(image->bytes[image->size() - 2], image->bytes[image->size() - 1]);
        }
        return image;
    }
};

// What the stand-in for amp_matrix_coordinates does wrong.
enum class CoordinatesFault {
    None,
    // The row of the last position of the matrix in Left order one too large: lane 1 of the last group.
    LastLeftRowOffByOne,
    // Output order refused as if the shape did not fit its blocks.
    OutputRefused,
};

// Called like amp_matrix_coordinates, by the GELU test.
struct FaultyCoordinates {
    CoordinatesFault fault;

    ovra_codegen::storage::CoordinatesResult operator()(ovra_codegen::layout::NativeKernelOrder role,
                                                        ovra_codegen::operator_::Precision precision,
                                                        std::uint32_t rows, std::uint32_t columns,
                                                        std::uint32_t linear) const;
};

using BindingTestBody = ovra_runner::Status (*)(FaultyPacker pack);
using GemmTestBody = ovra_runner::Status (*)(ovra_tests::diagnostic::tests::SgemmFunction sgemm);
using GeluTestBody = ovra_runner::Status (*)(std::span<const std::uint32_t, 8> permutation,
                                             FaultyCoordinates coordinates);

// 16,048 checks, one per 2-byte chunk of the 256 images; fails on an exchanged pair of bytes, on slices
// placed by tile, and passes a packer's error on unchanged.
ovra_runner::Status binding_test_reaches_every_chunk_and_fails_on_faults(ovra_runner::TestFunction registered,
                                                                         BindingTestBody body);

// 17,627 checks, one per element of the 256 products; fails on an element off by 1.125 times the
// tolerance in the last product and on a NaN in the first, passes one off by 0.875 times it everywhere, and
// passes an error of the product on unchanged.
ovra_runner::Status gemm_test_reaches_every_element_and_fails_on_faults(ovra_runner::TestFunction registered,
                                                                        GemmTestBody body);

// 232,064 checks, one per element of the 100 matrices; fails on a coordinate off by one in lane 1 of the
// last group and on a wrong permutation, and returns a storage error converted to its message.
ovra_runner::Status gelu_test_reaches_every_lane_and_fails_on_faults(ovra_runner::TestFunction registered,
                                                                     GeluTestBody body);

ovra_runner::Status randomized_binding_test_reaches_every_chunk_and_fails_on_faults();
ovra_runner::Status randomized_gelu_test_reaches_every_lane_and_fails_on_faults();
ovra_runner::Status randomized_gemm_test_reaches_every_element_and_fails_on_faults();

}  // namespace ovra_tests::deep::suite::tests
