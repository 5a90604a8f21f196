#include "ovra/layout_inspector/arguments.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <fmt/format.h>

namespace ovra_layout_inspector {

namespace {

namespace operator_ = ovra_codegen::operator_;

constexpr std::string_view usage =
    R"(usage: ovra_layout ROLE PRECISION ROWS COLUMNS [--inverse | --at P | --cell R,C | --svg FILE]

Shows where each cell of a ROWS x COLUMNS matrix lies in the storage order of an AMP
kernel role: which cell is stored at position P, and at which position cell (R, C) is.
Positions count elements from the matrix's first stored element; rows and columns count from 0.

  ROLE       Left, TransposedLeft, TransposedRight, Output, TransposedOutput,
             or right (right-matrix order)
  PRECISION  F8F143, F16 or F32: micro dimension 32, 16 or 8
  ROWS       whole numbers from 1 to 4294967295 that the role's block shape divides:
  COLUMNS      Left              COLUMNS a multiple of the micro dimension
               TransposedLeft    ROWS a multiple of the micro dimension
               Output            COLUMNS a multiple of 16
               TransposedOutput  ROWS a multiple of 16
               right             ROWS a multiple of the micro dimension, COLUMNS of 16
               TransposedRight   COLUMNS a multiple of the micro dimension, ROWS of 16
             and at most 4294967296 cells in all.

Output, one of:
  (default)    The grid: a header line "r\c" and the column indices, then one line per
               row, its index first. Each cell holds its storage position. Numbers are
               right-aligned in columns of equal width separated by one space; " |"
               separates panels or blocks side by side, and a line of "-" (with "+"
               under each "|") separates panels or blocks stacked.
               At most 128 rows and 128 columns.
  --inverse    A header line "position row column", then one line per storage
               position in order with the row and column of the cell it holds.
               At most 16384 positions.
  --at P       The cell stored at position P, at any size.
  --cell R,C   The position of the cell in row R, column C, at any size.
  --svg FILE   Writes the grid as an SVG picture to FILE ("-": standard output):
               cells shaded from light (first stored) to dark (last stored), panels
               and blocks outlined.
               At most 128 rows and 128 columns.
  -h, --help   Prints this text.

Exit status: 0 on success; 1 when the role rejects the shape (the storage error's
message is printed), FILE cannot be written or memory runs out; 2 for a usage
error. Errors are one line "error: ..." on standard error.
)";

constexpr std::string_view usage_line = usage.substr(0, usage.find('\n'));

// Whole numbers only: no sign, space, fraction or trailing text; std::from_chars also refuses
// values past the type's range.
std::optional<std::uint32_t> parse_whole(std::string_view text) {
    std::uint32_t value = 0;
    const char* const end = text.data() + text.size();
    const std::from_chars_result parsed = std::from_chars(text.data(), end, value);
    if (text.empty() || parsed.ec != std::errc{} || parsed.ptr != end) {
        return std::nullopt;
    }
    return value;
}

// The one of `values` that `text` names, or an error that lists their names: "A, B or C".
template <typename Value, std::size_t Count, typename NameOf>
std::expected<Value, UsageError> parse_name(std::string_view what, std::string_view text,
                                            const std::array<Value, Count>& values, NameOf name_of) {
    std::string names;
    for (std::size_t index = 0; index < Count; ++index) {
        if (text == name_of(values[index])) {
            return values[index];
        }
        names += index == 0 ? "" : index + 1 == Count ? " or " : ", ";
        names += name_of(values[index]);
    }
    return usage_error(fmt::format("unknown {} {} (expected {})", what, echoed(text), names));
}

// A whole number from `lowest` up, named `name` in the error.
std::expected<std::uint32_t, UsageError> parse_number(std::string_view name, std::string_view text,
                                                      std::uint32_t lowest) {
    const std::optional<std::uint32_t> value = parse_whole(text);
    if (!value || *value < lowest) {
        return usage_error(fmt::format("{} must be a whole number from {} to 4294967295 (was {})", name,
                                       lowest, echoed(text)));
    }
    return *value;
}

// The request that `option` makes with `value`, which a valueless option does not have.
std::expected<Request, UsageError> parse_request(std::string_view option, std::string_view value) {
    if (option == "--inverse") {
        return ShowInverse{};
    }
    if (option == "--svg") {
        return WriteSvg{std::string(value)};
    }
    if (option == "--at") {
        const std::expected<std::uint32_t, UsageError> position = parse_number(option, value, 0);
        if (!position) {
            return std::unexpected(position.error());
        }
        return ShowAt{*position};
    }
    const std::size_t comma = value.find(',');
    const std::optional<std::uint32_t> row = parse_whole(value.substr(0, comma));
    const std::optional<std::uint32_t> column =
        comma == std::string_view::npos ? std::nullopt : parse_whole(value.substr(comma + 1));
    if (!row || !column) {
        return usage_error(fmt::format("--cell must be R,C: two whole numbers from 0 to 4294967295 (was {})",
                                       echoed(value)));
    }
    return ShowCell{MatrixCoordinates{*row, *column}};
}

// The options and what the value of each is, for "--at needs a position P"; --inverse takes none.
struct Option {
    std::string_view name;
    std::string_view value;
};
constexpr std::array options{Option{"--inverse", ""}, Option{"--at", "a position P"},
                             Option{"--cell", "a cell R,C"}, Option{"--svg", "a FILE"}};

}  // namespace

