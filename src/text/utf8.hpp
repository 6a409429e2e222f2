#pragma once
// The editor's one UTF-8 module. Lines in the buffer are always valid UTF-8;
// bytes from outside (files, the clipboard, the terminal, file names) are
// checked by the one validator here and repaired by the one rule here, the
// WHATWG Encoding Standard's: one U+FFFD for each maximal subpart of an
// ill-formed sequence. Columns count code points; the helpers below turn
// them into byte offsets.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace utf8 {

inline constexpr char32_t REPLACEMENT = 0xFFFD;

// Length in bytes of the sequence a lead byte starts, assuming it is well
// formed (true of every line of the buffer).
constexpr std::size_t sequence_length(unsigned char lead)
{
    if (lead < 0x80) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    return 4;
}

// What decode finds at the start of some bytes.
struct Decoded {
    enum class Status : std::uint8_t {
        Ok,         // a well-formed sequence of `length` bytes: `c`
        Truncated,  // the bytes end inside a sequence that is well formed so far
        Malformed,  // ill-formed: `length` bytes (the maximal subpart) stand for one U+FFFD
    };
    Status status = Status::Ok;
    char32_t c = 0;
    std::size_t length = 0;
};

// The whole rule, for decode: every lead byte, every ill-formed sequence.
Decoded decode_any(std::string_view bytes);

// Decodes the sequence at the start of `bytes` (not empty). ASCII and the
// two- and three-byte forms that fill most text beyond it (accented Latin,
// Cyrillic, punctuation) are read here, in the caller's loop; E0 and ED,
// which have sequences of their own to refuse, and the rest go the whole way.
inline Decoded decode(std::string_view bytes)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const std::size_t size = bytes.size();
    if (byte(0) < 0x80) return {Decoded::Status::Ok, byte(0), 1};
    if (size >= 2 && byte(0) >= 0xC2 && byte(0) < 0xE0 && (byte(1) & 0xC0) == 0x80)
        return {Decoded::Status::Ok, static_cast<char32_t>((byte(0) & 0x1Fu) << 6 | (byte(1) & 0x3Fu)), 2};
    if (size >= 3 && byte(0) > 0xE0 && byte(0) < 0xF0 && byte(0) != 0xED && (byte(1) & 0xC0) == 0x80 &&
        (byte(2) & 0xC0) == 0x80)
        return {Decoded::Status::Ok,
                static_cast<char32_t>((byte(0) & 0x0Fu) << 12 | (byte(1) & 0x3Fu) << 6 | (byte(2) & 0x3Fu)), 3};
    return decode_any(bytes);
}

// Writes the UTF-8 form of c (a scalar value) at `out` and returns the place
// after it. Inline: a frame writes every character beyond ASCII through it.
inline char* put(char* out, char32_t c)
{
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}
void append(std::string& out, char32_t c);
std::string encode(char32_t c);

// The length of the longest prefix that is well-formed UTF-8: no overlong
// forms, no surrogates, nothing past U+10FFFF.
std::size_t valid_prefix(std::string_view bytes);
inline bool is_valid(std::string_view bytes) { return valid_prefix(bytes) == bytes.size(); }

// The bytes with every ill-formed stretch replaced as the WHATWG decoder
// does. `unreadable`, when given, grows by the number of bytes replaced.
std::string repair(std::string_view bytes, std::size_t* unreadable = nullptr);

// For valid text: the code point at byte offset `at`, moving `at` past it.
char32_t next(std::string_view text, std::size_t& at);
// For valid text: the code point that ends at byte offset `at`, moving `at` to its start.
char32_t previous(std::string_view text, std::size_t& at);

// Number of code points in valid text.
std::uint64_t length(std::string_view text);

// Byte offset of the character with index `column`, or the text's byte
// length when the column is at or past its end.
std::size_t byte_offset(std::string_view text, std::uint64_t column);

// The characters [from, from + count) of the text, clipped to its end.
std::string_view substr(std::string_view text, std::uint64_t from, std::uint64_t count);

}  // namespace utf8
