#include "ovra/codegen/layout_text.hpp"

namespace ovra_codegen::layout {

std::string debug(const TensorAxis& axis) {
    return text::render_to_string([&axis](auto& sink) { return write_debug(sink, axis); });
}

std::string debug(NativeKernelOrder order) {
    return text::render_to_string([order](auto& sink) { return write_debug(sink, order); });
}

std::string debug(const BlockedOrder& order) {
    return text::render_to_string([&order](auto& sink) { return write_debug(sink, order); });
}

std::string debug(const LayoutError& error) {
    return text::render_to_string([&error](auto& sink) { return write_debug(sink, error); });
}

std::string message(const LayoutError& error) {
    return text::render_to_string([&error](auto& sink) { return write_message(sink, error); });
}

}  // namespace ovra_codegen::layout
