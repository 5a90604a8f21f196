// The whole of ovra_layout short of the process: arguments in, the texts for standard output and
// standard error and the exit status out. The SVG file, if asked for, is written here too.
#pragma once

#include <expected>
#include <span>
#include <string>
#include <string_view>

#include "ovra/layout_inspector/tool_error.hpp"

namespace ovra_layout_inspector {

struct ToolOutcome {
    int status;
    std::string out;  // for standard output: the whole output or nothing
    std::string err;  // for standard error: empty, or one "error: ..." line with its line end
};

// `arguments` are the command-line arguments after the program name.
ToolOutcome run_tool(std::span<const std::string_view> arguments);

}  // namespace ovra_layout_inspector
