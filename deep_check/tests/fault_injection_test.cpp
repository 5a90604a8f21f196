// Every test of the deep check fails when one realistic fault is injected into the code it checks, through
// its function parameter: a check that cannot fail proves nothing. That each passes on the real code is
// shown by running ovra_deep_check itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>

#include "ovra/codegen/storage_coordinates.hpp"
#include "ovra/codegen/storage_error_text.hpp"
#include "ovra/deep_check/blocking_checks.hpp"
#include "ovra/deep_check/concurrency_checks.hpp"
#include "ovra/deep_check/generator_checks.hpp"
#include "ovra/deep_check/kernel_sweep.hpp"
#include "ovra/deep_check/packing_checks.hpp"
#include "ovra/deep_check/registry.hpp"
#include "ovra/deep_check/rendering_checks.hpp"
#include "ovra/deep_check/runner_checks.hpp"
#include "ovra/deep_check/sgemm_checks.hpp"
#include "ovra/deep_check/storage_checks.hpp"
#include "ovra/deep_check/suite_checks.hpp"
#include "ovra/deep_check/wide_limit_checks.hpp"
#include "ovra/runner/runner.hpp"
#include "ovra/trivial_test/binding_tests.hpp"
#include "ovra/trivial_test/diagnostic.hpp"
#include "ovra/trivial_test/packing.hpp"
#include "stand_in_cblas.hpp"

