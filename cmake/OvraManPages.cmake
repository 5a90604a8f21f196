# A manual page for each of OVRA_HOST_PROGRAMS, made at build time from the program's own --help
# (OvraManPageScript.cmake), so that page and program cannot drift apart. Sets OVRA_MAN_PAGES to the pages.
set(summary_ovra_trivial_test "three seeded randomized self-checks of the ovra host toolchain")
set(summary_ovra_deep_check "deep self-check of the ovra host toolchain against its whole contract")
set(summary_ovra_layout "where each cell of a matrix lies in an AMP kernel role's storage order")
foreach(program IN LISTS OVRA_HOST_PROGRAMS)
  set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DNAME=${program}
            "-DSUMMARY=${summary_${program}}" -DVERSION=${PROJECT_VERSION} -DOUTPUT=${page}
            -P ${PROJECT_SOURCE_DIR}/cmake/OvraManPageScript.cmake
    DEPENDS ${program} ${PROJECT_SOURCE_DIR}/cmake/OvraManPageScript.cmake VERBATIM)
  list(APPEND OVRA_MAN_PAGES ${page}.gz)
endforeach()
