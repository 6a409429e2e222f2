#pragma once
// Where the characters of a line stand on screen. A terminal draws a wide
// character over two columns and a combining mark over the character before
// it; the editor counts display columns the same way, so that what it places
// (the cursor, the view, a click) is where the terminal shows it. A mark with
// no character before it, at the start of a line, is drawn on a space and so
// takes one column. Columns of characters (the cursor's, the buffer's) and
// display columns are not the same thing; these functions turn one into the
// other. Text is valid UTF-8.

#include <cstddef>
#include <cstdint>
#include <string_view>

// Where the character with index `column` is drawn: the display column it
// starts at, and the columns the cursor standing on it covers (its width, at
// least 1: a mark, or the line's end, gives the cursor one). A column past the
// line's end is its end.
struct DisplaySpan {
    std::uint64_t column = 0;
    std::uint64_t width = 1;
};
DisplaySpan display_span(std::string_view line, std::uint64_t column);

// The display columns the whole text takes.
std::uint64_t display_width(std::string_view text);

// The index of the character drawn in display column `x`, on either half of
// a wide one; the line's length when x is past its end.
std::uint64_t column_at_display(std::string_view line, std::uint64_t x);

// Where the part of a line shown from display column `left` on starts: at
// byte `begin`, the character with index `first`. When a wide character has
// its first half left of `left`, its second half shows in column `left`:
// `cut` is then true, and the characters shown start one column further
// right. Marks of characters left of the view are not shown.
struct VisibleStart {
    std::size_t begin = 0;
    std::uint64_t first = 0;
    bool cut = false;
};
VisibleStart visible_start(std::string_view line, std::uint64_t left);

// The bytes from `begin` of the characters that start within the next
// `width` display columns, with the marks on the last.
std::size_t visible_length(std::string_view line, std::size_t begin, std::uint64_t width);

// The byte offset past the marks at `at`, which join the character before
// them: where a part of a line can start without parting a mark from it.
std::size_t skip_marks(std::string_view line, std::size_t at);
