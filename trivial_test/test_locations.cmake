# The registry's source locations, found in the sources at build time (locate_tests.cmake).
set(ovra_test_functions
  "randomized_blas_gemm_matches_scalar_reference|trivial_test/src/diagnostic_tests.cpp"
  "randomized_gelu_reorder_preserves_logical_coordinates|trivial_test/src/diagnostic_tests.cpp"
  "randomized_binding_values_follow_logical_slice_order|trivial_test/src/binding_tests.cpp")
set(ovra_test_locations_header "${CMAKE_CURRENT_BINARY_DIR}/generated/ovra/trivial_test/test_locations.hpp")
add_custom_command(
  OUTPUT "${ovra_test_locations_header}"
  COMMAND ${CMAKE_COMMAND} "-DOUTPUT=${ovra_test_locations_header}" "-DSOURCE_ROOT=${PROJECT_SOURCE_DIR}"
          "-DTESTS=${ovra_test_functions}" -P "${CMAKE_CURRENT_SOURCE_DIR}/locate_tests.cmake"
  DEPENDS locate_tests.cmake src/diagnostic_tests.cpp src/binding_tests.cpp
  COMMENT "Locating the test functions in their sources"
  VERBATIM)
target_sources(ovra_test_package PRIVATE "${ovra_test_locations_header}")
target_include_directories(ovra_test_package PRIVATE "${CMAKE_CURRENT_BINARY_DIR}/generated")
