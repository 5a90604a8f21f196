#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <ostream>
#include <string>
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

using ValueOf = std::uint16_t (*)(std::uint16_t logical_tile, std::uint32_t linear);

// Distinct per tile and element, with both bytes non-zero so byte order and placement show.
std::uint16_t tagged(std::uint16_t logical_tile, std::uint32_t linear) {
    return static_cast<std::uint16_t>(0x1010U + logical_tile * 0x100U + linear);
}
std::uint16_t fixed_1234(std::uint16_t, std::uint32_t) {
    return 0x1234;
}
std::uint16_t tile_number(std::uint16_t logical_tile, std::uint32_t) {
    return logical_tile;
}

RegionSlice at(std::uint64_t file_offset, std::uint64_t size, std::uint32_t tile = 0) {
    return RegionSlice{tile, 0, file_offset, size};
}

std::vector<std::uint8_t> bytes_of(const PackedImage& image) {
    return {image.begin(), image.end()};
}

Binding binding_of(std::vector<RegionSlice> slices, std::string name = "weights") {
    return Binding{std::move(name), "f16", {}, std::move(slices)};
}

// Packs `binding`, recording every callback call in `calls`.
Result<PackedImage> pack_logged(const Binding& binding, ValueOf value_of, std::vector<Call>& calls) {
    return packed_binding(binding,
                          [&calls, value_of](std::uint16_t tile, std::uint32_t linear,
                                             std::uint32_t elements) -> Result<std::uint16_t> {
                              calls.push_back({tile, linear, elements});
                              return value_of(tile, linear);
                          });
}

struct ImageCase {
    const char* label;
    std::vector<RegionSlice> slices;
    ValueOf value_of;
    std::vector<std::uint8_t> image;
    std::vector<Call> calls;
};

TEST(PackedBinding, BuildsTheImageInSliceOrder) {
    const std::vector<ImageCase> cases = {
        {"lone empty slice", {at(10, 0)}, tagged, std::vector<std::uint8_t>(10, 0), {}},
        {"every slice empty", {at(3, 0), at(7, 0), at(1, 0)}, tagged, std::vector<std::uint8_t>(7, 0), {}},
        {"empty image", {at(0, 0)}, tagged, {}, {}},
        {"low byte first", {at(0, 2)}, fixed_1234, {0x34, 0x12}, {{0, 0, 1}}},
        {"gap stays zero", {at(4, 2)}, fixed_1234, {0, 0, 0, 0, 0x34, 0x12}, {{0, 0, 1}}},
        {"later slice wins",
         {at(0, 4), at(2, 2)},
         tile_number,
         {0, 0, 1, 0},
         {{0, 0, 2}, {0, 1, 2}, {1, 0, 1}}},
        {"later slice covers an earlier one whole",
         {at(2, 2), at(0, 6)},
         tile_number,
         {1, 0, 1, 0, 1, 0},
         {{0, 0, 1}, {1, 0, 3}, {1, 1, 3}, {1, 2, 3}}},
        {"empty slices keep their positions",
         {at(0, 0), at(8, 0), at(0, 0), at(0, 6)},
         tagged,
         {0x10, 0x13, 0x11, 0x13, 0x12, 0x13, 0, 0},
         {{3, 0, 3}, {3, 1, 3}, {3, 2, 3}}},
        {"length is the largest end, not the last",
         {at(0, 2), at(6, 0), at(2, 2)},
         tagged,
         {0x10, 0x10, 0x10, 0x12, 0, 0},
         {{0, 0, 1}, {2, 0, 1}}},
    };
    for (const ImageCase& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<Call> calls;
        const Result<PackedImage> image = pack_logged(binding_of(c.slices), c.value_of, calls);
        ASSERT_TRUE(image.has_value()) << image.error().message;
        EXPECT_EQ(bytes_of(*image), c.image);
        EXPECT_EQ(calls, c.calls);
    }
}

struct FailureCase {
    const char* label;
    std::string name;
    std::vector<RegionSlice> slices;
    std::string message;
    std::vector<Call> calls;
};

TEST(PackedBinding, RejectsWhatItCannotPackAfterTheCallsBeforeIt) {
    const std::vector<FailureCase> cases = {
        {"no slices", "weights", {}, "binding has no slices", {}},
        {"odd slice", "mapped", {at(0, 3)}, "binding mapped has a non-F16 slice", {}},
        {"name quoted verbatim", "in {0} x", {at(0, 1)}, "binding in {0} x has a non-F16 slice", {}},
        {"empty slice passed over, odd one rejected",
         "mapped",
         {at(0, 0), at(0, 5)},
         "binding mapped has a non-F16 slice",
         {}},
        {"calls for earlier slices are made",
         "mapped",
         {at(0, 4), at(4, 2), at(6, 3)},
         "binding mapped has a non-F16 slice",
         {{0, 0, 2}, {0, 1, 2}, {1, 0, 1}}},
        {"slice ending past the largest offset",
         "huge",
         {at(u64_max, 1)},
         "binding huge has a slice that ends beyond the largest byte offset",
         {}},
        // The image length is judged over every slice before any slice is packed or rejected.
        {"end overflow found before an earlier odd slice",
         "huge",
         {at(0, 3), at(u64_max - 1, 2)},
         "binding huge has a slice that ends beyond the largest byte offset",
         {}},
        {"end exactly at the largest offset cannot be allocated",
         "huge",
         {at(u64_max - 2, 2)},
         "binding huge needs a packed image of 18446744073709551615 bytes, which cannot be allocated",
         {}},
        {"image beyond any allocation, before an earlier odd slice",
         "far",
         {at(0, 3), at(std::uint64_t{1} << 63, 2)},
         "binding far needs a packed image of 9223372036854775810 bytes, which cannot be allocated",
         {}},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<Call> calls;
        const Result<PackedImage> image = pack_logged(binding_of(c.slices, c.name), tagged, calls);
        ASSERT_FALSE(image.has_value());
        EXPECT_EQ(image.error().message, c.message);
        EXPECT_TRUE(image.error().causes.empty());
        EXPECT_EQ(calls, c.calls);
    }
}

