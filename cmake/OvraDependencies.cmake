# Every dependency comes from the distribution's packages (scripts/install-deps.sh installs them).
find_package(fmt 9 REQUIRED)
# The project's own targets format through ovra_fmt (fmt_archive/); what is installed names fmt::fmt.
set(OVRA_FMT "$<BUILD_INTERFACE:ovra_fmt>" "$<INSTALL_INTERFACE:fmt::fmt>")
find_package(Threads REQUIRED)

# OpenBLAS: Debian's serial build (libopenblas-serial-dev), which keeps its header and libraries in a folder
# of its own beside the other builds. The products here are at most a few dozen rows, so the serial build's
# lack of a thread pool costs nothing, while the default pthread build starts worker threads that compete
# with the tests. The archive is linked by default: resolving the shared library's symbols cost more
# instructions at start-up than all three tests together. Only cblas_sgemm's objects are pulled from it,
# which need neither the Fortran runtime nor anything beyond the C and maths libraries. The files are
# looked up by path rather than through OpenBLAS's package config, whose cached location would silently
# keep whichever build an earlier configure found.
set(OVRA_OPENBLAS_SERIAL_DIR "/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/openblas-serial"
    CACHE PATH "Folder of the serial OpenBLAS libraries")
set(OVRA_OPENBLAS_SERIAL_INCLUDE "/usr/include/${CMAKE_LIBRARY_ARCHITECTURE}/openblas-serial"
    CACHE PATH "Folder of the serial OpenBLAS headers")
option(OVRA_OPENBLAS_STATIC "Link OpenBLAS from its static archive" ON)
find_path(OVRA_OPENBLAS_SERIAL_HEADERS cblas.h PATHS "${OVRA_OPENBLAS_SERIAL_INCLUDE}" NO_DEFAULT_PATH REQUIRED)
if(OVRA_OPENBLAS_STATIC)
  find_library(OVRA_OPENBLAS_SERIAL_ARCHIVE NAMES libopenblas.a PATHS "${OVRA_OPENBLAS_SERIAL_DIR}"
               NO_DEFAULT_PATH REQUIRED)
  set(ovra_openblas_library "${OVRA_OPENBLAS_SERIAL_ARCHIVE}")
else()
  find_library(OVRA_OPENBLAS_SERIAL_SHARED NAMES libopenblas.so PATHS "${OVRA_OPENBLAS_SERIAL_DIR}"
               NO_DEFAULT_PATH REQUIRED)
  set(ovra_openblas_library "${OVRA_OPENBLAS_SERIAL_SHARED}")
endif()
add_library(ovra_openblas INTERFACE)
target_include_directories(ovra_openblas SYSTEM INTERFACE "${OVRA_OPENBLAS_SERIAL_HEADERS}")
target_link_libraries(ovra_openblas INTERFACE "${ovra_openblas_library}" m)
# The host product guards against OpenBLAS's endless retry of a refused work buffer (diagnostic.cpp).
target_compile_definitions(ovra_openblas INTERFACE OVRA_BLAS_OPENBLAS=1)

if(OVRA_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(OVRA_BUILD_BENCHMARKS)
  find_package(benchmark REQUIRED)
endif()
