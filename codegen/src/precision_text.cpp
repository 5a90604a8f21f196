#include "ovra/codegen/precision_text.hpp"

namespace ovra_codegen::operator_ {

std::string debug(const Precision& precision) {
    return text::render_to_string([&precision](auto& sink) { return write_debug(sink, precision); });
}

}  // namespace ovra_codegen::operator_
