#pragma once
// What a file's bytes are: which of the seven encodings, and which line ending.

#include <cstddef>
#include <string>
#include <string_view>

#include "encoding/text_encoding.hpp"
#include "text/lines.hpp"

// Up to this size the statistical detector sees the whole file; above it, a
// sample of about this size (see detection_sample).
inline constexpr std::size_t DETECTOR_LIMIT = std::size_t{8} << 20;

// Whether the bytes start with a UTF-8 or UTF-16 byte-order mark.
bool has_byte_order_mark(std::string_view bytes);

// Byte-order mark first; then valid UTF-8 (empty and pure ASCII input
// included) is UTF-8; anything else goes to the statistical detector, and
// when its answer is not one of the three code pages, to the editor's own
// scorer (encoding/scorer.hpp), which may still pick one; else UTF-8.
TextEncoding detect_encoding(std::string_view bytes);

// What the detector sees of a file larger than DETECTOR_LIMIT: whole lines
// that hold a byte above 0x7F, about DETECTOR_LIMIT of them, taken evenly
// from 64 stretches across the file (so a large ASCII log is judged on its
// few non-ASCII lines wherever they are), in the file's order. A line longer
// than 64 KiB gives 64 KiB around its non-ASCII byte.
std::string detection_sample(std::string_view bytes);

// The encoding a detector's answer names, read as a WHATWG label
// (case-insensitive, surrounding white space ignored): one of the three code
// pages, or UTF-8 for every other answer.
TextEncoding encoding_of_label(std::string_view answer);

// CrLf as soon as a CR LF occurs anywhere in the raw bytes: in UTF-16 the
// code units 000D 000A in the encoding's byte order, counted from the start
// (after the mark); in every other encoding the byte pair 0D 0A.
LineEnding detect_line_ending(std::string_view bytes, TextEncoding encoding);
