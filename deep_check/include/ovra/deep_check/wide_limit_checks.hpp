// Lengths and sums past 32 bits in host_sgemm and packed_binding, brought about without touching gigabytes:
// buffers as long as a product modulo 2^32 or as the product itself, all over address space reserved but
// never backed by memory; slices whose ends lie past 2^32 and at 2^64 in images too large to allocate.
// Arithmetic done in 32 bits accepts what must be refused, or refuses it for another reason. The functions
// under test are parameters, so that a broken one can be shown to fail them.
#pragma once

#include "ovra/deep_check/packing_checks.hpp"
#include "ovra/deep_check/sgemm_checks.hpp"
#include "ovra/runner/error.hpp"

namespace ovra_tests::deep::diagnostic::tests {

// rows x columns past 2^32: an output as long as the product modulo 2^32 is refused as inconsistent, one as
// long as the product is not; operands as long as their addressed count modulo 2^32 are refused. No call
// may touch its buffers.
ovra_runner::Status sgemm_lengths_are_checked_past_32_bits(SgemmFunction sgemm);

ovra_runner::Status exhaustive_sgemm_lengths_are_checked_past_32_bits();

}  // namespace ovra_tests::deep::diagnostic::tests

namespace ovra_tests::deep::packing::tests {

// Slices ending past 2^32, at 2^64 - 1 and at 2^64, and empty slices far out: the image's length is their
// 64-bit end, too large to allocate, or the binding is refused for an end past the largest byte offset;
// either way before any callback call.
ovra_runner::Status image_lengths_are_summed_past_32_bits(PackFunction pack);

ovra_runner::Status exhaustive_image_lengths_are_summed_past_32_bits();

}  // namespace ovra_tests::deep::packing::tests
