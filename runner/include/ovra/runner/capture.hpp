// Output of a running test. The runner points each test's thread at that test's own sink, so output is kept
// per test (and shown for failures) without redirecting file descriptors; with `--no-capture` the sink passes
// the text straight on to the terminal.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include <fmt/format.h>

namespace ovra_runner {

enum class OutputStream { Stdout, Stderr };

// Writes to the current test's sink; outside a test, to the process's own stream.
void write_test_output(OutputStream stream, std::string_view text);

template <class... Args>
void print(fmt::format_string<Args...> format, Args&&... args) {
    write_test_output(OutputStream::Stdout, fmt::format(format, std::forward<Args>(args)...));
}

template <class... Args>
void println(fmt::format_string<Args...> format, Args&&... args) {
    std::string text = fmt::format(format, std::forward<Args>(args)...);
    text.push_back('\n');
    write_test_output(OutputStream::Stdout, text);
}

template <class... Args>
void eprint(fmt::format_string<Args...> format, Args&&... args) {
    write_test_output(OutputStream::Stderr, fmt::format(format, std::forward<Args>(args)...));
}

template <class... Args>
void eprintln(fmt::format_string<Args...> format, Args&&... args) {
    std::string text = fmt::format(format, std::forward<Args>(args)...);
    text.push_back('\n');
    write_test_output(OutputStream::Stderr, text);
}

}  // namespace ovra_runner
