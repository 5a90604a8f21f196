# ovra_unit_tests(TARGET): what every GoogleTest executable of the project gets, in one place: GoogleTest's
# main, one CTest test per test case, the common headers precompiled, and its own code compiled with -O1
# where the build optimises (the libraries it tests keep their flags). The tests' objects are most of a cold
# build's time, most of it spent parsing GoogleTest and optimising what runs once. The headers are
# precompiled once for all the executables, by a library of their own that shares their flags; a
# precompiled header that the compiler would not use is a warning (-Winvalid-pch), an error in CI.
include_guard(GLOBAL)

function(ovra_unit_test_flags target)
  target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O1> -Winvalid-pch)
endfunction()

function(ovra_unit_tests target)
  if(NOT TARGET ovra_unit_test_headers)
    set(source "${PROJECT_BINARY_DIR}/ovra_unit_test_headers.cpp")
    file(CONFIGURE OUTPUT "${source}" CONTENT "// Compiled only to precompile the unit tests' headers.\n")
    add_library(ovra_unit_test_headers OBJECT "${source}")
    target_link_libraries(ovra_unit_test_headers PRIVATE GTest::gtest ${OVRA_FMT} ovra_build_flags)
    ovra_unit_test_flags(ovra_unit_test_headers)
    target_precompile_headers(ovra_unit_test_headers PRIVATE
      <gtest/gtest.h> <fmt/format.h> <algorithm> <array> <chrono> <expected> <functional> <optional> <span>
      <string> <string_view> <variant> <vector>)
  endif()
  target_link_libraries(${target} PRIVATE GTest::gtest_main)
  ovra_unit_test_flags(${target})
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
