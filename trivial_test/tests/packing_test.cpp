// What the deep check leaves to the unit level: the messages of bindings no image can be made for, and
// that they are found before any slice is judged; an image of no bytes; a binding's dtype and shape, which
// play no part; a callback's own state; and the memory an image commits. Images, callback calls and the
// other errors are the deep check's (deep::packing::tests).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "ovra/trivial_test/packing.hpp"

namespace ovra_tests {
namespace {

using ovra_package::Binding;
using ovra_package::RegionSlice;

constexpr const char* conversion_message = "out of range integral type conversion attempted";
constexpr std::uint64_t u64_max = std::numeric_limits<std::uint64_t>::max();

struct Call {
    std::uint16_t logical_tile;
    std::uint32_t linear;
    std::uint32_t elements;

    friend bool operator==(const Call&, const Call&) = default;
};

void PrintTo(const Call& call, std::ostream* out) {
    *out << '(' << call.logical_tile << ", " << call.linear << ", " << call.elements << ')';
}

RegionSlice at(std::uint64_t file_offset, std::uint64_t size) {
    return RegionSlice{0, 0, file_offset, size};
}

Binding binding_of(std::vector<RegionSlice> slices, std::string name = "weights") {
    return Binding{std::move(name), "f16", {}, std::move(slices)};
}

// Packs `binding`, recording every callback call in `calls`; each element's value is distinct per tile and
// element, with both bytes non-zero so that byte order and placement show.
ovra_runner::Result<PackedImage> pack_logged(const Binding& binding, std::vector<Call>& calls) {
    return packed_binding(binding,
                          [&calls](std::uint16_t tile, std::uint32_t linear,
                                   std::uint32_t elements) -> ovra_runner::Result<std::uint16_t> {
                              calls.push_back({tile, linear, elements});
                              return static_cast<std::uint16_t>(0x1010U + tile * 0x100U + linear);
                          });
}

TEST(PackedBinding, BuildsTheImageFromOffsetsAndSizesAlone) {
    struct ImageCase {
        const char* label;
        Binding binding;
        std::vector<std::uint8_t> image;
        std::vector<Call> calls;
    };
    const std::vector<ImageCase> cases = {
        {"an image of no bytes", binding_of({at(0, 0)}), {}, {}},
        {"dtype and shape play no part",
         Binding{"act", "bf16", {7}, {at(0, 4), at(6, 0), at(2, 2)}},
         {0x10, 0x10, 0x10, 0x12, 0, 0},
         {{0, 0, 2}, {0, 1, 2}, {2, 0, 1}}},
    };
    for (const ImageCase& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<Call> calls;
        const ovra_runner::Result<PackedImage> image = pack_logged(c.binding, calls);
        ASSERT_TRUE(image.has_value()) << image.error().message;
        EXPECT_EQ(std::vector<std::uint8_t>(image->begin(), image->end()), c.image);
        EXPECT_EQ(calls, c.calls);
    }
}

// The image's length is judged over every slice before any slice is packed or refused.
TEST(PackedBinding, RefusesAnImageNoMemoryCanHoldBeforeAnySlice) {
    struct FailureCase {
        const char* label;
        std::vector<RegionSlice> slices;
        std::string message;
    };
    const std::vector<FailureCase> cases = {
        {"slice ending past the largest offset",
         {at(u64_max, 1)},
         "binding huge has a slice that ends beyond the largest byte offset"},
        {"end overflow found before an earlier odd slice",
         {at(0, 3), at(u64_max - 1, 2)},
         "binding huge has a slice that ends beyond the largest byte offset"},
        {"end exactly at the largest offset cannot be allocated",
         {at(u64_max - 2, 2)},
         "binding huge needs a packed image of 18446744073709551615 bytes, which cannot be allocated"},
        {"image beyond any allocation, before an earlier odd slice",
         {at(0, 3), at(std::uint64_t{1} << 63, 2)},
         "binding huge needs a packed image of 9223372036854775810 bytes, which cannot be allocated"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<Call> calls;
        const ovra_runner::Result<PackedImage> image = pack_logged(binding_of(c.slices, "huge"), calls);
        ASSERT_FALSE(image.has_value());
        EXPECT_EQ(image.error().message, c.message);
        EXPECT_TRUE(image.error().causes.empty());
        EXPECT_TRUE(calls.empty());
    }
}

// The callback is taken by value once and then called in place, so that its state carries across slices.
TEST(PackedBinding, CallbackStateCarriesAcrossSlices) {
    const ovra_runner::Result<PackedImage> image =
        packed_binding(binding_of({at(0, 4), at(0, 0), at(4, 2)}),
                       [next = std::uint16_t{1}](std::uint16_t, std::uint32_t, std::uint32_t) mutable
                       -> ovra_runner::Result<std::uint16_t> { return next++; });
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(std::vector<std::uint8_t>(image->begin(), image->end()),
              (std::vector<std::uint8_t>{1, 0, 2, 0, 3, 0}));
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool under_sanitizer = true;
#else
constexpr bool under_sanitizer = false;
#endif

// How packing went in a child process: the error message ("" on success), whether the image had the
// expected length and last element, and the child's peak resident memory.
struct ChildPacking {
    std::string message;
    bool image_as_expected = false;
    long peak_kib = 0;
};

// Packs `binding` (every element 0x1234) in a forked child, so that the peak resident memory read from
// getrusage is that of this one call and not of whatever the test process did before.
ChildPacking pack_in_child(const Binding& binding, std::uint64_t expected_length) {
    int channel[2];
    if (pipe(channel) != 0) {
        ADD_FAILURE() << "pipe failed";
        return {};
    }
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const ovra_runner::Result<PackedImage> image = packed_binding(
            binding, [](std::uint16_t, std::uint32_t, std::uint32_t) -> ovra_runner::Result<std::uint16_t> {
                return std::uint16_t{0x1234};
            });
        const bool as_expected = image && image->size() == expected_length && expected_length >= 2 &&
                                 (*image)[expected_length - 2] == 0x34 &&
                                 (*image)[expected_length - 1] == 0x12 && (*image)[0] == 0;
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const std::string report =
            fmt::format("{} {} {}", usage.ru_maxrss, as_expected ? 1 : 0, image ? "" : image.error().message);
        const bool written =
            write(channel[1], report.data(), report.size()) == static_cast<ssize_t>(report.size());
        _exit(written ? 0 : 1);
    }
    close(channel[1]);
    std::string report;
    char buffer[256];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;) {
        report.append(buffer, static_cast<std::size_t>(got));
    }
    close(channel[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        ADD_FAILURE() << "the packing child did not exit cleanly: " << report;
        return {};
    }
    ChildPacking outcome;
    int matched = 0;
    int consumed = 0;
    if (std::sscanf(report.c_str(), "%ld %d %n", &outcome.peak_kib, &matched, &consumed) < 2) {
        ADD_FAILURE() << "unreadable report from the packing child: " << report;
        return {};
    }
    outcome.image_as_expected = matched == 1;
    outcome.message = report.substr(static_cast<std::size_t>(consumed));
    return outcome;
}

TEST(PackedBinding, MemoryFollowsTheBytesWrittenNotTheImageLength) {
    if (under_sanitizer) {
        GTEST_SKIP() << "sanitizer allocators fill or shadow the image, so resident memory says nothing here";
    }
    constexpr std::uint64_t gib = std::uint64_t{1} << 30;
    constexpr long limit_kib = 64 * 1024;
    struct MemoryCase {
        const char* label;
        std::vector<RegionSlice> slices;
        std::uint64_t length;  // of the image on success
        const char* message;   // "" on success
    };
    const std::vector<MemoryCase> cases = {
        {"one element at 16 GiB", {at(16 * gib, 2)}, 16 * gib + 2, ""},
        {"a slice of 2^32 elements fails before any element is written",
         {at(0, 8 * gib)},
         0,
         conversion_message},
        {"an element far out, then a slice of 2^32 + 1 elements",
         {at(16 * gib, 2), at(0, 8 * gib + 2)},
         0,
         conversion_message},
    };
    for (const MemoryCase& c : cases) {
        SCOPED_TRACE(c.label);
        const ChildPacking outcome = pack_in_child(binding_of(c.slices, "sparse"), c.length);
        if (outcome.message.ends_with("which cannot be allocated")) {
            GTEST_SKIP() << "this system refuses the address space: " << outcome.message;
        }
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_EQ(outcome.image_as_expected, c.message[0] == '\0');
        EXPECT_LT(outcome.peak_kib, limit_kib);
    }
}

}  // namespace
}  // namespace ovra_tests
