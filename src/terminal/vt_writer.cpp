#include "terminal/vt_writer.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>
#include <vector>

namespace term {

namespace {

constexpr int UNKNOWN = VtWriter::Pen::UNKNOWN;
constexpr StyleId NO_STYLE = VtWriter::Pen::NO_STYLE;
// A cell whose content is not known (an inserted blank whose colours depend
// on the terminal): it equals no cell that is drawn, so it is always written.
constexpr Cell UNKNOWN_CELL{0, NO_STYLE, 0xFFFF};
constexpr Cell BLANK{};

// The longest shift of a row's cells that is looked for.
constexpr int MAX_SHIFT = 16;
// Frames with more pieces than this are written row by row without trying
// other orders: they are large anyway, and the search would cost more than it saves.
constexpr std::size_t MAX_SEARCHED_SEGMENTS = 64;
constexpr std::size_t MAX_SEARCHED_GROUPS = 4;

void put_number(std::string& out, unsigned value)
{
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n > 0) out.push_back(digits[--n]);
}

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

// An insert (ICH) or delete (DCH) of cells at a place in a row.
struct Shift {
    std::uint16_t column;
    std::int16_t count;  // > 0 inserts, < 0 deletes
};

// The shifts of one row, done before any of its cells are written.
struct RowShift {
    std::uint16_t row;
    std::array<Shift, 2> shifts;
    std::uint8_t size = 0;
};

// A stretch of cells of one row that is written in one style, or, with
// `erase`, cleared to the end of the row in the default colours.
struct Segment {
    std::uint16_t row;
    std::uint16_t column;
    std::uint16_t length;
    StyleId style;
    bool erase;
};

// Appends the bytes of moves, colours and cells to `out`, keeping track of
// where the cursor is and which colours are set.
class Emitter {
public:
    using Pen = VtWriter::Pen;
    Pen pen;

    Emitter(std::span<const Style> palette, const Grid& next, Pen start, std::string& out)
        : pen(start), palette_(palette), next_(next), out_(out)
    {
    }

    void move(int row, int column)
    {
        if (pen.row == row && pen.column == column) return;
        // The shortest of an absolute move and the relative moves.
        std::string best = absolute(row, column);
        if (pen.row != UNKNOWN && pen.column != UNKNOWN) {
            std::string relative = vertical(row - pen.row);
            relative += horizontal(pen.column, column);
            if (relative.size() < best.size()) best = std::move(relative);
        }
        out_ += best;
        pen.row = row;
        pen.column = column;
    }

    void style(StyleId id)
    {
        if (pen.style == id) return;
        const Style& to = palette_[id];
        out_ += "\x1b[";
        if (id == DEFAULT_STYLE) {
            // SGR 0: both colours back to the terminal's own.
        } else if (pen.style == NO_STYLE) {
            out_ += "0;";
            put_color(out_, to.fg, true);
            out_.push_back(';');
            put_color(out_, to.bg, false);
        } else {
            const Style& from = palette_[pen.style];
            if (from.fg != to.fg) put_color(out_, to.fg, true);
            if (from.fg != to.fg && from.bg != to.bg) out_.push_back(';');
            if (from.bg != to.bg) put_color(out_, to.bg, false);
        }
        out_.push_back('m');
        pen.style = id;
    }

    void segment(const Segment& s)
    {
        move(s.row, s.column);
        style(s.erase ? DEFAULT_STYLE : s.style);
        if (s.erase) {
            out_ += "\x1b[K";
            return;
        }
        const Cell* cells = next_.row(s.row) + s.column;
        for (std::uint16_t k = 0; k < s.length; ++k) append_glyph(out_, cells[k].glyph);
        const int end = s.column + s.length;
        // Written into the last column, the cursor waits to wrap, which
        // terminals handle each their own way: where it is is not relied on.
        pen.column = end >= next_.width() ? UNKNOWN : end;
        if (pen.column == UNKNOWN) pen.row = UNKNOWN;
    }

    // Inserts (ICH) or deletes (DCH) cells as planned, with no colour set,
    // so that the blanks they bring in are the terminal's own.
    void shifts(const RowShift& plan)
    {
        style(DEFAULT_STYLE);
        for (std::uint8_t i = 0; i < plan.size; ++i) {
            const Shift& shift = plan.shifts[i];
            move(plan.row, shift.column);
            out_ += steps(std::abs(shift.count), shift.count > 0 ? '@' : 'P');
        }
    }

private:
    static std::string absolute(int row, int column)
    {
        std::string s = "\x1b[";
        put_number(s, static_cast<unsigned>(row + 1));
        if (column > 0) {
            s.push_back(';');
            put_number(s, static_cast<unsigned>(column + 1));
        }
        s.push_back('H');
        return s;
    }

