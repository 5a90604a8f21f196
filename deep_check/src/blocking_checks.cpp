#include "ovra/deep_check/blocking_checks.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "ovra/deep_check/cblas_under_check.hpp"
#include "ovra/deep_check/sgemm_calls.hpp"
#include "ovra/trivial_test/rng.hpp"

namespace ovra_tests::deep::diagnostic::tests {

using ovra_runner::Status;

namespace {

using calls::addressed;
using calls::Gemm;
using calls::operand;
using calls::padded;
using calls::stored_left;
using calls::stored_right;

// The sizes aimed at are those of the libraries a Debian 12 host on x86-64 runs; every library is held to
// the same products. OpenBLAS 0.3.21 and BLIS 0.9 compute a row-major product as the column-major product
// of the transposes: their M is our columns, their N our rows.
// - OpenBLAS's kernels block M at P = 96 to 768, the inner extent at Q = 128 to 768 and N at R = 43,568 to
//   261,616 (12,288 in its older AMD kernels); an extent between one and two blocks is split in halves;
//   edge kernels take the last 1 to 15 rows or columns of a block (unrolls of 2 to 16); its SkylakeX
//   kernels take products of at most a million multiply-adds another way, and its threaded builds share
//   products of more than 262,144 among threads.
// - BLIS blocks M at MC up to about 500, the inner extent at KC up to 384 and N at NC of about 3,000 to
//   4,080, and takes skinny products another way, with blocks of its own.
// Long extents past 1,100, and 2,048 past twice every block above: at multiples of 16, 8 and 4, and one
// past each.
constexpr std::array<std::uint32_t, 8> long_extents{1104, 1105, 1112, 1113, 1108, 1109, 2048, 2049};
// Columns past 16,400: M through many blocks.
constexpr std::array<std::uint32_t, 6> wide_extents{16400, 16401, 16404, 16405, 16408, 16409};
// Rows past N's blocks: BLIS's NC, with other extents large enough to be blocked, and OpenBLAS's R.
constexpr std::array<std::uint32_t, 2> tall_extents{4105, 4112};
constexpr std::uint32_t vast_extent = 262161;

struct Extents {
    std::uint32_t rows;
    std::uint32_t inner;
    std::uint32_t columns;
};

// The two other extents of a product with one long extent: a vector, thin ones that take the small-matrix
// path, and ones whose product with a long extent passes a million multiply-adds.
constexpr std::array<std::array<std::uint32_t, 2>, 6> thin_beside_long{{
    {1, 1},
    {3, 2},
    {7, 9},
    {31, 33},
    {32, 36},
    {17, 64},
}};
constexpr std::array<std::array<std::uint32_t, 2>, 6> thin_beside_wide{{
    {1, 1},
    {2, 3},
    {8, 8},
    {9, 7},
    {5, 13},
    {16, 4},
}};

// Rows and inner, inner and columns, rows and columns past 1,024 at once.
constexpr std::array<Extents, 3> two_long_extents{{
    {1025, 1040, 3},
    {2, 1089, 1032},
    {1040, 1, 1104},
}};

// Stride paddings, taken in turn: none, one element (the rows misaligned), sixteen, three. Rows of one or two
// elements a quarter of a million times take a padding of one at most, which triples them already.
constexpr std::array<std::uint32_t, 4> paddings{0, 1, 16, 3};
constexpr std::array<std::uint32_t, 2> short_paddings{0, 1};

// Each shape with every transpose pair, the strides padded in turn.
void add_every_transpose_pair(std::vector<Gemm>& products, std::span<const Extents> shapes,
                              std::span<const std::uint32_t> paddings) {
    for (const Extents& shape : shapes) {
        for (std::uint32_t pair = 0; pair < 4; ++pair) {
            const std::size_t turn = products.size();
            products.push_back(
                padded(Gemm{shape.rows, shape.columns, shape.inner, 0, 0, (pair & 1U) != 0, (pair & 2U) != 0},
                       paddings[turn % paddings.size()], paddings[(turn + 1) % paddings.size()]));
        }
    }
}

// The largest products first, so that the buffers they need are allocated once.
std::vector<Gemm> products_past_the_blocks() {
    std::vector<Gemm> products;
    add_every_transpose_pair(products, two_long_extents, paddings);
    const std::array<Extents, 1> vast{{{vast_extent, 2, 2}}};
    add_every_transpose_pair(products, vast, short_paddings);
    std::vector<Extents> shapes;
    for (const std::uint32_t length : long_extents) {
        for (int axis = 0; axis < 3; ++axis) {
            const auto [one, other] = thin_beside_long[shapes.size() % thin_beside_long.size()];
            shapes.push_back(axis == 0   ? Extents{length, one, other}
                             : axis == 1 ? Extents{one, length, other}
                                         : Extents{one, other, length});
        }
    }
    for (std::size_t index = 0; index < wide_extents.size(); ++index) {
        const auto [rows, inner] = thin_beside_wide[index];
        shapes.push_back({rows, inner, wide_extents[index]});
    }
    shapes.push_back({tall_extents[0], 33, 24});
    shapes.push_back({tall_extents[1], 24, 33});
    add_every_transpose_pair(products, shapes, paddings);
    return products;
}

// Fills a stored row with integers from -8 to 7, sixteen from each 64-bit draw: the operands hold millions
// of elements.
struct SmallIntegers {
    static constexpr std::array<float, 16> values{-8, -7, -6, -5, -4, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7};

