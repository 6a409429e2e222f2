#include "editor/render.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "editor/document.hpp"
#include "editor/help.hpp"
#include "editor/layout.hpp"
#include "editor/messages.hpp"
#include "encoding/text_encoding.hpp"
#include "text/utf8.hpp"

namespace {

constexpr term::Color LINE_NUMBER_FOREGROUND = term::Color::rgb(110, 110, 110);
constexpr term::Color SELECTION_BACKGROUND = term::Color::rgb(50, 80, 140);
constexpr term::Color THUMB_FOREGROUND = term::Color::rgb(90, 90, 90);
constexpr term::Color THUMB_HOVER_FOREGROUND = term::Color::rgb(130, 130, 130);
constexpr term::Color BAR_BACKGROUND = term::Color::rgb(55, 55, 55);

constexpr std::uint64_t NO_LIMIT = std::numeric_limits<std::uint64_t>::max();

void set_colors(term::Output& out, term::Color foreground, term::Color background)
{
    out.set_foreground(foreground);
    out.set_background(background);
}

// Terminal coordinates are 16-bit; a cursor far right of a narrow text area
// goes to the last addressable column rather than wrapping around to 0.
std::uint16_t coordinate(std::uint64_t value)
{
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(value, std::numeric_limits<std::uint16_t>::max()));
}

bool is_control_at(std::string_view text, std::size_t i)
{
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) return true;
    // U+0080 to U+009F: C2 followed by 80 to 9F.
    return byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
           static_cast<unsigned char>(text[i + 1]) < 0xA0;
}

// Whether any of eight bytes is below 0x20, is 0x7F or is 0xC2 (the lead
// byte of U+0080 to U+00BF): the bytes that may start a control character.
bool word_may_hold_control(const char* p)
{
    constexpr std::uint64_t ONES = 0x0101010101010101ULL;
    constexpr std::uint64_t HIGHS = 0x8080808080808080ULL;
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    const auto has_zero = [](std::uint64_t v) { return ((v - ONES) & ~v & HIGHS) != 0; };
    const bool below_space = ((word - ONES * 0x20) & ~word & HIGHS) != 0;
    return below_space || has_zero(word ^ (ONES * 0x7F)) || has_zero(word ^ (ONES * 0xC2));
}

// Text almost never holds control characters: print it as it is then,
// without building a copy. Rows are read eight bytes at a time, since every
// visible row of every frame goes through here.
void print_visible(term::Output& out, std::string_view text)
{
    std::size_t i = 0;
    while (i + 8 <= text.size() && !word_may_hold_control(text.data() + i)) i += 8;
    for (; i < text.size(); ++i) {
        if (is_control_at(text, i)) {
            out.print(visible_text(text));
            return;
        }
    }
    out.print(text);
}

// The line number right-aligned before one space, in gutter colours.
void draw_line_number(term::Output& out, std::uint64_t number, std::uint64_t gutter)
{
    const std::string digits = std::to_string(number);
    std::string cell(gutter - 1 - std::min<std::uint64_t>(digits.size(), gutter - 1), ' ');
    cell += digits;
    cell += ' ';
    set_colors(out, LINE_NUMBER_FOREGROUND, term::Color::reset());
    out.print(cell);
    out.reset_color();
}

// The visible characters of one row, with the part inside the selection
// (from its start up to but not including its end) highlighted.
void draw_text(const Editor& editor, term::Output& out, std::uint64_t row, std::uint64_t width)
{
    const std::string_view shown = utf8::substr(editor.buffer.line(row), editor.left_column, width);
    if (shown.empty()) return;
    if (!editor.anchor) {
        print_visible(out, shown);
        return;
    }
    const Position start = std::min(*editor.anchor, editor.cursor);
    const Position end = std::max(*editor.anchor, editor.cursor);
    if (row < start.row || row > end.row) {
        print_visible(out, shown);
        return;
    }
    // Selected columns of this row, as indexes into the visible part.
    const std::uint64_t from = row == start.row ? start.column : 0;
    const std::uint64_t to = row == end.row ? end.column : NO_LIMIT;
    const std::uint64_t left = editor.left_column;
    const std::uint64_t first = from > left ? from - left : 0;
    const std::uint64_t last = to > left ? to - left : 0;
    const std::size_t a = utf8::byte_offset(shown, first);
    const std::size_t b = last > first ? utf8::byte_offset(shown, last) : a;
    print_visible(out, shown.substr(0, a));
    if (b > a) {
        set_colors(out, term::Color::white(), SELECTION_BACKGROUND);
        print_visible(out, shown.substr(a, b - a));
        out.reset_color();
    }
    print_visible(out, shown.substr(b));
}

