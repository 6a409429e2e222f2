#pragma once
// The seven encodings: detection, decoding into lines, and encoding the
// document back into the file's bytes. Pure functions; nothing here fails
// except encoding into a single-byte code page that lacks a character.

#include "os/expected.hpp"
#include <string>
#include <string_view>
#include <vector>

#include "buffer.hpp"
#include "encoding/codec.hpp"
#include "encoding/text_encoding.hpp"

// "UTF-8", "UTF-8 BOM", "UTF-16 LE", "UTF-16 BE", "CP1251", "CP1252", "CP866".
std::string_view encoding_label(TextEncoding encoding);

// Byte-order mark first, then the statistical detector.
TextEncoding detect_encoding(std::string_view bytes);

// CrLf as soon as the byte pair 0D 0A occurs anywhere in the raw bytes.
LineEnding detect_line_ending(std::string_view bytes);

// Never fails: malformed input becomes U+FFFD.
std::string decode_text(std::string_view bytes, TextEncoding encoding);

// Cuts at every LF and drops one CR before each cut; at least one line.
std::vector<std::string> split_lines(std::string_view text);

// The lines with the separator between them, nothing after the last.
std::string join_lines(const Buffer& buffer, LineEnding line_ending);

// The single-byte code pages of the WHATWG Encoding Standard.
enum class SingleByteEncoding : std::uint8_t { Windows1251, Windows1252, Ibm866 };

// "windows-1251", "windows-1252", "IBM866".
std::string_view single_byte_name(SingleByteEncoding encoding);

// The file's bytes, mark included, or the message saying what cannot be written.
expected<std::string, std::string> encode_document(std::string_view text, TextEncoding encoding);

expected<std::string, std::string> encode_single_byte(std::string_view text, SingleByteEncoding encoding);
