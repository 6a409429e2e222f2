#pragma once
// The screen model: a frame as a grid of character cells, each with its
// colours, plus the terminal cursor. The editor draws a frame into a grid;
// a writer (vt_writer.hpp) turns the difference between the grid last sent
// and the new one into what the terminal needs. The grid lives on from frame
// to frame: a frame redraws only the rows that may have changed, and the
// writer looks only at those.

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
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

// One cell in one 32-bit word, so that cells are filled, copied and
// compared as numbers: its character (a code point, never a control) in the
// low 21 bits, three flags, and its style in the top byte.
//
// A character a terminal draws two columns wide takes two cells: the first
// holds it and is WIDE, the second is a CONTINUATION, with no character (0)
// and the first one's style. A character with combining marks drawn on it is
// a CLUSTER cell: its low bits name the grid's copy of the whole sequence
// (Grid::cluster), which stays the same for as long as the grid lives, so
// that equal cells still show the same. A cell can be WIDE and a CLUSTER.
class Cell {
public:
    static constexpr unsigned STYLE_SHIFT = 24;
    static constexpr unsigned FLAG_SHIFT = 21;
    static constexpr std::uint32_t WIDE = 1;
    static constexpr std::uint32_t CONTINUATION = 2;
    static constexpr std::uint32_t CLUSTER = 4;

    constexpr Cell() = default;
    constexpr Cell(char32_t c, StyleId style, std::uint32_t flags = 0)
        : bits_(static_cast<std::uint32_t>(c) | flags << FLAG_SHIFT | std::uint32_t{style} << STYLE_SHIFT)
    {
    }
    constexpr char32_t code_point() const { return bits_ & 0x1FFFFF; }
    constexpr StyleId style() const { return static_cast<StyleId>(bits_ >> STYLE_SHIFT); }
    constexpr std::uint32_t flags() const { return bits_ >> FLAG_SHIFT & 7; }
    constexpr bool wide() const { return (flags() & WIDE) != 0; }
    constexpr bool continuation() const { return (flags() & CONTINUATION) != 0; }
    constexpr bool cluster() const { return (flags() & CLUSTER) != 0; }
    constexpr std::uint32_t bits() const { return bits_; }
    static constexpr Cell from_bits(std::uint32_t bits)
    {
        Cell cell;
        cell.bits_ = bits;
        return cell;
    }
    friend constexpr bool operator==(Cell, Cell) = default;

private:
    std::uint32_t bits_ = ' ';
};

// A palette has at most this many entries: a style is one byte of a cell.
inline constexpr std::size_t MAX_STYLES = 256;

struct CursorState {
    std::uint16_t column = 0;
    std::uint16_t row = 0;
    bool visible = true;
    friend bool operator==(const CursorState&, const CursorState&) = default;
};

class Grid {
public:
    // Cells a grid holds after its last row, never drawn on, so that a
    // reader may look at a few cells past a row's end sixteen at a time.
    static constexpr std::size_t SLACK = 16;

    Grid() = default;
    Grid(std::uint16_t width, std::uint16_t height) { reset(width, height); }

    // Every cell blank in the default colours, at the given size; every row
    // counts as changed.
    void reset(std::uint16_t width, std::uint16_t height);

    std::uint16_t width() const { return width_; }
    std::uint16_t height() const { return height_; }
    const Cell* row(std::uint16_t r) const
    {
        Cell* cells = cells_.data() + std::size_t{r} * width_;
        if (changed_[r] == LEFTOVER) blank(r, cells);
        return cells;
    }

    // Blanks a row (the default colours, or those of `style`) to be drawn anew.
    void clear_row(std::uint16_t row, StyleId style = DEFAULT_STYLE);
    // A row drawn anew from its first column, left to right, ending with
    // blank_from: cheaper than clearing it first when most of it is drawn.
    void begin_row(std::uint16_t row);
    // Blanks the row in the default colours from `column` to its end.
    void blank_from(std::uint16_t row, std::uint16_t column);
    // Writes the characters of UTF-8 text (valid) from `column` on, as wide
    // as a terminal draws them (char_width), stopping at column `end`
    // (exclusive; the right edge at most), and returns the column after the
    // last one written. A wide character with only one column left is drawn
    // as a space there, and ends the text. A combining mark goes into the
    // cell of the character before it; one that starts the text is drawn on
    // a space. Control characters become visible stand-ins (U+2400 + code,
    // U+2421 for DEL, U+FFFD for the C1 controls), so that nothing drawn is
    // ever sent to the terminal raw. A wide character partly written over
    // leaves a space in its other half.
    std::uint16_t put(std::uint16_t column, std::uint16_t row, std::string_view text, StyleId style,
                      std::uint16_t end = UINT16_MAX);
    // `count` cells of one character of one column from `column` on, clipped
    // at the right edge.
    void fill(std::uint16_t column, std::uint16_t row, std::uint32_t count, char32_t c, StyleId style);

