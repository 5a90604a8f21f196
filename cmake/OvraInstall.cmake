# Installs two components, which CPack makes into the Debian packages ovra-COMPONENT (OvraPackaging.cmake):
#   host-check: what a host runs: the self-checks ovra_trivial_test and ovra_deep_check and the layout
#               inspector ovra_layout, each with a manual page made from its own --help;
#   dev:        what other projects build with: headers, archives and a package config exporting
#               ovra::codegen, ovra::package and ovra::runner, with ovra_discover_tests().
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(OVRA_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/ovra")

set_target_properties(ovra_codegen PROPERTIES EXPORT_NAME codegen)
set_target_properties(ovra_package PROPERTIES EXPORT_NAME package)
set_target_properties(ovra_runner PROPERTIES EXPORT_NAME runner)

set(OVRA_DEV_LIBRARIES ovra_codegen ovra_package ovra_runner)
install(TARGETS ${OVRA_DEV_LIBRARIES} EXPORT ovraTargets COMPONENT dev
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
foreach(component codegen package runner)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${component}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
          COMPONENT dev)
endforeach()

install(EXPORT ovraTargets NAMESPACE ovra:: DESTINATION ${OVRA_INSTALL_CMAKEDIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ovraConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/ovraConfig.cmake
                              INSTALL_DESTINATION ${OVRA_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ovraConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
# ovra_discover_tests() comes with the package, for projects whose tests run under ovra::runner.
install(FILES ${PROJECT_BINARY_DIR}/ovraConfig.cmake ${PROJECT_BINARY_DIR}/ovraConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/OvraDiscoverTests.cmake
              ${PROJECT_SOURCE_DIR}/cmake/OvraDiscoverTestsScript.cmake
        DESTINATION ${OVRA_INSTALL_CMAKEDIR} COMPONENT dev)

set(OVRA_HOST_PROGRAMS ovra_trivial_test ovra_deep_check ovra_layout)
install(TARGETS ${OVRA_HOST_PROGRAMS} COMPONENT host-check)
include(OvraManPages)
install(FILES ${OVRA_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT host-check)

# Each package's own documentation folder holds the copyright and the changelog; the host's also the short
# README that tells how to run the checks.
set(changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog} COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${changelog}
                   DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
foreach(component host-check dev)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${changelog}
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/ovra-${component} COMPONENT ${component})
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/README
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/ovra-host-check COMPONENT host-check)

# Everything the install rules take, so that the packages can be built without the tests and benchmarks.
add_custom_target(ovra_installables ALL DEPENDS ${OVRA_MAN_PAGES} ${changelog})
add_dependencies(ovra_installables ${OVRA_DEV_LIBRARIES})
