#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "editor/cursor.hpp"
#include "editor/view.hpp"

using namespace std::chrono_literals;
using term::MouseEvent;
using term::MouseEventKind;

namespace {

// `count` lines "line 0", "line 1", ...; a screen of `height` rows (two go
// to the status bar and the message line) and 40 columns without a gutter.
Editor make_editor(std::uint64_t count, std::uint16_t height)
{
    std::vector<std::string> lines;
    for (std::uint64_t i = 0; i < count; ++i) lines.push_back("line " + std::to_string(i));
    Editor ed;
    ed.buffer = Buffer(std::move(lines));
    ed.screen_width = 40;
    ed.screen_height = height;
    ed.show_line_numbers = false;
    ed.now = TimePoint{} + 1h;
    return ed;
}

void mouse(Editor& ed, MouseEventKind kind, std::uint16_t x, std::uint16_t y)
{
    handle_mouse(ed, MouseEvent{kind, term::MouseButton::Left, x, y, term::NONE});
}

// A wheel notch `gap` after the previous one; returns how far the view moved.
std::int64_t notch(Editor& ed, std::chrono::milliseconds gap, MouseEventKind kind = MouseEventKind::ScrollDown)
{
    ed.now += gap;
    const auto before = static_cast<std::int64_t>(ed.top_line);
    mouse(ed, kind, 5, 5);
    return static_cast<std::int64_t>(ed.top_line) - before;
}

constexpr Position at(std::uint64_t row, std::uint64_t column) { return {row, column}; }

}  // namespace

TEST(View, KeepCursorVisibleScrollsWithoutMargin)
{
    Editor ed = make_editor(100, 12);  // 10 text rows, 39 text columns
    ed.cursor = at(10, 0);
    keep_cursor_visible(ed);
    EXPECT_EQ(ed.top_line, 1u);  // the cursor on the last visible row
    ed.cursor = at(5, 0);
    keep_cursor_visible(ed);
    EXPECT_EQ(ed.top_line, 1u);
    ed.cursor = at(0, 0);
    keep_cursor_visible(ed);
    EXPECT_EQ(ed.top_line, 0u);

    ed.buffer = Buffer({std::string(100, 'x')});
    ed.cursor = at(0, 39);
    keep_cursor_visible(ed);
    EXPECT_EQ(ed.left_column, 1u);
    ed.cursor = at(0, 20);
    keep_cursor_visible(ed);
    EXPECT_EQ(ed.left_column, 1u);
    ed.cursor = at(0, 0);
    keep_cursor_visible(ed);
    EXPECT_EQ(ed.left_column, 0u);

    // The gutter narrows the text area.
    ed.show_line_numbers = true;
    ed.gutter_line_count = 100;  // 5 columns of gutter, 34 of text
    ed.cursor = at(0, 34);
    keep_cursor_visible(ed);
    EXPECT_EQ(ed.left_column, 1u);
}

TEST(View, KeepCursorVisibleOnAScreenWithoutTextArea)
{
    // With no text rows or columns the view still starts at the cursor, not
    // one past it, so once the screen grows back the next key does not
    // drag the cursor to another line.
    Editor ed = make_editor(100, 2);
    ed.screen_width = 1;
    ed.cursor = at(5, 3);
    keep_cursor_visible(ed);
    EXPECT_EQ(ed.top_line, 5u);
    EXPECT_EQ(ed.left_column, 3u);
    ed.screen_height = 24;
    ed.screen_width = 40;
    snap_cursor_into_view(ed);
    EXPECT_EQ(ed.cursor, at(5, 3));
}

TEST(View, SnapCursorIntoView)
{
    Editor ed = make_editor(30, 12);
    ed.cursor = at(2, 4);
    ed.top_line = 10;
    snap_cursor_into_view(ed);  // above the view: first visible line, column 0
    EXPECT_EQ(ed.cursor, at(10, 0));

    ed.cursor = at(25, 4);
    snap_cursor_into_view(ed);  // below it: last visible line
    EXPECT_EQ(ed.cursor, at(19, 0));

    ed.cursor = at(15, 4);
    snap_cursor_into_view(ed);  // inside: untouched, columns are not looked at
    EXPECT_EQ(ed.cursor, at(15, 4));

    ed.top_line = 25;
    ed.cursor = at(3, 2);
    snap_cursor_into_view(ed);  // a view reaching past the document's end
    EXPECT_EQ(ed.cursor, at(25, 0));

    ed.screen_height = 2;
    ed.cursor = at(3, 2);
    snap_cursor_into_view(ed);  // no text area: nothing
    EXPECT_EQ(ed.cursor, at(3, 2));
}

