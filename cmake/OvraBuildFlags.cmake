# Compiler flags shared by every target of the project, carried by one interface target so that
# libraries, tests and tools all build with the same warnings.
add_library(ovra_build_flags INTERFACE)

target_compile_options(ovra_build_flags INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Winvalid-pch
  # Source locations recorded by failed checks are reported relative to the repository root.
  "-fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=")

# The programs link the C++ runtime statically: loading and relocating libstdc++.so was most of what is
# left of their start-up, and a host that installs them needs nothing but the C library. The sanitizer
# presets turn this off, since their runtimes replace operator new and delete, which a static libstdc++
# would shadow. Programs link ovra_static_runtime to follow the option.
option(OVRA_STATIC_RUNTIME "Link the programs with the static C++ runtime" ON)
add_library(ovra_static_runtime INTERFACE)
if(OVRA_STATIC_RUNTIME)
  target_link_options(ovra_static_runtime INTERFACE -static-libstdc++ -static-libgcc)
endif()

# CI builds with warnings as errors; a developer's build only reports them.
if(DEFINED ENV{CI} AND NOT "$ENV{CI}" STREQUAL "" AND NOT "$ENV{CI}" STREQUAL "false")
  set(OVRA_WERROR_DEFAULT ON)
else()
  set(OVRA_WERROR_DEFAULT OFF)
endif()
option(OVRA_WERROR "Treat compiler warnings as errors" ${OVRA_WERROR_DEFAULT})
if(OVRA_WERROR)
  target_compile_options(ovra_build_flags INTERFACE -Werror)
endif()
