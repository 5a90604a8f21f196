// The error value that tests and the test package's own functions return: a one-line message, the
// messages of its causes (outermost first) and, when enabled, the call stack where it was made.
#pragma once

#include <expected>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "ovra/runner/backtrace.hpp"

namespace ovra_runner {

struct Error {
    std::string message;
    std::vector<std::string> causes;
    std::optional<Backtrace> backtrace;

    friend bool operator==(const Error&, const Error&) = default;
};

template <class T>
using Result = std::expected<T, Error>;

// Outcome of a test function and of the test package's functions that return nothing.
using Status = Result<void>;

// Builds an error, capturing a backtrace when OVRA_BACKTRACE enables it.
Error make_error(std::string message, std::vector<std::string> causes = {});

// Any library error that renders its message through {fmt} converts without the runner knowing its type.
// Library errors end their chain of causes, so the converted value has none.
template <class E>
requires fmt::is_formattable<E>::value Error to_error(const E& error) {
    return make_error(fmt::format("{}", error));
}

// The report printed after "Error: " when a test returns an error: the message, then the causes under
// "Caused by:", then the backtrace under "Stack backtrace:" when one was captured.
std::string render_report(const Error& error);

}  // namespace ovra_runner
