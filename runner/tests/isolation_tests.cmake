# The isolation demo (tests that crash, exit, hang) as an executable of its own, and the tests that run it with
# each test in a child process.
add_executable(ovra_runner_isolation_demo isolation_demo/isolation_demo_main.cpp
                                          isolation_demo/isolation_demo_tests.cpp)
target_link_libraries(ovra_runner_isolation_demo PRIVATE ovra::runner $<BUILD_INTERFACE:ovra_build_flags>)

add_executable(ovra_runner_isolation_tests isolation_test.cpp transcript.cpp)
target_include_directories(ovra_runner_isolation_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../src)
target_compile_definitions(ovra_runner_isolation_tests PRIVATE
  OVRA_RUNNER_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data"
  OVRA_RUNNER_ISOLATION_DEMO="$<TARGET_FILE:ovra_runner_isolation_demo>")
add_dependencies(ovra_runner_isolation_tests ovra_runner_isolation_demo)
target_link_libraries(ovra_runner_isolation_tests PRIVATE ovra_test_support ovra_fmt
                      $<BUILD_INTERFACE:ovra_build_flags>)
ovra_unit_tests(ovra_runner_isolation_tests)
