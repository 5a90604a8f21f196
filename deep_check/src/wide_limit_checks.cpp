#include "ovra/deep_check/wide_limit_checks.hpp"

#include <sys/mman.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "ovra/deep_check/check_that.hpp"
#include "ovra/trivial_test/diagnostic.hpp"

using ovra_runner::Status;

namespace ovra_tests::deep::diagnostic::tests {

namespace {

constexpr std::string_view inconsistent = "host GEMM output dimensions are inconsistent";
constexpr std::string_view conversion = "out of range integral type conversion attempted";

// Address space for `count` floats, reserved without memory behind it: every operand and output below
// lies in it, and a call that reads or writes any of them, where it must refuse, ends the process. Nothing
// is ever written, so the check costs no memory (and no page faults).
struct ReservedFloats {
    float* start = nullptr;
    std::size_t count = 0;

    explicit ReservedFloats(std::size_t floats) : count(floats) {
        void* const range = ::mmap(nullptr, count * sizeof(float), PROT_NONE,
                                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        check_that(range != MAP_FAILED, [&] {
            return fmt::format("cannot reserve {} bytes of address space to check lengths past 32 bits: {}",
                               count * sizeof(float), std::strerror(errno));
        });
        start = static_cast<float*>(range);
    }
    ReservedFloats(const ReservedFloats&) = delete;
    ReservedFloats& operator=(const ReservedFloats&) = delete;
    ~ReservedFloats() { ::munmap(start, count * sizeof(float)); }
};

struct WideCall {
    std::string_view what;
    std::uint32_t rows;
    std::uint32_t columns;
    std::uint32_t inner;
    std::uint32_t left_stride;
    std::uint32_t right_stride;
    std::size_t left_length;
    std::size_t right_length;
    std::size_t output_length;
    // Empty: refused with any message but the length's and the conversion's.
    std::string_view message;
};

}  // namespace

Status sgemm_lengths_are_checked_past_32_bits(SgemmFunction sgemm) {
    constexpr std::size_t wide = (std::size_t{1} << 32) + 65536;  // 65536 x 65537
    const WideCall calls[] = {
        {"an output as long as 65536 x 65537 modulo 2^32", 65536, 65537, 1, 1, 65537, 1, 1, 65536,
         inconsistent},
        {"an empty output for 65536 x 65536 x 0", 65536, 65536, 0, 0, 65536, 0, 0, 0, inconsistent},
        {"an output of 65536 x 65537 and a left operand of one element", 65536, 65537, 1, 1, 65537, 1, 65537,
         wide, ""},
        {"a left operand of 65536 x 65537 as long as that modulo 2^32", 65536, 1, 65537, 65537, 1, 65536,
         65537, 65536, ""},
        {"a right operand of 65537 x 65536 as long as that modulo 2^32", 1, 65536, 65537, 65537, 65536, 65537,
         65536, 65536, ""},
    };
    const ReservedFloats reserved(wide);
    const std::span<float> buffer(reserved.start, reserved.count);
    for (const WideCall& call : calls) {
        const Status status = sgemm(buffer.first(call.left_length), buffer.first(call.right_length),
                                    buffer.first(call.output_length), call.rows, call.columns, call.inner,
                                    call.left_stride, call.right_stride, false, false);
        check_that(!status.has_value(), [&] { return fmt::format("{}: accepted", call.what); });
        const std::string& message = status.error().message;
        check_that(
            call.message.empty() ? message != inconsistent && message != conversion : message == call.message,
            [&] { return fmt::format("{}: refused with \"{}\"", call.what, message); });
    }
    return {};
}

Status exhaustive_sgemm_lengths_are_checked_past_32_bits() {
    return sgemm_lengths_are_checked_past_32_bits(ovra_tests::diagnostic::host_sgemm);
}

}  // namespace ovra_tests::deep::diagnostic::tests

namespace ovra_tests::deep::packing::tests {

namespace {

constexpr std::uint64_t beyond_2_63 = std::uint64_t{1} << 63;
constexpr std::uint64_t largest = std::numeric_limits<std::uint64_t>::max();

struct WideBinding {
    std::string_view what;
    std::vector<ovra_package::RegionSlice> slices;
    std::string message;
};

std::string unallocatable(std::uint64_t bytes) {
    return fmt::format("binding wide needs a packed image of {} bytes, which cannot be allocated", bytes);
}

}  // namespace

Status image_lengths_are_summed_past_32_bits(PackFunction pack) {
    constexpr std::string_view beyond = "binding wide has a slice that ends beyond the largest byte offset";
    const WideBinding bindings[] = {
        // Summed in 32 bits, the end is 1 and the odd size is refused instead.
        {"an odd slice ending at 2^63 + 2^32 + 1",
         {{0, 0, beyond_2_63 + 0xFFFFFFFEU, 3}},
         unallocatable(beyond_2_63 + 0x100000001U)},
        {"an empty slice at 2^63 + 2^32 after one at 0",
         {{0, 0, 0, 2}, {1, 0, beyond_2_63 + 0x100000000U, 0}},
         unallocatable(beyond_2_63 + 0x100000000U)},
        // The largest end the model allows.
        {"an odd slice ending at 2^64 - 1", {{0, 0, largest - 3, 3}}, unallocatable(largest)},
        // Wrapped, the end is 0 and the odd size is refused instead; no slice before it is packed.
        {"an odd slice ending at 2^64 after one at 0",
         {{0, 0, 0, 2}, {1, 0, largest, 1}},
         std::string(beyond)},
        {"an odd slice of 2^64 - 1 bytes at 1", {{0, 0, 1, largest}}, std::string(beyond)},
    };
    for (const WideBinding& wide : bindings) {
        const ovra_package::Binding binding{"wide", "f16", {}, wide.slices};
        std::vector<CallbackCall> calls;
        const ovra_runner::Result<PackedImage> packed =
            pack(binding, RecordingCallback{&calls, ~std::uint64_t{0}});
        check_that(!packed.has_value(),
                   [&] { return fmt::format("{}: packed into {} bytes", wide.what, packed->size()); });
        check_that(packed.error().message == wide.message, [&] {
            return fmt::format("{}: refused with \"{}\", not \"{}\"", wide.what, packed.error().message,
                               wide.message);
        });
        check_that(calls.empty(), [&] {
            return fmt::format("{}: the callback was called {} times", wide.what, calls.size());
        });
    }
    return {};
}

Status exhaustive_image_lengths_are_summed_past_32_bits() {
    return image_lengths_are_summed_past_32_bits(packed_binding<RecordingCallback>);
}

}  // namespace ovra_tests::deep::packing::tests
