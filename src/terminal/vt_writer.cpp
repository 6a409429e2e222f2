#include "terminal/vt_writer.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "text/utf8.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace term {

namespace {

using Pen = VtWriter::Pen;
using RowShift = VtWriter::RowShift;
using Segment = VtWriter::Segment;
using Shift = VtWriter::Shift;

constexpr int UNKNOWN = Pen::UNKNOWN;
constexpr StyleId NO_STYLE = Pen::NO_STYLE;
constexpr Cell BLANK{};

// The longest shift of a row's cells that is looked for.
constexpr int MAX_SHIFT = 16;
// Frames with more pieces than this are written row by row without trying
// other orders: they are large anyway, and the search would cost more than it saves.
constexpr std::size_t MAX_SEARCHED_SEGMENTS = 64;
constexpr std::size_t MAX_SEARCHED_GROUPS = 4;

// Every move of a frame asks this, of numbers below a screen's size.
int digits(unsigned value)
{
    if (value < 10) return 1;
    if (value < 100) return 2;
    if (value < 1000) return 3;
    int n = 4;
    for (value /= 10000; value > 0; value /= 10) ++n;
    return n;
}

// The decimal digits of `value`, written backwards from `end`; returns
// where they start. Two at a time: the rows and columns of a screen mostly
// take one pair.
char* digits_before(char* end, unsigned value)
{
    static constexpr char PAIRS[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                    "8081828384858687888990919293949596979899";
    while (value >= 100) {
        end -= 2;
        std::memcpy(end, PAIRS + 2 * (value % 100), 2);
        value /= 100;
    }
    if (value < 10) {
        *--end = static_cast<char>('0' + value);
    } else {
        end -= 2;
        std::memcpy(end, PAIRS + 2 * value, 2);
    }
    return end;
}

void put_number(std::string& out, unsigned value)
{
    char text[10];
    out.append(digits_before(text + sizeof text, value), text + sizeof text);
}

// CSI n X, with n left out when it is 1: built on the stack and appended at
// once, as moves are the most frequent command of a frame.
void put_steps(std::string& out, int count, char final)
{
    char text[16];
    char* const end = text + sizeof text - 1;
    *end = final;
    char* start = count > 1 ? digits_before(end, static_cast<unsigned>(count)) : end;
    *--start = '[';
    *--start = '\x1b';
    out.append(start, text + sizeof text);
}

int steps_length(int count) { return count > 1 ? 3 + digits(static_cast<unsigned>(count)) : 3; }

void put_color(std::string& out, Color c, bool foreground)
{
    switch (c.kind) {
    case Color::Kind::Reset: out += foreground ? "39" : "49"; return;
    // Colour 15 of the terminal's palette, the same as 38;5;15, in fewer bytes.
    case Color::Kind::White: out += foreground ? "97" : "107"; return;
    case Color::Kind::Rgb:
        out += foreground ? "38;2;" : "48;2;";
        put_number(out, c.r);
        out.push_back(';');
        put_number(out, c.g);
        out.push_back(';');
        put_number(out, c.b);
        return;
    }
}

// Writes the bytes of the leading cells that are ASCII in the style `same`
// stands for, sixteen at a time, moving `o` past them; returns how many.
// Most of a frame is such cells. Up to sixteen bytes past the new `o` may be
// written over: the caller's room for the cells' glyphs covers them. Up to
// sixteen cells past `count` may be read: a grid has room after its last row
// (Grid::SLACK), so that the last few cells of a run go sixteen at a time too.
int plain_block(const Cell* cells, int count, std::uint32_t same, char*& o)
{
    int k = 0;
#if defined(__SSE2__)
    static_assert(sizeof(Cell) == 4 && Grid::SLACK >= 16);
    const __m128i style = _mm_set1_epi32(static_cast<int>(same));
    const __m128i not_ascii = _mm_set1_epi32(~0x7F);
    const __m128i zero = _mm_setzero_si128();
    for (; k < count; k += 16) {
        __m128i v[4];
        __m128i plain[4];
        for (int i = 0; i < 4; ++i) {
            v[i] = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cells + k + 4 * i)), style);
            plain[i] = _mm_cmpeq_epi32(_mm_and_si128(v[i], not_ascii), zero);
        }
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_packs_epi16(_mm_packs_epi32(plain[0], plain[1]), _mm_packs_epi32(plain[2], plain[3]))));
        if (count - k < 16) mask &= (1u << (count - k)) - 1;
        const __m128i low = _mm_packs_epi32(v[0], v[1]);
        const __m128i high = _mm_packs_epi32(v[2], v[3]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(low, high));
        if (mask != 0xFFFF) {
            const int run = std::countr_one(mask);
            o += run;
            return k + run;
        }
        o += 16;
    }
    return count;
