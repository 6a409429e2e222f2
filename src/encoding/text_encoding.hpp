#pragma once
// The seven encodings a document can be read and written in, and the one
// table that says everything the editor knows about each.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "encoding/single_byte_tables.hpp"

// The order is the order of the encoding menu: the key that picks a member is
// its index plus one, and the index is what the buffer stores.
enum class TextEncoding : std::uint8_t { Utf8, Utf8Bom, Utf16Le, Utf16Be, Cp1251, Cp1252, Cp866 };

struct EncodingInfo {
    TextEncoding encoding;
    char32_t menu_key;                 // the digit that picks it in the encoding menu
    std::string_view label;            // as the status bar and the menu show it
    std::string_view whatwg_name;      // its name in the WHATWG Encoding Standard
    const SingleByteIndex* code_page;  // the upper half of a single-byte code page; null for the others
};

inline constexpr std::array<EncodingInfo, 7> ENCODINGS = {{
    {TextEncoding::Utf8, U'1', "UTF-8", "UTF-8", nullptr},
    {TextEncoding::Utf8Bom, U'2', "UTF-8 BOM", "UTF-8", nullptr},
    {TextEncoding::Utf16Le, U'3', "UTF-16 LE", "UTF-16LE", nullptr},
    {TextEncoding::Utf16Be, U'4', "UTF-16 BE", "UTF-16BE", nullptr},
    {TextEncoding::Cp1251, U'5', "CP1251", "windows-1251", &WINDOWS_1251_INDEX},
    {TextEncoding::Cp1252, U'6', "CP1252", "windows-1252", &WINDOWS_1252_INDEX},
    {TextEncoding::Cp866, U'7', "CP866", "IBM866", &IBM866_INDEX},
}};

constexpr const EncodingInfo& info_of(TextEncoding encoding) { return ENCODINGS[static_cast<std::size_t>(encoding)]; }

constexpr std::string_view encoding_label(TextEncoding encoding) { return info_of(encoding).label; }

// The encoding a key of the encoding menu picks, if any.
constexpr std::optional<TextEncoding> encoding_for_menu_key(char32_t key)
{
    for (const EncodingInfo& info : ENCODINGS)
        if (info.menu_key == key) return info.encoding;
    return std::nullopt;
}
