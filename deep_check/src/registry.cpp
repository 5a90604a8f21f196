#include "ovra/deep_check/registry.hpp"

#include <array>

#include "ovra/deep_check/blocking_checks.hpp"
#include "ovra/deep_check/concurrency_checks.hpp"
#include "ovra/deep_check/generator_checks.hpp"
#include "ovra/deep_check/kernel_sweep.hpp"
#include "ovra/deep_check/packing_checks.hpp"
#include "ovra/deep_check/rendering_checks.hpp"
#include "ovra/deep_check/runner_checks.hpp"
#include "ovra/deep_check/sgemm_checks.hpp"
#include "ovra/deep_check/storage_checks.hpp"
#include "ovra/deep_check/suite_checks.hpp"
#include "ovra/deep_check/test_locations.hpp"
#include "ovra/deep_check/wide_limit_checks.hpp"

namespace ovra_tests::deep {

namespace {

constexpr std::array<ovra_runner::TestDescriptor, 29> table{{
    located_test("deep::diagnostic::tests::exhaustive_integer_products_past_the_blocking_sizes_are_exact",
                 test_locations::exhaustive_integer_products_past_the_blocking_sizes_are_exact,
                 &diagnostic::tests::exhaustive_integer_products_past_the_blocking_sizes_are_exact),
    located_test("deep::diagnostic::tests::exhaustive_matrix_index_counts_batches_rows_and_columns",
                 test_locations::exhaustive_matrix_index_counts_batches_rows_and_columns,
                 &diagnostic::tests::exhaustive_matrix_index_counts_batches_rows_and_columns),
    located_test("deep::diagnostic::tests::exhaustive_sgemm_checks_pass_under_every_kernel",
                 test_locations::exhaustive_sgemm_checks_pass_under_every_kernel,
                 &diagnostic::tests::exhaustive_sgemm_checks_pass_under_every_kernel),
    located_test("deep::diagnostic::tests::exhaustive_sgemm_lengths_are_checked_past_32_bits",
                 test_locations::exhaustive_sgemm_lengths_are_checked_past_32_bits,
                 &diagnostic::tests::exhaustive_sgemm_lengths_are_checked_past_32_bits),
    located_test("deep::diagnostic::tests::exhaustive_sgemm_refuses_arguments_at_their_limits",
                 test_locations::exhaustive_sgemm_refuses_arguments_at_their_limits,
                 &diagnostic::tests::exhaustive_sgemm_refuses_arguments_at_their_limits),
    located_test("deep::diagnostic::tests::exhaustive_small_integer_products_are_exact",
                 test_locations::exhaustive_small_integer_products_are_exact,
                 &diagnostic::tests::exhaustive_small_integer_products_are_exact),
    located_test("deep::diagnostic::tests::randomized_concurrent_products_equal_products_alone",
                 test_locations::randomized_concurrent_products_equal_products_alone,
                 &diagnostic::tests::randomized_concurrent_products_equal_products_alone),
    located_test("deep::diagnostic::tests::randomized_integer_products_up_to_64_are_exact",
                 test_locations::randomized_integer_products_up_to_64_are_exact,
                 &diagnostic::tests::randomized_integer_products_up_to_64_are_exact),
    located_test("deep::diagnostic::tests::randomized_long_sums_keep_their_precision",
                 test_locations::randomized_long_sums_keep_their_precision,
                 &diagnostic::tests::randomized_long_sums_keep_their_precision),
    located_test("deep::diagnostic::tests::randomized_real_products_match_a_scalar_reference",
                 test_locations::randomized_real_products_match_a_scalar_reference,
                 &diagnostic::tests::randomized_real_products_match_a_scalar_reference),
    located_test("deep::layout::tests::exhaustive_vocabulary_renders_as_written",
                 test_locations::exhaustive_vocabulary_renders_as_written,
                 &layout::tests::exhaustive_vocabulary_renders_as_written),
    located_test("deep::packing::tests::exhaustive_image_lengths_are_summed_past_32_bits",
                 test_locations::exhaustive_image_lengths_are_summed_past_32_bits,
                 &packing::tests::exhaustive_image_lengths_are_summed_past_32_bits),
    located_test("deep::packing::tests::exhaustive_logical_tiles_stop_at_the_16_bit_limit",
                 test_locations::exhaustive_logical_tiles_stop_at_the_16_bit_limit,
                 &packing::tests::exhaustive_logical_tiles_stop_at_the_16_bit_limit),
    located_test("deep::packing::tests::randomized_packed_images_match_a_plain_packer",
                 test_locations::randomized_packed_images_match_a_plain_packer,
                 &packing::tests::randomized_packed_images_match_a_plain_packer),
    located_test("deep::rng::tests::exhaustive_bounded_draws_reject_below_their_thresholds",
                 test_locations::exhaustive_bounded_draws_reject_below_their_thresholds,
                 &rng::tests::exhaustive_bounded_draws_reject_below_their_thresholds),
    located_test("deep::rng::tests::exhaustive_shuffles_and_floats_follow_their_draws",
                 test_locations::exhaustive_shuffles_and_floats_follow_their_draws,
                 &rng::tests::exhaustive_shuffles_and_floats_follow_their_draws),
    located_test("deep::rng::tests::exhaustive_steps_follow_the_published_sequence",
                 test_locations::exhaustive_steps_follow_the_published_sequence,
                 &rng::tests::exhaustive_steps_follow_the_published_sequence),
    located_test("deep::rng::tests::randomized_bounded_draws_are_uniform",
                 test_locations::randomized_bounded_draws_are_uniform,
                 &rng::tests::randomized_bounded_draws_are_uniform),
    located_test("deep::runner::tests::exhaustive_isolated_known_outcomes_are_reported_exactly",
                 test_locations::exhaustive_isolated_known_outcomes_are_reported_exactly,
                 &runner::tests::exhaustive_isolated_known_outcomes_are_reported_exactly),
    located_test("deep::runner::tests::exhaustive_known_outcomes_are_reported_exactly",
                 test_locations::exhaustive_known_outcomes_are_reported_exactly,
                 &runner::tests::exhaustive_known_outcomes_are_reported_exactly),
    located_test("deep::storage::tests::exhaustive_block_checks_refuse_exactly_the_non_multiples",
                 test_locations::exhaustive_block_checks_refuse_exactly_the_non_multiples,
                 &storage::tests::exhaustive_block_checks_refuse_exactly_the_non_multiples),
    located_test("deep::storage::tests::exhaustive_errors_render_and_convert_as_written",
                 test_locations::exhaustive_errors_render_and_convert_as_written,
                 &storage::tests::exhaustive_errors_render_and_convert_as_written),
    located_test("deep::storage::tests::exhaustive_left_orders_place_every_cell_by_formula",
                 test_locations::exhaustive_left_orders_place_every_cell_by_formula,
                 &storage::tests::exhaustive_left_orders_place_every_cell_by_formula),
    located_test("deep::storage::tests::exhaustive_output_orders_place_every_cell_by_formula",
                 test_locations::exhaustive_output_orders_place_every_cell_by_formula,
                 &storage::tests::exhaustive_output_orders_place_every_cell_by_formula),
    located_test("deep::storage::tests::exhaustive_panel_sizes_overflow_exactly_past_32_bits",
                 test_locations::exhaustive_panel_sizes_overflow_exactly_past_32_bits,
                 &storage::tests::exhaustive_panel_sizes_overflow_exactly_past_32_bits),
    located_test("deep::storage::tests::exhaustive_right_matrix_orders_place_every_cell_by_formula",
                 test_locations::exhaustive_right_matrix_orders_place_every_cell_by_formula,
                 &storage::tests::exhaustive_right_matrix_orders_place_every_cell_by_formula),
    located_test("deep::suite::tests::randomized_binding_test_reaches_every_chunk_and_fails_on_faults",
                 test_locations::randomized_binding_test_reaches_every_chunk_and_fails_on_faults,
                 &suite::tests::randomized_binding_test_reaches_every_chunk_and_fails_on_faults),
    located_test("deep::suite::tests::randomized_gelu_test_reaches_every_lane_and_fails_on_faults",
                 test_locations::randomized_gelu_test_reaches_every_lane_and_fails_on_faults,
                 &suite::tests::randomized_gelu_test_reaches_every_lane_and_fails_on_faults),
    located_test("deep::suite::tests::randomized_gemm_test_reaches_every_element_and_fails_on_faults",
                 test_locations::randomized_gemm_test_reaches_every_element_and_fails_on_faults,
                 &suite::tests::randomized_gemm_test_reaches_every_element_and_fails_on_faults),
}};

}  // namespace

std::span<const ovra_runner::TestDescriptor> registry() {
    return table;
}

}  // namespace ovra_tests::deep