#else
    for (; k < count; ++k) {
        const std::uint32_t plain = cells[k].bits() ^ same;
        if (plain >= 0x80) break;
        *o++ = static_cast<char>(plain);
    }
    return k;
#endif
}

// Writes the glyph of a cell that is not plain ASCII at `o`: nothing for the
// second half of a wide character, which the terminal fills with the first.
char* put_glyph(char* o, Cell cell, const Grid& grid)
{
    if (cell.continuation()) return o;
    if (!cell.cluster()) return utf8::put(o, cell.code_point());
    const std::string_view glyph = grid.cluster(cell);
    std::memcpy(o, glyph.data(), glyph.size());
    return o + glyph.size();
}

// Appends the bytes of moves, colours and cells, keeping track of where the
// cursor is and which colours are set.
class Emitter {
public:
    Emitter(const VtWriter& writer, const Grid& next, Pen start, std::string& out)
        : pen(start), writer_(writer), next_(next), out_(out)
    {
    }

    // To (row, column) by the shortest of an absolute and a relative move.
    void move(int row, int column)
    {
        if (pen.row == row && pen.column == column) return;
        const int absolute = 3 + digits(static_cast<unsigned>(row + 1)) +
                             (column > 0 ? 1 + digits(static_cast<unsigned>(column + 1)) : 0);
        if (pen.row == UNKNOWN || pen.column == UNKNOWN) {
            put_absolute(row, column);
        } else {
            const int up_down = row == pen.row ? 0 : steps_length(std::abs(row - pen.row));
            const Across across = best_across(pen.column, column);
            if (up_down + across.length < absolute) {
                if (row != pen.row) put_steps(out_, std::abs(row - pen.row), row > pen.row ? 'B' : 'A');
                put_across(across, column);
            } else {
                put_absolute(row, column);
            }
        }
        pen.row = row;
        pen.column = column;
    }

    void style(StyleId id)
    {
        if (pen.style == id) return;
        out_ += writer_.colour_change(pen.style, id);
        pen.style = id;
    }

    void segment(const Segment& s)
    {
        move(s.row, s.column);
        if (s.erase) {
            style(DEFAULT_STYLE);
            out_ += "\x1b[K";
            return;
        }
        style(s.style);
        put_cells(next_.row(s.row) + s.column, s.length);
        const int end = s.column + s.length;
        // Written into the last column, the cursor waits to wrap, which
        // terminals handle each their own way: where it is is not relied on.
        if (end >= next_.width())
            pen.row = pen.column = UNKNOWN;
        else
            pen.column = end;
    }

    // Cells [from, to) of a row, at the cursor, in one pass: the colours
    // change where the cells' do.
    void row_cells(const Cell* row, int from, int to)
    {
        if (to <= from) return;
        const Cell* cells = row + from;
        const int count = to - from;
        const std::size_t at = out_.size();
        const std::size_t room = static_cast<std::size_t>(count) * (next_.longest_glyph() + VtWriter::CHANGE_SLOT);
        StyleId current = pen.style;
        out_.resize_and_overwrite(at + room, [&](char* buffer, std::size_t) {
            char* o = buffer + at;
            std::uint32_t same = std::uint32_t{current} << Cell::STYLE_SHIFT;
            for (int k = 0; k < count; ++k) {
                k += plain_block(cells + k, count - k, same, o);
                if (k == count) break;
                const Cell cell = cells[k];
                if (cell.style() != current) {
                    // Copied as a whole slot: the room for a cell covers it.
                    const std::string_view change = writer_.colour_change(current, cell.style());
                    std::memcpy(o, change.data(), VtWriter::CHANGE_SLOT);
                    o += change.size();
                    current = cell.style();
                    same = std::uint32_t{current} << Cell::STYLE_SHIFT;
                }
                o = put_glyph(o, cell, next_);
            }
            return static_cast<std::size_t>(o - buffer);
        });
        pen.style = current;
        if (to >= next_.width())
            pen.row = pen.column = UNKNOWN;
        else
            pen.column = to;
    }

