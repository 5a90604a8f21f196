#include "ovra/layout_inspector/svg_picture.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

#include <fmt/format.h>

#include "ovra/layout_inspector/text_views.hpp"

namespace ovra_layout_inspector {

namespace {

// Red, green and blue from light to dark, each channel falling, so a darker cell is always stored later.
constexpr std::array<std::uint64_t, 3> first_colour{0xf7, 0xfb, 0xff};
constexpr std::array<std::uint64_t, 3> last_colour{0x08, 0x30, 0x6b};

// Room for the row indices on the left and the title and column indices on top.
constexpr std::uint32_t left_margin = 40;
constexpr std::uint32_t top_margin = 44;
constexpr std::uint32_t padding = 12;
constexpr std::uint32_t title_size = 14;
constexpr std::uint32_t index_size = 10;
constexpr std::uint32_t largest_label_size = 12;
constexpr std::uint32_t smallest_label_size = 6;

std::string shade(std::uint64_t position, std::uint64_t last) {
    const auto fade = [&](std::size_t channel) {
        const std::uint64_t from = first_colour[channel];
        return last == 0 ? from : from - (from - last_colour[channel]) * position / last;
    };
    return fmt::format("#{:02x}{:02x}{:02x}", fade(0), fade(1), fade(2));
}

}  // namespace

std::expected<std::string, ToolError> svg_picture(const StoredMatrix& matrix) {
    const std::expected<std::vector<std::uint32_t>, ToolError> positions = grid_positions(matrix, "draw");
    if (!positions) {
        return std::unexpected(positions.error());
    }
    // Large squares for small grids, so that a README-sized picture stays legible.
    const std::uint32_t extent = std::max(matrix.rows, matrix.columns);
    const std::uint32_t cell = extent <= 32 ? 32 : extent <= 64 ? 16 : 8;
    const std::uint64_t last = cell_count(matrix) - 1;
    // Monospace digits are about 0.6 em wide; a label must fit its square with 2 units on each side.
    const auto digit_count = static_cast<std::uint32_t>(fmt::formatted_size("{}", last));
    const std::uint32_t label = std::min(largest_label_size, (cell - 4) * 10 / (6 * digit_count));
    const BlockShape block = block_shape(matrix);

    const std::string title =
        fmt::format("{} {}, {} x {}: storage position of each cell (light first, dark last)",
                    role_name(matrix.role), precision_name(matrix.precision), matrix.rows, matrix.columns);
    // The title is the widest text; about 0.6 em per monospace character.
    const auto title_width = static_cast<std::uint32_t>(title.size()) * title_size * 6 / 10;
    const std::uint32_t width =
        std::max(left_margin + matrix.columns * cell + padding, title_width + 2 * padding);
    const std::uint32_t height = top_margin + matrix.rows * cell + padding;

    std::string out;
    auto sink = std::back_inserter(out);
    fmt::format_to(sink,
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{0}\" height=\"{1}\" "
                   "viewBox=\"0 0 {0} {1}\" font-family=\"monospace\">\n"
                   "<title>{2}</title>\n"
                   "<rect width=\"{0}\" height=\"{1}\" fill=\"#ffffff\"/>\n"
                   "<text x=\"{3}\" y=\"20\" font-size=\"{4}\">{2}</text>\n",
                   width, height, title, padding, title_size);

    // Every index where the squares leave room for its digits (columns) or its height (rows); otherwise
    // every 2nd, 4th or 8th.
    const std::uint32_t column_step = cell >= 32 ? 1 : cell >= 16 ? 4 : 8;
    const std::uint32_t row_step = cell >= 16 ? 1 : 2;
    fmt::format_to(sink, "<g class=\"indices\" font-size=\"{}\" fill=\"#444444\">\n", index_size);
    for (std::uint32_t column = 0; column < matrix.columns; column += column_step) {
        fmt::format_to(sink, "<text x=\"{}\" y=\"{}\" text-anchor=\"middle\">{}</text>\n",
                       left_margin + column * cell + cell / 2, top_margin - 6, column);
    }
    for (std::uint32_t row = 0; row < matrix.rows; row += row_step) {
        fmt::format_to(sink, "<text x=\"{}\" y=\"{}\" text-anchor=\"end\">{}</text>\n", left_margin - 6,
                       top_margin + row * cell + cell / 2 + index_size * 7 / 20, row);
    }
    out += "</g>\n";

    std::string labels;
    auto label_sink = std::back_inserter(labels);
    out += "<g class=\"cells\" stroke=\"#ffffff\" stroke-width=\"1\">\n";
    for (std::uint32_t row = 0; row < matrix.rows; ++row) {
        for (std::uint32_t column = 0; column < matrix.columns; ++column) {
            const std::uint32_t position = (*positions)[row * matrix.columns + column];
            const std::uint32_t x = left_margin + column * cell;
            const std::uint32_t y = top_margin + row * cell;
            fmt::format_to(sink,
                           "<rect class=\"cell\" x=\"{}\" y=\"{}\" width=\"{}\" height=\"{}\" fill=\"{}\">"
                           "<title>cell ({}, {}) at position {}</title></rect>\n",
                           x, y, cell, cell, shade(position, last), row, column, position);
            if (label >= smallest_label_size) {
                // Dark squares take white digits.
                fmt::format_to(label_sink,
                               "<text class=\"position\" x=\"{}\" y=\"{}\" fill=\"{}\">{}</text>\n",
                               x + cell / 2, y + cell / 2 + label * 7 / 20,
                               std::uint64_t{position} * 2 > last ? "#ffffff" : "#000000", position);
            }
        }
    }
    out += "</g>\n";
    // Labels ignore the pointer so that the tooltips of the squares beneath them still show.
    fmt::format_to(
        sink, "<g class=\"positions\" font-size=\"{}\" text-anchor=\"middle\" pointer-events=\"none\">\n",
        label);
    out += labels;
    out += "</g>\n";

    out += "<g class=\"blocks\" fill=\"none\" stroke=\"#000000\" stroke-width=\"2\">\n";
    for (std::uint32_t row = 0; row < matrix.rows; row += block.rows) {
        for (std::uint32_t column = 0; column < matrix.columns; column += block.columns) {
            fmt::format_to(sink, "<rect class=\"block\" x=\"{}\" y=\"{}\" width=\"{}\" height=\"{}\"/>\n",
                           left_margin + column * cell, top_margin + row * cell, block.columns * cell,
                           block.rows * cell);
        }
    }
    out += "</g>\n</svg>\n";
    return out;
}

}  // namespace ovra_layout_inspector
