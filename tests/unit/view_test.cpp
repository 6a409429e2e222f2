#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/session.hpp"

using test_support::at;
using test_support::Session;

namespace {

// `count` lines "line 0", "line 1", ... with the cursor at `cursor`, on a
// screen 40 columns wide and `height` rows high (two of them go to the
// status bar and the message line), without line numbers: 39 text columns.
Session screen(std::uint64_t count, int height, Position cursor = {})
{
    test_support::Marked m{{}, cursor, {}};
    for (std::uint64_t i = 0; i < count; ++i) m.lines.push_back("line " + std::to_string(i));
    Session s({""}, 40, height);
    s.ed.show_line_numbers = false;
    s.load(test_support::format_marked(m));
    return s;
}

std::string times(int count, std::string_view keys)
{
    std::string all;
    for (int i = 0; i < count; ++i) all += keys;
    return all;
}

// Keys pressed in turn, each leaving the view's first line and column so.
struct ViewStep {
    std::string keys;
    std::uint64_t top_line;
    std::uint64_t left_column;
};

void expect_view(Session& s, std::initializer_list<ViewStep> steps)
{
    for (const ViewStep& step : steps) {
        s.press(step.keys);
        EXPECT_EQ(s.ed.top_line, step.top_line) << step.keys;
        EXPECT_EQ(s.ed.left_column, step.left_column) << step.keys;
    }
}

}  // namespace

TEST(View, FollowsTheCursorWithoutMargin)
{
    Session s = screen(100, 12, at(9, 0));  // ten text rows
    // Down from the last visible row scrolls by one line, no more.
    expect_view(s, {{"<Down>", 1, 0}, {times(5, "<Up>"), 1, 0}, {"<C-Home>", 0, 0}, {"<C-End>", 90, 0}});

    s.load(std::string(38, 'x') + "|" + std::string(62, 'x'));
    expect_view(s, {{"<Right>", 0, 1}, {times(19, "<Left>"), 0, 1}, {"<Home>", 0, 0}, {"<End>", 0, 62}});

    // The gutter narrows the text area: 100 lines take 5 columns, 34 remain.
    s.load(std::string(33, 'x') + "|" + std::string(67, 'x'));
    s.ed.show_line_numbers = true;
    s.ed.gutter_line_count = 100;
    expect_view(s, {{"<Right>", 0, 1}});
}

TEST(View, WithoutATextAreaTheViewStaysOnTheCursor)
{
    // With no text rows or columns the view still starts at the cursor, not
    // one past it, so once the screen grows back the next key does not drag
    // the cursor to another line.
    Session s = screen(100, 24, at(5, 3));
    expect_view(s, {{"<Resize:1,2><F5>", 5, 3}});
    s.press("<Resize:40,24><F5>");
    EXPECT_EQ(s.ed.cursor, at(5, 3));
    s.press("<Resize:40,2><PgDn><PgUp>");
    EXPECT_EQ(s.ed.cursor, at(5, 3));
}

// The wheel leaves the cursor where it was; the next key first brings it to
// the nearest visible line, at its start, then acts.
TEST(View, KeyAfterTheWheelStartsFromTheVisibleLines)
{
    Session s = screen(30, 12, at(2, 4));
    s.press(times(10, "<WheelDown>"));
    EXPECT_EQ(s.ed.top_line, 10u);
    EXPECT_EQ(s.ed.cursor, at(2, 4));
    s.press("<Right>");
    EXPECT_EQ(s.ed.cursor, at(10, 1));
    EXPECT_EQ(s.ed.top_line, 10u);

    s = screen(30, 12, at(25, 4));
    s.press(times(6, "<WheelUp>"));
    EXPECT_EQ(s.ed.top_line, 10u);
    s.press("<F1>");  // even a key that only shows help
    EXPECT_TRUE(s.ed.help_visible);
    EXPECT_EQ(s.ed.cursor, at(19, 0));

    s = screen(30, 12, at(15, 4));
    s.press(times(4, "<WheelDown>") + "<F5>");  // still in view: untouched
    EXPECT_EQ(s.ed.cursor, at(15, 4));

    // A view reaching past the document's end, after the window grew.
    s = screen(30, 4, at(3, 2));
    s.press(times(23, "<WheelDown>") + "<Resize:40,12>");
    EXPECT_EQ(s.ed.top_line, 25u);
    s.press("<F5>");
    EXPECT_EQ(s.ed.cursor, at(25, 0));
}