    // Clears from the cursor to the end of the row, in the default colours.
    void erase_to_end()
    {
        style(DEFAULT_STYLE);
        out_ += "\x1b[K";
    }

    // The glyphs of cells in one style, at the cursor.
    void put_cells(const Cell* cells, std::size_t count)
    {
        const std::size_t at = out_.size();
        out_.resize_and_overwrite(at + next_.longest_glyph() * count, [&](char* buffer, std::size_t) {
            char* o = buffer + at;
            for (std::size_t k = 0; k < count; ++k) o = put_glyph(o, cells[k], next_);
            return static_cast<std::size_t>(o - buffer);
        });
    }

    // Inserts (ICH) or deletes (DCH) cells as planned, with no colour set,
    // so that the blanks they bring in are the terminal's own.
    void shifts(const RowShift& plan)
    {
        style(DEFAULT_STYLE);
        for (std::uint8_t i = 0; i < plan.size; ++i) {
            const Shift& shift = plan.shifts[i];
            move(plan.row, shift.column);
            put_steps(out_, std::abs(shift.count), shift.count > 0 ? '@' : 'P');
        }
    }

    Pen pen;

private:
    enum class Way : std::uint8_t { Stay, Forward, Back, Backspaces, Return, ReturnForward };
    struct Across {
        Way way;
        int length;
    };

    static Across best_across(int from, int to)
    {
        if (from == to) return {Way::Stay, 0};
        if (to == 0) return {Way::Return, 1};
        Across best = to > from ? Across{Way::Forward, steps_length(to - from)}
                                : Across{Way::Back, steps_length(from - to)};
        if (to < from && from - to < best.length) best = {Way::Backspaces, from - to};
        if (1 + steps_length(to) < best.length) best = {Way::ReturnForward, 1 + steps_length(to)};
        return best;
    }

    void put_across(Across across, int column)
    {
        switch (across.way) {
        case Way::Stay: return;
        case Way::Forward: put_steps(out_, column - pen.column, 'C'); return;
        case Way::Back: put_steps(out_, pen.column - column, 'D'); return;
        case Way::Backspaces: out_.append(static_cast<std::size_t>(pen.column - column), '\b'); return;
        case Way::Return: out_.push_back('\r'); return;
        case Way::ReturnForward:
            out_.push_back('\r');
            put_steps(out_, column, 'C');
            return;
        }
    }

    void put_absolute(int row, int column)
    {
        char text[32];
        char* const end = text + sizeof text - 1;
        *end = 'H';
        char* start = end;
        if (column > 0) {
            start = digits_before(start, static_cast<unsigned>(column + 1));
            *--start = ';';
        }
        start = digits_before(start, static_cast<unsigned>(row + 1));
        *--start = '[';
        *--start = '\x1b';
        out_.append(start, text + sizeof text);
    }

    const VtWriter& writer_;
    const Grid& next_;
    std::string& out_;
};

// The first column before `to`, going left, of a run of blanks in the
// default colours that ends at `to`. Four cells are looked at at once.
int blanks_before(const Cell* row, int to)
{
    const auto differs = [&](int k) { return row[k].bits() ^ BLANK.bits(); };
    while (to >= 4 && (differs(to - 1) | differs(to - 2) | differs(to - 3) | differs(to - 4)) == 0) to -= 4;
    while (to > 0 && row[to - 1] == BLANK) --to;
    return to;
}

// The first column from which a row holds only blanks in the default
// colours, to its end.
int blank_tail(const Cell* row, int width) { return blanks_before(row, width); }

