# ovra_unit_tests(TARGET): what every GoogleTest executable of the project gets, in one place: GoogleTest's
# main, one CTest test per test case, its common headers precompiled once for the executable, and its own
# code compiled with -O1 where the build optimises (the libraries it tests keep their flags). The tests'
# objects are most of a cold build's time, most of it spent parsing GoogleTest and optimising what runs once.
include_guard(GLOBAL)

function(ovra_unit_tests target)
  target_link_libraries(${target} PRIVATE GTest::gtest_main)
  target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O1>)
  target_precompile_headers(${target} PRIVATE
    <gtest/gtest.h> <fmt/format.h> <algorithm> <array> <chrono> <expected> <functional> <optional> <span>
    <string> <string_view> <variant> <vector>)
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST)
endfunction()
