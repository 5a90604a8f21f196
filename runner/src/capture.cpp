#include <cstdio>

#include "capture_scope.hpp"
#include "ovra/runner/capture.hpp"

namespace ovra_runner {

namespace {

thread_local TestOutputSink current_sink;

}  // namespace

CaptureScope::CaptureScope(TestOutputSink sink) : previous(current_sink) {
    current_sink = sink;
}

CaptureScope::~CaptureScope() {
    current_sink = previous;
}

void write_test_output(OutputStream stream, std::string_view text) {
    if (current_sink.captured != nullptr) {
        // Both streams share one buffer, in the order the test wrote them.
        current_sink.captured->append(text);
        return;
    }
    if (current_sink.console != nullptr) {
        if (stream == OutputStream::Stdout) {
            write_out(*current_sink.console, text);
        } else {
            write_err(*current_sink.console, text);
        }
        return;
    }
    std::FILE* file = stream == OutputStream::Stdout ? stdout : stderr;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
}

}  // namespace ovra_runner
