// ovra_layout: which cell of a matrix lies at which storage position of an AMP kernel role.
// The work is in run_tool; this only connects it to the process.

#include <csignal>
#include <cstdio>
#include <string_view>
#include <vector>

#include "ovra/layout_inspector/file_output.hpp"
#include "ovra/layout_inspector/tool.hpp"

int main(int argc, char** argv) {
    namespace inspector = ovra_layout_inspector;
    // Past a file-size limit (ulimit -f) a write then fails with EFBIG and is reported like any other
    // failed write, instead of the signal ending the process with the file half written.
    std::signal(SIGXFSZ, SIG_IGN);
    inspector::remove_temporary_on_ending_signals();
    std::vector<std::string_view> arguments;
    for (int index = 1; index < argc; ++index) {
        arguments.emplace_back(argv[index]);
    }
    const inspector::ToolOutcome outcome = inspector::run_tool(arguments);

    std::fwrite(outcome.out.data(), 1, outcome.out.size(), stdout);
    // Output lost to a full disk or a closed stream must not end in success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fputs("error: cannot write standard output\n", stderr);
        return outcome.status == inspector::exit_success ? inspector::exit_failure : outcome.status;
    }
    std::fwrite(outcome.err.data(), 1, outcome.err.size(), stderr);
    return outcome.status;
}