TEST(View, ScrollByMovesTheCursorByWhatTheViewCannotTake)
{
    Editor ed = make_editor(30, 12);  // max top 20
    ed.cursor = at(5, 6);
    scroll_by(ed, 3);
    EXPECT_EQ(ed.top_line, 3u);
    EXPECT_EQ(ed.cursor, at(5, 6));  // within the limits the cursor stays

    scroll_by(ed, -5);
    EXPECT_EQ(ed.top_line, 0u);
    EXPECT_EQ(ed.cursor, at(3, 6));  // two lines beyond the top
    ed.cursor = at(1, 6);
    scroll_by(ed, -4);
    EXPECT_EQ(ed.cursor, at(0, 6));  // and never above row 0

    ed.top_line = 20;
    ed.cursor = at(25, 6);
    scroll_by(ed, 1);
    EXPECT_EQ(ed.top_line, 20u);
    EXPECT_EQ(ed.cursor, at(26, 6));
    scroll_by(ed, 20);
    EXPECT_EQ(ed.cursor, at(29, 6));  // nor below the last line

    // The column is clamped to the line the cursor arrives on.
    ed.buffer = Buffer({"a", "long line"});
    ed.top_line = 0;
    ed.cursor = at(1, 7);
    scroll_by(ed, -1);
    EXPECT_EQ(ed.cursor, at(0, 1));

    // A document shorter than the view cannot scroll at all.
    ed.cursor = at(0, 1);
    scroll_by(ed, 1);
    EXPECT_EQ(ed.top_line, 0u);
    EXPECT_EQ(ed.cursor, at(1, 1));
}

TEST(View, ScrollByFromAViewPastItsLimit)
{
    // The window grew (or lines went away) while the view showed the end:
    // top_line is beyond what the document now allows.
    Editor ed = make_editor(30, 12);  // 10 text rows, max top 20
    ed.top_line = 25;
    ed.cursor = at(26, 3);
    scroll_by(ed, -1);  // up one line from the limit; the cursor stays
    EXPECT_EQ(ed.top_line, 19u);
    EXPECT_EQ(ed.cursor, at(26, 3));

    ed.top_line = 25;
    ed.cursor = at(22, 3);
    scroll_by(ed, 1);  // down against the limit: the cursor moves one line
    EXPECT_EQ(ed.top_line, 20u);
    EXPECT_EQ(ed.cursor, at(23, 3));

    // A document shorter than the view, scrolled down before lines went away.
    ed.buffer = Buffer(std::vector<std::string>(10, "line"));
    ed.top_line = 5;
    ed.cursor = at(5, 0);
    scroll_by(ed, -1);
    EXPECT_EQ(ed.top_line, 0u);
    EXPECT_EQ(ed.cursor, at(4, 0));
}

TEST(View, WheelAcceleratesWithinEightyMilliseconds)
{
    Editor ed = make_editor(1000, 24);
    std::vector<std::int64_t> moves;
    for (int i = 0; i < 4; ++i) moves.push_back(notch(ed, 30ms));
    EXPECT_EQ(moves, (std::vector<std::int64_t>{1, 1, 3, 3}));
    EXPECT_EQ(notch(ed, 80ms), 1);  // a pause of 80 ms restarts the run
    EXPECT_EQ(notch(ed, 79ms), 1);
    EXPECT_EQ(notch(ed, 79ms, MouseEventKind::ScrollUp), -3);  // either direction counts

    // The whole table: runs of 1-2, 3-5, 6-9, 10-14 and 15 or more.
    ed.now += 1s;
    ed.top_line = 0;
    std::vector<std::uint64_t> steps;
    for (int i = 0; i < 16; ++i) {
        ed.now += 10ms;
        steps.push_back(wheel_step(ed));
    }
    EXPECT_EQ(steps, (std::vector<std::uint64_t>{1, 1, 3, 3, 3, 8, 8, 8, 8, 14, 14, 14, 14, 14, 20, 20}));

    // Horizontal wheels do nothing, not even count as notches.
    EXPECT_EQ(notch(ed, 1s), 1);
    ed.now += 50ms;
    mouse(ed, MouseEventKind::ScrollLeft, 5, 5);
    mouse(ed, MouseEventKind::ScrollRight, 5, 5);
    EXPECT_EQ(ed.top_line, 1u);
    EXPECT_EQ(notch(ed, 50ms), 1);
}

TEST(View, WheelLeavesTheCursorUntilTheNextKey)
{
    Editor ed = make_editor(100, 12);
    ed.cursor = at(2, 3);
    for (int i = 0; i < 3; ++i) notch(ed, 100ms);
    EXPECT_EQ(ed.top_line, 3u);
    EXPECT_EQ(ed.cursor, at(2, 3));  // off screen for now

    // The next key first brings it to the first visible line, then acts.
    snap_cursor_into_view(ed);
    move_right(ed);
    keep_cursor_visible(ed);
    EXPECT_EQ(ed.cursor, at(3, 1));
    EXPECT_EQ(ed.top_line, 3u);

    ed.top_line = 20;
    ed.cursor = at(29, 2);
    for (int i = 0; i < 3; ++i) notch(ed, 100ms, MouseEventKind::ScrollUp);
    EXPECT_EQ(ed.top_line, 17u);
    snap_cursor_into_view(ed);
    EXPECT_EQ(ed.cursor, at(26, 0));  // the last visible line
}