// The first column from `column` on where two rows differ, or `width`. Most
// of a changed row is not: sixteen cells are compared at once.
int next_difference(const Cell* a, const Cell* b, int column, int width)
{
#if defined(__SSE2__)
    const auto equal = [&](int at) {
        return _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + at)),
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + at)));
    };
    for (; column + 16 <= width; column += 16) {
        const __m128i same = _mm_and_si128(_mm_and_si128(equal(column), equal(column + 4)),
                                           _mm_and_si128(equal(column + 8), equal(column + 12)));
        if (_mm_movemask_epi8(same) != 0xFFFF) break;
    }
    for (; column + 4 <= width; column += 4) {
        const auto same = static_cast<unsigned>(_mm_movemask_epi8(equal(column)));
        if (same != 0xFFFF) return column + std::countr_one(same) / 4;
    }
#else
    while (column + 4 <= width && std::memcmp(a + column, b + column, 4 * sizeof(Cell)) == 0) column += 4;
#endif
    while (column < width && a[column] == b[column]) ++column;
    return column;
}

// The cells of `shown` that differ from `next` in one row: first and last.
bool changed_span(const Cell* shown, const Cell* next, int width, int& first, int& last)
{
    first = next_difference(shown, next, 0, width);
    if (first == width) return false;
    // From the end back to the last difference, which is at `first` or
    // after it: four cells at a time while four are left after `first`.
    int end = width;
#if defined(__SSE2__)
    for (; end - 4 > first; end -= 4) {
        const __m128i same = _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(shown + end - 4)),
                                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(next + end - 4)));
        const auto differ = ~static_cast<unsigned>(_mm_movemask_epi8(same)) & 0xFFFF;
        if (differ != 0) {
            last = end - 4 + (std::bit_width(differ) - 1) / 4;
            return true;
        }
    }
#endif
    last = end - 1;
    while (shown[last] == next[last]) --last;
    return true;
}

// Whether `count` cells are the same in both places: a cell is equal to
// another when its bits are.
bool same_cells(const Cell* a, const Cell* b, int count)
{
    static_assert(std::has_unique_object_representations_v<Cell>);
    return std::memcmp(a, b, static_cast<std::size_t>(count) * sizeof(Cell)) == 0;
}

// How many of the cells [from, to] of two rows differ, four at a time where
// the processor can.
int differing(const Cell* a, const Cell* b, int from, int to)
{
    int count = 0;
    int k = from;
#if defined(__SSE2__)
    // Lanes that differ, counted by adding their all-ones (minus one) up.
    __m128i differ = _mm_setzero_si128();
    for (; k + 4 <= to + 1; k += 4) {
        const __m128i same = _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + k)),
                                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + k)));
        differ = _mm_sub_epi32(differ, _mm_andnot_si128(same, _mm_set1_epi32(-1)));
    }
    alignas(16) std::int32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), differ);
    count = lanes[0] + lanes[1] + lanes[2] + lanes[3];
#endif
    for (; k <= to; ++k) count += !(a[k] == b[k]);
    return count;
}

// Shifts the model of a row as the terminal shifts its cells, bringing in
// blanks in the default colours (the shifts are done with no colour set).
void apply_shift(Cell* row, int width, Shift shift)
{
    const int column = shift.column;
    if (shift.count > 0) {
        std::copy_backward(row + column, row + width - shift.count, row + width);
        std::fill_n(row + column, shift.count, BLANK);
    } else {
        std::copy(row + column - shift.count, row + width, row + column);
        std::fill_n(row + width + shift.count, -shift.count, BLANK);
    }
}

// The cell at `column` of a row once a shift has moved it.
Cell shifted(const Cell* row, int width, Shift shift, int column)
{
    if (column < shift.column) return row[column];
    if (shift.count > 0) return column < shift.column + shift.count ? BLANK : row[column - shift.count];
    return column < width + shift.count ? row[column - shift.count] : BLANK;
}