namespace ovra_tests::deep {
namespace {

namespace codegen = ovra_codegen::storage;
using ovra_codegen::layout::NativeKernelOrder;
using ovra_codegen::operator_::Precision;
using ovra_codegen::storage::CoordinatesResult;
using ovra_codegen::storage::MatrixCoordinates;

// The message of the check that stopped `test`, or "" when it passed.
std::string failure_of(const std::function<ovra_runner::Status()>& test) {
    try {
        const ovra_runner::Status status = test();
        return status ? std::string() : "returned: " + status.error().message;
    } catch (const ovra_runner::CheckFailure& failure) {
        return failure.message;
    }
}

// Storage orders.

std::uint32_t f32_as_wide_as_f16(Precision precision) {
    return std::holds_alternative<ovra_codegen::operator_::F32>(precision)
               ? 16
               : codegen::amp_micro_dimension(precision);
}

CoordinatesResult transposed_left_not_swapped_back(NativeKernelOrder role, Precision precision,
                                                   std::uint32_t rows, std::uint32_t columns,
                                                   std::uint32_t linear) {
    if (role == NativeKernelOrder::TransposedLeft) {
        return codegen::amp_matrix_coordinates(NativeKernelOrder::Left, precision, columns, rows, linear);
    }
    return codegen::amp_matrix_coordinates(role, precision, rows, columns, linear);
}

// Output panels stored without their interleave: Left order with 16-column panels.
CoordinatesResult output_without_interleave(NativeKernelOrder role, Precision precision, std::uint32_t rows,
                                            std::uint32_t columns, std::uint32_t linear) {
    if (role == NativeKernelOrder::Output) {
        return codegen::amp_matrix_coordinates(NativeKernelOrder::Left, ovra_codegen::operator_::F16{}, rows,
                                               columns, linear);
    }
    return codegen::amp_matrix_coordinates(role, precision, rows, columns, linear);
}

// The panel size computed in 32 bits, wrapping instead of overflowing.
CoordinatesResult left_panel_wraps(NativeKernelOrder role, Precision precision, std::uint32_t rows,
                                   std::uint32_t columns, std::uint32_t linear) {
    if (role == NativeKernelOrder::Left &&
        std::uint64_t{rows} * codegen::amp_micro_dimension(precision) > 0xFFFFFFFFU) {
        return MatrixCoordinates{0, 0};
    }
    return codegen::amp_matrix_coordinates(role, precision, rows, columns, linear);
}

// Right-matrix blocks numbered along the columns first.
CoordinatesResult blocks_along_the_columns(Precision precision, std::uint32_t rows, std::uint32_t columns,
                                           std::uint32_t linear) {
    const CoordinatesResult checked = codegen::right_matrix_coordinates(precision, rows, columns, linear);
    const std::uint32_t inner = codegen::amp_micro_dimension(precision);
    if (!checked || columns < 16) {
        return checked;
    }
    const std::uint32_t block = linear / (inner * 16);
    const std::uint32_t offset = linear % (inner * 16);
    const std::uint32_t column_groups = columns / 16;
    return MatrixCoordinates{block / column_groups * inner + offset % inner,
                             block % column_groups * 16 + offset / inner};
}

// Packing.

ovra_runner::Result<PackedImage> one_byte_short(const ovra_package::Binding& binding,
                                                packing::tests::RecordingCallback value) {
    ovra_runner::Result<PackedImage> image = packed_binding(binding, value);
    if (image && image->length > 0) {
        --image->length;
    }
    return image;
}

// Slices past the 16-bit limit are dropped instead of refused.
ovra_runner::Result<PackedImage> no_tile_limit(const ovra_package::Binding& binding,
                                               packing::tests::RecordingCallback value) {
    ovra_package::Binding trimmed = binding;
    if (trimmed.slices.size() > 65536) {
        trimmed.slices.resize(65536);
    }
    return packed_binding(trimmed, value);
}

// Slices that end past the largest byte offset passed over, as if their ends had wrapped to small ones.
ovra_runner::Result<PackedImage> ends_wrapping_at_2_64(const ovra_package::Binding& binding,
                                                       packing::tests::RecordingCallback value) {
    ovra_package::Binding wrapped = binding;
    std::erase_if(wrapped.slices, [](const ovra_package::RegionSlice& slice) {
        return slice.size > std::numeric_limits<std::uint64_t>::max() - slice.file_offset;
    });
    return packed_binding(wrapped, value);
}

// Host SGEMM and indexing.

using ovra_tests::diagnostic::host_sgemm;

// Runs the real product, then applies `Fault` to the output of a product that succeeded.
template <void (*Fault)(std::span<float> output, std::uint32_t rows)>
ovra_runner::Status faulty_sgemm(std::span<const float> left, std::span<const float> right,
                                 std::span<float> output, std::uint32_t rows, std::uint32_t columns,
                                 std::uint32_t inner, std::uint32_t left_stride, std::uint32_t right_stride,
                                 bool transpose_left, bool transpose_right) {
    ovra_runner::Status status = host_sgemm(left, right, output, rows, columns, inner, left_stride,
                                            right_stride, transpose_left, transpose_right);
    if (status && !output.empty()) {
        Fault(output, rows);
    }
    return status;
}

void alpha_slightly_off(std::span<float> output, std::uint32_t /*rows*/) {
    for (float& value : output) {
        value *= 1.0000001F;
    }
}
void last_element_off_beyond_16_rows(std::span<float> output, std::uint32_t rows) {
    if (rows > 16) {
        output.back() += 1.0F;
    }
}
void first_element_off_by_a_thousandth(std::span<float> output, std::uint32_t /*rows*/) {
    output.front() *= 1.001F;
}

// Accepts whatever the real one refuses, as if its checks were forgotten.
ovra_runner::Status sgemm_without_checks(std::span<const float> left, std::span<const float> right,
                                         std::span<float> output, std::uint32_t rows, std::uint32_t columns,
                                         std::uint32_t inner, std::uint32_t left_stride,
                                         std::uint32_t right_stride, bool transpose_left,
                                         bool transpose_right) {
    static_cast<void>(host_sgemm(left, right, output, rows, columns, inner, left_stride, right_stride,
                                 transpose_left, transpose_right));
    return {};
}

// A plain product with a CBLAS's signature: safe from any number of threads, but the check is told that its
// calls must take turns.
void plain_sgemm(CBLAS_ORDER, CBLAS_TRANSPOSE transpose_left, CBLAS_TRANSPOSE transpose_right, int rows,
                 int columns, int inner, float alpha, const float* left, int left_stride, const float* right,
                 int right_stride, float, float* output, int output_stride) {
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            float sum = 0.0F;
            for (int k = 0; k < inner; ++k) {
                const float a =
                    transpose_left == CblasTrans ? left[k * left_stride + row] : left[row * left_stride + k];
                const float b = transpose_right == CblasTrans ? right[column * right_stride + k]
                                                              : right[k * right_stride + column];
                sum += a * b;
            }
            output[row * output_stride + column] = alpha * sum;
        }
    }
}
constexpr ovra_tests::diagnostic::Cblas plain_cblas_taking_turns{plain_sgemm, true, false};

