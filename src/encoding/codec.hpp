#pragma once
// The codecs of the seven encodings: the WHATWG decoders (UTF-8 with its
// byte-order-mark sniffing, the single-byte code pages), the editor's own
// UTF-16 decoder, and the encoders that write a document back.

#include <string>
#include <string_view>

#include "encoding/text_encoding.hpp"
#include "os/expected.hpp"

// Never fails: each malformed sequence becomes U+FFFD.
//
// `unreadable`, when given, grows by the number of input bytes that did not
// become text of their own and so cannot be written back: those of
// malformed sequences and lone surrogates, an odd last byte of UTF-16, and a
// second byte-order mark that the UTF-8 decoder removes after the file's
// own. Text without any decodes to exactly what saving encodes back.
std::string decode_text(std::string_view bytes, TextEncoding encoding, std::size_t* unreadable = nullptr);

// The same text as decode_text, but made from bytes the caller gives up:
// when they already are the text (valid UTF-8, with at most the file's own
// mark in front), their memory is handed back instead of copied, which
// spares a large file one copy of itself.
std::string decode_text_in_place(std::string bytes, TextEncoding encoding, std::size_t* unreadable = nullptr);

// A character of the text has no byte in the encoding (a single-byte code
// page); nothing is written then.
struct Unmappable {
    TextEncoding encoding;
    friend bool operator==(const Unmappable&, const Unmappable&) = default;
};

// The file's bytes, byte-order mark included. The UTF encodings never fail.
expected<std::string, Unmappable> encode_text(std::string_view text, TextEncoding encoding);
