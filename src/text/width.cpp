#include "text/width.hpp"

#include <algorithm>
#include <cstring>

#include "text/char_class.hpp"
#include "text/utf8.hpp"

namespace {

// Whether eight bytes are all ASCII, each one column: most text is, and is
// crossed eight characters at a time.
bool ascii_word(std::string_view text, std::size_t at)
{
    if (at + 8 > text.size()) return false;
    std::uint64_t word;
    std::memcpy(&word, text.data() + at, sizeof word);
    return (word & 0x8080808080808080ULL) == 0;
}

// The columns the character at byte offset `at` takes, and its bytes.
struct Step {
    std::uint64_t columns;
    std::size_t length;
};

Step step_at(std::string_view line, std::size_t at)
{
    if (static_cast<unsigned char>(line[at]) < 0x80) return {1, 1};
    const utf8::Decoded d = utf8::decode(line.substr(at));
    const int width = char_width(d.c);
    // A mark with nothing before it is drawn on a space.
    return {width == 0 && at == 0 ? 1 : static_cast<std::uint64_t>(width), d.length};
}

}  // namespace

DisplaySpan display_span(std::string_view line, std::uint64_t column)
{
    std::uint64_t x = 0;
    std::uint64_t i = 0;
    std::size_t at = 0;
    while (at < line.size()) {
        if (column - i >= 8 && ascii_word(line, at)) {
            at += 8;
            i += 8;
            x += 8;
            continue;
        }
        const Step step = step_at(line, at);
        if (i == column) return {x, std::max<std::uint64_t>(step.columns, 1)};
        x += step.columns;
        at += step.length;
        ++i;
    }
    return {x, 1};
}

std::uint64_t display_width(std::string_view text) { return display_span(text, UINT64_MAX).column; }

std::uint64_t column_at_display(std::string_view line, std::uint64_t x)
{
    std::uint64_t column = 0;
    std::uint64_t i = 0;
    std::size_t at = 0;
    while (at < line.size()) {
        if (x >= column + 8 && ascii_word(line, at)) {
            at += 8;
            i += 8;
            column += 8;
            continue;
        }
        const Step step = step_at(line, at);
        if (x < column + step.columns) return i;
        column += step.columns;
        at += step.length;
        ++i;
    }
    return i;
}

VisibleStart visible_start(std::string_view line, std::uint64_t left)
{
    VisibleStart start;
    // A view not scrolled sideways starts at the line's start, unless that
    // is a mark, which has nothing to stand on: every row asks this.
    if (left == 0 && (line.empty() || static_cast<unsigned char>(line[0]) < 0x80)) return start;
    std::uint64_t column = 0;
    std::size_t at = 0;
    while (at < line.size()) {
        if (column + 8 <= left && ascii_word(line, at)) {
            at += 8;
            column += 8;
            start.first += 8;
            continue;
        }
        const Step step = step_at(line, at);
        if (step.columns > 0 && column >= left) break;
        column += step.columns;
        at += step.length;
        ++start.first;
    }
    start.begin = at;
    start.cut = column > left;
    return start;
}

std::size_t visible_length(std::string_view line, std::size_t begin, std::uint64_t width)
{
    std::uint64_t column = 0;
    std::size_t at = begin;
    while (at < line.size()) {
        if (column + 8 <= width && ascii_word(line, at)) {
            at += 8;
            column += 8;
            continue;
        }
        const Step step = step_at(line, at);
        if (step.columns > 0 && column >= width) break;
        column += step.columns;
        at += step.length;
    }
    return at - begin;
}

std::size_t skip_marks(std::string_view line, std::size_t at)
{
    while (at > 0 && at < line.size() && static_cast<unsigned char>(line[at]) >= 0x80) {
        const utf8::Decoded d = utf8::decode(line.substr(at));
        if (char_width(d.c) != 0) break;
        at += d.length;
    }
    return at;
}