    // The character and marks of a CLUSTER cell, as UTF-8.
    std::string_view cluster(Cell cell) const { return clusters_[cell.code_point()]; }
    // The most bytes one cell's glyph takes in UTF-8.
    std::size_t longest_glyph() const { return longest_glyph_; }

    // Rows drawn since the grid was last sent.
    bool changed(std::uint16_t row) const { return changed_[row] != 0; }
    // The rows from the first to the last that changed, [first, second):
    // a frame after a key press draws on a few, which need not be looked
    // for among all.
    std::pair<std::uint16_t, std::uint16_t> changed_rows() const { return {first_changed_, end_changed_}; }

    // What a changed row held when the grid was last sent, for the writer to
    // compare with what it holds now (kept when a row is first drawn on
    // again, so a frame copies only the rows it draws). Only while shown().
    Cell* row_as_sent(std::uint16_t r) { return sent_.data() + std::size_t{r} * width_; }
    // Whether the grid was sent whole since it was made (or resized): only
    // then does row_as_sent tell what the terminal shows.
    bool shown() const { return shown_; }
    // The grid as it stands is what the terminal shows now.
    void mark_sent();

    // Where a row was written since it was last blanked: a few stretches of
    // columns [first, second), in order, outside which it is blank in the
    // default colours, none of them parting the halves of a wide character.
    // `all` when it may hold something anywhere.
    struct Written {
        static constexpr int MAX = 6;
        std::array<std::pair<std::uint16_t, std::uint16_t>, MAX> stretches;
        std::uint8_t count = 0;
        bool all = false;
    };
    const Written& written(std::uint16_t row) const { return written_[row]; }

    CursorState cursor;

private:
    // A row about to be written on, noted as changed; `whole` when every
    // cell of it will be written, left to right, so that leftovers need not
    // be blanked first.
    Cell* writable_row(std::uint16_t r, bool whole = false)
    {
        Cell* row = cells_.data() + std::size_t{r} * width_;
        if (changed_[r] == SENT) {
            changed_[r] = CHANGED;
            first_changed_ = std::min(first_changed_, r);
            end_changed_ = std::max(end_changed_, static_cast<std::uint16_t>(r + 1));
            if (shown_) std::copy_n(row, width_, row_as_sent(r));
        } else if (changed_[r] == LEFTOVER) {
            if (whole)
                changed_[r] = CHANGED;
            else
                blank(r, row);
        }
        return row;
    }
    void blank(std::uint16_t r, Cell* row) const
    {
        std::fill_n(row, width_, Cell{});
        changed_[r] = CHANGED;
    }
    void note_written(std::uint16_t row, std::uint16_t from, std::uint16_t to);
    void cut_before(Cell* row, std::uint16_t column);
    void cut_after(Cell* row, std::uint16_t column);
    Cell with_mark(Cell base, char32_t mark);

    // What each row is: as last sent, changed since, or, after reset(),
    // changed and still holding what was there before, to be blanked when
    // first looked at or written on. A resize redraws every row, so filling
    // the whole grid with blanks first would be work thrown away.
    enum RowState : std::uint8_t { SENT, CHANGED, LEFTOVER };

    std::uint16_t width_ = 0;
    std::uint16_t height_ = 0;
    mutable std::vector<Cell> cells_;
    mutable std::vector<std::uint8_t> changed_;
    // Whether some row may still be LEFTOVER.
    bool leftovers_ = false;
    std::uint16_t first_changed_ = 0;
    std::uint16_t end_changed_ = 0;
    std::vector<Written> written_;
    std::vector<Cell> sent_;
    bool shown_ = false;

    // Every cluster drawn since the grid was made, each once; a cluster
    // cell holds its index.
    std::unordered_map<std::string, std::uint32_t> cluster_ids_;
    std::vector<std::string> clusters_;
    std::size_t longest_glyph_ = 4;
};

}  // namespace term
