# The CBLAS that host_sgemm calls, chosen with OVRA_BLAS:
# - serial-openblas (the default): Debian's serial OpenBLAS, linked from its static archive: the products
#   are small, so a thread pool buys nothing and would compete with the tests, and the archive spares the
#   executables the loading of a shared library at start-up (docs/blas.md).
# - system: the BLAS that CMake's FindBLAS finds, as BLA_VENDOR asks (OpenBLAS, FLAME for BLIS, Generic for
#   the reference BLAS, or any vendor FindBLAS knows), linked as FindBLAS says: the check then runs against
#   the BLAS the rest of the host's software loads.
# The one function called is declared by the project itself (ovra/trivial_test/cblas.hpp), as the CBLAS
# interface fixes it, so that no vendor's header is needed wherever it lies; its integers are 32-bit.
set(OVRA_BLAS "serial-openblas" CACHE STRING "The CBLAS host_sgemm calls: serial-openblas, or system (FindBLAS, BLA_VENDOR)")
set_property(CACHE OVRA_BLAS PROPERTY STRINGS serial-openblas system)

# A choice changed on an existing build folder takes effect: what the search found for the last one is
# forgotten.
set(choice "${OVRA_BLAS}|${BLA_VENDOR}|${BLA_STATIC}")
if(NOT choice STREQUAL "${OVRA_BLAS_SEARCHED_FOR}")
  get_property(cached DIRECTORY PROPERTY CACHE_VARIABLES)
  foreach(variable IN LISTS cached)
    if(variable MATCHES "^(BLAS_|OVRA_CBLAS_|OVRA_OPENBLAS_SERIAL_ARCHIVE$|FIND_PACKAGE_MESSAGE_DETAILS_BLAS$)")
      unset(${variable} CACHE)
    endif()
  endforeach()
endif()
set(OVRA_BLAS_SEARCHED_FOR "${choice}" CACHE INTERNAL "The BLAS choice that the cached search results are for")

add_library(ovra_blas INTERFACE)
if(OVRA_BLAS STREQUAL "serial-openblas")
  find_library(OVRA_OPENBLAS_SERIAL_ARCHIVE NAMES libopenblas.a
               PATHS "/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/openblas-serial" NO_DEFAULT_PATH REQUIRED)
  set(ovra_blas_libraries "${OVRA_OPENBLAS_SERIAL_ARCHIVE}" m)
  set(ovra_blas_how "Debian's serial OpenBLAS, static archive")
elseif(OVRA_BLAS STREQUAL "system")
  set(ovra_blas_how "${BLA_VENDOR} through FindBLAS")
  if(NOT BLA_VENDOR)
    set(ovra_blas_how "the first BLAS FindBLAS finds (no BLA_VENDOR)")
  endif()
  set(BLA_SIZEOF_INTEGER 4)
  # Debian keeps the reference BLAS in a folder of its own; libblas.so beside the other libraries is
  # whichever BLAS its alternatives prefer.
  if(BLA_VENDOR STREQUAL "Generic" AND IS_DIRECTORY "/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/blas")
    list(PREPEND CMAKE_LIBRARY_PATH "/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/blas")
  endif()
  find_package(BLAS REQUIRED)
  # The files themselves rather than the alternatives' links, so that the executables load the BLAS that was
  # chosen (CMake's run path then names its folder) and the configure step can say which one that is.
  set(ovra_blas_libraries "")
  foreach(library IN LISTS BLAS_LIBRARIES)
    if(IS_ABSOLUTE "${library}")
      file(REAL_PATH "${library}" library)
    endif()
    list(APPEND ovra_blas_libraries "${library}")
  endforeach()
  # Some vendors keep CBLAS in a library of its own.
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_LIBRARIES ${ovra_blas_libraries} ${BLAS_LINKER_FLAGS})
  check_cxx_source_compiles("extern \"C\" void cblas_sgemm(); int main() { cblas_sgemm(); }" OVRA_CBLAS_IN_BLAS)
  unset(CMAKE_REQUIRED_LIBRARIES)
  if(NOT OVRA_CBLAS_IN_BLAS)
    find_library(OVRA_CBLAS_LIBRARY NAMES cblas REQUIRED)
    list(APPEND ovra_blas_libraries "${OVRA_CBLAS_LIBRARY}")
  endif()
  list(APPEND ovra_blas_libraries ${BLAS_LINKER_FLAGS})
else()
  message(FATAL_ERROR "OVRA_BLAS must be serial-openblas or system, not ${OVRA_BLAS}")
endif()
target_link_libraries(ovra_blas INTERFACE ${ovra_blas_libraries})
# host_sgemm guards against OpenBLAS's endless retry of a refused work buffer (diagnostic.cpp).
if(ovra_blas_libraries MATCHES "openblas")
  target_compile_definitions(ovra_blas INTERFACE OVRA_BLAS_OPENBLAS=1)
endif()
list(JOIN ovra_blas_libraries " " ovra_blas_shown)
message(STATUS "BLAS for host_sgemm: ${ovra_blas_how}: ${ovra_blas_shown}")
