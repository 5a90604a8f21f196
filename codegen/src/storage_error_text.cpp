#include "ovra/codegen/storage_error_text.hpp"

namespace ovra_codegen::storage {

std::string debug(const StorageError& error) {
    return text::render_to_string([&error](auto& sink) { return write_debug(sink, error); });
}

std::string message(const StorageError& error) {
    return text::render_to_string([&error](auto& sink) { return write_message(sink, error); });
}

}  // namespace ovra_codegen::storage
