#include "terminal/screen.hpp"

#include <algorithm>
#include <cstring>

#include "text/char_class.hpp"
#include "text/utf8.hpp"

namespace term {

namespace {

// No terminal is this large; a size beyond it (a corrupt report) is drawn
// only in part rather than costing the memory of billions of cells.
constexpr std::uint16_t MAX_SIDE = 2048;

// Marks beyond these many bytes on one character are not drawn: no terminal
// shows them apart, and a line of nothing but marks costs no more than this.
constexpr std::size_t MAX_CLUSTER_BYTES = 32;
// Clusters are kept for the grid's life, so that a cell's index always means
// the same; past this many, further marks are left off their characters.
constexpr std::size_t MAX_CLUSTERS = 1 << 16;

// The visible stand-in of a control character, or the character itself.
char32_t visible(char32_t c)
{
    if (c < 0x20) return 0x2400 + c;
    if (c == 0x7F) return 0x2421;
    if (c >= 0x80 && c < 0xA0) return utf8::REPLACEMENT;
    return c;
}

// Whether eight bytes are all printable ASCII (0x20 to 0x7E), the common
// case that is copied without looking at each byte.
bool printable_word(const char* p)
{
    constexpr std::uint64_t ONES = 0x0101010101010101ULL;
    constexpr std::uint64_t HIGHS = 0x8080808080808080ULL;
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    const std::uint64_t below_space = (word - ONES * 0x20) & ~word & HIGHS;
    const std::uint64_t del_or_high = (word | (word + ONES)) & HIGHS;
    return (below_space | del_or_high) == 0;
}

}  // namespace

void Grid::reset(std::uint16_t width, std::uint16_t height)
{
    width_ = std::min(width, MAX_SIDE);
    height_ = std::min(height, MAX_SIDE);
    cells_.assign(std::size_t{width_} * height_, Cell{});
    changed_.assign(height_, 1);
    written_.assign(height_, Written{});
    sent_.resize(cells_.size());
    shown_ = false;
    cursor = {};
    // Nothing refers to a cluster any more: not even the rows as sent, which
    // are not looked at until the grid is sent whole.
    if (!clusters_.empty()) {
        clusters_.clear();
        cluster_ids_.clear();
        longest_glyph_ = 4;
    }
}

void Grid::mark_sent()
{
    std::fill(changed_.begin(), changed_.end(), 0);
    shown_ = true;
}

void Grid::note_written(std::uint16_t row, std::uint16_t from, std::uint16_t to)
{
    Written& written = written_[row];
    if (written.all || from >= to) return;
    if (written.count > 0) {
        auto& last = written.stretches[written.count - 1];
        // Drawn left to right, pieces mostly touch the one before.
        if (from >= last.first && from <= last.second) {
            last.second = std::max(last.second, to);
            return;
        }
        if (from < last.first) {
            written.all = true;
            return;
        }
    }
    if (written.count == Written::MAX) {
        written.all = true;
        return;
    }
    written.stretches[written.count++] = {from, to};
}

void Grid::clear_row(std::uint16_t row, StyleId style)
{
    if (row >= height_) return;
    std::fill_n(writable_row(row), width_, Cell(' ', style));
    written_[row] = Written{};
    // Blanks in colours are something drawn too.
    if (style != DEFAULT_STYLE) written_[row].all = true;
}

void Grid::begin_row(std::uint16_t row)
{
    if (row >= height_) return;
    writable_row(row);
    written_[row] = Written{};
}

void Grid::blank_from(std::uint16_t row, std::uint16_t column)
{
    if (row >= height_ || column >= width_) return;
    Cell* cells = writable_row(row);
    cut_before(cells, column);
    std::fill_n(cells + column, width_ - column, Cell());
}

// Cells from `column` on are about to be written: a wide character whose
// second half is the first of them leaves a space in its first half.
void Grid::cut_before(Cell* row, std::uint16_t column)
{
    if (column > 0 && column < width_ && row[column].continuation())
        row[column - 1] = Cell(' ', row[column - 1].style());
}

// Cells before `column` were just written: the second half of a wide
// character whose first half was one of them becomes a space.
void Grid::cut_after(Cell* row, std::uint16_t column)
{
    if (column < width_ && row[column].continuation()) row[column] = Cell(' ', row[column].style());
}

// The cell `base` with `mark` drawn on it too, as a cluster.
Cell Grid::with_mark(Cell base, char32_t mark)
{
    std::string glyph;
    if (base.cluster())
        glyph = cluster(base);
    else
        utf8::append(glyph, base.code_point());
    utf8::append(glyph, mark);
    if (glyph.size() > MAX_CLUSTER_BYTES) return base;
    auto it = cluster_ids_.find(glyph);
    if (it == cluster_ids_.end()) {
        if (clusters_.size() == MAX_CLUSTERS) return base;
        it = cluster_ids_.emplace(glyph, static_cast<std::uint32_t>(clusters_.size())).first;
        longest_glyph_ = std::max(longest_glyph_, glyph.size());
        clusters_.push_back(std::move(glyph));
    }
    return Cell(it->second, base.style(), (base.flags() & Cell::WIDE) | Cell::CLUSTER);
}

std::uint16_t Grid::put(std::uint16_t column, std::uint16_t row, std::string_view text, StyleId style,
                        std::uint16_t end)
{
    if (row >= height_) return column;
    end = std::min(end, width_);
    Cell* cells = writable_row(row);
    const std::uint16_t from = column;
    const char* p = text.data();
    const char* const stop = p + text.size();
    const std::uint32_t style_bits = std::uint32_t{style} << Cell::STYLE_SHIFT;
    if (column < end && p < stop) cut_before(cells, column);
    while (p < stop) {
        // The run of printable ASCII from here, made cells in one simple loop.
        const auto limit = column < end ? static_cast<std::size_t>(std::min<std::ptrdiff_t>(end - column, stop - p))
                                        : 0;
        std::size_t run = 0;
        while (run + 8 <= limit && printable_word(p + run)) run += 8;
        while (run < limit && static_cast<unsigned char>(p[run]) - 0x20u < 0x5Fu) ++run;
        if (run > 0) {
            Cell* const to = cells + column;
            for (std::size_t k = 0; k < run; ++k)
                to[k] = Cell::from_bits(static_cast<unsigned char>(p[k]) | style_bits);
            column = static_cast<std::uint16_t>(column + run);
            p += run;
            continue;
        }
        const utf8::Decoded d = utf8::decode(std::string_view(p, static_cast<std::size_t>(stop - p)));
        const char32_t c = visible(d.c);
        const int width = char_width(c);
        if (width == 0) {
            // Marks stay with their character, also past the end.
            if (column > from) {
                Cell& base = cells[cells[column - 1].continuation() ? column - 2 : column - 1];
                base = with_mark(base, c);
            } else if (column < end) {
                cells[column++] = with_mark(Cell(' ', style), c);
            } else {
                break;
            }
        } else if (column + width > end) {
            if (column < end) cells[column++] = Cell(' ', style);
            break;
        } else if (width == 2) {
            cells[column++] = Cell(c, style, Cell::WIDE);
            cells[column++] = Cell(0, style, Cell::CONTINUATION);
        } else {
            cells[column++] = Cell(c, style);
        }
        p += d.length;
    }
    if (column > from) cut_after(cells, column);
    note_written(row, from, column);
    return column;
}

void Grid::fill(std::uint16_t column, std::uint16_t row, std::uint32_t count, char32_t c, StyleId style)
{
    if (row >= height_ || column >= width_) return;
    const std::uint32_t n = std::min<std::uint32_t>(count, width_ - column);
    if (n == 0) return;
    Cell* cells = writable_row(row);
    cut_before(cells, column);
    std::fill_n(cells + column, n, Cell(visible(c), style));
    cut_after(cells, static_cast<std::uint16_t>(column + n));
    note_written(row, column, static_cast<std::uint16_t>(column + n));
}

}  // namespace term