// Lets every call into the library at once, whatever the library needs.
ovra_runner::Status sgemm_without_turns(const ovra_tests::diagnostic::Cblas& blas,
                                        std::span<const float> left, std::span<const float> right,
                                        std::span<float> output, std::uint32_t rows, std::uint32_t columns,
                                        std::uint32_t inner, std::uint32_t left_stride,
                                        std::uint32_t right_stride, bool transpose_left,
                                        bool transpose_right) {
    ovra_tests::diagnostic::Cblas unguarded = blas;
    unguarded.serialised = false;
    return ovra_tests::diagnostic::host_sgemm_through(unguarded, left, right, output, rows, columns, inner,
                                                      left_stride, right_stride, transpose_left,
                                                      transpose_right);
}

// A later block of 256 of the inner extent that overwrites the sum instead of adding to it.
float later_block_overwrites(std::span<const float> row, std::span<const float> column) {
    const std::size_t last = row.size() > 256 ? (row.size() - 1) / 256 * 256 : 0;
    return stand_in::in_order(row.subspan(last), column.subspan(last));
}

// Past 1,024 terms, the factors cut to bfloat16's 8 significant bits: small integers stay exact.
float factors_cut_to_bfloat16_past_1024(std::span<const float> row, std::span<const float> column) {
    const auto cut = [](float value) {
        return std::bit_cast<float>(std::bit_cast<std::uint32_t>(value) & 0xFFFF0000U);
    };
    float sum = 0.0F;
    for (std::size_t k = 0; k < row.size(); ++k) {
        sum += row.size() > 1024 ? cut(row[k]) * cut(column[k]) : row[k] * column[k];
    }
    return sum;
}

// The kernel sweep over a stand-in OpenBLAS that is wrong past 1,024 columns under its kernel Penryn.
ovra_runner::Status sweep_with_a_wrong_kernel() {
    const ovra_runner::Result<CblasLibrary> stand_in = load_cblas(OVRA_FAKE_OPENBLAS);
    if (!stand_in) {
        return std::unexpected(stand_in.error());
    }
    constexpr std::array<std::string_view, 1> names{"Penryn"};
    return diagnostic::tests::sgemm_checks_pass_under_every_kernel(
        {OVRA_DEEP_CHECK, &*stand_in, names, std::chrono::seconds(120)});
}

// The output's length compared with rows x columns taken in 32 bits. What a call it wrongly accepts would do
// next is left out: it returns at once.
ovra_runner::Status output_length_in_32_bits(std::span<const float> left, std::span<const float> right,
                                             std::span<float> output, std::uint32_t rows,
                                             std::uint32_t columns, std::uint32_t inner,
                                             std::uint32_t left_stride, std::uint32_t right_stride,
                                             bool transpose_left, bool transpose_right) {
    if (static_cast<std::uint32_t>(output.size()) != rows * columns) {
        return std::unexpected(ovra_runner::make_error("host GEMM output dimensions are inconsistent"));
    }
    if (output.size() != std::size_t{rows} * columns) {
        return {};
    }
    return host_sgemm(left, right, output, rows, columns, inner, left_stride, right_stride, transpose_left,
                      transpose_right);
}

std::size_t batch_without_rows(std::span<const std::uint32_t> shape, std::size_t batch, std::uint32_t row,
                               std::uint32_t column, bool transpose) {
    const std::size_t columns = shape.back();
    return batch * columns + ovra_tests::diagnostic::matrix_index(shape, 0, row, column, transpose);
}

// The generator: Rng with the draws that `Fault` defines replaced by its own.

