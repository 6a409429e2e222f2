#pragma once
// The screen model: a frame as a grid of character cells, each with its
// colours, plus the terminal cursor. The editor draws a frame into a grid;
// a writer (vt_writer.hpp) turns the difference between the grid last sent
// and the new one into what the terminal needs.

#include <cstdint>
#include <string_view>
#include <vector>

#include "terminal/output.hpp"

namespace term {

// The colours of a cell. A grid names them by index into a palette the
// drawing side owns, so that comparing two cells is comparing two numbers.
struct Style {
    Color fg;
    Color bg;
    friend bool operator==(const Style&, const Style&) = default;
};

using StyleId = std::uint16_t;
// Palette entry 0 is the terminal's default colours.
inline constexpr StyleId DEFAULT_STYLE = 0;

struct Cell {
    // The UTF-8 bytes of the character, first byte lowest; never a control.
    std::uint32_t glyph = ' ';
    StyleId style = DEFAULT_STYLE;
    std::uint16_t reserved = 0;
    friend bool operator==(const Cell&, const Cell&) = default;
};

// The UTF-8 of one character, packed as a Cell holds it.
std::uint32_t pack_glyph(std::string_view utf8);
// The bytes of a packed glyph, appended to `out`.
void append_glyph(std::string& out, std::uint32_t glyph);

struct CursorState {
    std::uint16_t column = 0;
    std::uint16_t row = 0;
    bool visible = true;
    friend bool operator==(const CursorState&, const CursorState&) = default;
};

class Grid {
public:
    Grid() = default;
    Grid(std::uint16_t width, std::uint16_t height) { reset(width, height); }

    // Every cell blank in the default colours, at the given size.
    void reset(std::uint16_t width, std::uint16_t height);

    std::uint16_t width() const { return width_; }
    std::uint16_t height() const { return height_; }
    Cell* row(std::uint16_t r) { return cells_.data() + std::size_t{r} * width_; }
    const Cell* row(std::uint16_t r) const { return cells_.data() + std::size_t{r} * width_; }

    // Writes the characters of UTF-8 text (valid) one per cell from `column`
    // on, stopping at column `end` (exclusive; the right edge at most), and
    // returns the column after the last one written. Control characters
    // become visible stand-ins (U+2400 + code, U+2421 for DEL, U+FFFD for the
    // C1 controls), so that nothing drawn is ever sent to the terminal raw.
    std::uint16_t put(std::uint16_t column, std::uint16_t row, std::string_view text, StyleId style,
                      std::uint16_t end = UINT16_MAX);
    // `count` cells of one character from `column` on, clipped at the right edge.
    void fill(std::uint16_t column, std::uint16_t row, std::uint32_t count, std::uint32_t glyph, StyleId style);

    CursorState cursor;

private:
    std::uint16_t width_ = 0;
    std::uint16_t height_ = 0;
    std::vector<Cell> cells_;
};

}  // namespace term
