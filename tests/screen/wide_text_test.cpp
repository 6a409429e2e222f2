// Text as a terminal draws it: wide characters (CJK, emoji) over two
// columns, combining marks over the character before them. What the editor
// writes must land where libvterm, which knows these widths, puts it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/palette.hpp"
#include "screen/support/frame.hpp"

namespace {

using test_support::Session;

const Rgb SELECTION{50, 80, 140};
const Rgb BAR{55, 55, 55};

// "abc😀def日本語xyz": 13 characters over 17 columns.
const std::string MIXED = "abc😀def日本語xyz";

bool selected(const Cell& cell) { return cell.bg == SELECTION && !cell.default_bg; }

// The highlighted cells of a row in columns [from, to), as a string of
// '#' (highlighted) and '.'.
std::string highlight(const VtermScreen& screen, int row, int from, int to)
{
    std::string marks;
    for (int c = from; c < to; ++c) marks += selected(screen.cell(row, c)) ? '#' : '.';
    return marks;
}

}  // namespace

// The cursor stands after what is drawn before it, whatever its widths; the
// status bar still counts characters.
TEST(WideText, CursorAndTextWhereTheTerminalDrawsThem)
{
    struct Row {
        std::string line;
        std::string keys;
        int cursor;         // screen column, the gutter of 3 included
        std::string shown;  // the text area, a wide character once, without trailing blanks
        std::string status;
    };
    const Row rows[] = {
        {MIXED, "<End>", 3 + 17, MIXED, "1:14"},
        {MIXED, "<End>!", 3 + 18, MIXED + "!", "1:15"},
        {MIXED, "<Right><Right><Right><Right>", 3 + 5, MIXED, "1:5"},
        {MIXED, "<End><Left><Left><Left><Left>", 3 + 12, MIXED, "1:10"},
        {MIXED, "<C-Right><BS>", 3 + 3, "abcdef日本語xyz", "1:4"},
        // A mark is drawn with its character and takes no column of its own.
        {"e\u0301x", "<End>", 3 + 2, "e\u0301x", "1:4"},
        {"e\u0301\u0302x", "<Right>", 3 + 1, "e\u0301\u0302x", "1:2"},
        // One at the start of a line is drawn on a space.
        {"\u0301ab", "<End>", 3 + 3, " \u0301ab", "1:4"},
        {"日\u0301本", "<End>", 3 + 4, "日\u0301本", "1:4"},
    };
    for (const Row& row : rows) {
        Session s({row.line}, 40, 6);
        s.press(row.keys);
        const auto screen = draw(s.ed);
        EXPECT_EQ(screen->cursor_column(), row.cursor) << row.line << " " << row.keys;
        EXPECT_EQ(screen->cursor_row(), 1);
        std::string shown = screen->text(1, 3, 36);
        shown.erase(shown.find_last_not_of(' ') + 1);
        EXPECT_EQ(shown, row.shown) << row.line << " " << row.keys;
        EXPECT_NE(screen->text(0).find("  " + row.status + "  "), std::string::npos) << screen->text(0);
    }
    // Marks piled up on one character cost a bounded number of bytes.
    std::string piled = "e";
    for (int i = 0; i < 10000; ++i) piled += "\u0301";
    Editor marks = make_editor({piled + "x"}, 40, 6);
    EXPECT_LT(frame_bytes(marks).size(), 400u);
    EXPECT_EQ(draw(marks)->cell(1, 4).glyph, "x");

    // Each wide character takes two cells, and what follows is not shifted.
    Session s({MIXED}, 40, 6);
    const auto screen = draw(s.ed);
    EXPECT_EQ(screen->cell(1, 6).glyph, "😀");
    EXPECT_EQ(screen->cell(1, 6).width, 2);
    EXPECT_EQ(screen->cell(1, 8).glyph, "d");
    EXPECT_EQ(screen->cell(1, 11).glyph, "日");
    EXPECT_EQ(screen->cell(1, 15).glyph, "語");
    EXPECT_EQ(screen->text(1, 17, 3), "xyz");
    EXPECT_EQ(screen->cell(1, 39).glyph, "│");
}

// Both cells of a selected wide character are highlighted, a mark with its
// character.
TEST(WideText, SelectionCoversWholeCharacters)
{
    struct Row {
        std::string marked;
        std::string highlight;  // columns 3 to 19
    };
    const Row rows[] = {
        {"abc[😀|]def日本語xyz", "...##............"},
        {"abc😀de[f日|]本語xyz", ".......###......."},
        {"abc😀def日本[語xyz|]", "............#####"},
        {"[|abc😀def]日本語xyz", "########........."},
        // A mark is highlighted as the character it is drawn on.
        {"a[e|]\u0301b", ".#..............."},
        {"ae[\u0301b|]", "..#.............."},
    };
    for (const Row& row : rows) {
        Session s({""}, 40, 6);
        s.load(row.marked);
        const auto screen = draw(s.ed);
        EXPECT_EQ(highlight(*screen, 1, 3, 20), row.highlight) << row.marked;
    }
}