void draw_text_area(Editor& editor, term::Output& out)
{
    const std::uint64_t height = text_area_height(editor);
    const std::uint64_t gutter = gutter_width(editor);
    const std::uint64_t width = text_area_width(editor);
    const std::uint64_t lines = editor.buffer.line_count();
    for (std::uint64_t r = 0; r < height; ++r) {
        const std::uint64_t n = editor.top_line + r;
        out.move_to(0, coordinate(r + 1));
        out.clear_current_line();
        if (gutter > 0) {
            if (n >= lines) {
                out.print(std::string(gutter, ' '));
                continue;
            }
            draw_line_number(out, n + 1, gutter);
        }
        if (n < lines) draw_text(editor, out, n, width);
    }
}

void draw_scroll_bar(const Editor& editor, term::Output& out)
{
    if (editor.screen_width == 0 || editor.screen_height <= 2) return;
    const std::uint64_t track = text_area_height(editor);
    const std::uint64_t lines = std::max<std::uint64_t>(editor.buffer.line_count(), 1);
    std::uint64_t first = 0;
    std::uint64_t size = track;
    if (lines > track) {
        size = std::max<std::uint64_t>(track * track / lines, 1);
        first = (track - size) * editor.top_line / (lines - track);
    }
    const bool hover = editor.scrollbar_hover;
    const auto column = static_cast<std::uint16_t>(editor.screen_width - 1);
    for (std::uint64_t t = 0; t < track; ++t) {
        out.move_to(column, coordinate(t + 1));
        if (t < first || t >= first + size) {
            out.print(" ");
            continue;
        }
        std::string_view glyph = "│";
        if (hover) {
            if (size == 1)
                glyph = "▆";
            else if (t == first)
                glyph = "▄";
            else if (t == first + size - 1)
                glyph = "▀";
            else
                glyph = "█";
        }
        set_colors(out, hover ? THUMB_HOVER_FOREGROUND : THUMB_FOREGROUND, term::Color::reset());
        out.print(glyph);
        out.reset_color();
    }
}

void draw_status_bar(const Editor& editor, term::Output& out)
{
    const Buffer& buffer = editor.buffer;
    out.move_to(0, 0);
    set_colors(out, term::Color::white(), BAR_BACKGROUND);
    out.clear_current_line();

    std::string left(1, ' ');
    left += visible_text(file_display_name(buffer));
    if (buffer.modified) left += " *";
    left += "  ";
    std::string right(encoding_label(buffer.encoding));
    right += "  ";
    right += std::to_string(editor.cursor.row + 1);
    right += ':';
    right += std::to_string(editor.cursor.column + 1);
    right += "  ";
    right += std::to_string(buffer.line_count());
    right += msg::LINES_WORD;

    const std::uint64_t width = editor.screen_width;
    const std::uint64_t left_len = utf8::length(left);
    const std::uint64_t right_len = utf8::length(right);
    if (left_len + right_len < width) {
        left.append(width - left_len - right_len, ' ');
        out.print(left);
        out.print(right);
    } else {
        out.print(utf8::substr(left, 0, width));
    }
    out.reset_color();
}

void draw_message_line(const Editor& editor, term::Output& out)
{
    const std::uint64_t width = editor.screen_width;
    out.move_to(0, editor.screen_height > 0 ? static_cast<std::uint16_t>(editor.screen_height - 1) : 0);
    out.clear_current_line();
    const std::string_view message = editor.status_message.text;
    if (message.empty() || width == 0) return;
    std::string line(1, ' ');
    line += visible_text(utf8::substr(message, 0, width - 1));
    line.append(width - utf8::length(line), ' ');
    set_colors(out, term::Color::white(), BAR_BACKGROUND);
    out.print(line);
    out.reset_color();
}

void place_cursor(const Editor& editor, term::Output& out)
{
    const std::uint64_t column = editor.cursor.column > editor.left_column ? editor.cursor.column - editor.left_column
                                                                           : 0;
    const std::uint64_t row = editor.cursor.row > editor.top_line ? editor.cursor.row - editor.top_line : 0;
    out.move_to(coordinate(gutter_width(editor) + column), coordinate(row + 1));
}

}  // namespace

std::string visible_text(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!is_control_at(text, i)) {
            shown.push_back(text[i]);
            continue;
        }
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20) {
            utf8::append(shown, U'\u2400' + byte);
        } else if (byte == 0x7F) {
            utf8::append(shown, U'\u2421');
        } else {
            utf8::append(shown, U'\uFFFD');
            ++i;
        }
    }
    return shown;
}

expected<void, IoError> render(Editor& editor, term::Output& out)
{
    // The gutter is sized by this frame's line count; the layout helpers keep
    // using it until the next frame.
    editor.gutter_line_count = editor.buffer.line_count();

    out.begin_synchronized_update();
    draw_text_area(editor, out);
    draw_scroll_bar(editor, out);
    draw_status_bar(editor, out);
    draw_message_line(editor, out);
    place_cursor(editor, out);
    // The box is part of the frame: the terminal shows both at once, never
    // the frame without it.
    if (editor.help_visible) draw_help(editor, out);
    out.end_synchronized_update();
    return out.flush();
}
