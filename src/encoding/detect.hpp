#pragma once
// What a file's bytes are: which of the seven encodings, and which line ending.

#include <string_view>

#include "encoding/text_encoding.hpp"
#include "text/lines.hpp"

// Byte-order mark first; then valid UTF-8 (empty and pure ASCII input
// included) is UTF-8; anything else goes to the statistical detector.
TextEncoding detect_encoding(std::string_view bytes);

// CrLf as soon as a CR LF occurs anywhere in the raw bytes: in UTF-16 the
// code units 000D 000A in the encoding's byte order, counted from the start
// (after the mark); in every other encoding the byte pair 0D 0A.
LineEnding detect_line_ending(std::string_view bytes, TextEncoding encoding);
