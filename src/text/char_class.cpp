#include "text/char_class.hpp"

#include <algorithm>
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
