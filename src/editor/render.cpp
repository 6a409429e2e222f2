#include "editor/render.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "editor/document.hpp"
#include "editor/help.hpp"
#include "editor/layout.hpp"
#include "editor/messages.hpp"
#include "editor/palette.hpp"
#include "encoding/text_encoding.hpp"
#include "text/utf8.hpp"
#include "text/width.hpp"

namespace {

constexpr std::uint64_t NO_LIMIT = std::numeric_limits<std::uint64_t>::max();

// Screen coordinates are 16-bit; a cursor far right of a narrow text area
// goes to the last addressable column rather than wrapping around to 0.
std::uint16_t coordinate(std::uint64_t value)
{
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(value, std::numeric_limits<std::uint16_t>::max()));
}

bool is_control_at(std::string_view text, std::size_t i)
{
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) return true;
    // U+0080 to U+009F: C2 followed by 80 to 9F.
    return byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
           static_cast<unsigned char>(text[i + 1]) < 0xA0;
}

// The line numbers of the gutter, each right-aligned before one space:
// every row of a whole frame has one, and rows drawn one after another have
// numbers that follow each other, so the text is counted up in place.
class LineNumbers {
public:
    explicit LineNumbers(std::uint64_t gutter)
        : size_(static_cast<std::size_t>(std::min<std::uint64_t>(gutter, sizeof text_)))
    {
    }

    std::string_view of(std::uint64_t number)
    {
        if (last_ == 0 || number != last_ + 1 || !count_up()) write(number);
        last_ = number;
        return {text_, size_};
    }

private:
    // One more, digit by digit from the right; false when the number no
    // longer fits.
    bool count_up()
    {
        for (std::size_t k = size_ - 1; k-- > 0;) {
            char& digit = text_[k];
            if (digit == ' ') {
                digit = '1';
                return true;
            }
            if (digit != '9') {
                ++digit;
                return true;
            }
            digit = '0';
        }
        return false;
    }

    // Its leading digits when it does not fit.
    void write(std::uint64_t number)
    {
        char digits[24];
        const auto count = static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, number).ptr - digits);
        if (size_ == 0) return;
        const std::size_t shown = std::min(count, size_ - 1);
        std::memset(text_, ' ', size_);
        std::memcpy(text_ + size_ - 1 - shown, digits, shown);
    }

    char text_[32];
    std::size_t size_;
    std::uint64_t last_ = 0;  // none yet
};

// The part of one document line in view (from display column left_column,
// text_area_width columns), drawn from screen column `column`, with the
// characters inside the selection (from its start up to but not including
// its end) highlighted. A cell shows a character with its marks, and is
// highlighted as that character is.
std::uint16_t draw_text(const Editor& editor, term::Grid& grid, std::uint16_t row, std::uint64_t line,
                        std::uint16_t column, std::uint64_t width)
{
    const std::string_view text = editor.buffer.line(line);
    const VisibleStart start = visible_start(text, editor.left_column);
    const auto end = static_cast<std::uint16_t>(std::min<std::uint64_t>(column + width, grid.width()));
    std::uint64_t from = NO_LIMIT;
    std::uint64_t to = NO_LIMIT;
    if (editor.anchor) {
        const Position first = std::min(*editor.anchor, editor.cursor);
        const Position last = std::max(*editor.anchor, editor.cursor);
        if (line >= first.row && line <= last.row) {
            from = line == first.row ? first.column : 0;
            to = line == last.row ? last.column : NO_LIMIT;
        }
    }
    const auto selected = [&](std::uint64_t k) { return from <= k && k < to; };
    // The second half of a wide character whose first is left of the view.
    if (start.cut && column < end) {
        const std::uint64_t k = column_at_display(text, editor.left_column);
        grid.fill(column++, row, 1, ' ', selected(k) ? style::SELECTION : style::PLAIN);
    }
    // Drawing stops at the edge by itself.
    if (from >= to) return grid.put(column, row, text.substr(start.begin), style::PLAIN, end);
    const std::string_view shown = text.substr(start.begin,
                                               visible_length(text, start.begin, end > column ? end - column : 0));
    // Selected characters of this row, as byte offsets into the visible part.
    const std::uint64_t first = from > start.first ? from - start.first : 0;
    const std::uint64_t last = to > start.first ? to - start.first : 0;
    const std::size_t a = skip_marks(text, start.begin + utf8::byte_offset(shown, first)) - start.begin;
    const std::size_t b = last > first ? skip_marks(text, start.begin + utf8::byte_offset(shown, last)) - start.begin
                                       : a;
    column = grid.put(column, row, shown.substr(0, a), style::PLAIN, end);
    column = grid.put(column, row, shown.substr(a, b - a), style::SELECTION, end);
    return grid.put(column, row, shown.substr(b), style::PLAIN, end);
}