std::string_view usage_text() {
    return usage;
}

std::expected<ParsedArguments, UsageError> parse_arguments(std::span<const std::string_view> arguments) {
    if (std::ranges::any_of(
            arguments, [](std::string_view argument) { return argument == "-h" || argument == "--help"; })) {
        return ShowHelp{};
    }
    std::vector<std::string_view> operands;
    std::optional<Request> request;
    std::string_view request_option;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string_view argument = arguments[index];
        // "-" alone, and "-" before a digit, start operands.
        if (argument.size() < 2 || argument[0] != '-' || (argument[1] >= '0' && argument[1] <= '9')) {
            operands.push_back(argument);
            continue;
        }
        const std::size_t equals = argument.starts_with("--") ? argument.find('=') : std::string_view::npos;
        const std::string_view option = argument.substr(0, equals);
        const auto known = std::ranges::find(options, option, &Option::name);
        if (known == options.end()) {
            return usage_error(fmt::format("unknown option {}", echoed(argument)));
        }
        // The value follows "=", or else is the next argument.
        std::optional<std::string_view> value;
        if (equals != std::string_view::npos) {
            value = argument.substr(equals + 1);
        } else if (!known->value.empty() && index + 1 < arguments.size()) {
            value = arguments[++index];
        }
        if (known->value.empty() && value) {
            return usage_error(fmt::format("{} takes no value", option));
        }
        if (!known->value.empty() && (!value || (option == "--svg" && value->empty()))) {
            return usage_error(fmt::format("{} needs {}", option, known->value));
        }
        if (request) {
            return std::unexpected(
                UsageError{option == request_option
                               ? fmt::format("{} is given more than once", option)
                               : fmt::format("{} cannot be combined with {}", request_option, option)});
        }
        std::expected<Request, UsageError> parsed = parse_request(option, value.value_or(""));
        if (!parsed) {
            return std::unexpected(parsed.error());
        }
        request = std::move(*parsed);
        request_option = option;
    }

    constexpr std::array<std::string_view, 4> operand_names{"ROLE", "PRECISION", "ROWS", "COLUMNS"};
    if (operands.size() < operand_names.size()) {
        return std::unexpected(
            UsageError{fmt::format("missing {} ({})", operand_names[operands.size()], usage_line)});
    }
    if (operands.size() > operand_names.size()) {
        return std::unexpected(
            UsageError{fmt::format("unexpected argument {}", echoed(operands[operand_names.size()]))});
    }
    constexpr std::array roles{Role::Left,   Role::TransposedLeft,   Role::TransposedRight,
                               Role::Output, Role::TransposedOutput, Role::Right};
    // The scale exponent plays no part in where elements lie.
    const std::array<Precision, 3> precisions{operator_::F8F143{0}, operator_::F16{}, operator_::F32{}};
    const std::expected<Role, UsageError> role = parse_name("ROLE", operands[0], roles, role_name);
    const std::expected<Precision, UsageError> precision =
        parse_name("PRECISION", operands[1], precisions, precision_name);
    const std::expected<std::uint32_t, UsageError> rows = parse_number("ROWS", operands[2], 1);
    const std::expected<std::uint32_t, UsageError> columns = parse_number("COLUMNS", operands[3], 1);
    // The first operand that is wrong is the one reported.
    for (const UsageError* error : {role ? nullptr : &role.error(), precision ? nullptr : &precision.error(),
                                    rows ? nullptr : &rows.error(), columns ? nullptr : &columns.error()}) {
        if (error != nullptr) {
            return std::unexpected(*error);
        }
    }
    return Invocation{StoredMatrix{*role, *precision, *rows, *columns}, request.value_or(ShowGrid{})};
}

}  // namespace ovra_layout_inspector