// Whether a shift leaves every wide character of a row whole, the row's
// cells given by `cell_at`: it must not cut between the two cells of one
// where it starts, nor where cells leave the row or stay behind.
template <class CellAt>
bool keeps_pairs(const CellAt& cell_at, int width, Shift shift)
{
    const auto second_half = [&](int column) { return column < width && cell_at(column).continuation(); };
    const int k = std::abs(shift.count);
    if (second_half(shift.column)) return false;
    return shift.count > 0 ? !second_half(width - k) : !second_half(shift.column + k);
}

// Text inserted or deleted in the middle of a line moves the rest of it: the
// terminal can move those cells itself (insert or delete characters), so only
// the new ones are sent. A shift of the whole rest of the row would also move
// the cells after the changed stretch (the scroll bar): they are first moved
// the other way, so they end where they were. Plans the shifts for a row
// whose cells differ from `first` to `last`, applies them to the model of
// what is shown, and tells whether there are any. Shifts that would cut a
// wide character in two are not made: terminals differ in what they show then.
bool plan_shift(Cell* shown, const Cell* next, std::uint16_t row, int width, int first, int last, RowShift& plan)
{
    int best_count = 0;
    int best_cost = differing(shown, next, first, last);
    for (int k = 1; k <= std::min(MAX_SHIFT, last - first); ++k) {
        // About two short moves and the shifts themselves, and the k new cells.
        const int cost = k + (last < width - 1 ? 16 : 8);
        if (cost >= best_cost) break;
        // Inserted: the old cells [first, last - k] stand at [first + k, last].
        if (same_cells(shown + first, next + first + k, last - k + 1 - first)) best_count = k, best_cost = cost;
        // Deleted: the old cells [first + k, last] stand at [first, last - k].
        else if (same_cells(shown + first + k, next + first, last - k + 1 - first))
            best_count = -k, best_cost = cost;
    }
    if (best_count == 0) return false;
    const auto k = static_cast<std::int16_t>(std::abs(best_count));
    const auto at = [](int column) { return static_cast<std::uint16_t>(column); };
    plan = RowShift{row, {}, 0};
    const bool keep_tail = last < width - 1;
    if (best_count > 0) {
        if (keep_tail) plan.shifts[plan.size++] = {at(last - k + 1), static_cast<std::int16_t>(-k)};
        plan.shifts[plan.size++] = {at(first), k};
    } else {
        plan.shifts[plan.size++] = {at(first), static_cast<std::int16_t>(-k)};
        if (keep_tail) plan.shifts[plan.size++] = {at(last - k + 1), k};
    }
    // Each shift is checked on the row as the one before it leaves it.
    if (!keeps_pairs([&](int c) { return shown[c]; }, width, plan.shifts[0])) return false;
    if (plan.size > 1 &&
        !keeps_pairs([&](int c) { return shifted(shown, width, plan.shifts[0], c); }, width, plan.shifts[1]))
        return false;
    for (std::uint8_t i = 0; i < plan.size; ++i) apply_shift(shown, width, plan.shifts[i]);
    return true;
}

// The changed cells of a row as segments of one style each. A run that
// reaches the end of the row over blanks in the default colours ends in an
// erase instead of those blanks.
void add_segments(const Cell* shown, const Cell* next, std::uint16_t row, int width, int first, int last,
                  std::vector<Segment>& segments)
{
    for (int c = next_difference(shown, next, first, last + 1); c <= last;
         c = next_difference(shown, next, c, last + 1)) {
        int end = c + 1;
        while (end <= last && !(shown[end] == next[end])) ++end;
        // A wide character is written whole: a new one in place of another
        // leaves the second half as it was.
        if (next[end - 1].wide()) ++end;
        // Blanks to the end of the row cost three bytes as an erase.
        const int blank_from = end == width ? std::max(c, blank_tail(next, width)) : width;
        const bool erase_tail = width - blank_from > 3;
        const int stop = erase_tail ? blank_from : end;
        for (int s = c; s < stop;) {
            int e = s + 1;
            while (e < stop && next[e].style() == next[s].style()) ++e;
            segments.push_back(
                {row, static_cast<std::uint16_t>(s), static_cast<std::uint16_t>(e - s), next[s].style(), false});
            s = e;
        }
        if (erase_tail)
            segments.push_back(
                {row, static_cast<std::uint16_t>(stop), static_cast<std::uint16_t>(width - stop), DEFAULT_STYLE, true});
        c = end;
    }
}