TEST(PackedBinding, LogicalTileIsLimitedToSixteenBitsOnlyForSlicesWithData) {
    struct BoundaryCase {
        const char* label;
        std::size_t filled_position;
        std::uint64_t filled_size;
        const char* message;  // nullptr: the call succeeds
    };
    const std::vector<BoundaryCase> cases = {
        {"last sixteen-bit position", 65535, 2, nullptr},
        {"first position past sixteen bits", 65536, 2, conversion_message},
        {"odd slice there is rejected as odd first", 65536, 1, "binding wide has a non-F16 slice"},
        {"empty slices past sixteen bits", 0, 2, nullptr},
    };
    for (const BoundaryCase& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<RegionSlice> slices(65537, at(0, 0));
        slices[c.filled_position] = at(0, c.filled_size);
        std::vector<Call> calls;
        const Result<PackedImage> image =
            pack_logged(binding_of(std::move(slices), "wide"), tile_number, calls);
        if (c.message == nullptr) {
            ASSERT_TRUE(image.has_value()) << image.error().message;
            const auto tile = static_cast<std::uint16_t>(c.filled_position);
            EXPECT_EQ(bytes_of(*image), (std::vector<std::uint8_t>{static_cast<std::uint8_t>(tile & 0xFF),
                                                                   static_cast<std::uint8_t>(tile >> 8)}));
            EXPECT_EQ(calls, (std::vector<Call>{{tile, 0, 1}}));
        } else {
            ASSERT_FALSE(image.has_value());
            EXPECT_EQ(image.error().message, c.message);
            EXPECT_TRUE(calls.empty());
        }
    }
}

TEST(PackedBinding, PassesACallbackErrorOnUnchangedAndStopsCalling) {
    struct ErrorCase {
        const char* label;
        std::size_t failing_call;  // counting from 0
    };
    const std::vector<ErrorCase> cases = {{"first element of the first slice", 0},
                                          {"inside a later slice", 3}};
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.label);
        const Error refusal = make_error("element refused", {"sensor offline"});
        std::size_t made = 0;
        const Result<PackedImage> image =
            packed_binding(binding_of({at(0, 4), at(4, 6)}),
                           [&](std::uint16_t, std::uint32_t, std::uint32_t) -> Result<std::uint16_t> {
                               if (made++ == c.failing_call) {
                                   return std::unexpected(refusal);
                               }
                               return std::uint16_t{7};
                           });
        ASSERT_FALSE(image.has_value());
        EXPECT_EQ(image.error(), refusal);
        EXPECT_EQ(made, c.failing_call + 1);
    }
}

TEST(PackedBinding, CallbackStateCarriesAcrossSlices) {
    const Result<PackedImage> image = packed_binding(
        binding_of({at(0, 4), at(0, 0), at(4, 2)}),
        [next = std::uint16_t{1}](std::uint16_t, std::uint32_t,
                                  std::uint32_t) mutable -> Result<std::uint16_t> { return next++; });
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(bytes_of(*image), (std::vector<std::uint8_t>{1, 0, 2, 0, 3, 0}));
}

TEST(PackedBinding, PhysicalPlacementAndDescriptionDoNotChangeTheImage) {
    const Binding reference{"act", "f16", {2, 3}, {at(0, 4, 0), at(4, 2, 1), at(6, 0, 2), at(2, 4, 3)}};
    std::vector<Call> reference_calls;
    const Result<PackedImage> expected = pack_logged(reference, tagged, reference_calls);
    ASSERT_TRUE(expected.has_value());

    Binding moved = reference;
    moved.dtype = "bf16";
    moved.shape = {7};
    const std::uint32_t permuted_tiles[] = {3, 0, 2, 1};
    for (std::size_t i = 0; i < moved.slices.size(); ++i) {
        moved.slices[i].tile = permuted_tiles[i];
        moved.slices[i].tile_address = 0x4000 + static_cast<std::uint32_t>(i) * 0x100;
    }
    std::vector<Call> moved_calls;
    const Result<PackedImage> image = pack_logged(moved, tagged, moved_calls);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(bytes_of(*image), bytes_of(*expected));
    EXPECT_EQ(moved_calls, reference_calls);
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
        const Result<PackedImage> image =
            packed_binding(binding, [](std::uint16_t, std::uint32_t, std::uint32_t) -> Result<std::uint16_t> {
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
