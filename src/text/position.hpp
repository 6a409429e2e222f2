#pragma once
// Where things are in the document: rows index lines, columns count
// characters (Unicode scalar values), never bytes.

#include <compare>
#include <cstdint>

struct Position {
    std::uint64_t row = 0;
    std::uint64_t column = 0;

    friend constexpr auto operator<=>(const Position&, const Position&) = default;
};