// The scroll bar's cell of one text row: the thumb, or a blank.
void draw_scroll_bar_cell(const Editor& editor, term::Grid& grid, const Frame::View& view, std::uint64_t t)
{
    if (editor.screen_width == 0 || editor.screen_height <= 2) return;
    const auto column = static_cast<std::uint16_t>(editor.screen_width - 1);
    const std::uint64_t first = view.thumb_first;
    const std::uint64_t size = view.thumb_size;
    if (t < first || t >= first + size) {
        grid.fill(column, coordinate(t + 1), 1, ' ', style::PLAIN);
        return;
    }
    char32_t glyph = U'│';
    if (view.hover) {
        if (size == 1)
            glyph = U'▆';
        else if (t == first)
            glyph = U'▄';
        else if (t == first + size - 1)
            glyph = U'▀';
        else
            glyph = U'█';
    }
    grid.fill(column, coordinate(t + 1), 1, glyph, view.hover ? style::THUMB_HOVER : style::THUMB);
}

// What the text area shows, and so what decides which of its rows to draw.
Frame::View view_of(const Editor& editor)
{
    Frame::View view;
    view.width = editor.screen_width;
    view.height = editor.screen_height;
    view.top_line = editor.top_line;
    view.left_column = editor.left_column;
    view.gutter = gutter_width(editor);
    view.help = editor.help_visible;
    if (editor.anchor) {
        view.selection_first = std::min(editor.anchor->row, editor.cursor.row);
        view.selection_last = std::max(editor.anchor->row, editor.cursor.row);
    }
    const std::uint64_t track = text_area_height(editor);
    const std::uint64_t lines = std::max<std::uint64_t>(editor.buffer.line_count(), 1);
    view.thumb_size = track;
    if (lines > track) {
        view.thumb_size = std::max<std::uint64_t>(track * track / lines, 1);
        view.thumb_first = (track - view.thumb_size) * editor.top_line / (lines - track);
    }
    view.hover = editor.scrollbar_hover;
    return view;
}

// The rows of the text area that may show something else than last time:
// those whose text changed, and those in the selection before or now. A
// frame after a key press draws a row or two of them, so they are found as
// stretches of rows rather than by asking each row of the screen.
void draw_text_area(Editor& editor, Frame& frame, const Frame::View& view)
{
    const Frame::View& before = frame.drawn;
    const Buffer::Changes changes = editor.buffer.take_changes();
    // A grid not yet sent since it was made has nothing to keep.
    const bool all = !frame.drawn_once || !frame.grid.shown() || view.width != before.width ||
                     view.height != before.height || view.top_line != before.top_line ||
                     view.left_column != before.left_column || view.gutter != before.gutter || view.help || before.help;
    const bool thumb_moved = view.thumb_first != before.thumb_first || view.thumb_size != before.thumb_size ||
                             view.hover != before.hover;
    const std::uint64_t height = text_area_height(editor);
    const std::uint64_t width = text_area_width(editor);
    const std::uint64_t lines = editor.buffer.line_count();
    const std::uint64_t top = editor.top_line;

    // Stretches of document lines [first, last], as screen rows [from, to).
    struct Rows {
        std::uint64_t from = 0;
        std::uint64_t to = 0;
    };
    const auto on_screen = [&](std::uint64_t first, std::uint64_t last) {
        const std::uint64_t from = first > top ? first - top : 0;
        if (first > last || last < top || from >= height) return Rows{};
        return Rows{from, std::min(last - top, height - 1) + 1};
    };
    std::array<Rows, 3> stretches{};
    if (all) {
        stretches[0] = {0, height};
    } else {
        stretches[0] = on_screen(changes.first, changes.lines_moved ? UINT64_MAX : changes.last);
        stretches[1] = on_screen(before.selection_first, before.selection_last);
        stretches[2] = on_screen(view.selection_first, view.selection_last);
        std::sort(stretches.begin(), stretches.end(), [](Rows a, Rows b) { return a.from < b.from; });
    }
    LineNumbers numbers(view.gutter);
    std::uint64_t drawn_to = 0;
    for (const Rows& stretch : stretches) {
        for (std::uint64_t r = std::max(stretch.from, drawn_to); r < stretch.to; ++r) {
            const std::uint64_t n = top + r;
            const std::uint16_t row = coordinate(r + 1);
            frame.grid.begin_row(row);
            std::uint16_t end = 0;
            if (n < lines) {
                if (view.gutter > 0) frame.grid.put(0, row, numbers.of(n + 1), style::LINE_NUMBER);
                end = draw_text(editor, frame.grid, row, n, coordinate(view.gutter), width);
            }
            frame.grid.blank_from(row, end);
            draw_scroll_bar_cell(editor, frame.grid, view, r);
        }
        drawn_to = std::max(drawn_to, stretch.to);
    }
    if (thumb_moved && !all)
        for (std::uint64_t r = 0; r < height; ++r) draw_scroll_bar_cell(editor, frame.grid, view, r);
}

