#pragma once
// The two small facts that travel with a document file.

#include <cstdint>

// The order is the order of the encoding menu: the key that picks a member is
// its index plus one, and the index is what the buffer stores.
enum class TextEncoding : std::uint8_t { Utf8, Utf8Bom, Utf16Le, Utf16Be, Cp1251, Cp1252, Cp866 };

inline constexpr int TEXT_ENCODING_COUNT = 7;

enum class LineEnding : std::uint8_t { CrLf, Lf };