TEST(View, ScrollbarJump)
{
    Editor ed = make_editor(100, 22);  // 20 text rows, max top 80
    std::vector<std::uint64_t> tops;
    for (std::uint16_t row : {0, 1, 10, 19, 20, 21, 500}) {
        scrollbar_jump(ed, row);
        tops.push_back(ed.top_line);
    }
    EXPECT_EQ(tops, (std::vector<std::uint64_t>{0, 0, 37, 75, 80, 80, 80}));
    EXPECT_EQ(ed.cursor, at(0, 0));

    ed.top_line = 7;
    ed.buffer = Buffer(std::vector<std::string>(20, "x"));
    scrollbar_jump(ed, 20);  // a document that fits: nothing
    EXPECT_EQ(ed.top_line, 7u);
    ed.buffer = Buffer(std::vector<std::string>(100, "x"));
    ed.screen_height = 3;  // one text row
    scrollbar_jump(ed, 1);
    EXPECT_EQ(ed.top_line, 99u);
    ed.top_line = 5;
    ed.screen_height = 2;  // no text rows: nothing
    scrollbar_jump(ed, 1);
    EXPECT_EQ(ed.top_line, 5u);
}

TEST(View, MouseClicksPlaceTheCursor)
{
    Editor ed = make_editor(30, 12);  // text rows 1 to 10, message line 11
    ed.show_line_numbers = true;
    ed.gutter_line_count = 30;  // gutter of 4 columns
    ed.top_line = 5;
    ed.left_column = 2;

    mouse(ed, MouseEventKind::Down, 6, 3);
    mouse(ed, MouseEventKind::Up, 6, 3);
    EXPECT_EQ(ed.cursor, at(7, 4));
    EXPECT_FALSE(ed.anchor);  // a plain click leaves no selection

    ed.now += 1s;
    mouse(ed, MouseEventKind::Down, 30, 1);  // past the line end
    mouse(ed, MouseEventKind::Up, 30, 1);
    EXPECT_EQ(ed.cursor, at(5, 6));

    // The gutter, the status bar, the message line and rows past the last
    // line do not move the cursor; a text press clears the
    // selection and a release removes the empty one it left.
    ed.screen_height = 40;  // text rows 1 to 38; the document ends at row 25
    const std::vector<std::pair<std::uint16_t, std::uint16_t>> ignored = {
        {3, 4}, {10, 0}, {10, 39}, {10, 26}, {10, 60}};
    for (const auto& [x, y] : ignored) {
        ed.now += 1s;
        ed.anchor = at(0, 0);
        mouse(ed, MouseEventKind::Down, x, y);
        EXPECT_EQ(ed.cursor, at(5, 6)) << x << "," << y;
        EXPECT_EQ(ed.anchor, ed.cursor);
        mouse(ed, MouseEventKind::Up, x, y);
        EXPECT_FALSE(ed.anchor);
    }
    ed.screen_height = 12;
    ed.now += 1s;
    mouse(ed, MouseEventKind::Down, 10, 11);  // the message line
    EXPECT_EQ(ed.cursor, at(5, 6));
    mouse(ed, MouseEventKind::Drag, 10, 11);
    EXPECT_EQ(ed.cursor, at(5, 6));
    mouse(ed, MouseEventKind::Up, 10, 11);
    EXPECT_EQ(ed.top_line, 5u);  // and none of it scrolls
    EXPECT_EQ(ed.left_column, 2u);
}

TEST(View, MouseDragSelects)
{
    Editor ed = make_editor(30, 12);
    ed.cursor = at(9, 0);
    ed.anchor = at(8, 0);
    mouse(ed, MouseEventKind::Down, 2, 1);  // clears the old selection
    EXPECT_EQ(ed.anchor, at(0, 2));
    mouse(ed, MouseEventKind::Drag, 4, 1);
    mouse(ed, MouseEventKind::Drag, 3, 3);
    mouse(ed, MouseEventKind::Up, 3, 3);
    EXPECT_EQ(selection_text(ed), "ne 0\nline 1\nlin");

    // Dragging back onto the press leaves nothing selected after the release.
    ed.now += 1s;
    mouse(ed, MouseEventKind::Down, 2, 1);
    mouse(ed, MouseEventKind::Drag, 5, 2);
    mouse(ed, MouseEventKind::Drag, 2, 1);
    mouse(ed, MouseEventKind::Up, 2, 1);
    EXPECT_FALSE(ed.anchor);
    EXPECT_EQ(ed.cursor, at(0, 2));
}

