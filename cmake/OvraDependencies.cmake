# Every dependency comes from the distribution's packages (scripts/install-deps.sh installs them).
find_package(fmt 9 REQUIRED)
# The project's own targets format through ovra_fmt (fmt_archive/); what is installed names fmt::fmt.
set(OVRA_FMT "$<BUILD_INTERFACE:ovra_fmt>" "$<INSTALL_INTERFACE:fmt::fmt>")
find_package(Threads REQUIRED)

include(OvraBlas)

if(OVRA_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(OVRA_BUILD_BENCHMARKS)
  find_package(benchmark REQUIRED)
endif()