// Scrolled sideways by display columns: a wide character cut by either edge
// of the text area shows as a space in its visible half, never across the
// scroll bar; the whole character at the cursor comes into view.
TEST(WideText, CutAtTheEdgesOfTheTextArea)
{
    // A text area of 9 columns (13 - 1 - 3): 日 has only one of them.
    Session s({MIXED}, 13, 6);
    auto screen = draw(s.ed);
    EXPECT_EQ(screen->text(1, 3, 10), "abc😀def │");
    EXPECT_EQ(screen->cell(1, 11).glyph, " ");
    EXPECT_EQ(screen->cell(1, 12).glyph, "│");

    // Moving onto 日 brings both its halves in: the view moves by one.
    s.press("<Right><Right><Right><Right><Right><Right><Right>");
    EXPECT_EQ(s.ed.left_column, 1u);
    screen = draw(s.ed);
    EXPECT_EQ(screen->text(1, 3, 10), "bc😀def日│");
    EXPECT_EQ(screen->cursor_column(), 3 + 7);

    // At the line's end the view starts at column 17 + 1 - 9 = 9, the second
    // half of 日; and at column 4, the second half of 😀, with 語 cut on the
    // right.
    s.press("<End>");
    EXPECT_EQ(s.ed.left_column, 9u);
    screen = draw(s.ed);
    EXPECT_EQ(screen->text(1, 3, 10), " 本語xyz │");
    EXPECT_EQ(screen->cursor_column(), 3 + 8);
    s.ed.left_column = 4;
    screen = draw(s.ed);
    EXPECT_EQ(screen->text(1, 3, 10), " def日本 │");

    // The cut half of a selected character is highlighted too.
    s.load("abc[😀d|]ef");
    s.ed.left_column = 4;
    screen = draw(s.ed);
    EXPECT_EQ(highlight(*screen, 1, 3, 6), "##.");
}

// A line of nothing but wide characters, longer than the screen.
TEST(WideText, LongLineOfCjk)
{
    std::string line;
    for (int i = 0; i < 60; ++i) line += i % 2 ? "語" : "漢";
    Session s({line}, 40, 6);  // 36 text columns: 18 characters
    auto screen = draw(s.ed);
    EXPECT_EQ(screen->text(1, 3, 36), line.substr(0, 18 * 3));
    EXPECT_EQ(screen->cell(1, 39).glyph, "│");

    // At the end, 120 + 1 - 36 = 85 columns are scrolled away: the first
    // shown is the second half of the 43rd character.
    s.press("<End>");
    EXPECT_EQ(s.ed.left_column, 85u);
    screen = draw(s.ed);
    EXPECT_EQ(screen->cursor_column(), 38);
    const std::string shown = line.substr(43 * 3);
    EXPECT_EQ(screen->text(1, 3, 36), ' ' + shown + ' ');
    EXPECT_EQ(screen->cell(1, 39).glyph, "│");
    // Typed text goes where the cursor is shown.
    s.press("x");
    screen = draw(s.ed);
    EXPECT_EQ(screen->cell(1, 37).glyph, "x");
    EXPECT_EQ(screen->cursor_column(), 38);
    EXPECT_EQ(s.ed.left_column, 86u);
}

// The status bar, the message line and the help box are measured in display
// columns too: nothing they show runs past the screen's edge.
TEST(WideText, BarsAndHelpCutByDisplayColumns)
{
    Editor editor = make_editor({"x"}, 40, 6);
    editor.buffer.path = "日本語.txt";
    auto screen = draw(editor);
    // " 日本語.txt  " takes 13 columns, "UTF-8  1:1  1 qator " 20.
    EXPECT_EQ(screen->text(0), " 日本語.txt  " + std::string(7, ' ') + "UTF-8  1:1  1 qator ");
    EXPECT_EQ(screen->cell(0, 38).glyph, "r");
    // 13 + 20 columns, though 30 characters, need a screen of 34.
    editor.screen_width = 33;
    EXPECT_EQ(draw(editor)->text(0), " 日本語.txt  " + std::string(20, ' '));

    // Too wide for both parts: the name is cut, an emoji with one column
    // left becoming a space.
    editor = make_editor({"x"}, 8, 6);
    editor.buffer.path = "abcdef😀.txt";
    screen = draw(editor);
    EXPECT_EQ(screen->text(0), " abcdef ");
    EXPECT_EQ(screen->cell(0, 7).bg, BAR);

    // A search for an emoji: the prompt fills the message line exactly.
    Session s({"x"}, 14, 6);
    s.press("<C-f>");
    s.ch(U'😀');
    s.ch(U'😀');
    screen = draw(s.ed);
    EXPECT_EQ(s.message(), "Qidirish: 😀😀");
    EXPECT_EQ(screen->text(5), " Qidirish: 😀 ");
    EXPECT_EQ(screen->cell(5, 13).bg, BAR);
    EXPECT_EQ(screen->text(0).substr(0, 10), " [Nomsiz] ");  // nothing scrolled up

    // The help box over wide text: its border takes the second half of one
    // character (which leaves a space in the first) and the first half of
    // another (which leaves a space in the second).
    std::vector<std::string> lines(12, "");
    for (int i = 0; i < 40; ++i) lines[3] += "漢";
    editor = make_editor(lines, 80, 50);  // a gutter of 4: 漢 in columns 4-5, 6-7, ...
    editor.help_visible = true;
    screen = draw(editor);
    // Line 3 is on screen row 4, under the box's first line (columns 15 to 66).
    EXPECT_EQ(screen->text(4, 4, 12), "漢漢漢漢漢 │");
    EXPECT_EQ(screen->text(4, 66, 4), "│ 漢");
    EXPECT_EQ(screen->text(4, 76, 4), "漢 │");
}