    Rng& random;

    void operator()(std::span<float> row) const {
        for (std::size_t at = 0; at < row.size();) {
            std::uint64_t bits = random.gen_u64();
            for (const std::size_t end = std::min(row.size(), at + 16); at < end; ++at, bits >>= 4) {
                row[at] = values[bits & 0xFU];
            }
        }
    }
};

}  // namespace

Status integer_products_past_the_blocking_sizes_are_exact(SgemmFunction sgemm) {
    Rng random = Rng::with_seed(0x424C4F434B494E54ULL);  // "BLOCKINT"
    std::vector<float> left_buffer;
    std::vector<float> right_buffer;
    for (const Gemm& gemm : products_past_the_blocks()) {
        const std::span<float> left =
            calls::reuse(left_buffer, addressed(stored_left(gemm), gemm.left_stride));
        const std::span<float> right =
            calls::reuse(right_buffer, addressed(stored_right(gemm), gemm.right_stride));
        calls::fill_operand(left, stored_left(gemm), gemm.left_stride, SmallIntegers{random});
        calls::fill_operand(right, stored_right(gemm), gemm.right_stride, SmallIntegers{random});
        calls::check_exact(sgemm, gemm, left, right);
    }
    return {};
}

Status long_sums_keep_their_precision(SgemmFunction sgemm) {
    Rng random = Rng::with_seed(0x4C4F4E4753554D53ULL);  // "LONGSUMS"
    std::vector<Gemm> products;
    const std::array<Extents, 2> shapes{{{24, 1105, 42}, {16, 2049, 31}}};
    add_every_transpose_pair(products, shapes, paddings);
    for (const Gemm& gemm : products) {
        // Values in [0.5, 1) times a power of two from 2^-10 to 2^10, one per operand.
        const auto values = [&random](calls::Stored stored, std::uint32_t stride) {
            const float scale =
                std::ldexp(1.0F, static_cast<int>(random.u32(inclusive<std::uint32_t>(0, 20))) - 10);
            return operand(stored, stride, [&random, scale] { return (random.f32() * 0.5F + 0.5F) * scale; });
        };
        const std::vector<float> left = values(stored_left(gemm), gemm.left_stride);
        const std::vector<float> right = values(stored_right(gemm), gemm.right_stride);
        calls::check_within_rounding(sgemm, gemm, left, right);
    }
    return {};
}

Status exhaustive_integer_products_past_the_blocking_sizes_are_exact() {
    return integer_products_past_the_blocking_sizes_are_exact(sgemm_under_check);
}

Status randomized_long_sums_keep_their_precision() {
    return long_sums_keep_their_precision(sgemm_under_check);
}

}  // namespace ovra_tests::deep::diagnostic::tests
