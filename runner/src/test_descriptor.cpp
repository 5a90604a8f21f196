#include "ovra/runner/test_descriptor.hpp"

namespace ovra_runner {

std::string_view function_name(const TestDescriptor& test) {
    const std::size_t separator = test.name.rfind("::");
    return separator == std::string_view::npos ? test.name : test.name.substr(separator + 2);
}

}  // namespace ovra_runner
