# Installs the libraries other projects link (headers, archives and a package config exporting
# ovra::codegen, ovra::package and ovra::runner, with ovra_discover_tests()), and the self-checks
# ovra_trivial_test and ovra_deep_check; the layout inspector installs itself.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(OVRA_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/ovra")

set_target_properties(ovra_codegen PROPERTIES EXPORT_NAME codegen)
set_target_properties(ovra_package PROPERTIES EXPORT_NAME package)
set_target_properties(ovra_runner PROPERTIES EXPORT_NAME runner)

install(TARGETS ovra_codegen ovra_package ovra_runner
        EXPORT ovraTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
foreach(component codegen package runner)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${component}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
endforeach()

install(TARGETS ovra_trivial_test ovra_deep_check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(EXPORT ovraTargets NAMESPACE ovra:: DESTINATION ${OVRA_INSTALL_CMAKEDIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ovraConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/ovraConfig.cmake
                              INSTALL_DESTINATION ${OVRA_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ovraConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
# ovra_discover_tests() comes with the package, for projects whose tests run under ovra::runner.
install(FILES ${PROJECT_BINARY_DIR}/ovraConfig.cmake ${PROJECT_BINARY_DIR}/ovraConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/OvraDiscoverTests.cmake
              ${PROJECT_SOURCE_DIR}/cmake/OvraDiscoverTestsScript.cmake
        DESTINATION ${OVRA_INSTALL_CMAKEDIR})
