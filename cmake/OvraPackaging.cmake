# Debian packages of the two install components (OvraInstall.cmake), made by CPack: `cpack` in the build
# folder, or scripts/package.sh. Version and architecture come from the project and the build machine;
# the host package's dependencies from its executables (dpkg-shlibdeps).
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^ovra \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog does not start with an entry for version ${PROJECT_VERSION}: add one")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_CONTACT "ovra maintainers <ovra-maintainers@example.org>")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL host dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_HOST_PACKAGE_NAME ${OVRA_HOST_PACKAGE})
set(CPACK_DEBIAN_HOST_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_HOST_DESCRIPTION "self-checks of the ovra host toolchain, for the hosts of a fleet
ovra_trivial_test and ovra_deep_check check the host code of the ovra toolchain
(storage orders, binding packing, the single-precision matrix product through
the OpenBLAS linked into them, the seeded generator) on the machine they run
on: run them on a new host, a new CPU generation or a new BLAS. ovra_layout
shows where each cell of a matrix lies in a kernel role's storage order.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${OVRA_DEV_PACKAGE})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# What the installed package config finds and links: {fmt} 9 and gcc's libbacktrace archive.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libfmt-dev (>= 9), libgcc-12-dev")
set(CPACK_COMPONENT_DEV_DESCRIPTION "ovra host toolchain libraries: headers, static libraries, CMake package
The static libraries ovra::codegen, ovra::package and ovra::runner with their
headers, and the CMake package that exports them (find_package(ovra)), with
ovra_discover_tests(), which registers each test of an executable that runs
under ovra::runner with CTest.")

include(CPack)
