#include "editor/view.hpp"

#include <algorithm>
#include <chrono>

#include "editor/cursor.hpp"
#include "editor/layout.hpp"
#include "text/width.hpp"

namespace {

constexpr std::chrono::milliseconds WHEEL_WINDOW{80};
constexpr std::chrono::milliseconds DOUBLE_CLICK_WINDOW{400};

// Moves `first` so that [position, position + extent) lies inside [first,
// first + size), or at least its start does when it is larger. A view of
// size 0 shows nothing; it is treated as one row or column, so the offset
// lands on the cursor rather than one past it and is still right once the
// window grows.
void follow(std::uint64_t& first, std::uint64_t position, std::uint64_t size, std::uint64_t extent = 1)
{
    size = std::max<std::uint64_t>(size, 1);
    extent = std::min(extent, size);
    if (position < first)
        first = position;
    else if (position + extent > first + size)
        first = position + extent - size;
}

std::uint16_t scrollbar_column(const Editor& editor) { return editor.screen_width > 0 ? editor.screen_width - 1 : 0; }

}  // namespace

void keep_cursor_visible(Editor& editor)
{
    follow(editor.top_line, editor.cursor.row, text_area_height(editor));
    // Columns are display columns: the whole character at the cursor comes
    // into view, both halves of a wide one.
    const DisplaySpan at = display_span(editor.buffer.line(editor.cursor.row), editor.cursor.column);
    follow(editor.left_column, at.column, text_area_width(editor), at.width);
}

void snap_cursor_into_view(Editor& editor)
{
    const std::uint64_t height = text_area_height(editor);
    if (height == 0) return;
    const std::uint64_t last = editor.buffer.line_count() - 1;
    Position& c = editor.cursor;
    if (c.row < editor.top_line) {
        c = {std::min(editor.top_line, last), 0};
    } else {
        const std::uint64_t bottom = std::min(editor.top_line + height - 1, last);
        if (c.row > bottom) c = {bottom, 0};
    }
    clamp_column(editor);
}

void scroll_by(Editor& editor, std::int64_t delta)
{
    const auto count = static_cast<std::int64_t>(editor.buffer.line_count());
    const auto height = static_cast<std::int64_t>(std::max<std::uint64_t>(text_area_height(editor), 1));
    const std::int64_t max_top = std::max<std::int64_t>(count - height, 0);
    // A view left past its limit (the window grew, or lines went away) counts
    // from the limit: otherwise Ctrl+Up would pull the view up by more than a
    // line and push the cursor down by the difference.
    const std::int64_t current = std::min(static_cast<std::int64_t>(editor.top_line), max_top);
    const std::int64_t want = current + delta;
    const std::int64_t top = std::clamp<std::int64_t>(want, 0, max_top);
    editor.top_line = static_cast<std::uint64_t>(top);

    // The part of the scroll the view could not take moves the cursor, so
    // Ctrl+Up at the top still goes somewhere.
    const std::int64_t excess = want - top;
    if (excess == 0) return;
    const auto row = static_cast<std::int64_t>(std::min(editor.cursor.row, editor.buffer.line_count() - 1));
    editor.cursor.row = static_cast<std::uint64_t>(std::clamp<std::int64_t>(row + excess, 0, count - 1));
    clamp_column(editor);
}

std::uint64_t wheel_step(Editor& editor)
{
    MouseState& mouse = editor.mouse;
    if (mouse.last_wheel && editor.now - *mouse.last_wheel < WHEEL_WINDOW)
        ++mouse.wheel_run;
    else
        mouse.wheel_run = 1;
    mouse.last_wheel = editor.now;

    if (mouse.wheel_run <= 2) return 1;
    if (mouse.wheel_run <= 5) return 3;
    if (mouse.wheel_run <= 9) return 8;
    if (mouse.wheel_run <= 14) return 14;
    return 20;
}

void scrollbar_jump(Editor& editor, std::uint16_t y)
{
    const std::uint64_t height = text_area_height(editor);
    const std::uint64_t count = editor.buffer.line_count();
    if (height == 0 || count <= height) return;
    const std::uint64_t max_top = count - height;
    const std::uint64_t r = y > 0 ? y - 1u : 0;
    const std::uint64_t span = height - 1;
    editor.top_line = r < span ? max_top * r / span : max_top;
}

void place_cursor_at_cell(Editor& editor, std::uint16_t x, std::uint16_t y)
{
    const std::uint64_t gutter = gutter_width(editor);
    // Only cells of the text area count: not the status bar, the gutter, the
    // scroll bar, nor the message line or anything else below the text rows,
    // whose document lines are not on screen.
    if (y == 0 || y > text_area_height(editor)) return;
    if (x < gutter || x >= scrollbar_column(editor)) return;
    const std::uint64_t row = editor.top_line + y - 1;
    if (row >= editor.buffer.line_count()) return;
    // Either half of a wide character stands for it; right of the line's
    // end is its end.
    editor.cursor = {row, column_at_display(editor.buffer.line(row), editor.left_column + x - gutter)};
}

void mouse_press(Editor& editor, std::uint16_t x, std::uint16_t y)
{
    if (x == scrollbar_column(editor)) {
        editor.mouse.scrollbar_drag = true;
        scrollbar_jump(editor, y);
        return;
    }
    // A second press soon after the first selects the word the first one
    // placed the cursor on, wherever the second lands.
    const bool double_click = editor.mouse.last_press && editor.now - *editor.mouse.last_press < DOUBLE_CLICK_WINDOW;
    editor.mouse.last_press = editor.now;
    if (double_click) {
        select_word_at_cursor(editor);
        return;
    }
    clear_selection(editor);
    place_cursor_at_cell(editor, x, y);
    editor.anchor = editor.cursor;
}

void mouse_drag(Editor& editor, std::uint16_t x, std::uint16_t y)
{
    if (editor.mouse.scrollbar_drag)
        scrollbar_jump(editor, y);
    else
        place_cursor_at_cell(editor, x, y);
}

void mouse_release(Editor& editor)
{
    editor.mouse.scrollbar_drag = false;
    // A plain click leaves an empty selection behind; it is not kept.
    if (!selection_range(editor)) clear_selection(editor);
}

void mouse_move(Editor& editor, std::uint16_t x, std::uint16_t /*y*/)
{
    editor.scrollbar_hover = x == scrollbar_column(editor);
}

void handle_mouse(Editor& editor, const term::MouseEvent& event)
{
    using term::MouseEventKind;
    switch (event.kind) {
    case MouseEventKind::Down: mouse_press(editor, event.column, event.row); break;
    case MouseEventKind::Drag: mouse_drag(editor, event.column, event.row); break;
    case MouseEventKind::Up: mouse_release(editor); break;
    case MouseEventKind::Moved: mouse_move(editor, event.column, event.row); break;
    case MouseEventKind::ScrollDown: scroll_by(editor, static_cast<std::int64_t>(wheel_step(editor))); break;
    case MouseEventKind::ScrollUp: scroll_by(editor, -static_cast<std::int64_t>(wheel_step(editor))); break;
    case MouseEventKind::ScrollLeft:
    case MouseEventKind::ScrollRight: break;
    }
}
