#include "text/words.hpp"

#include "text/char_class.hpp"
#include "text/utf8.hpp"

// Both walk the line's bytes once from the column, so a motion over a very
// long line costs one pass, not a character lookup per step.

std::uint64_t word_start_before(std::string_view line, std::uint64_t column)
{
    std::size_t at = utf8::byte_offset(line, column);
    if (at == line.size()) column = utf8::length(line);
    for (const bool word : {false, true}) {
        while (column > 0) {
            std::size_t before = at;
            if (is_word_char(utf8::previous(line, before)) != word) break;
            at = before;
            --column;
        }
    }
    return column;
}

std::uint64_t next_word_start(std::string_view line, std::uint64_t column)
{
    std::size_t at = utf8::byte_offset(line, column);
    if (at == line.size()) return utf8::length(line);
    for (const bool word : {true, false}) {
        while (at < line.size()) {
            std::size_t after = at;
            if (is_word_char(utf8::next(line, after)) != word) break;
            at = after;
            ++column;
        }
    }
    return column;
}
