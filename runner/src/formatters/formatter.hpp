// What every output format is: a plain value told the steps of a run or a listing, in order, each through an
// overload of `write(formatter, console, step)`. Every format has an overload for every step, those it does
// not show written out empty, so that a new step does not compile until each format has decided.
#pragma once

#include <variant>

#include "json_formatter.hpp"
#include "junit_formatter.hpp"
#include "pretty_formatter.hpp"
#include "terse_formatter.hpp"

namespace ovra_runner {

using AnyFormatter = std::variant<PrettyFormatter, TerseFormatter, JsonFormatter, JunitFormatter>;

template <class Step>
void tell(AnyFormatter& formatter, Console& console, const Step& step) {
    std::visit([&](auto& chosen) { write(chosen, console, step); }, formatter);
}

}  // namespace ovra_runner
