// ovra_layout: which cell of a matrix lies at which storage position of an AMP kernel role.
// The work is in run_tool; this only connects it to the process.

#include <unistd.h>

#include <csignal>
#include <new>
#include <string_view>
#include <vector>

#include "ovra/layout_inspector/file_output.hpp"
#include "ovra/layout_inspector/tool.hpp"

int main(int argc, char** argv) {
    namespace inspector = ovra_layout_inspector;
    // Past a file-size limit (ulimit -f) a write then fails with EFBIG and is reported like any other
    // failed write, instead of the signal ending the process with the file half written.
    std::signal(SIGXFSZ, SIG_IGN);
    // Nothing is printed before run_tool has made the whole output, so running out of memory leaves
    // standard output empty; an SVG file is replaced only by a whole picture. The lines written here are
    // static text written with write(2), as reporting a failure must not need memory.
    try {
        std::vector<std::string_view> arguments;
        for (int index = 1; index < argc; ++index) {
            arguments.emplace_back(argv[index]);
        }
        const inspector::ToolOutcome outcome = inspector::run_tool(arguments);
        // Output lost to a full disk or a closed stream must not end in success.
        if (!inspector::write_all(STDOUT_FILENO, outcome.out)) {
            static_cast<void>(inspector::write_all(STDERR_FILENO, "error: cannot write standard output\n"));
            return outcome.status == inspector::exit_success ? inspector::exit_failure : outcome.status;
        }
        static_cast<void>(inspector::write_all(STDERR_FILENO, outcome.err));
        return outcome.status;
    } catch (const std::bad_alloc&) {
        static_cast<void>(inspector::write_all(STDERR_FILENO, "error: out of memory\n"));
        return inspector::exit_failure;
    }
}
