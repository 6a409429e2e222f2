#pragma once
// The byte-level codecs behind the encoding module: WHATWG UTF-8 with its
// byte-order-mark sniffing, the editor's UTF-16 decoder, and the single-byte
// code pages. Kept free of <expected> so the fuzzer, built by a compiler that
// lacks it, links exactly this code.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "text_encoding.hpp"

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