// A few words and numbers put together on the stack.
class ShortText {
public:
    void add(std::string_view text)
    {
        const std::size_t n = std::min(text.size(), sizeof text_ - size_);
        std::memcpy(text_ + size_, text.data(), n);
        size_ += n;
    }
    void add(std::uint64_t number)
    {
        const auto [end, error] = std::to_chars(text_ + size_, text_ + sizeof text_, number);
        if (error == std::errc()) size_ = static_cast<std::size_t>(end - text_);
    }
    std::string_view view() const { return {text_, size_}; }

private:
    char text_[96];
    std::size_t size_ = 0;
};

// The status bar's left part, " {name}  " or " {name} *  ": drawn every
// frame, made only when the document's path changes.
const std::string& name_part(const Buffer& buffer, Frame& frame)
{
    if (!frame.name_ready || frame.name_path != buffer.path) {
        frame.name_path = buffer.path;
        frame.name = ' ';
        frame.name += visible_text(file_display_name(buffer));
        frame.name_width = display_width(frame.name);
        frame.name_ready = true;
    }
    return frame.name;
}

void draw_status_bar(const Editor& editor, Frame& frame)
{
    const Buffer& buffer = editor.buffer;
    term::Grid& grid = frame.grid;
    grid.clear_row(0, style::BAR);

    const std::string& name = name_part(buffer, frame);
    const std::string_view mark = buffer.modified ? " *  " : "  ";
    // "{encoding}  {line}:{column}  {lines} qator ", made without allocating.
    ShortText right;
    right.add(encoding_label(buffer.encoding));
    right.add("  ");
    right.add(editor.cursor.row + 1);
    right.add(":");
    right.add(editor.cursor.column + 1);
    right.add("  ");
    right.add(buffer.line_count());
    right.add(msg::LINES_WORD);
    const std::string_view right_part = right.view();

    const std::uint64_t width = editor.screen_width;
    // Measured in display columns: a name in CJK or with emoji is wider
    // than it is long. The name is cut where the screen ends.
    const std::uint64_t left_len = frame.name_width + mark.size();  // the mark is ASCII
    const std::uint64_t right_len = right_part.size();              // and so is this
    grid.put(grid.put(0, 0, name, style::BAR), 0, mark, style::BAR);
    if (left_len + right_len < width) grid.put(coordinate(width - right_len), 0, right_part, style::BAR);
}

void draw_message_line(const Editor& editor, term::Grid& grid)
{
    const std::uint64_t width = editor.screen_width;
    const std::uint16_t row = editor.screen_height > 0 ? static_cast<std::uint16_t>(editor.screen_height - 1) : 0;
    const std::string_view message = editor.status_message.text;
    // The row is the status bar's too on a screen one row high.
    if (message.empty() || width == 0) {
        grid.clear_row(row);
        return;
    }
    grid.clear_row(row, style::BAR);
    // Cut by display columns where the screen ends, a wide character with
    // no room left becoming a space; the bar's blanks fill the rest.
    grid.put(1, row, message, style::BAR);
}

void place_cursor(const Editor& editor, term::Grid& grid)
{
    // The cursor stands on the cells of the character it is before.
    const std::uint64_t x = display_span(editor.buffer.line(editor.cursor.row), editor.cursor.column).column;
    const std::uint64_t column = x > editor.left_column ? x - editor.left_column : 0;
    const std::uint64_t row = editor.cursor.row > editor.top_line ? editor.cursor.row - editor.top_line : 0;
    grid.cursor.column = coordinate(gutter_width(editor) + column);
    grid.cursor.row = coordinate(row + 1);
    grid.cursor.visible = true;
}

}  // namespace

std::string visible_text(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!is_control_at(text, i)) {
            shown.push_back(text[i]);
            continue;
        }
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20) {
            utf8::append(shown, U'\u2400' + byte);
        } else if (byte == 0x7F) {
            utf8::append(shown, U'\u2421');
        } else {
            utf8::append(shown, U'\uFFFD');
            ++i;
        }
    }
    return shown;
}

void render(Editor& editor, Frame& frame)
{
    // The gutter is sized by this frame's line count; the layout helpers keep
    // using it until the next frame.
    editor.gutter_line_count = editor.buffer.line_count();

    term::Grid& grid = frame.grid;
    if (grid.width() != editor.screen_width || grid.height() != editor.screen_height)
        grid.reset(editor.screen_width, editor.screen_height);
    const Frame::View view = view_of(editor);
    draw_text_area(editor, frame, view);
    draw_status_bar(editor, frame);
    // The message line mostly stays as it is from key to key. It shares the
    // status bar's row on a screen one row high, and help may cover it.
    const Frame::View& before = frame.drawn;
    const bool message_shown = frame.drawn_once && grid.shown() && editor.screen_height > 1 && !view.help &&
                               !before.help && view.width == before.width && view.height == before.height &&
                               frame.message == editor.status_message.text;
    if (!message_shown) {
        draw_message_line(editor, grid);
        frame.message = editor.status_message.text;
    }
    place_cursor(editor, grid);
    if (editor.help_visible) draw_help(editor, grid);
    frame.drawn = view;
    frame.drawn_once = true;
}
