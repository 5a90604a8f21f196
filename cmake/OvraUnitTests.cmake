# ovra_unit_tests(TARGET): what every GoogleTest executable of the project gets, in one place: GoogleTest's
# main, one CTest test per test case, the common headers precompiled, and its own code compiled with -O1
# where the build optimises (the libraries it tests keep their flags). The tests' objects are most of a cold
# build's time, most of it spent parsing GoogleTest and optimising what runs once; each executable is
# compiled in unity batches, so that GoogleTest's templates are instantiated once per batch.
include_guard(GLOBAL)
include(OvraPrecompiledHeaders)

set(ovra_unit_test_options $<$<NOT:$<CONFIG:Debug>>:-O1>)
ovra_precompiled_header_set(ovra_unit_test_headers LIBRARIES GTest::gtest ${OVRA_FMT} OPTIONS ${ovra_unit_test_options}
  HEADERS <gtest/gtest.h> <fmt/format.h> <algorithm> <array> <chrono> <expected> <functional> <optional> <span>
          <string> <string_view> <variant> <vector>)

function(ovra_unit_tests target)
  target_link_libraries(${target} PRIVATE GTest::gtest_main)
  target_compile_options(${target} PRIVATE ${ovra_unit_test_options})
  target_precompile_headers(${target} REUSE_FROM ovra_unit_test_headers)
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON)
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST)
endfunction()

# ovra_preload_library(NAME SOURCE): a library that tests preload (LD_PRELOAD) into an executable under test
# to inject a fault. It must not bring the C++ runtime or a sanitizer's into the process it is loaded into.
function(ovra_preload_library name source)
  add_library(${name} MODULE ${source})
  target_compile_options(${name} PRIVATE -fno-sanitize=all -fno-exceptions -fno-rtti)
  target_link_options(${name} PRIVATE -fno-sanitize=all -nodefaultlibs)
  target_link_libraries(${name} PRIVATE c $<BUILD_INTERFACE:ovra_build_flags>)
endfunction()
