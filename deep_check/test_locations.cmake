# The deep check's source locations, found in the sources at build time by the registry's own script
# (trivial_test/locate_tests.cmake).
set(ovra_deep_check_functions
  "exhaustive_integer_products_past_the_blocking_sizes_are_exact|deep_check/src/blocking_checks.cpp"
  "exhaustive_matrix_index_counts_batches_rows_and_columns|deep_check/src/sgemm_checks.cpp"
  "exhaustive_sgemm_checks_pass_under_every_kernel|deep_check/src/kernel_sweep.cpp"
  "exhaustive_sgemm_refuses_arguments_at_their_limits|deep_check/src/sgemm_checks.cpp"
  "exhaustive_small_integer_products_are_exact|deep_check/src/sgemm_checks.cpp"
  "randomized_concurrent_products_equal_products_alone|deep_check/src/concurrency_checks.cpp"
  "randomized_integer_products_up_to_64_are_exact|deep_check/src/sgemm_checks.cpp"
  "randomized_long_sums_keep_their_precision|deep_check/src/blocking_checks.cpp"
  "randomized_real_products_match_a_scalar_reference|deep_check/src/sgemm_checks.cpp"
  "exhaustive_logical_tiles_stop_at_the_16_bit_limit|deep_check/src/packing_checks.cpp"
  "randomized_packed_images_match_a_plain_packer|deep_check/src/packing_checks.cpp"
  "exhaustive_bounded_draws_reject_below_their_thresholds|deep_check/src/generator_checks.cpp"
  "exhaustive_shuffles_and_floats_follow_their_draws|deep_check/src/generator_checks.cpp"
  "exhaustive_steps_follow_the_published_sequence|deep_check/src/generator_checks.cpp"
  "randomized_bounded_draws_are_uniform|deep_check/src/generator_checks.cpp"
  "exhaustive_image_lengths_are_summed_past_32_bits|deep_check/src/wide_limit_checks.cpp"
  "exhaustive_sgemm_lengths_are_checked_past_32_bits|deep_check/src/wide_limit_checks.cpp"
  "exhaustive_errors_render_and_convert_as_written|deep_check/src/rendering_checks.cpp"
  "exhaustive_vocabulary_renders_as_written|deep_check/src/rendering_checks.cpp"
  "exhaustive_isolated_known_outcomes_are_reported_exactly|deep_check/src/runner_checks.cpp"
  "exhaustive_known_outcomes_are_reported_exactly|deep_check/src/runner_checks.cpp"
  "exhaustive_block_checks_refuse_exactly_the_non_multiples|deep_check/src/storage_checks.cpp"
  "exhaustive_left_orders_place_every_cell_by_formula|deep_check/src/storage_checks.cpp"
  "exhaustive_output_orders_place_every_cell_by_formula|deep_check/src/storage_checks.cpp"
  "exhaustive_panel_sizes_overflow_exactly_past_32_bits|deep_check/src/storage_checks.cpp"
  "exhaustive_right_matrix_orders_place_every_cell_by_formula|deep_check/src/storage_checks.cpp"
  "randomized_binding_test_reaches_every_chunk_and_fails_on_faults|deep_check/src/suite_checks.cpp"
  "randomized_gelu_test_reaches_every_lane_and_fails_on_faults|deep_check/src/suite_checks.cpp"
  "randomized_gemm_test_reaches_every_element_and_fails_on_faults|deep_check/src/suite_checks.cpp")
set(ovra_deep_check_locations_header "${CMAKE_CURRENT_BINARY_DIR}/generated/ovra/deep_check/test_locations.hpp")
add_custom_command(
  OUTPUT "${ovra_deep_check_locations_header}"
  COMMAND ${CMAKE_COMMAND} "-DOUTPUT=${ovra_deep_check_locations_header}" "-DSOURCE_ROOT=${PROJECT_SOURCE_DIR}"
          "-DTESTS=${ovra_deep_check_functions}" -P "${PROJECT_SOURCE_DIR}/trivial_test/locate_tests.cmake"
  DEPENDS "${PROJECT_SOURCE_DIR}/trivial_test/locate_tests.cmake" src/blocking_checks.cpp src/concurrency_checks.cpp
          src/generator_checks.cpp src/kernel_sweep.cpp src/packing_checks.cpp src/sgemm_checks.cpp
          src/storage_checks.cpp src/rendering_checks.cpp src/runner_checks.cpp src/suite_checks.cpp
          src/wide_limit_checks.cpp
  COMMENT "Locating the deep check's test functions in their sources"
  VERBATIM)
target_sources(ovra_deep_checks PRIVATE "${ovra_deep_check_locations_header}")
target_include_directories(ovra_deep_checks PRIVATE "${CMAKE_CURRENT_BINARY_DIR}/generated")
