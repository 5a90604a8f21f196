# Every dependency comes from the distribution's packages (scripts/install-deps.sh installs them).
find_package(fmt 9 REQUIRED)
find_package(Threads REQUIRED)

# OpenBLAS ships its own package config with the include directory of its CBLAS header.
find_package(OpenBLAS CONFIG REQUIRED)
add_library(ovra_openblas INTERFACE)
target_include_directories(ovra_openblas SYSTEM INTERFACE ${OpenBLAS_INCLUDE_DIRS})
target_link_libraries(ovra_openblas INTERFACE ${OpenBLAS_LIBRARIES})

if(OVRA_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(OVRA_BUILD_BENCHMARKS)
  find_package(benchmark REQUIRED)
endif()
