#pragma once
// What a file's bytes are: which of the seven encodings, and which line ending.

#include <string_view>

#include "encoding/text_encoding.hpp"
#include "text/lines.hpp"

// Byte-order mark first; then valid UTF-8 (empty and pure ASCII input
// included) is UTF-8; anything else goes to the statistical detector.
TextEncoding detect_encoding(std::string_view bytes);

// CrLf as soon as the byte pair 0D 0A occurs anywhere in the raw bytes.
LineEnding detect_line_ending(std::string_view bytes);