TEST(View, CtrlUpAndDownScrollAndMoveTheCursorByWhatTheViewCannotTake)
{
    Session s = screen(30, 12, at(5, 6));  // top line at most 20
    s.press(times(3, "<C-Down>"));
    EXPECT_EQ(s.ed.top_line, 3u);
    EXPECT_EQ(s.ed.cursor, at(5, 6));  // within the limits the cursor stays
    s.press(times(5, "<C-Up>"));
    EXPECT_EQ(s.ed.top_line, 0u);
    EXPECT_EQ(s.ed.cursor, at(3, 6));  // two lines beyond the top
    s.press(times(4, "<C-Up>"));
    EXPECT_EQ(s.ed.cursor, at(0, 6));  // and never above row 0

    s = screen(30, 12, at(25, 6));
    s.press(times(20, "<C-Down>"));
    EXPECT_EQ(s.ed.top_line, 20u);
    EXPECT_EQ(s.ed.cursor, at(29, 6));  // nor below the last line

    // The column is clamped to the line the cursor arrives on; a document
    // shorter than the view does not scroll at all.
    s.load("a\nlong li|ne");
    s.press("<C-Up>");
    EXPECT_EQ(s.marked(), "a|\nlong line");
    s.press("<C-Down>");
    EXPECT_EQ(s.marked(), "a\nl|ong line");
    EXPECT_EQ(s.ed.top_line, 0u);

    // A view left past its limit counts from the limit.
    s = screen(30, 4, at(26, 3));
    s.press("<Resize:40,12>");
    EXPECT_EQ(s.ed.top_line, 25u);
    s.press("<C-Up>");
    EXPECT_EQ(s.ed.top_line, 19u);
    EXPECT_EQ(s.ed.cursor, at(26, 3));
}

TEST(View, WheelAcceleratesWithinEightyMilliseconds)
{
    Session s = screen(1000, 24);
    auto moved = [&](std::string_view keys) {
        const auto before = static_cast<std::int64_t>(s.ed.top_line);
        s.press(keys);
        return static_cast<std::int64_t>(s.ed.top_line) - before;
    };
    std::vector<std::int64_t> moves;
    for (int i = 0; i < 4; ++i) moves.push_back(moved("<+30ms><WheelDown>"));
    EXPECT_EQ(moves, (std::vector<std::int64_t>{1, 1, 3, 3}));
    EXPECT_EQ(moved("<+80ms><WheelDown>"), 1);  // a pause of 80 ms starts a new run
    EXPECT_EQ(moved("<+79ms><WheelDown>"), 1);
    EXPECT_EQ(moved("<+79ms><WheelUp>"), -3);  // either direction counts

    // The whole table: runs of 1-2, 3-5, 6-9, 10-14 and 15 or more.
    moves.clear();
    for (int i = 0; i < 16; ++i) moves.push_back(moved(i == 0 ? "<WheelDown>" : "<+10ms><WheelDown>"));
    EXPECT_EQ(moves, (std::vector<std::int64_t>{1, 1, 3, 3, 3, 8, 8, 8, 8, 14, 14, 14, 14, 14, 20, 20}));

    // Horizontal wheels do nothing, not even count as notches.
    EXPECT_EQ(moved("<WheelDown><+50ms><WheelLeft><+1ms><WheelRight><+1ms><WheelDown>"), 2);
}

TEST(View, ScrollBarJumpsAndDrags)
{
    Session s = screen(100, 22);  // twenty text rows, top line at most 80
    std::vector<std::uint64_t> tops;
    for (int row : {0, 1, 10, 19, 20, 21, 500}) {
        s.press("<Click:39," + std::to_string(row) + ">");
        tops.push_back(s.ed.top_line);
    }
    EXPECT_EQ(tops, (std::vector<std::uint64_t>{0, 0, 37, 75, 80, 80, 80}));
    EXPECT_EQ(s.ed.cursor, at(0, 0));

    s = screen(20, 22);  // the document fits
    s.press("<Click:39,20>");
    EXPECT_EQ(s.ed.top_line, 0u);
    s = screen(100, 3);  // one text row
    s.press("<Click:39,1>");
    EXPECT_EQ(s.ed.top_line, 99u);
    s.press("<Resize:40,2><Click:39,1>");  // no text row
    EXPECT_EQ(s.ed.top_line, 99u);

    // A drag jumps whatever its column; the cursor and the selection stay,
    // also after the release.
    s = screen(100, 22, at(4, 2));
    s.ed.anchor = at(3, 0);
    s.press("<Press:39,10>");
    EXPECT_EQ(s.ed.top_line, 37u);
    s.press("<Drag:12,20>");
    EXPECT_EQ(s.ed.top_line, 80u);
    s.press("<Drag:39,1><Release:39,1>");
    EXPECT_EQ(s.ed.top_line, 0u);
    EXPECT_EQ(s.ed.cursor, at(4, 2));
    EXPECT_EQ(s.ed.anchor, at(3, 0));
    // After the release a drag moves the cursor again.
    s.press("<Drag:5,2>");
    EXPECT_EQ(s.ed.cursor, at(1, 5));
    EXPECT_EQ(s.ed.top_line, 0u);

    // A press on the scroll bar is no first click of a double click.
    s.press("<Click:39,5><+100ms><Press:3,1>");
    EXPECT_EQ(s.ed.cursor, at(16, 3));
    EXPECT_EQ(s.ed.anchor, s.ed.cursor);
}

