#include "terminal/screen.hpp"

#include <algorithm>
#include <bit>

#include "text/char_class.hpp"
#include "text/utf8.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Makes cells of the leading printable ASCII bytes (0x20 to 0x7E) of
// p[0, limit), the common case, and returns how many; the text goes on to
// `stop`. Sixteen bytes are checked and widened at once where the processor
// can; so are the last few of a run while sixteen bytes of text are left,
// their cells merged into those in place (a grid has room after its last
// row for the cells looked at past a row's end: Grid::SLACK).
std::size_t printable_run(const char* p, std::size_t limit, const char* stop, Cell* to, std::uint32_t style_bits)
{
    std::size_t run = 0;
#if defined(__SSE2__)
    static_assert(sizeof(Cell) == 4 && Grid::SLACK >= 16);
    const __m128i zero = _mm_setzero_si128();
    const __m128i style = _mm_set1_epi32(static_cast<int>(style_bits));
    while (run < limit && stop - (p + run) >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + run));
        // Compared as signed bytes, those from 0x80 up are below 0x20 too.
        const __m128i printable = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(0x1F)),
                                                _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x7F)));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(printable));
        if (limit - run < 16) mask &= (1u << (limit - run)) - 1;
        const __m128i low = _mm_unpacklo_epi8(bytes, zero);
        const __m128i high = _mm_unpackhi_epi8(bytes, zero);
        const __m128i cells[4] = {_mm_or_si128(_mm_unpacklo_epi16(low, zero), style),
                                  _mm_or_si128(_mm_unpackhi_epi16(low, zero), style),
                                  _mm_or_si128(_mm_unpacklo_epi16(high, zero), style),
                                  _mm_or_si128(_mm_unpackhi_epi16(high, zero), style)};
        auto* out = reinterpret_cast<__m128i*>(to + run);
        if (mask == 0xFFFF) {
            for (int i = 0; i < 4; ++i) _mm_storeu_si128(out + i, cells[i]);
            run += 16;
            continue;
        }
        // The printable bytes before the first other one, or before the
        // limit: only their cells change.
        const int count = std::countr_one(mask);
        const __m128i taken = _mm_cmplt_epi8(_mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                                             _mm_set1_epi8(static_cast<char>(count)));
        const __m128i taken_low = _mm_unpacklo_epi8(taken, taken);
        const __m128i taken_high = _mm_unpackhi_epi8(taken, taken);
        const __m128i select[4] = {_mm_unpacklo_epi16(taken_low, taken_low), _mm_unpackhi_epi16(taken_low, taken_low),
                                   _mm_unpacklo_epi16(taken_high, taken_high),
                                   _mm_unpackhi_epi16(taken_high, taken_high)};
        for (int i = 0; i < 4; ++i) {
            const __m128i kept = _mm_andnot_si128(select[i], _mm_loadu_si128(out + i));
            _mm_storeu_si128(out + i, _mm_or_si128(kept, _mm_and_si128(select[i], cells[i])));
        }
        return run + static_cast<std::size_t>(count);
    }
    // Eight at once near the end of a short text: a line number, say.
    if (limit - run >= 8 && stop - (p + run) >= 8) {
        const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + run));
        const __m128i printable = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(0x1F)),
                                                _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x7F)));
        if ((_mm_movemask_epi8(printable) & 0xFF) == 0xFF) {
            const __m128i low = _mm_unpacklo_epi8(bytes, zero);
            auto* out = reinterpret_cast<__m128i*>(to + run);
            _mm_storeu_si128(out, _mm_or_si128(_mm_unpacklo_epi16(low, zero), style));
            _mm_storeu_si128(out + 1, _mm_or_si128(_mm_unpackhi_epi16(low, zero), style));
            run += 8;
        }
    }
#endif
    for (; run < limit; ++run) {
        const auto byte = static_cast<unsigned char>(p[run]);
        if (byte - 0x20u >= 0x5Fu) break;
        to[run] = Cell::from_bits(byte | style_bits);
    }
    return run;
}

}  // namespace

void Grid::reset(std::uint16_t width, std::uint16_t height)
{
    width_ = std::min(width, MAX_SIDE);
    height_ = std::min(height, MAX_SIDE);
    // Blanked row by row when first used; the cells kept meanwhile are those
    // of some earlier frame, each whole.
    cells_.resize(std::size_t{width_} * height_ + SLACK);
    changed_.assign(height_, LEFTOVER);
    leftovers_ = true;
    first_changed_ = 0;
    end_changed_ = height_;
    written_.assign(height_, Written{});
    sent_.resize(cells_.size() - SLACK);
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
    // A row not drawn since the reset went out blank.
    if (leftovers_)
        for (std::uint16_t r = 0; r < height_; ++r)
            if (changed_[r] == LEFTOVER) blank(r, cells_.data() + std::size_t{r} * width_);
    leftovers_ = false;
    if (first_changed_ < end_changed_)
        std::fill(changed_.begin() + first_changed_, changed_.begin() + end_changed_, SENT);
    first_changed_ = height_;
    end_changed_ = 0;
    shown_ = true;
}

inline void Grid::note_written(std::uint16_t row, std::uint16_t from, std::uint16_t to)
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
    std::fill_n(writable_row(row, true), width_, Cell(' ', style));
    written_[row] = Written{};
    // Blanks in colours are something drawn too.
    if (style != DEFAULT_STYLE) written_[row].all = true;
}

void Grid::begin_row(std::uint16_t row)
{
    if (row >= height_) return;
    writable_row(row, true);
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
        // The run of printable ASCII from here, made cells in bulk.
        const auto limit = column < end ? static_cast<std::size_t>(std::min<std::ptrdiff_t>(end - column, stop - p))
                                        : 0;
        const std::size_t run = printable_run(p, limit, stop, cells + column, style_bits);
        column = static_cast<std::uint16_t>(column + run);
        p += run;
        // What stopped the run is handled at once, not looked at again.
        if (p == stop) break;
        const utf8::Decoded d = utf8::decode(std::string_view(p, static_cast<std::size_t>(stop - p)));
        const char32_t c = visible(d.c);
        // Below the combining marks every character is one column wide.
        const int width = c < 0x300 ? 1 : char_width(c);
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
