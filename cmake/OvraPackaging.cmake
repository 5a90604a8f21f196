# Debian packages of the two install components (OvraInstall.cmake), named ovra-COMPONENT, made by CPack:
# scripts/package.sh, or `cpack` in the build folder. Version and architecture come from the project and the
# build machine, the host package's dependencies from its executables (dpkg-shlibdeps).
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^ovra \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog does not start with an entry for version ${PROJECT_VERSION}: add one")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_CONTACT "ovra maintainers <ovra-maintainers@example.org>")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL host-check dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_HOST-CHECK_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_HOST-CHECK_DESCRIPTION "self-checks of the ovra host toolchain, for the hosts of a fleet
ovra_trivial_test and ovra_deep_check check the ovra toolchain's host code,
with the OpenBLAS linked into them, on the machine they run on: run them on a
new host, CPU generation or BLAS. ovra_layout shows where each cell of a
matrix lies in a kernel role's storage order.")

set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# What the installed package config finds and links: {fmt} 9 and gcc's libbacktrace archive.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libfmt-dev (>= 9), libgcc-12-dev")
set(CPACK_COMPONENT_DEV_DESCRIPTION "ovra host toolchain libraries: headers, static libraries, CMake package
ovra::codegen, ovra::package and ovra::runner for find_package(ovra), with
ovra_discover_tests(), which gives CTest one test for each test of an
executable that runs under ovra::runner.")

include(CPack)