TEST(View, HoverOverTheScrollBar)
{
    Session s = screen(10, 12);
    const std::pair<std::string_view, bool> moves[] = {{"<Move:39,4>", true},
                                                       {"<Move:38,4>", false},
                                                       {"<Move:39,0>", true},
                                                       {"<Move:0,0>", false}};
    for (const auto& [keys, hover] : moves) {
        s.press(keys);
        EXPECT_EQ(s.ed.scrollbar_hover, hover) << keys;
    }
    EXPECT_EQ(s.ed.cursor, at(0, 0));
}

TEST(Mouse, ClicksPlaceTheCursorOnTextOnly)
{
    Session s = screen(30, 12);  // text rows 1 to 10, the message line 11
    s.ed.show_line_numbers = true;
    s.ed.gutter_line_count = 30;  // a gutter of 4 columns
    s.ed.top_line = 5;
    s.ed.left_column = 2;
    s.press("<Click:6,3>");
    EXPECT_EQ(s.ed.cursor, at(7, 4));
    EXPECT_FALSE(s.ed.anchor);  // a plain click leaves no selection
    s.press("<Click:30,1>");    // right of the line end
    EXPECT_EQ(s.ed.cursor, at(5, 6));

    // The gutter, the status bar, the scroll bar, the message line and rows
    // past the last line do not move the cursor; a press still clears the
    // selection, and the release the empty one it left.
    s.ed.screen_height = 40;  // text rows 1 to 38; the document ends on row 25
    for (const std::string cell : {"3,4", "10,0", "10,39", "10,26", "10,60"}) {
        s.ed.anchor = at(0, 0);
        s.press("<Press:" + cell + ">");
        EXPECT_EQ(s.ed.cursor, at(5, 6)) << cell;
        s.press("<Release:" + cell + ">");
        EXPECT_FALSE(s.ed.anchor) << cell;
    }
    s.ed.screen_height = 12;
    s.press("<Press:10,11><Drag:10,11><Release:10,11>");  // the message line
    EXPECT_EQ(s.ed.cursor, at(5, 6));
    EXPECT_EQ(s.ed.top_line, 5u);  // and none of it scrolls
    EXPECT_EQ(s.ed.left_column, 2u);
}

// Cells are display columns: a wide character takes two, a click on either
// half lands on it; a mark takes none, so the cell of its character lands
// before both; right of the line's end is its end. Dragging works alike.
TEST(Mouse, ClicksOnWideCharactersAndMarks)
{
    // Display columns of "abc😀def日本語xyz": 😀 3-4, 日 8-9, 本 10-11, 語 12-13.
    const std::pair<std::string_view, std::string_view> clicks[] = {
        {"<Click:3,1>", "abc|😀def日本語xyz"},
        {"<Click:4,1>", "abc|😀def日本語xyz"},
        {"<Click:5,1>", "abc😀|def日本語xyz"},
        {"<Click:9,1>", "abc😀def|日本語xyz"},
        {"<Click:13,1>", "abc😀def日本|語xyz"},
        {"<Click:16,1>", "abc😀def日本語xy|z"},
        {"<Click:17,1>", "abc😀def日本語xyz|"},
        {"<Click:38,1>", "abc😀def日本語xyz|"},
        {"<Press:4,1><Drag:11,1>", "abc[😀def日|]本語xyz"},
        {"<Press:13,1><Drag:0,1>", "[|abc😀def日本]語xyz"},
    };
    for (const auto& [keys, after] : clicks) {
        Session s = screen(1, 12);
        s.load("|abc😀def日本語xyz");
        s.press(keys);
        EXPECT_EQ(s.marked(), after) << keys;
    }

    // Scrolled right by display columns: the first cell is the second half of 😀.
    Session s = screen(1, 12);
    s.load("|abc😀def日本語xyz");
    s.ed.left_column = 4;
    s.press("<Click:0,1>");
    EXPECT_EQ(s.marked(), "abc|😀def日本語xyz");
    s.press("<Click:5,1>");
    EXPECT_EQ(s.marked(), "abc😀def|日本語xyz");

    // Marks: "e\u0301\u0302x" draws e with both marks in column 0, x in 1; a
    // mark starting a line takes a column of its own.
    s.load("|e\u0301\u0302x");
    s.press("<Click:0,1>");
    EXPECT_EQ(s.ed.cursor, at(0, 0));
    s.press("<Click:1,1>");
    EXPECT_EQ(s.ed.cursor, at(0, 3));
    s.load("|\u0301x");
    s.press("<Click:1,1>");
    EXPECT_EQ(s.ed.cursor, at(0, 1));
}