template <class Fault>
struct FaultyRng {
    Rng rng;

    static FaultyRng with_seed(std::uint64_t seed) { return {Rng::with_seed(seed)}; }

    std::uint64_t gen_u64() {
        if constexpr (requires(Rng & r) { Fault::gen_u64(r); }) {
            return Fault::gen_u64(rng);
        } else {
            return rng.gen_u64();
        }
    }
    std::uint32_t gen_mod_u32(std::uint32_t n) {
        if constexpr (requires(Rng & r) { Fault::gen_mod_u32(r, n); }) {
            return Fault::gen_mod_u32(rng, n);
        } else {
            return rng.gen_mod_u32(n);
        }
    }
    std::uint32_t u32(Range<std::uint32_t> range) {
        if constexpr (requires(Rng & r) { Fault::u32(r, range); }) {
            return Fault::u32(rng, range);
        } else {
            return rng.u32(range);
        }
    }
    float f32() {
        if constexpr (requires(Rng & r) { Fault::f32(r); }) {
            return Fault::f32(rng);
        } else {
            return rng.f32();
        }
    }
    std::uint32_t gen_u32() { return rng.gen_u32(); }
    std::uint64_t gen_mod_u64(std::uint64_t n) { return rng.gen_mod_u64(n); }
    std::uint8_t u8(Range<std::uint8_t> range) { return rng.u8(range); }
    std::uint64_t usize(Range<std::uint64_t> range) { return rng.usize(range); }
    bool boolean() { return rng.boolean(); }
    float f32_inclusive() { return rng.f32_inclusive(); }
    void shuffle(std::span<std::uint32_t> slice) { rng.shuffle(slice); }
};

// The increment with its bit 1 flipped.
struct IncrementOffByABit {
    static std::uint64_t gen_u64(Rng& r) {
        r.state += 2;
        return r.gen_u64();
    }
};

// Rejects a low product equal to the threshold too.
struct ThresholdOffByOne {
    static std::uint32_t gen_mod_u32(Rng& r, std::uint32_t n) {
        const std::uint32_t threshold = (0U - n) % n;
        while (true) {
            const std::uint64_t product = std::uint64_t{r.gen_u32()} * n;
            if (threshold == 0 || static_cast<std::uint32_t>(product) > threshold) {
                return static_cast<std::uint32_t>(product >> 32);
            }
        }
    }
};

// Keeps a draw that rounded to 1.0.
struct F32KeepsOne {
    static float f32(Rng& r) { return r.f32_inclusive(); }
};

// Reduces by the remainder: the low values of a range come up more often.
struct ModuloReduction {
    static std::uint32_t u32(Rng& r, Range<std::uint32_t> range) {
        const std::uint32_t high =
            range.end.kind == BoundKind::Excluded ? range.end.value - 1 : range.end.value;
        return range.start.value + r.gen_u32() % (high - range.start.value + 1);
    }
};

// Renderings.

// InvalidPaddingGroups rendered with its fields in its message's order.
rendering::Texts padding_fields_in_message_order(const rendering::Vocabulary& value) {
    rendering::Texts texts = rendering::library_texts(value);
    const auto* error = std::get_if<ovra_codegen::layout::LayoutError>(&value);
    if (const auto* padding =
            error ? std::get_if<ovra_codegen::layout::InvalidPaddingGroups>(error) : nullptr) {
        texts.debug = fmt::format("InvalidPaddingGroups {{ extent: {}, groups: {}, partitions: {} }}",
                                  padding->extent, padding->groups, padding->partitions);
        texts.formatted_debug = texts.debug;
    }
    return texts;
}

// AmpBlock's field called after BlockMajorBlock's.
rendering::Texts amp_block_field_renamed(const rendering::Vocabulary& value) {
    rendering::Texts texts = rendering::library_texts(value);
    for (std::string* text : {&texts.debug, &texts.formatted_debug}) {
        if (text->starts_with("AmpBlock { role: ")) {
            text->replace(0, 17, "AmpBlock { order: ");
        }
    }
    return texts;
}

// The runner.

