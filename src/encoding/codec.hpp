#pragma once
// The byte-level codecs behind the encoding module: WHATWG UTF-8 with its
// byte-order-mark sniffing, the editor's UTF-16 decoder, and the single-byte
// code pages. Kept free of <expected> so the fuzzer, built by a compiler that
// lacks it, links exactly this code.

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "encoding/text_encoding.hpp"

// Never fails: each malformed sequence becomes U+FFFD.
std::string decode_text(std::string_view bytes, TextEncoding encoding);

// The same text as decode_text, but made from bytes the caller gives up:
// when they already are the text (valid UTF-8, with at most the file's own
// mark in front), their memory is handed back instead of copied, which
// spares a large file one copy of itself.
std::string decode_text_in_place(std::string bytes, TextEncoding encoding);

// The file's bytes, byte-order mark included, or nothing when a character of
// the text has no byte in a single-byte code page.
std::optional<std::string> encode_text(std::string_view text, TextEncoding encoding);

// Length of the longest prefix of the bytes that is well-formed UTF-8.
std::size_t valid_utf8_prefix(std::string_view bytes);

// How a decoded text is cut into lines, the one rule behind both split_lines
// and a buffer made from a file's text: a cut at every LF; one CR at the end
// of a piece belongs to the line ending and goes, any other CR is text; at
// least one line, so the empty text is one empty line. Calls
// line(start, length) for each line in order, offsets into the text.
template <class Visit>
void for_each_line(std::string_view text, Visit&& line)
{
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* start = begin;
    while (true) {
        // memchr crosses the stretch up to the next LF many bytes at a time.
        const void* lf = start == end ? nullptr : std::memchr(start, '\n', static_cast<std::size_t>(end - start));
        const char* stop = lf ? static_cast<const char*>(lf) : end;
        const std::size_t length = static_cast<std::size_t>(stop - start);
        line(static_cast<std::size_t>(start - begin), length - (length > 0 && stop[-1] == '\r'));
        if (!lf) return;
        start = stop + 1;
    }
}

// The number of lines for_each_line gives: one more than the LFs.
std::size_t count_lines(std::string_view text);
