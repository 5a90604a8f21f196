# ovra_precompiled_header_set(NAME HEADERS ... [LIBRARIES ...] [OPTIONS ...]): headers that many of the
# project's sources include, precompiled once by an object library called NAME that shares their flags, for
# targets to reuse (target_precompile_headers(TARGET REUSE_FROM NAME)). Parsing the same standard and {fmt}
# headers was most of each source's compile time. A precompiled header the compiler would not use is a
# warning (-Winvalid-pch), an error in CI.
include_guard(GLOBAL)

function(ovra_precompiled_header_set name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "HEADERS;LIBRARIES;OPTIONS")
  set(source "${PROJECT_BINARY_DIR}/${name}.cpp")
  file(CONFIGURE OUTPUT "${source}" CONTENT "// Compiled only to precompile the headers of ${name}.\n")
  add_library(${name} OBJECT "${source}")
  target_link_libraries(${name} PRIVATE ${arg_LIBRARIES} ovra_build_flags)
  target_compile_options(${name} PRIVATE ${arg_OPTIONS})
  target_precompile_headers(${name} PRIVATE ${arg_HEADERS})
endfunction()

# The libraries' and executables' own sources.
ovra_precompiled_header_set(ovra_library_headers LIBRARIES ${OVRA_FMT}
  HEADERS <fmt/format.h> <array> <chrono> <cstdint> <expected> <memory> <optional> <span> <string>
          <string_view> <variant> <vector>)