std::vector<std::string_view> without(std::span<const std::string_view> args, std::string_view option) {
    std::vector<std::string_view> kept;
    std::ranges::remove_copy(args, std::back_inserter(kept), option);
    return kept;
}

// Exits 0 however the run went.
int exits_0_after_failures(std::span<const ovra_runner::TestDescriptor> table,
                           std::span<const std::string_view> args,
                           const ovra_runner::RunEnvironment& environment,
                           const ovra_runner::ConsoleWriters& console) {
    static_cast<void>(ovra_runner::run_tests(table, args, environment, console));
    return 0;
}

// Runs every test in this process, --isolate or not.
int isolation_ignored(std::span<const ovra_runner::TestDescriptor> table,
                      std::span<const std::string_view> args, const ovra_runner::RunEnvironment& environment,
                      const ovra_runner::ConsoleWriters& console) {
    return ovra_runner::run_tests(table, without(args, "--isolate"), environment, console);
}

// The three tests, weakened.

// Hands the real packing to the test, whatever packing it was given.
ovra_runner::Status binding_test_ignoring_its_packer(suite::tests::FaultyPacker /*pack*/) {
    return ovra_tests::tests::randomized_binding_values_follow_logical_slice_order();
}

ovra_runner::Status gemm_test_checking_nothing() {
    return {};
}

struct FaultCase {
    std::string_view test;
    std::function<ovra_runner::Status()> broken;
    // A part of the message the broken code must fail with.
    std::string_view message;
};

