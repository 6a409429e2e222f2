#include "text/char_class.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

namespace {

struct CodePointRange {
    char32_t first;
    char32_t last;
};

#include "unicode_tables.inc"

bool in_table(std::span<const CodePointRange> table, char32_t c)
{
    // The first range that ends at or after c is the only one that can hold it.
    const auto it = std::lower_bound(table.begin(), table.end(), c,
                                     [](const CodePointRange& r, char32_t v) { return r.last < v; });
    return it != table.end() && it->first <= c;
}

}  // namespace

bool is_word_char(char32_t c)
{
    // Most text is ASCII: answer it without a search.
    if (c < 0x80) return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return in_table(WORD_RANGES, c);
}

bool is_white_space(char32_t c)
{
    if (c < 0x80) return c == ' ' || (c >= 0x09 && c <= 0x0D);
    return in_table(WHITE_SPACE_RANGES, c);
}

bool is_ident_char(char32_t c) { return c == U'_' || is_word_char(c); }

bool is_punct_char(char32_t c) { return !is_ident_char(c) && !is_white_space(c); }

bool is_uppercase(char32_t c) { return in_table(UPPERCASE_RANGES, c); }

namespace {

// The width of every character of the basic multilingual plane, where
// nearly all text is, in two bits each (the width plus one), made once from
// the tables: a frame asks for the width of each character it draws.
using PlaneWidths = std::array<std::uint8_t, 0x10000 / 4>;

PlaneWidths plane_widths()
{
    PlaneWidths widths;
    widths.fill(0b10101010);  // width 1 everywhere
    const auto mark = [&](std::span<const CodePointRange> table, std::uint8_t code) {
        for (const CodePointRange& r : table)
            for (char32_t c = r.first; c <= r.last && c < 0x10000; ++c) {
                const unsigned shift = (c & 3) * 2;
                widths[c >> 2] = static_cast<std::uint8_t>((widths[c >> 2] & ~(3u << shift)) | code << shift);
            }
    };
    mark(ZERO_WIDTH_RANGES, 1);
    mark(DOUBLE_WIDTH_RANGES, 3);
    return widths;
}

}  // namespace

int char_width(char32_t c)
{
    // Below the combining diacritics every character takes one column.
    if (c < 0x300) return 1;
    if (c < 0x10000) {
        static const PlaneWidths widths = plane_widths();
        return ((widths[c >> 2] >> ((c & 3) * 2)) & 3) - 1;
    }
    if (in_table(ZERO_WIDTH_RANGES, c)) return 0;
    return in_table(DOUBLE_WIDTH_RANGES, c) ? 2 : 1;
}
