#pragma once
// Reading and setting the editor's state in tests: the document's lines as
// plain strings, and the document with its cursor and selection marked up:
//
//   "ab|c"        the cursor after b, no selection
//   "a[b|]c"      b selected, the anchor before it and the cursor after it
//   "a[|b]c"      b selected, the cursor before it and the anchor after it
//   "ab[|]c"      a selection that is empty: the anchor at the cursor
//   "one\ntw|o"   lines apart by LF; a selection may span them
//
// A backslash takes the next character as text: "\\|", "\\[", "\\]", "\\\\".

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "editor/editor.hpp"
#include "text/utf8.hpp"

// Positions read as (row, column) in failure messages.
inline void PrintTo(const Position& p, std::ostream* os) { *os << '(' << p.row << ", " << p.column << ')'; }

namespace test_support {

inline std::vector<std::string> lines_of(const Buffer& buffer)
{
    std::vector<std::string> lines;
    for (std::uint64_t row = 0; row < buffer.line_count(); ++row) lines.emplace_back(buffer.line(row));
    return lines;
}

inline std::vector<std::string> lines_of(const Editor& editor) { return lines_of(editor.buffer); }

// The lines joined by LF.
inline std::string text_of(const Buffer& buffer)
{
    std::string text;
    for (std::uint64_t row = 0; row < buffer.line_count(); ++row) {
        if (row > 0) text += '\n';
        text += buffer.line(row);
    }
    return text;
}

inline std::string text_of(const Editor& editor) { return text_of(editor.buffer); }

inline void select(Editor& editor, Position anchor, Position cursor)
{
    editor.anchor = anchor;
    editor.cursor = cursor;
}

struct Marked {
    std::vector<std::string> lines{""};
    Position cursor;
    std::optional<Position> anchor;
};

inline Marked parse_marked(std::string_view text)
{
    Marked m;
    Position at;
    std::optional<Position> cursor, open, close;
    bool cursor_after_open = false, cursor_before_close = false;
    char previous = 0;  // the last marker read, 0 after text
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '|' || c == '[' || c == ']') {
            std::optional<Position>& mark = c == '|' ? cursor : c == '[' ? open : close;
            if (mark) throw std::invalid_argument("two '" + std::string(1, c) + "' in " + std::string(text));
            mark = at;
            if (c == '|') cursor_after_open = previous == '[';
            if (c == ']') cursor_before_close = previous == '|';
            previous = c;
            ++i;
            continue;
        }
        previous = 0;
        if (c == '\n') {
            m.lines.emplace_back();
            at = {at.row + 1, 0};
            ++i;
            continue;
        }
        if (c == '\\' && i + 1 < text.size()) ++i;
        const std::size_t start = i;
        utf8::next(text, i);
        m.lines.back().append(text.substr(start, i - start));
        ++at.column;
    }
    if (!cursor) throw std::invalid_argument("no cursor '|' in " + std::string(text));
    m.cursor = *cursor;
    if (open.has_value() != close.has_value() || (open && !cursor_after_open && !cursor_before_close))
        throw std::invalid_argument("the cursor must stand inside one end of the [selection] in " + std::string(text));
    if (open) m.anchor = cursor_after_open ? *close : *open;
    return m;
}

// Text, cursor and anchor marked up as parse_marked reads them. A cursor or
// anchor outside the document is marked at the nearest place inside it (the
// invariant checks report it).
inline std::string format_marked(const Marked& m)
{
    auto inside = [&](Position p) {
        p.row = std::min<std::uint64_t>(p.row, m.lines.size() - 1);
        p.column = std::min<std::uint64_t>(p.column, utf8::length(m.lines[p.row]));
        return p;
    };
    const Position cursor = inside(m.cursor);
    const bool selection = m.anchor.has_value();
    const Position anchor = selection ? inside(*m.anchor) : cursor;
    auto marks_at = [&](Position p) -> std::string_view {
        if (p == cursor) return !selection ? "|" : anchor == p ? "[|]" : anchor < p ? "|]" : "[|";
        if (selection && p == anchor) return anchor < cursor ? "[" : "]";
        return "";
    };
    std::string text;
    for (std::uint64_t row = 0; row < m.lines.size(); ++row) {
        if (row > 0) text += '\n';
        const std::string_view line = m.lines[row];
        std::uint64_t column = 0;
        for (std::size_t i = 0; i < line.size(); ++column) {
            text += marks_at({row, column});
            const std::size_t start = i;
            utf8::next(line, i);
            if (std::string_view("|[]\\").find(line[start]) != std::string_view::npos) text += '\\';
            text.append(line.substr(start, i - start));
        }
        text += marks_at({row, column});
    }
    return text;
}

// The editor's document, cursor and (unless left out) selection, marked up.
inline std::string marked(const Editor& editor, bool with_anchor = true)
{
    return format_marked({lines_of(editor), editor.cursor, with_anchor ? editor.anchor : std::nullopt});
}

// A marked-up text as it reads without its anchor.
inline std::string without_anchor(std::string_view text)
{
    Marked m = parse_marked(text);
    m.anchor.reset();
    return format_marked(m);
}

}  // namespace test_support
