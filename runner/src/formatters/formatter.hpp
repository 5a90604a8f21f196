// The one contract every output format keeps: a formatter is a plain value told each step of a run or a
// listing, in order, through one function; it writes what its format shows for that step.
#pragma once

#include <chrono>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <variant>

#include "../console_state.hpp"
#include "../events.hpp"
#include "../terminal.hpp"

namespace ovra_runner {

// The steps of a run. The run loop's own events (events.hpp) carry the first three.
struct ResultReported {
    const CompletedTest& completed;
    // The counts and kept outputs before this result is added.
    const ConsoleState& state;
};
struct RunFinished {
    const ConsoleState& state;
};

// The steps of a listing (`--list`).
struct ListingStarted {};
struct TestListed {
    const TestDescriptor& test;
};
struct ListingFinished {
    const DiscoveryState& state;
};

using FormatterEvent = std::variant<RunStarted, TestStarted, TestRunningLong, ResultReported, RunFinished,
                                    ListingStarted, TestListed, ListingFinished>;

template <class F>
concept Formatter = std::movable<F> &&
    requires(F& formatter, Terminal& terminal, const FormatterEvent& event) {
    { write_event(formatter, terminal, event) } -> std::same_as<void>;
};

}  // namespace ovra_runner
