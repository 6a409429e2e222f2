#pragma once
// zep's own second opinion on a file's code page, for when the statistical
// detector has no usable answer: it reads the bytes above 0x7F as
// windows-1251, windows-1252 and IBM866 in turn and judges which reading
// looks like text.

#include <array>
#include <optional>
#include <string_view>

#include "encoding/text_encoding.hpp"

// How well the bytes read as text in each code page, in the order
// windows-1251, windows-1252, IBM866: the mean, over the bytes above 0x7F,
// of each byte's score (below zero for what text does not do: a letter
// among symbols, a word of two scripts, a case pattern like "рУсСкий", a
// pair of letters no language of the script puts together; above zero for
// usual pairs of letters and for box drawing among box drawing). All zero
// when there is no byte above 0x7F.
std::array<double, 3> code_page_scores(std::string_view bytes);

// Cp1251, Cp1252 or Cp866 when the bytes read clearly better in that code
// page than in the other two and well on their own; nothing otherwise.
std::optional<TextEncoding> code_page_by_reading(std::string_view bytes);
