# Configures the discovery fixture (CMakeLists.txt beside this file) against DEMO, runs its CTest and checks
# each registered test's outcome. Inputs: DEMO, OVRA_CMAKE_DIR, WORK (a scratch folder), GENERATOR (the
# outer build's).
file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND "${CMAKE_COMMAND}" -S "${CMAKE_CURRENT_LIST_DIR}" -B "${WORK}" -G "${GENERATOR}" "-DDEMO=${DEMO}"
                        "-DOVRA_CMAKE_DIR=${OVRA_CMAKE_DIR}"
                RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the fixture does not configure:\n${errors}")
endif()
execute_process(COMMAND "${CMAKE_CTEST_COMMAND}" --test-dir "${WORK}" --label-regex fixture -N
                OUTPUT_VARIABLE labelled)
execute_process(COMMAND "${CMAKE_CTEST_COMMAND}" --test-dir "${WORK}" OUTPUT_VARIABLE report ERROR_VARIABLE errors)

set(failures "")
# name|outcome as CTest words it
foreach(expected
    "demo.diagnostic::tests::randomized_alpha_passes|Passed"
    "demo.diagnostic::tests::randomized_beta_fails_eq|Failed"
    "demo.tests::randomized_gamma_returns_error|Failed"
    "demo.tests::zeta_ignored|Skipped"
    "filtered.diagnostic::tests::randomized_alpha_passes|Failed")
  string(REPLACE "|" ";" fields "${expected}")
  list(GET fields 0 name)
  list(GET fields 1 outcome)
  string(REGEX REPLACE "([][.*+?^$()])" "\\\\\\1" pattern "${name}")
  if(NOT report MATCHES "${pattern} [.]+ *(\\*\\*\\*)?${outcome}")
    string(APPEND failures "${name} did not end ${outcome}\n")
  endif()
endforeach()
if(NOT labelled MATCHES "Total Tests: 4\n")
  string(APPEND failures "the PROPERTIES did not label the four tests of the first registration:\n${labelled}\n")
endif()
if(NOT failures STREQUAL "")
  message(FATAL_ERROR "${failures}\nCTest said:\n${report}${errors}")
endif()