StyleId segment_style(const Segment& s) { return s.erase ? DEFAULT_STYLE : s.style; }

void put_cursor(Emitter& emit, const Grid& next)
{
    const CursorState& cursor = next.cursor;
    emit.move(cursor.row, cursor.column);
    // A cursor placed off the screen is clamped by the terminal.
    if (cursor.row >= next.height() || cursor.column >= next.width()) emit.pen.row = emit.pen.column = UNKNOWN;
}

}  // namespace

VtWriter::VtWriter(std::span<const Style> palette) : palette_(palette)
{
    // Every change of colours the palette allows, made once: from each
    // entry and from colours not known, to each entry.
    const std::size_t n = palette.size();
    colour_changes_.resize((n + 1) * n * CHANGE_SLOT);
    colour_change_sizes_.resize((n + 1) * n);
    std::string change;
    for (std::size_t from = 0; from <= n; ++from)
        for (std::size_t to = 0; to < n; ++to) {
            if (from == to) continue;
            change = "\x1b[";
            const Style& target = palette[to];
            if (to == DEFAULT_STYLE) {
                // SGR 0: both colours back to the terminal's own.
            } else if (from == n) {
                change += "0;";
                put_color(change, target.fg, true);
                change.push_back(';');
                put_color(change, target.bg, false);
            } else {
                const Style& source = palette[from];
                if (source.fg != target.fg) put_color(change, target.fg, true);
                if (source.fg != target.fg && source.bg != target.bg) change.push_back(';');
                if (source.bg != target.bg) put_color(change, target.bg, false);
            }
            change.push_back('m');
            const std::size_t slot = from * n + to;
            std::memcpy(colour_changes_.data() + slot * CHANGE_SLOT, change.data(), change.size());
            colour_change_sizes_[slot] = static_cast<std::uint8_t>(change.size());
        }
}

void VtWriter::write(Grid& next, Output& out)
{
    if (!valid_ || !next.shown()) {
        // Every cell goes out: written straight into the queue.
        out.begin_synchronized_update();
        write_whole(next, out.queue());
        out.end_synchronized_update();
        next.mark_sent();
        return;
    }
    bytes_.clear();
    write_changes(next);
    next.mark_sent();
    if (bytes_.empty()) return;
    out.begin_synchronized_update();
    out.raw(bytes_);
    out.end_synchronized_update();
}

// Every cell, row by row, trusting nothing the terminal shows.
void VtWriter::write_whole(const Grid& next, std::string& bytes)
{
    Emitter emit(*this, next, Pen{}, bytes);
    const int width = next.width();
    for (std::uint16_t r = 0; r < next.height(); ++r) {
        const Cell* row = next.row(r);
        // A row that is mostly blank is erased, then only what was drawn
        // on it is written.
        const Grid::Written& written = next.written(r);
        emit.move(r, 0);
        if (written.all ||
            (written.count == 1 && written.stretches[0].first == 0 && written.stretches[0].second == width)) {
            emit.row_cells(row, 0, width);
        } else {
            emit.erase_to_end();
            for (std::uint8_t i = 0; i < written.count; ++i) {
                emit.move(r, written.stretches[i].first);
                emit.row_cells(row, written.stretches[i].first, written.stretches[i].second);
            }
        }
    }
    put_cursor(emit, next);
    bytes += next.cursor.visible ? "\x1b[?25h" : "\x1b[?25l";
    shown_cursor_ = next.cursor;
    pen_ = emit.pen;
    valid_ = true;
}

