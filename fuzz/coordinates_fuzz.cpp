// Storage coordinates on arbitrary arguments. The sanitizers watch every call for undefined behaviour
// (zero extents and role bytes outside the enumeration included); on top of that:
// - each transposed role agrees with its untransposed order on the exchanged extents, errors included;
// - whether a call fails depends on the extents only, never on the position;
// - a position inside the matrix maps to a cell inside the matrix, and on small matrices every order
//   visits each cell exactly once.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "fuzz_input.hpp"
#include "ovra/codegen/layout_text.hpp"
#include "ovra/codegen/precision_text.hpp"
#include "ovra/codegen/storage_coordinates.hpp"
#include "ovra/codegen/storage_error_text.hpp"

namespace {

using ovra_codegen::layout::NativeKernelOrder;
using ovra_codegen::operator_::Precision;
using ovra_codegen::storage::amp_matrix_coordinates;
using ovra_codegen::storage::CoordinatesResult;
using ovra_codegen::storage::MatrixCoordinates;
using ovra_codegen::storage::right_matrix_coordinates;
using ovra_fuzz::require;

// Cells of the largest matrix whose orders are walked position by position.
constexpr std::uint64_t walked_cells_limit = 2048;

struct Arguments {
    std::uint8_t role_byte;
    Precision precision;
    std::uint32_t rows;
    std::uint32_t columns;
    std::uint32_t linear;
};

Precision decode_precision(std::uint8_t selector, std::uint8_t scale) {
    switch (selector % 3) {
        case 0:
            return ovra_codegen::operator_::F8F143{static_cast<std::int8_t>(scale)};
        case 1:
            return ovra_codegen::operator_::F16{};
        default:
            return ovra_codegen::operator_::F32{};
    }
}

// Random 32-bit extents almost never pass a block check, so the shape bits can make the value small and a
// (wrapping) multiple of 8, 16 or 32: both sides of every check and the overflow bounds stay reachable.
std::uint32_t decode_extent(std::uint32_t raw, unsigned shape) {
    if ((shape & 4U) != 0) {
        raw &= 0xFFU;
    }
    switch (shape & 3U) {
        case 0:
            return raw;
        case 1:
            return raw << 3;
        case 2:
            return raw << 4;
        default:
            return raw << 5;
    }
}

Arguments decode(ovra_fuzz::FuzzInput& input) {
    const std::uint8_t role_byte = ovra_fuzz::take_u8(input);
    const std::uint8_t precision_selector = ovra_fuzz::take_u8(input);
    const std::uint8_t scale = ovra_fuzz::take_u8(input);
    const std::uint8_t shapes = ovra_fuzz::take_u8(input);
    const std::uint32_t raw_rows = ovra_fuzz::take_u32(input);
    const std::uint32_t raw_columns = ovra_fuzz::take_u32(input);
    const std::uint32_t linear = ovra_fuzz::take_u32(input);
    return Arguments{role_byte, decode_precision(precision_selector, scale), decode_extent(raw_rows, shapes),
                     decode_extent(raw_columns, static_cast<unsigned>(shapes >> 3)), linear};
}

std::string describe(const CoordinatesResult& result) {
    return result ? fmt::format("{}", *result) : fmt::format("{:?}", result.error());
}

std::string describe(std::string_view order, const Arguments& arguments, std::uint32_t rows,
                     std::uint32_t columns) {
    return fmt::format("{} with precision {:?}, rows {}, columns {}, linear {}", order, arguments.precision,
                       rows, columns, arguments.linear);
}

CoordinatesResult swapped(const CoordinatesResult& result) {
    if (!result) {
        return result;
    }
    return MatrixCoordinates{result->column, result->row};
}

// One storage order as a function of (rows, columns, linear), for the checks that apply to all of them.
struct Order {
    std::string_view name;
    NativeKernelOrder role;
    bool right_matrix;  // right_matrix_coordinates rather than amp_matrix_coordinates with `role`
};

constexpr Order all_orders[] = {
    {"Left", NativeKernelOrder::Left, false},
    {"TransposedLeft", NativeKernelOrder::TransposedLeft, false},
    {"TransposedRight", NativeKernelOrder::TransposedRight, false},
    {"Output", NativeKernelOrder::Output, false},
    {"TransposedOutput", NativeKernelOrder::TransposedOutput, false},
    {"right-matrix order", NativeKernelOrder::Left, true},
};

CoordinatesResult coordinates(const Order& order, const Precision& precision, std::uint32_t rows,
                              std::uint32_t columns, std::uint32_t linear) {
    if (order.right_matrix) {
        return right_matrix_coordinates(precision, rows, columns, linear);
    }
    return amp_matrix_coordinates(order.role, precision, rows, columns, linear);
}

void check_transposed_agreement(const Arguments& arguments) {
    const Precision& precision = arguments.precision;
    const std::uint32_t rows = arguments.rows;
    const std::uint32_t columns = arguments.columns;
    const std::uint32_t linear = arguments.linear;
    struct Pair {
        std::string_view name;
        CoordinatesResult transposed;
        CoordinatesResult expected;
    };
    const Pair pairs[] = {
        {"TransposedLeft",
         amp_matrix_coordinates(NativeKernelOrder::TransposedLeft, precision, rows, columns, linear),
         swapped(amp_matrix_coordinates(NativeKernelOrder::Left, precision, columns, rows, linear))},
        {"TransposedOutput",
         amp_matrix_coordinates(NativeKernelOrder::TransposedOutput, precision, rows, columns, linear),
         swapped(amp_matrix_coordinates(NativeKernelOrder::Output, precision, columns, rows, linear))},
        {"TransposedRight",
         amp_matrix_coordinates(NativeKernelOrder::TransposedRight, precision, rows, columns, linear),
         swapped(right_matrix_coordinates(precision, columns, rows, linear))},
    };
    for (const Pair& pair : pairs) {
        require(pair.transposed == pair.expected,
                "a transposed role disagrees with its untransposed order on the exchanged extents", [&] {
                    return fmt::format("{}: {}, untransposed and swapped: {}",
                                       describe(pair.name, arguments, rows, columns),
                                       describe(pair.transposed), describe(pair.expected));
                });
    }
}

void check_order(const Order& order, const Arguments& arguments) {
    const std::uint32_t rows = arguments.rows;
    const std::uint32_t columns = arguments.columns;
    const CoordinatesResult at_linear =
        coordinates(order, arguments.precision, rows, columns, arguments.linear);
    const CoordinatesResult at_zero = coordinates(order, arguments.precision, rows, columns, 0);
    require(
        at_linear.has_value() == at_zero.has_value() && (at_linear || at_linear.error() == at_zero.error()),
        "whether a call fails depends on the position", [&] {
            return fmt::format("{}: {}, at position 0: {}", describe(order.name, arguments, rows, columns),
                               describe(at_linear), describe(at_zero));
        });
    if (!at_linear || rows == 0 || columns == 0) {
        return;
    }
    const std::uint64_t cells = std::uint64_t{rows} * std::uint64_t{columns};
    if (arguments.linear < cells) {
        require(at_linear->row < rows && at_linear->column < columns,
                "a position inside the matrix maps to a cell outside it", [&] {
                    return fmt::format("{}: {}", describe(order.name, arguments, rows, columns),
                                       describe(at_linear));
                });
    }
    if (cells > walked_cells_limit) {
        return;
    }
    std::vector<std::uint32_t> visits(static_cast<std::size_t>(cells), 0);
    for (std::uint32_t position = 0; position < cells; ++position) {
        const CoordinatesResult cell = coordinates(order, arguments.precision, rows, columns, position);
        require(cell && cell->row < rows && cell->column < columns,
                "a position inside a small matrix maps to a cell outside it", [&] {
                    return fmt::format("{} at position {}: {}",
                                       describe(order.name, arguments, rows, columns), position,
                                       describe(cell));
                });
        std::uint32_t& count = visits[std::size_t{cell->row} * columns + cell->column];
        ++count;
        require(count == 1, "two positions map to the same cell", [&] {
            return fmt::format("{}: position {} maps to {} again",
                               describe(order.name, arguments, rows, columns), position, describe(cell));
        });
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ovra_fuzz::FuzzInput input{data, size};
    const Arguments arguments = decode(input);

    // Any byte reaches the enumeration; one that names no role must give an error, not a mapping.
    const auto role = static_cast<NativeKernelOrder>(arguments.role_byte);
    const CoordinatesResult direct = amp_matrix_coordinates(role, arguments.precision, arguments.rows,
                                                            arguments.columns, arguments.linear);
    if (arguments.role_byte > static_cast<std::uint8_t>(NativeKernelOrder::TransposedOutput)) {
        require(!direct, "a byte outside the role enumeration was mapped",
                [&] { return fmt::format("role byte {}: {}", arguments.role_byte, describe(direct)); });
    }

    check_transposed_agreement(arguments);
    for (const Order& order : all_orders) {
        check_order(order, arguments);
    }
    return 0;
}
