// A C++ symbol or type name as its source spells it, for failure reports and backtraces.
#pragma once

#include <string>

namespace ovra_runner {

// The name as it stands where it is no mangled name; "<unknown>" for none.
std::string demangle(const char* name);

}  // namespace ovra_runner
