# Every dependency comes from the distribution's packages (scripts/install-deps.sh installs them).
find_package(fmt 9 REQUIRED)
find_package(Threads REQUIRED)

# OpenBLAS: Debian's serial build (libopenblas-serial-dev), found through its own package config. The
# products here are at most a few dozen rows, so the serial build's lack of a thread pool costs nothing,
# while the default pthread build starts worker threads at load that compete with the tests. The archive
# is linked by default: resolving the shared library's symbols cost more instructions at start-up than
# all three tests together. Only cblas_sgemm's objects are pulled from it, which need neither the Fortran
# runtime nor anything beyond the C and maths libraries.
set(OVRA_OPENBLAS_DIR "/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/openblas-serial/cmake/openblas"
    CACHE PATH "Folder of the OpenBLAS package config to build against (Debian's serial build)")
option(OVRA_OPENBLAS_STATIC "Link OpenBLAS from its static archive" ON)
find_package(OpenBLAS CONFIG REQUIRED PATHS "${OVRA_OPENBLAS_DIR}" NO_DEFAULT_PATH)
add_library(ovra_openblas INTERFACE)
target_include_directories(ovra_openblas SYSTEM INTERFACE ${OpenBLAS_INCLUDE_DIRS})
if(OVRA_OPENBLAS_STATIC)
  # The config names only the shared library; the archive lies beside it.
  get_filename_component(ovra_openblas_libdir "${OpenBLAS_LIBRARIES}" DIRECTORY)
  find_library(OVRA_OPENBLAS_ARCHIVE NAMES libopenblas.a PATHS "${ovra_openblas_libdir}" NO_DEFAULT_PATH
               REQUIRED)
  target_link_libraries(ovra_openblas INTERFACE "${OVRA_OPENBLAS_ARCHIVE}" m)
else()
  target_link_libraries(ovra_openblas INTERFACE ${OpenBLAS_LIBRARIES})
endif()

if(OVRA_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(OVRA_BUILD_BENCHMARKS)
  find_package(benchmark REQUIRED)
endif()
