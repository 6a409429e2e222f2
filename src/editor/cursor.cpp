#include "editor/cursor.hpp"

#include <algorithm>
#include <string_view>

#include "editor/layout.hpp"
#include "text/char_class.hpp"
#include "text/utf8.hpp"
#include "text/words.hpp"

Position clamp_to_document(const Buffer& buffer, Position p)
{
    p.row = std::min(p.row, buffer.line_count() - 1);
    p.column = std::min(p.column, buffer.line_len(p.row));
    return p;
}

void clamp_column(Editor& editor)
{
    editor.cursor.column = std::min(editor.cursor.column, editor.buffer.line_len(editor.cursor.row));
}

void move_left(Editor& editor)
{
    Position& c = editor.cursor;
    if (c.column > 0) {
        --c.column;
    } else if (c.row > 0) {
        --c.row;
        c.column = editor.buffer.line_len(c.row);
    }
}

void move_right(Editor& editor)
{
    Position& c = editor.cursor;
    if (c.column < editor.buffer.line_len(c.row)) {
        ++c.column;
    } else if (c.row + 1 < editor.buffer.line_count()) {
        c = {c.row + 1, 0};
    }
}

// There is no remembered preferred column: the vertical moves clamp the
// column they arrive with, and the next one starts from the clamped value.
void move_up(Editor& editor)
{
    if (editor.cursor.row == 0) return;
    --editor.cursor.row;
    clamp_column(editor);
}

void move_down(Editor& editor)
{
    if (editor.cursor.row + 1 >= editor.buffer.line_count()) return;
    ++editor.cursor.row;
    clamp_column(editor);
}

void line_start(Editor& editor) { editor.cursor.column = 0; }

void line_end(Editor& editor) { editor.cursor.column = editor.buffer.line_len(editor.cursor.row); }

void doc_start(Editor& editor) { editor.cursor = {0, 0}; }

void doc_end(Editor& editor)
{
    const std::uint64_t last = editor.buffer.line_count() - 1;
    editor.cursor = {last, editor.buffer.line_len(last)};
}

void page_up(Editor& editor)
{
    const std::uint64_t page = text_area_height(editor);
    editor.cursor.row = editor.cursor.row > page ? editor.cursor.row - page : 0;
    clamp_column(editor);
}

void page_down(Editor& editor)
{
    const std::uint64_t page = text_area_height(editor);
    const std::uint64_t last = editor.buffer.line_count() - 1;
    editor.cursor.row = std::min(editor.cursor.row + page, last);
    clamp_column(editor);
}

void word_left(Editor& editor)
{
    Position& c = editor.cursor;
    if (c.column > 0) {
        c.column = word_start_before(editor.buffer.line(c.row), c.column);
    } else if (c.row > 0) {
        --c.row;
        c.column = editor.buffer.line_len(c.row);
    }
}

void word_right(Editor& editor)
{
    Position& c = editor.cursor;
    const std::string_view text = editor.buffer.line(c.row);
    if (utf8::byte_offset(text, c.column) < text.size())
        c.column = next_word_start(text, c.column);
    else if (c.row + 1 < editor.buffer.line_count())
        c = {c.row + 1, 0};
}

void start_selection(Editor& editor)
{
    if (!editor.anchor) editor.anchor = editor.cursor;
}

void clear_selection(Editor& editor) { editor.anchor.reset(); }

void select_all(Editor& editor)
{
    editor.anchor = Position{0, 0};
    doc_end(editor);
}

std::optional<std::pair<Position, Position>> selection_range(Editor& editor)
{
    if (!editor.anchor) return std::nullopt;
    // Whatever changed the document since the anchor was set, the range must
    // name existing text: both ends are pulled back inside it first.
    editor.anchor = clamp_to_document(editor.buffer, *editor.anchor);
    editor.cursor = clamp_to_document(editor.buffer, editor.cursor);
    if (*editor.anchor == editor.cursor) return std::nullopt;
    return std::minmax(*editor.anchor, editor.cursor);
}

std::string selection_text(Editor& editor)
{
    const auto range = selection_range(editor);
    if (!range) return {};
    const auto [start, end] = *range;
    std::string out;
    for (std::uint64_t row = start.row; row <= end.row; ++row) {
        const std::string_view text = editor.buffer.line(row);
        const std::size_t from = row == start.row ? utf8::byte_offset(text, start.column) : 0;
        const std::size_t to = row == end.row ? utf8::byte_offset(text, end.column) : text.size();
        out.append(text.substr(from, to - from));
        if (row != end.row) out.push_back('\n');
    }
    return out;
}

void select_word_at_cursor(Editor& editor)
{
    editor.cursor = clamp_to_document(editor.buffer, editor.cursor);
    const std::string_view text = editor.buffer.line(editor.cursor.row);
    if (text.empty()) return;

    // Right of the line end the last character is the one clicked.
    std::uint64_t j = editor.cursor.column;
    std::size_t at = utf8::byte_offset(text, j);
    if (at == text.size()) {
        utf8::previous(text, at);
        --j;
    }
    std::size_t probe = at;
    const char32_t clicked = utf8::next(text, probe);
    // White space selects nothing, even next to punctuation: the selection
    // stays empty at the clicked character.
    if (is_white_space(clicked)) {
        editor.anchor = Position{editor.cursor.row, j};
        editor.cursor.column = j;
        return;
    }
    bool (*in_class)(char32_t) = is_ident_char(clicked) ? is_ident_char : is_punct_char;
    std::uint64_t d = j;
    for (std::size_t back = at; d > 0;) {
        if (!in_class(utf8::previous(text, back))) break;
        --d;
    }
    for (std::size_t ahead = at; ahead < text.size(); ++j) {
        if (!in_class(utf8::next(text, ahead))) break;
    }
    editor.anchor = Position{editor.cursor.row, d};
    editor.cursor.column = j;
}
