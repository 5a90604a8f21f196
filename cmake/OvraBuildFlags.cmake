# Compiler flags shared by every target of the project, carried by one interface target so that
# libraries, tests and tools all build with the same warnings.
add_library(ovra_build_flags INTERFACE)

target_compile_options(ovra_build_flags INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion
  # Source locations recorded by failed checks are reported relative to the repository root.
  "-fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=")

# {fmt} compiled into each object (its header-only mode) rather than loaded from libfmt.so: the executables
# then need no shared library but the C library's, and libfmt.so, still named by fmt::fmt, is dropped at
# link time as unneeded.
option(OVRA_FMT_HEADER_ONLY "Use {fmt} in its header-only mode" ON)
if(OVRA_FMT_HEADER_ONLY)
  target_compile_definitions(ovra_build_flags INTERFACE FMT_HEADER_ONLY=1)
  target_link_options(ovra_build_flags INTERFACE LINKER:--as-needed)
endif()

# ovra_trivial_test and ovra_deep_check link the C++ runtime statically: loading and relocating
# libstdc++.so was most of what is left of their start-up. The sanitizer presets turn this off, since their
# runtimes replace operator new and delete, which a static libstdc++ would shadow.
option(OVRA_STATIC_RUNTIME "Link ovra_trivial_test and ovra_deep_check with the static C++ runtime" ON)

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
