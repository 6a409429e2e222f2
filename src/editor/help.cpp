#include "editor/help.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "editor/messages.hpp"
#include "editor/palette.hpp"
#include "text/char_class.hpp"
#include "text/utf8.hpp"

namespace {

constexpr std::uint64_t CONTENT_WIDTH = 50;
constexpr std::uint64_t BOX_WIDTH = CONTENT_WIDTH + 2;
constexpr std::uint64_t BOX_HEIGHT = msg::HELP_LINES.size() + 2;

std::string repeat(std::string_view piece, std::uint64_t count)
{
    std::string text;
    for (std::uint64_t i = 0; i < count; ++i) text += piece;
    return text;
}

// One row of the box: a border cell, the content cells, a border cell. A
// screen narrower than the box shows only its first `visible` cells.
void draw_row(term::Grid& grid, std::uint16_t column, std::uint16_t row, std::string_view first,
              std::string_view content, term::StyleId content_style, std::string_view last, std::uint64_t visible)
{
    if (visible == 0) return;
    column = grid.put(column, row, first, style::HELP_BORDER);
    // The content cut, and padded with spaces, to its columns on screen.
    const auto content_end = static_cast<std::uint16_t>(column + std::min(visible - 1, CONTENT_WIDTH));
    column = grid.put(column, row, content, content_style, content_end);
    grid.fill(column, row, content_end - column, ' ', content_style);
    if (visible == BOX_WIDTH) grid.put(content_end, row, last, style::HELP_BORDER);
}

}  // namespace

bool is_help_heading(std::string_view line)
{
    if (!line.starts_with("  ")) return false;
    std::size_t at = 0;
    while (at < line.size()) {
        const char32_t c = utf8::next(line, at);
        if (!is_white_space(c) && !is_uppercase(c)) return false;
    }
    return true;
}

void draw_help(const Editor& editor, term::Grid& grid)
{
    const std::uint64_t width = editor.screen_width;
    const std::uint64_t height = editor.screen_height;
    const std::uint64_t left = width >= CONTENT_WIDTH ? (width - CONTENT_WIDTH) / 2 : 0;
    const std::uint64_t top = height >= msg::HELP_LINES.size() ? (height - msg::HELP_LINES.size()) / 2 : 0;
    const std::uint64_t visible = std::min(BOX_WIDTH, width - left);
    const auto column = static_cast<std::uint16_t>(left);
    if (top >= height) return;

    const std::string rule = repeat("─", CONTENT_WIDTH);
    draw_row(grid, column, static_cast<std::uint16_t>(top), "╭", rule, style::HELP_BORDER, "╮", visible);
    std::uint64_t last_row = top;
    for (std::uint64_t k = 1; k <= msg::HELP_LINES.size() && top + k < height; ++k) {
        const std::string_view line = msg::HELP_LINES[k - 1];
        last_row = top + k;
        draw_row(grid, column, static_cast<std::uint16_t>(last_row), "│", line,
                 is_help_heading(line) ? style::HELP_HEADING : style::HELP_TEXT, "│", visible);
    }
    if (top + BOX_HEIGHT - 1 < height) {
        last_row = top + BOX_HEIGHT - 1;
        draw_row(grid, column, static_cast<std::uint16_t>(last_row), "╰", rule, style::HELP_BORDER, "╯", visible);
    }
    // The terminal cursor is left where the box's last write ended, as
    // printing the box there would leave it.
    const std::uint64_t end = left + visible;
    grid.cursor.row = static_cast<std::uint16_t>(last_row);
    grid.cursor.column = static_cast<std::uint16_t>(width > 0 && end >= width ? width - 1 : end);
}
