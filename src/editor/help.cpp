#include "editor/help.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "editor/messages.hpp"
#include "text/char_class.hpp"
#include "text/utf8.hpp"

namespace {

constexpr std::uint64_t CONTENT_WIDTH = 50;
constexpr std::uint64_t BOX_WIDTH = CONTENT_WIDTH + 2;
constexpr std::uint64_t BOX_HEIGHT = msg::HELP_LINES.size() + 2;

constexpr term::Color BOX_BACKGROUND = term::Color::rgb(30, 30, 30);
constexpr term::Color BORDER_FOREGROUND = term::Color::rgb(140, 140, 140);
constexpr term::Color HEADING_FOREGROUND = term::Color::rgb(100, 180, 255);
constexpr term::Color TEXT_FOREGROUND = term::Color::rgb(220, 220, 220);

void set_colors(term::Output& out, term::Color foreground)
{
    out.set_foreground(foreground);
    out.set_background(BOX_BACKGROUND);
}

std::string repeat(std::string_view piece, std::uint64_t count)
{
    std::string text;
    for (std::uint64_t i = 0; i < count; ++i) text += piece;
    return text;
}

// One row of the box: a border cell, the content cells, a border cell. A
// screen narrower than the box shows only its first `visible` cells, so
// nothing is ever written past the right edge, where the terminal would
// wrap it onto the next row.
void draw_row(term::Output& out, std::string_view first, std::string_view content, term::Color content_color,
              std::string_view last, std::uint64_t visible)
{
    if (visible == 0) return;
    set_colors(out, BORDER_FOREGROUND);
    out.print(first);
    const std::uint64_t content_cells = std::min(visible - 1, CONTENT_WIDTH);
    if (content_cells > 0) {
        if (content_color != BORDER_FOREGROUND) set_colors(out, content_color);
        out.print(content.substr(0, utf8::byte_offset(content, content_cells)));
    }
    if (visible == BOX_WIDTH) {
        if (content_color != BORDER_FOREGROUND) set_colors(out, BORDER_FOREGROUND);
        out.print(last);
    }
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

void draw_help(const Editor& editor, term::Output& out)
{
    const std::uint64_t width = editor.screen_width;
    const std::uint64_t height = editor.screen_height;
    const std::uint64_t left = width >= CONTENT_WIDTH ? (width - CONTENT_WIDTH) / 2 : 0;
    const std::uint64_t top = height >= msg::HELP_LINES.size() ? (height - msg::HELP_LINES.size()) / 2 : 0;
    const std::uint64_t visible = std::min(BOX_WIDTH, width - left);
    const auto column = static_cast<std::uint16_t>(left);

    const std::string rule = repeat("─", CONTENT_WIDTH);
    if (top < height) {
        out.move_to(column, static_cast<std::uint16_t>(top));
        draw_row(out, "╭", rule, BORDER_FOREGROUND, "╮", visible);
    }
    for (std::uint64_t k = 1; k <= msg::HELP_LINES.size() && top + k < height; ++k) {
        const std::string_view line = msg::HELP_LINES[k - 1];
        std::string content(line.substr(0, utf8::byte_offset(line, CONTENT_WIDTH)));
        content.append(CONTENT_WIDTH - utf8::length(content), ' ');
        out.move_to(column, static_cast<std::uint16_t>(top + k));
        draw_row(out, "│", content, is_help_heading(line) ? HEADING_FOREGROUND : TEXT_FOREGROUND, "│", visible);
    }
    if (top + BOX_HEIGHT - 1 < height) {
        out.move_to(column, static_cast<std::uint16_t>(top + BOX_HEIGHT - 1));
        draw_row(out, "╰", rule, BORDER_FOREGROUND, "╯", visible);
    }
    out.reset_color();
}