TEST(View, MouseDoubleClickSelectsAWord)
{
    Editor ed = make_editor(1, 12);
    ed.buffer = Buffer({"x = foo_bar1 == y", "", "z"});
    mouse(ed, MouseEventKind::Down, 6, 1);
    mouse(ed, MouseEventKind::Up, 6, 1);
    ed.now += 399ms;
    mouse(ed, MouseEventKind::Down, 30, 3);  // the second press's cell is not used
    mouse(ed, MouseEventKind::Up, 30, 3);
    EXPECT_EQ(selection_text(ed), "foo_bar1");

    ed.now += 400ms;  // 400 ms apart: two single clicks
    mouse(ed, MouseEventKind::Down, 14, 1);
    mouse(ed, MouseEventKind::Up, 14, 1);
    EXPECT_FALSE(ed.anchor);
    ed.now += 100ms;
    mouse(ed, MouseEventKind::Down, 14, 1);
    mouse(ed, MouseEventKind::Up, 14, 1);
    EXPECT_EQ(selection_text(ed), "==");
    ed.now += 100ms;  // a third quick press is another double click, at the cursor
    mouse(ed, MouseEventKind::Down, 0, 1);
    EXPECT_EQ(ed.cursor, at(0, 15));
    EXPECT_FALSE(selection_range(ed));

    ed.now += 1s;  // on a space: nothing selected, the cursor stays there
    mouse(ed, MouseEventKind::Down, 3, 1);
    mouse(ed, MouseEventKind::Up, 3, 1);
    ed.now += 100ms;
    mouse(ed, MouseEventKind::Down, 3, 1);
    mouse(ed, MouseEventKind::Up, 3, 1);
    EXPECT_FALSE(ed.anchor);
    EXPECT_EQ(ed.cursor, at(0, 3));

    ed.now += 1s;  // on an empty line: nothing
    mouse(ed, MouseEventKind::Down, 3, 2);
    ed.now += 100ms;
    mouse(ed, MouseEventKind::Down, 3, 2);
    mouse(ed, MouseEventKind::Up, 3, 2);
    EXPECT_FALSE(ed.anchor);
    EXPECT_EQ(ed.cursor, at(1, 0));
}

TEST(View, MouseOnTheScrollbar)
{
    Editor ed = make_editor(100, 22);
    ed.cursor = at(4, 2);
    ed.anchor = at(3, 0);
    mouse(ed, MouseEventKind::Down, 39, 10);
    EXPECT_EQ(ed.top_line, 37u);
    mouse(ed, MouseEventKind::Drag, 12, 20);  // the drag jumps whatever its column
    EXPECT_EQ(ed.top_line, 80u);
    mouse(ed, MouseEventKind::Drag, 39, 1);
    EXPECT_EQ(ed.top_line, 0u);
    EXPECT_EQ(ed.cursor, at(4, 2));  // the cursor and the selection stay
    EXPECT_EQ(ed.anchor, at(3, 0));
    mouse(ed, MouseEventKind::Up, 39, 1);
    EXPECT_EQ(ed.anchor, at(3, 0));  // a non-empty selection survives the release

    // After the release a drag moves the cursor again.
    mouse(ed, MouseEventKind::Drag, 5, 2);
    EXPECT_EQ(ed.cursor, at(1, 5));
    EXPECT_EQ(ed.top_line, 0u);

    // A scroll-bar press is no first click of a double click.
    ed.now += 1s;
    mouse(ed, MouseEventKind::Down, 39, 5);
    mouse(ed, MouseEventKind::Up, 39, 5);
    ed.now += 100ms;
    mouse(ed, MouseEventKind::Down, 3, 1);
    EXPECT_EQ(ed.cursor, at(16, 3));  // the view starts at line 16 after the jump
    EXPECT_EQ(ed.anchor, ed.cursor);
}

TEST(View, MouseHoverOverTheScrollbar)
{
    Editor ed = make_editor(10, 12);
    mouse(ed, MouseEventKind::Moved, 39, 4);
    EXPECT_TRUE(ed.scrollbar_hover);
    mouse(ed, MouseEventKind::Moved, 38, 4);
    EXPECT_FALSE(ed.scrollbar_hover);
    mouse(ed, MouseEventKind::Moved, 39, 0);
    EXPECT_TRUE(ed.scrollbar_hover);
    mouse(ed, MouseEventKind::Moved, 0, 0);
    EXPECT_FALSE(ed.scrollbar_hover);
    EXPECT_EQ(ed.cursor, at(0, 0));
}
