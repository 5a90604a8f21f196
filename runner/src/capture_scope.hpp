// Points the current thread's test output at one test's sink for the lifetime of a scope.
#pragma once

#include <string>

#include "console.hpp"

namespace ovra_runner {

// Exactly one of the two is set: captured text of both streams, or the console to pass text on to.
struct TestOutputSink {
    std::string* captured = nullptr;
    Console* console = nullptr;
};

struct CaptureScope {
    explicit CaptureScope(TestOutputSink sink);
    ~CaptureScope();
    CaptureScope(const CaptureScope&) = delete;
    CaptureScope& operator=(const CaptureScope&) = delete;

    TestOutputSink previous;
};

}  // namespace ovra_runner