    static std::string steps(int count, char final)
    {
        std::string s = "\x1b[";
        if (count > 1) put_number(s, static_cast<unsigned>(count));
        s.push_back(final);
        return s;
    }

    static std::string vertical(int delta)
    {
        if (delta == 0) return {};
        return delta > 0 ? steps(delta, 'B') : steps(-delta, 'A');
    }

    static std::string horizontal(int from, int to)
    {
        if (from == to) return {};
        if (to > from) {
            std::string forward = steps(to - from, 'C');
            std::string from_start = "\r" + (to > 0 ? steps(to, 'C') : std::string());
            return from_start.size() < forward.size() ? from_start : forward;
        }
        if (to == 0) return "\r";
        if (from - to <= 3) return std::string(static_cast<std::size_t>(from - to), '\b');
        std::string back = steps(from - to, 'D');
        std::string from_start = "\r" + steps(to, 'C');
        return from_start.size() < back.size() ? from_start : back;
    }

    std::span<const Style> palette_;
    const Grid& next_;
    std::string& out_;
};

// The cells of `shown` that differ from `next` in one row: first and last.
bool changed_span(const Cell* shown, const Cell* next, int width, int& first, int& last)
{
    first = 0;
    while (first < width && shown[first] == next[first]) ++first;
    if (first == width) return false;
    last = width - 1;
    while (shown[last] == next[last]) --last;
    return true;
}

int differing(const Cell* a, const Cell* b, int from, int to)
{
    int count = 0;
    for (int k = from; k <= to; ++k) count += !(a[k] == b[k]);
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

// Text inserted or deleted in the middle of a line moves the rest of it: the
// terminal can move those cells itself (insert or delete characters), so only
// the new ones are sent. A shift of the whole rest of the row would also move
// the cells after the changed stretch (the scroll bar): they are first moved
// the other way, so they end where they were. Plans the shifts for a row,
// applies them to the model of what is shown, and tells whether there are any.
bool plan_shift(Cell* shown, const Cell* next, std::uint16_t row, int width, RowShift& plan)
{
    int first = 0;
    int last = 0;
    if (!changed_span(shown, next, width, first, last) || last - first < 2) return false;
    int best_count = 0;
    int best_cost = differing(shown, next, first, last);
    for (int k = 1; k <= std::min(MAX_SHIFT, last - first); ++k) {
        // About two short moves and the shifts themselves, and the k new cells.
        const int cost = k + (last < width - 1 ? 16 : 8);
        // Inserted: the old cells [first, last - k] stand at [first + k, last].
        if (cost < best_cost && std::equal(shown + first, shown + last - k + 1, next + first + k))
            best_count = k, best_cost = cost;
        // Deleted: the old cells [first + k, last] stand at [first, last - k].
        if (cost < best_cost && std::equal(shown + first + k, shown + last + 1, next + first))
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
    for (std::uint8_t i = 0; i < plan.size; ++i) apply_shift(shown, width, plan.shifts[i]);
    return true;
}

// The changed cells of every row as segments of one style each. A run that
// reaches the end of the row over blanks in the default colours ends in an
// erase instead of those blanks.
std::vector<Segment> segments_of(const Grid& shown, const Grid& next)
{
    std::vector<Segment> segments;
    const int width = next.width();
    for (std::uint16_t r = 0; r < next.height(); ++r) {
        const Cell* old_row = shown.row(r);
        const Cell* new_row = next.row(r);
        int blank_from = width;
        while (blank_from > 0 && new_row[blank_from - 1] == BLANK) --blank_from;
        int c = 0;
        while (c < width) {
            if (old_row[c] == new_row[c]) {
                ++c;
                continue;
            }
            int end = c + 1;
            while (end < width && !(old_row[end] == new_row[end])) ++end;
            // Blanks to the end of the row cost three bytes as an erase.
            const bool erase_tail = end == width && width - std::max(c, blank_from) > 3;
            const int stop = erase_tail ? std::max(c, blank_from) : end;
            for (int s = c; s < stop;) {
                int e = s + 1;
                while (e < stop && new_row[e].style == new_row[s].style) ++e;
                segments.push_back(
                    {r, static_cast<std::uint16_t>(s), static_cast<std::uint16_t>(e - s), new_row[s].style, false});
                s = e;
            }
            if (erase_tail)
                segments.push_back({r, static_cast<std::uint16_t>(stop), static_cast<std::uint16_t>(width - stop),
                                    DEFAULT_STYLE, true});
            c = end;
        }
    }
    return segments;
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

void VtWriter::write(const Grid& next, Output& out)
{
    const bool full = !valid_ || shown_.width() != next.width() || shown_.height() != next.height();
    const bool cursor_shown_before = valid_ && shown_.cursor.visible;
    if (full) {
        // Nothing the terminal shows is trusted: every cell is "unknown".
        shown_.reset(next.width(), next.height());
        for (std::uint16_t r = 0; r < next.height(); ++r) std::fill_n(shown_.row(r), next.width(), UNKNOWN_CELL);
        pen_ = Pen{};
    }

    std::vector<RowShift> shifts;
    for (std::uint16_t r = 0; r < next.height() && !full; ++r) {
        RowShift plan;
        if (plan_shift(shown_.row(r), next.row(r), r, next.width(), plan)) shifts.push_back(plan);
    }
    const std::vector<Segment> segments = segments_of(shown_, next);

    // The order of the pieces decides how many moves and colour changes
    // there are. Row by row is always a candidate; for small frames, so is
    // every order of the colour groups, each written row by row.
    std::vector<std::vector<std::size_t>> orders;
    orders.emplace_back(segments.size());
    std::iota(orders.back().begin(), orders.back().end(), 0);
    std::vector<StyleId> groups;
    for (const Segment& s : segments)
        if (std::find(groups.begin(), groups.end(), segment_style(s)) == groups.end())
            groups.push_back(segment_style(s));
    if (!full && groups.size() > 1 && groups.size() <= MAX_SEARCHED_GROUPS &&
        segments.size() <= MAX_SEARCHED_SEGMENTS) {
        std::sort(groups.begin(), groups.end());
        do {
            std::vector<std::size_t>& order = orders.emplace_back();
            for (const StyleId group : groups)
                for (std::size_t i = 0; i < segments.size(); ++i)
                    if (segment_style(segments[i]) == group) order.push_back(i);
        } while (std::next_permutation(groups.begin(), groups.end()));
    }

    // A frame that ends in some colours lets the next one start with them
    // for free: typing, say, changes the text and the status bar in every
    // frame, and frames that alternate which they write first change colours
    // once each instead of twice. So an order is judged by its bytes plus the
    // colour change its end leaves for the next frame: back to the default
    // colours, or from them into the costliest colours this frame used.
    const auto colour_change = [&](StyleId from, StyleId to) {
        std::string change;
        Emitter probe(palette_, next, Pen{UNKNOWN, UNKNOWN, from}, change);
        probe.style(to);
        return change.size();
    };
    std::size_t into_colours = 0;
    for (const StyleId group : groups)
        if (group != DEFAULT_STYLE) into_colours = std::max(into_colours, colour_change(DEFAULT_STYLE, group));

    std::string best;
    Pen best_pen;
    std::size_t best_score = 0;
    for (const std::vector<std::size_t>& order : orders) {
        std::string trial;
        Emitter attempt(palette_, next, pen_, trial);
        // A row's shifts come just before its first cell is written.
        std::vector<bool> shifted(shifts.size(), false);
        const auto shift_row = [&](std::uint16_t row) {
            for (std::size_t i = 0; i < shifts.size(); ++i)
                if (!shifted[i] && shifts[i].row == row) {
                    attempt.shifts(shifts[i]);
                    shifted[i] = true;
                }
        };
        for (const std::size_t i : order) {
            shift_row(segments[i].row);
            attempt.segment(segments[i]);
        }
        for (const RowShift& plan : shifts) shift_row(plan.row);
        put_cursor(attempt, next);
        const StyleId end = attempt.pen.style;
        const std::size_t score = trial.size() + (end == DEFAULT_STYLE || end == NO_STYLE
                                                      ? into_colours
                                                      : colour_change(end, DEFAULT_STYLE));
        if (best_score == 0 || score < best_score) {
            best = std::move(trial);
            best_pen = attempt.pen;
            best_score = score;
        }
    }
    if (next.cursor.visible != cursor_shown_before || full) best += next.cursor.visible ? "\x1b[?25h" : "\x1b[?25l";

    shown_ = next;
    pen_ = best_pen;
    valid_ = true;
    if (best.empty()) return;
    out.begin_synchronized_update();
    out.raw(best);
    out.end_synchronized_update();
}

}  // namespace term