TEST(DeepCheck, EachTestFailsOnAFaultInTheCodeItChecks) {
    using namespace storage::tests;
    using namespace packing::tests;
    using namespace diagnostic::tests;
    using namespace rng::tests;
    const auto amp = codegen::amp_matrix_coordinates;
    const auto right = codegen::right_matrix_coordinates;
    const std::vector<FaultCase> cases = {
        {"deep::diagnostic::tests::exhaustive_integer_products_past_the_blocking_sizes_are_exact",
         [] {
             return integer_products_past_the_blocking_sizes_are_exact(
                 stand_in::through<stand_in::product<later_block_overwrites>>);
         },
         "1025 x 1040 x 3 (rows x inner x columns)"},
        {"deep::diagnostic::tests::exhaustive_matrix_index_counts_batches_rows_and_columns",
         [] {
             return matrix_index_counts_batches_rows_and_columns(batch_without_rows,
                                                                 ovra_tests::diagnostic::product);
         },
         "matrix_index of [7, 2, 1], batch 1, (0, 0) is 1, not 2"},
        {"deep::diagnostic::tests::exhaustive_sgemm_checks_pass_under_every_kernel",
         sweep_with_a_wrong_kernel,
         "Penryn: exhaustive_integer_products_past_the_blocking_sizes_are_exact: 2 x 1089 x 1032"},
        {"deep::diagnostic::tests::exhaustive_sgemm_lengths_are_checked_past_32_bits",
         [] { return sgemm_lengths_are_checked_past_32_bits(output_length_in_32_bits); },
         "an output as long as 65536 x 65537 modulo 2^32: accepted"},
        {"deep::diagnostic::tests::exhaustive_sgemm_refuses_arguments_at_their_limits",
         [] { return sgemm_refuses_arguments_at_their_limits(sgemm_without_checks); }, ": accepted"},
        {"deep::diagnostic::tests::exhaustive_small_integer_products_are_exact",
         [] { return small_integer_products_are_exact(faulty_sgemm<alpha_slightly_off>); },
         "element (0, 0) is"},
        {"deep::diagnostic::tests::randomized_concurrent_products_equal_products_alone",
         [] {
             return concurrent_products_equal_products_alone(sgemm_without_turns, plain_cblas_taking_turns,
                                                             true);
         },
         "inside a library whose calls must take turns at once"},
        {"deep::diagnostic::tests::randomized_integer_products_up_to_64_are_exact",
         [] { return integer_products_up_to_64_are_exact(faulty_sgemm<last_element_off_beyond_16_rows>); },
         "64 x 64 x 64 (rows x inner x columns)"},
        {"deep::diagnostic::tests::randomized_long_sums_keep_their_precision",
         [] {
             return long_sums_keep_their_precision(
                 stand_in::through<stand_in::product<factors_cut_to_bfloat16_past_1024>>);
         },
         "24 x 1105 x 42 (rows x inner x columns)"},
        {"deep::diagnostic::tests::randomized_real_products_match_a_scalar_reference",
         [] {
             return real_products_match_a_scalar_reference(faulty_sgemm<first_element_off_by_a_thousandth>);
         },
         "element (0, 0) is"},
        {"deep::layout::tests::exhaustive_vocabulary_renders_as_written",
         [] { return layout::tests::vocabulary_renders_as_written(padding_fields_in_message_order); },
         "the debug rendering is `InvalidPaddingGroups { extent: 10, groups: 3, partitions: 4 }`"},
        {"deep::packing::tests::exhaustive_image_lengths_are_summed_past_32_bits",
         [] { return image_lengths_are_summed_past_32_bits(ends_wrapping_at_2_64); },
         "an odd slice ending at 2^64 after one at 0: packed into 2 bytes"},
        {"deep::packing::tests::exhaustive_logical_tiles_stop_at_the_16_bit_limit",
         [] { return logical_tiles_stop_at_the_16_bit_limit(no_tile_limit); },
         "packed, where the error is \"out of range integral type conversion attempted\""},
        {"deep::packing::tests::randomized_packed_images_match_a_plain_packer",
         [] { return packed_images_match_a_plain_packer(one_byte_short); }, "bytes, not"},
        {"deep::rng::tests::exhaustive_bounded_draws_reject_below_their_thresholds",
         [] { return bounded_draws_reject_below_their_thresholds<FaultyRng<ThresholdOffByOne>>(); },
         "gen_mod_u32(3221225472) gave"},
        {"deep::rng::tests::exhaustive_shuffles_and_floats_follow_their_draws",
         [] { return shuffles_and_floats_follow_their_draws<FaultyRng<F32KeepsOne>>(); },
         "seed 0x2c7253, draw 0: f32 gave 1 (0x3f800000)"},
        {"deep::rng::tests::exhaustive_steps_follow_the_published_sequence",
         [] { return steps_follow_the_published_sequence<FaultyRng<IncrementOffByABit>>(); },
         "seed 0x0, draw 0: gen_u64 gave"},
        {"deep::rng::tests::randomized_bounded_draws_are_uniform",
         [] { return bounded_draws_are_uniform<FaultyRng<ModuloReduction>>(); },
         "u32 draws over [0, 3 x 2^30) by thirds of the range are not spread evenly"},
        {"deep::runner::tests::exhaustive_isolated_known_outcomes_are_reported_exactly",
         [] { return runner::tests::isolated_known_outcomes_are_reported_exactly(isolation_ignored); },
         "`ovra_deep_check --isolate --test-threads 3` writes 1 backtrace hints, not 4"},
        {"deep::runner::tests::exhaustive_known_outcomes_are_reported_exactly",
         [] { return runner::tests::known_outcomes_are_reported_exactly(exits_0_after_failures); },
         "`ovra_deep_check --test-threads 1` exits with 0, not 101"},
        {"deep::storage::tests::exhaustive_block_checks_refuse_exactly_the_non_multiples",
         [=] {
             return block_checks_refuse_exactly_the_non_multiples(f32_as_wide_as_f16, amp, right,
                                                                  codegen::message);
         },
         "the micro dimension of F32 is 16, not 8"},
        {"deep::storage::tests::exhaustive_errors_render_and_convert_as_written",
         [] {
             return errors_render_and_convert_as_written(amp_block_field_renamed,
                                                         ovra_runner::integer_conversion_error);
         },
         "AmpBlock { role: Left }: the debug rendering is `AmpBlock { order: Left }`"},
        {"deep::storage::tests::exhaustive_left_orders_place_every_cell_by_formula",
         [=] {
             return orders_place_every_cell_by_formula(left_orders, transposed_left_not_swapped_back, right);
         },
         "TransposedLeft F8F143"},
        {"deep::storage::tests::exhaustive_output_orders_place_every_cell_by_formula",
         [=] { return orders_place_every_cell_by_formula(output_orders, output_without_interleave, right); },
         "Output F8F143 { scale_exponent: 21 } 1 x 16: position 2 maps to (0, 2)"},
        {"deep::storage::tests::exhaustive_panel_sizes_overflow_exactly_past_32_bits",
         [=] { return panel_sizes_overflow_exactly_past_32_bits(left_panel_wraps, right); },
         "Left F8F143 { scale_exponent: -3 } 134217728 x 32: position 0 maps to (0, 0), not to Overflow"},
        {"deep::storage::tests::exhaustive_right_matrix_orders_place_every_cell_by_formula",
         [=] {
             return orders_place_every_cell_by_formula(right_matrix_orders, amp, blocks_along_the_columns);
         },
         "right-matrix F8F143"},
        {"deep::suite::tests::randomized_binding_test_reaches_every_chunk_and_fails_on_faults",
         [] {
             return suite::tests::binding_test_reaches_every_chunk_and_fails_on_faults(
                 ovra_tests::tests::randomized_binding_values_follow_logical_slice_order,
                 binding_test_ignoring_its_packer);
         },
         "the binding test against a packer that exchanges the bytes of the last chunk must end with"},
        {"deep::suite::tests::randomized_gelu_test_reaches_every_lane_and_fails_on_faults",
         [] {
             // The table line names the GEMM test instead.
             return suite::tests::gelu_test_reaches_every_lane_and_fails_on_faults(
                 ovra_tests::diagnostic::tests::randomized_blas_gemm_matches_scalar_reference,
                 ovra_tests::diagnostic::tests::gelu_reorder_preserves_logical_coordinates<
                     suite::tests::FaultyCoordinates>);
         },
         "the GELU test evaluates 17627 checks, not 232064"},
        {"deep::suite::tests::randomized_gemm_test_reaches_every_element_and_fails_on_faults",
         [] {
             return suite::tests::gemm_test_reaches_every_element_and_fails_on_faults(
                 gemm_test_checking_nothing,
                 ovra_tests::diagnostic::tests::blas_gemm_matches_scalar_reference);
         },
         "the GEMM test evaluates 0 checks, not 17627"},
    };
    // One fault for every test of the table, no more.
    ASSERT_EQ(cases.size(), registry().size());
    for (std::size_t index = 0; index < cases.size(); ++index) {
        const FaultCase& c = cases[index];
        EXPECT_EQ(c.test, registry()[index].name);
        const std::string message = failure_of(c.broken);
        EXPECT_NE(message.find(c.message), std::string::npos) << c.test << " failed with: " << message;
    }
}

// The concurrency check's second fault, the one it once met at random: a library whose calls must take
// turns described to host_sgemm as safe for calls at once.
TEST(DeepCheck, TheConcurrencyCheckFailsOnALibraryCalledWithoutTheTurnsItNeeds) {
    constexpr ovra_tests::diagnostic::Cblas described_as_safe{plain_sgemm, false, false};
    EXPECT_EQ(failure_of([&] {
                  return diagnostic::tests::concurrent_products_equal_products_alone(
                      ovra_tests::diagnostic::host_sgemm_through, described_as_safe, true);
              }),
              "host_sgemm lets calls in at once, into a library that says its calls must take turns");
}

// The check ovra_deep_check makes before it runs anything, which reports past the runner.
TEST(DeepCheck, TheStartUpCheckNamesTheRunnersFault) {
    EXPECT_EQ(runner::tests::runner_fault(ovra_runner::run_tests), std::nullopt);
    const std::optional<std::string> fault = runner::tests::runner_fault(exits_0_after_failures);
    ASSERT_TRUE(fault);
    EXPECT_TRUE(fault->starts_with("`ovra_deep_check --test-threads 1` exits with 0, not 101:")) << *fault;
}

}  // namespace
}  // namespace ovra_tests::deep
