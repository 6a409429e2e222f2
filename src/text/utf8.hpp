#pragma once
// UTF-8 helpers for text that is already valid UTF-8 (every line of the
// buffer is). Columns count code points; these turn them into byte offsets.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace utf8 {

// Length in bytes of the sequence that starts with this lead byte.
constexpr std::size_t sequence_length(unsigned char lead)
{
    if (lead < 0x80) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    return 4;
}

// Decodes the code point at byte offset `at` and moves `at` past it.
char32_t next(std::string_view text, std::size_t& at);

// Decodes the code point that ends at byte offset `at` and moves `at` to its start.
char32_t previous(std::string_view text, std::size_t& at);

void append(std::string& out, char32_t c);

std::string encode(char32_t c);

// Number of code points in the text.
std::uint64_t length(std::string_view text);

// Byte offset of the character with index `column`, or the text's byte
// length when the column is at or past its end.
std::size_t byte_offset(std::string_view text, std::uint64_t column);

// The characters [from, from + count) of the text, clipped to its end.
std::string_view substr(std::string_view text, std::uint64_t from, std::uint64_t count);

// True when the bytes are well-formed UTF-8 (no surrogates, no overlongs).
bool is_valid(std::string_view bytes);

}  // namespace utf8
