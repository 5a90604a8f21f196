// What every output format is: a plain value told the steps of a run or a listing, in order, each through an
// overload of `write(formatter, console, step)`. A format writes only the steps it shows; `tell` passes over
// the others.
#pragma once

#include <variant>

#include "../console.hpp"
#include "../events.hpp"
#include "../run_summary.hpp"
#include "json_formatter.hpp"
#include "junit_formatter.hpp"
#include "pretty_formatter.hpp"
#include "terse_formatter.hpp"

namespace ovra_runner {

using AnyFormatter = std::variant<PrettyFormatter, TerseFormatter, JsonFormatter, JunitFormatter>;

// `step` as `formatter` shows it, or nothing where the format does not show such a step.
template <class Format, class Step>
void write_if_shown(Format& formatter, Console& console, const Step& step) {
    if constexpr (requires { write(formatter, console, step); }) {
        write(formatter, console, step);
    }
}

template <class Step>
void tell(AnyFormatter& formatter, Console& console, const Step& step) {
    std::visit([&](auto& chosen) { write_if_shown(chosen, console, step); }, formatter);
}

}  // namespace ovra_runner