// Only what differs from what the terminal shows.
void VtWriter::write_changes(Grid& next)
{
    shifts_.clear();
    segments_.clear();
    const int width = next.width();
    const auto [first_row, end_row] = next.changed_rows();
    for (std::uint16_t r = first_row; r < end_row; ++r) {
        if (!next.changed(r)) continue;
        Cell* shown = next.row_as_sent(r);
        const Cell* wanted = next.row(r);
        int first = 0;
        int last = 0;
        if (!changed_span(shown, wanted, width, first, last)) continue;
        RowShift plan;
        if (last - first >= 2 && plan_shift(shown, wanted, r, width, first, last, plan)) {
            shifts_.push_back(plan);
            if (!changed_span(shown, wanted, width, first, last)) continue;
        }
        add_segments(shown, wanted, r, width, first, last, segments_);
    }
    const bool cursor_changed = !(next.cursor == shown_cursor_);
    if (segments_.empty() && shifts_.empty() && !cursor_changed) return;

    // The order of the pieces decides how many moves and colour changes
    // there are. Row by row is always a candidate; for small frames, so is
    // every order of the colour groups, each written row by row.
    std::array<StyleId, MAX_SEARCHED_GROUPS> groups{};
    std::size_t group_count = 0;
    bool search = segments_.size() <= MAX_SEARCHED_SEGMENTS;
    for (const Segment& s : segments_) {
        const StyleId style = segment_style(s);
        if (std::find(groups.begin(), groups.begin() + group_count, style) != groups.begin() + group_count) continue;
        if (group_count == MAX_SEARCHED_GROUPS) {
            search = false;
            break;
        }
        groups[group_count++] = style;
    }
    search = search && group_count > 1;

    // A frame that ends in some colours lets the next one start with them
    // for free: typing, say, changes the text and the status bar in every
    // frame, and frames that alternate which they write first change colours
    // once each instead of twice. So an order is judged by its bytes plus the
    // colour change its end leaves for the next frame: back to the default
    // colours, or from them into the costliest colours this frame used.
    std::size_t into_colours = 0;
    for (std::size_t g = 0; g < group_count; ++g)
        into_colours = std::max(into_colours, colour_change(DEFAULT_STYLE, groups[g]).size());

    std::size_t best_score = SIZE_MAX;
    Pen best_pen;
    const auto attempt = [&](auto&& emit_segments) {
        trial_.clear();
        Emitter emit(*this, next, pen_, trial_);
        // A row's shifts come just before its first cell is written.
        shifted_.assign(shifts_.size(), 0);
        const auto shift_row = [&](std::uint16_t row) {
            for (std::size_t i = 0; i < shifts_.size(); ++i)
                if (!shifted_[i] && shifts_[i].row == row) {
                    emit.shifts(shifts_[i]);
                    shifted_[i] = 1;
                }
        };
        emit_segments([&](const Segment& s) {
            shift_row(s.row);
            emit.segment(s);
        });
        for (const RowShift& plan : shifts_) shift_row(plan.row);
        put_cursor(emit, next);
        const StyleId end = emit.pen.style;
        const std::size_t score = trial_.size() + (end == DEFAULT_STYLE || end == NO_STYLE
                                                       ? into_colours
                                                       : colour_change(end, DEFAULT_STYLE).size());
        if (score < best_score) {
            best_score = score;
            best_pen = emit.pen;
            std::swap(bytes_, trial_);
        }
    };
    // Row by row, for frames too large to search.
    if (!search)
        attempt([&](auto&& put) {
            for (const Segment& s : segments_) put(s);
        });
    if (search) {
        // The colours the pen already has go first: that saves a change,
        // and the frame then ends in others, which the next frame starts
        // with. Only the order of the other groups is searched.
        const auto pen_group = std::find(groups.begin(), groups.begin() + group_count, pen_.style);
        const std::size_t fixed = pen_group != groups.begin() + group_count ? 1 : 0;
        if (fixed) std::iter_swap(groups.begin(), pen_group);
        std::sort(groups.begin() + fixed, groups.begin() + group_count);
        do {
            attempt([&](auto&& put) {
                for (std::size_t g = 0; g < group_count; ++g)
                    for (const Segment& s : segments_)
                        if (segment_style(s) == groups[g]) put(s);
            });
        } while (std::next_permutation(groups.begin() + fixed, groups.begin() + group_count));
    }
    if (next.cursor.visible != shown_cursor_.visible) bytes_ += next.cursor.visible ? "\x1b[?25h" : "\x1b[?25l";
    shown_cursor_ = next.cursor;
    pen_ = best_pen;
}

}  // namespace term
