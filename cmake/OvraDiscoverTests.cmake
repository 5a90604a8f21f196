# ovra_discover_tests(): one CTest test for each test of an executable that runs under ovra::runner.
#
#   ovra_discover_tests(TARGET
#       [EXTRA_ARGS arg...]                     after `--exact NAME` on every test's command line
#       [TEST_PREFIX prefix]                    put before each test's name in CTest
#       [PROPERTIES name value...]              set on every test
#       [WORKING_DIRECTORY dir]                 where the tests run (default: this binary folder)
#       [DISCOVERY_TIMEOUT seconds]             for listing the tests (default: 5)
#       [DISCOVERY_MODE POST_BUILD|PRE_TEST]    list after every build of TARGET (default; the call must then
#                                               stand where TARGET is made), or when CTest starts
#       [TEST_LIST variable])                   set, in CTest, to the names registered
#
# The tests are those `TARGET --list --format json` names; each runs as `TARGET --exact NAME EXTRA_ARGS`.
# A run that executes no test fails (a test renamed since the listing, or filtered out by EXTRA_ARGS), and an
# ignored test shows as skipped, its reason in its output. EXTRA_ARGS must leave the format as it is (pretty):
# the outcome is read from the summary line.
include_guard(GLOBAL)

set(_OVRA_DISCOVER_TESTS_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/OvraDiscoverTestsScript.cmake")

function(ovra_discover_tests target)
  cmake_parse_arguments(PARSE_ARGV 1 arg ""
    "TEST_PREFIX;WORKING_DIRECTORY;DISCOVERY_TIMEOUT;DISCOVERY_MODE;TEST_LIST" "EXTRA_ARGS;PROPERTIES")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "ovra_discover_tests: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_WORKING_DIRECTORY)
    set(arg_WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
  endif()
  if(NOT arg_DISCOVERY_TIMEOUT)
    set(arg_DISCOVERY_TIMEOUT 5)
  endif()
  if(NOT arg_DISCOVERY_MODE)
    set(arg_DISCOVERY_MODE POST_BUILD)
  endif()
  if(NOT arg_TEST_LIST)
    set(arg_TEST_LIST "${target}_TESTS")
  endif()

  # One pair of files per call, so that a target can be registered more than once.
  get_property(calls TARGET ${target} PROPERTY OVRA_DISCOVER_TESTS_CALLS)
  math(EXPR calls "${calls} + 1")
  set_property(TARGET ${target} PROPERTY OVRA_DISCOVER_TESTS_CALLS ${calls})
  set(base "${CMAKE_CURRENT_BINARY_DIR}/${target}[${calls}]")
  set(tests_file "${base}_tests.cmake")
  set(include_file "${base}_include.cmake")

  # The arguments of the discovery, as the script takes them (lists stay whole inside their brackets).
  string(CONCAT settings
    "EXECUTABLE [==[$<TARGET_FILE:${target}>]==]\n"
    "      WORKING_DIRECTORY [==[${arg_WORKING_DIRECTORY}]==]\n"
    "      EXTRA_ARGS [==[${arg_EXTRA_ARGS}]==]\n"
    "      PROPERTIES [==[${arg_PROPERTIES}]==]\n"
    "      TEST_PREFIX [==[${arg_TEST_PREFIX}]==]\n"
    "      TEST_LIST [==[${arg_TEST_LIST}]==]\n"
    "      TIMEOUT [==[${arg_DISCOVERY_TIMEOUT}]==]\n"
    "      CTEST_FILE [==[${tests_file}]==]")

  if(arg_DISCOVERY_MODE STREQUAL "POST_BUILD")
    file(GENERATE OUTPUT "${base}_discover.cmake" CONTENT
      "include([==[${_OVRA_DISCOVER_TESTS_SCRIPT}]==])\novra_discover_tests_impl(\n      ${settings})\n")
    add_custom_command(TARGET ${target} POST_BUILD
      BYPRODUCTS "${tests_file}"
      COMMAND "${CMAKE_COMMAND}" -P "${base}_discover.cmake"
      COMMENT "Listing the tests of ${target}"
      VERBATIM)
    file(WRITE "${include_file}"
      "if(EXISTS [==[${tests_file}]==])\n"
      "  include([==[${tests_file}]==])\n"
      "else()\n"
      "  add_test(${target}_NOT_BUILT ${target}_NOT_BUILT)\n"
      "endif()\n")
  elseif(arg_DISCOVERY_MODE STREQUAL "PRE_TEST")
    string(CONCAT content
      "if(EXISTS [==[$<TARGET_FILE:${target}>]==])\n"
      "  if(NOT EXISTS [==[${tests_file}]==] OR\n"
      "     NOT [==[${tests_file}]==] IS_NEWER_THAN [==[$<TARGET_FILE:${target}>]==] OR\n"
      "     NOT [==[${tests_file}]==] IS_NEWER_THAN \"\${CMAKE_CURRENT_LIST_FILE}\")\n"
      "    include([==[${_OVRA_DISCOVER_TESTS_SCRIPT}]==])\n"
      "    ovra_discover_tests_impl(\n      ${settings})\n"
      "  endif()\n"
      "  include([==[${tests_file}]==])\n"
      "else()\n"
      "  add_test(${target}_NOT_BUILT ${target}_NOT_BUILT)\n"
      "endif()\n")
    file(GENERATE OUTPUT "${include_file}" CONTENT "${content}")
  else()
    message(FATAL_ERROR "ovra_discover_tests: DISCOVERY_MODE must be POST_BUILD or PRE_TEST, not ${arg_DISCOVERY_MODE}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${include_file}")
endfunction()