TEST(Mouse, DragSelects)
{
    Session s = screen(30, 12, at(9, 0));
    s.ed.anchor = at(8, 0);
    s.press("<Press:2,1>");  // clears the old selection
    EXPECT_EQ(s.ed.anchor, at(0, 2));
    s.press("<Drag:4,1><Drag:3,3><Release:3,3>");
    EXPECT_EQ(s.ed.anchor, at(0, 2));
    EXPECT_EQ(s.ed.cursor, at(2, 3));

    // Dragging back onto the press, or onto the scroll bar, leaves nothing
    // selected after the release.
    s.press("<Press:2,1><Drag:5,2><Drag:2,1><Release:2,1>");
    EXPECT_FALSE(s.ed.anchor);
    EXPECT_EQ(s.ed.cursor, at(0, 2));
    s.press("<Press:3,1><Drag:39,3><Release:39,3>");
    EXPECT_FALSE(s.ed.anchor);
    EXPECT_EQ(s.ed.cursor, at(0, 3));
}

// A second press within 400 ms selects the word, or the run of punctuation,
// that the first one put the cursor on, wherever the second one lands. (A
// click's release comes 10 ms after its press.)
TEST(Mouse, DoubleClickSelectsAWord)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"<Click:5,1><+389ms><Click:30,3>", "x = [foo_bar1|] == y\n\nz"},
        {"<Click:13,1><+100ms><Click:13,1>", "x = foo_bar1 [==|] y\n\nz"},
        {"<Click:20,1><+100ms><Click:20,1>", "x = foo_bar1 == [y|]\n\nz"},  // right of the line end
        {"<Click:5,1><+390ms><Click:13,1>", "x = foo_bar1 |== y\n\nz"},     // 400 ms: two clicks
        {"<Click:3,1><+100ms><Click:3,1>", "x =| foo_bar1 == y\n\nz"},      // a space: nothing
        {"<Click:2,1><+100ms><Click:2,1>", "x [=|] foo_bar1 == y\n\nz"},
        {"<Click:3,2><+100ms><Click:3,2>", "x = foo_bar1 == y\n|\nz"},  // an empty line
        // A third quick press is another double click, at the cursor.
        {"<Click:13,1><+100ms><Click:13,1><+100ms><Press:0,1>", "x = foo_bar1 ==[|] y\n\nz"},
    };
    for (const auto& [keys, selected] : cases) {
        Session s = screen(1, 12);
        s.load("|x = foo_bar1 == y\n\nz");
        s.press(keys);
        EXPECT_EQ(s.marked(), selected) << keys;
    }
    // Wide characters take two cells each; a click on either half is on it.
    const std::tuple<std::string_view, int, std::string_view> words[] = {{"|  ab", 0, "|  ab"},
                                                                         {"|漢字。。x", 1, "[漢字|]。。x"},
                                                                         {"|漢字。。x", 7, "漢字[。。|]x"},
                                                                         {"|a.b", 1, "a[.|]b"}};
    for (const auto& [text, x, selected] : words) {
        Session s = screen(1, 12);
        s.load(text);
        const std::string cell = std::to_string(x) + ",1";
        s.press("<Click:" + cell + "><+100ms><Click:" + cell + ">");
        EXPECT_EQ(s.marked(), selected) << text << " at " << x;
    }
}
