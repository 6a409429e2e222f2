#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/cursor.hpp"

namespace {

Editor make_editor(std::vector<std::string> lines, std::uint16_t height = 24)
{
    Editor ed;
    ed.buffer = Buffer(std::move(lines));
    ed.screen_width = 80;
    ed.screen_height = height;
    return ed;
}

constexpr Position at(std::uint64_t row, std::uint64_t column) { return {row, column}; }

}  // namespace

TEST(Cursor, CharacterMovesCrossLineEndsAndStopAtDocumentEnds)
{
    Editor ed = make_editor({"ab", "", "xyz"});
    move_left(ed);
    EXPECT_EQ(ed.cursor, at(0, 0));
    move_up(ed);
    EXPECT_EQ(ed.cursor, at(0, 0));

    move_right(ed);
    move_right(ed);
    EXPECT_EQ(ed.cursor, at(0, 2));
    move_right(ed);  // the line end goes on to the next line
    EXPECT_EQ(ed.cursor, at(1, 0));
    move_right(ed);
    EXPECT_EQ(ed.cursor, at(2, 0));
    move_left(ed);  // column 0 goes back to the previous line's end
    EXPECT_EQ(ed.cursor, at(1, 0));
    move_left(ed);
    EXPECT_EQ(ed.cursor, at(0, 2));

    ed.cursor = at(2, 1);
    move_down(ed);  // last line: nothing, not even to the line end
    EXPECT_EQ(ed.cursor, at(2, 1));
    ed.cursor = at(0, 1);
    move_up(ed);  // first line: the column stays
    EXPECT_EQ(ed.cursor, at(0, 1));

    doc_end(ed);
    EXPECT_EQ(ed.cursor, at(2, 3));
    move_right(ed);
    EXPECT_EQ(ed.cursor, at(2, 3));
    line_start(ed);
    EXPECT_EQ(ed.cursor, at(2, 0));
    line_end(ed);
    EXPECT_EQ(ed.cursor, at(2, 3));
    doc_start(ed);
    EXPECT_EQ(ed.cursor, at(0, 0));
}

TEST(Cursor, ColumnsCountCharactersNotBytes)
{
    Editor ed = make_editor({"oʻzbek", "жж"});
    line_end(ed);
    EXPECT_EQ(ed.cursor, at(0, 6));
    move_down(ed);
    EXPECT_EQ(ed.cursor, at(1, 2));
    move_right(ed);
    EXPECT_EQ(ed.cursor, at(1, 2));
}

TEST(Cursor, NoPreferredColumn)
{
    Editor ed = make_editor({"0123456789abc", "xyz", "0123456789abc"});
    ed.cursor = at(0, 10);
    move_down(ed);
    EXPECT_EQ(ed.cursor, at(1, 3));
    move_down(ed);
    EXPECT_EQ(ed.cursor, at(2, 3));
    move_up(ed);
    move_up(ed);
    EXPECT_EQ(ed.cursor, at(0, 3));
}

TEST(Cursor, PageMovesStopAtTheEndsAndNeedATextArea)
{
    std::vector<std::string> lines(50, "line");
    lines[49] = "x";
    Editor ed = make_editor(lines, 12);  // a page of 10 rows
    ed.cursor = at(5, 4);
    page_down(ed);
    EXPECT_EQ(ed.cursor, at(15, 4));
    ed.cursor = at(45, 4);
    page_down(ed);  // stops on the last line, column clamped to it
    EXPECT_EQ(ed.cursor, at(49, 1));
    ed.cursor = at(12, 3);
    page_up(ed);
    EXPECT_EQ(ed.cursor, at(2, 3));
    page_up(ed);
    EXPECT_EQ(ed.cursor, at(0, 3));

    for (std::uint16_t height : {0, 1, 2}) {
        ed.screen_height = height;
        ed.cursor = at(20, 2);
        page_down(ed);
        EXPECT_EQ(ed.cursor, at(20, 2)) << height;
        page_up(ed);
        EXPECT_EQ(ed.cursor, at(20, 2)) << height;
    }
}

TEST(Cursor, WordMotions)
{
    Editor ed = make_editor({"foo_bar baz", "  (x)"});
    std::vector<std::uint64_t> stops;
    for (int i = 0; i < 3; ++i) {
        word_right(ed);
        stops.push_back(ed.cursor.column);
    }
    EXPECT_EQ(stops, (std::vector<std::uint64_t>{4, 8, 11}));
    EXPECT_EQ(ed.cursor.row, 0u);

    stops.clear();
    for (int i = 0; i < 3; ++i) {
        word_left(ed);
        stops.push_back(ed.cursor.column);
    }
    EXPECT_EQ(stops, (std::vector<std::uint64_t>{8, 4, 0}));

    ed.cursor = at(0, 11);
    word_right(ed);  // the line end goes to the next line's start, one step only
    EXPECT_EQ(ed.cursor, at(1, 0));
    word_right(ed);
    EXPECT_EQ(ed.cursor, at(1, 3));
    word_right(ed);
    EXPECT_EQ(ed.cursor, at(1, 5));
    word_right(ed);  // end of the last line
    EXPECT_EQ(ed.cursor, at(1, 5));

    word_left(ed);
    EXPECT_EQ(ed.cursor, at(1, 3));
    word_left(ed);  // only non-word characters before it: the line start
    EXPECT_EQ(ed.cursor, at(1, 0));
    word_left(ed);  // column 0: the end of the previous line, and no further
    EXPECT_EQ(ed.cursor, at(0, 11));
    ed.cursor = at(0, 0);
    word_left(ed);
    EXPECT_EQ(ed.cursor, at(0, 0));
}

TEST(Cursor, WordMotionsBeyondAscii)
{
    // The Uzbek ʻ (U+02BB) is a letter, so 'oʻzbek' is one word; so are
    // Cyrillic words, digits of other scripts and CJK runs.
    Editor ed = make_editor({"oʻzbek тили ٣٤ 漢字, «x»"});
    std::vector<std::uint64_t> stops;
    for (int i = 0; i < 5; ++i) {
        word_right(ed);
        stops.push_back(ed.cursor.column);
    }
    EXPECT_EQ(stops, (std::vector<std::uint64_t>{7, 12, 15, 20, 22}));
    stops.clear();
    for (int i = 0; i < 5; ++i) {
        word_left(ed);
        stops.push_back(ed.cursor.column);
    }
    EXPECT_EQ(stops, (std::vector<std::uint64_t>{20, 15, 12, 7, 0}));
}

TEST(Cursor, WordMotionOverAVeryLongLine)
{
    // One word of a million characters followed by a few others: one motion
    // crosses it in a single pass (this would take minutes if each step
    // looked the character up from the line start).
    std::string line(1'000'000, 'a');
    line += " ж.";
    Editor ed = make_editor({line});
    word_right(ed);
    EXPECT_EQ(ed.cursor.column, 1'000'001u);
    word_right(ed);
    EXPECT_EQ(ed.cursor.column, 1'000'003u);
    word_left(ed);
    EXPECT_EQ(ed.cursor.column, 1'000'001u);
    word_left(ed);
    EXPECT_EQ(ed.cursor.column, 0u);
}

TEST(Cursor, ShiftSelectionsGrowAndShrink)
{
    Editor ed = make_editor({"abcdef", "ghi"});
    for (int i = 0; i < 3; ++i) {
        start_selection(ed);
        move_right(ed);
    }
    EXPECT_EQ(selection_text(ed), "abc");
    start_selection(ed);
    move_left(ed);
    EXPECT_EQ(selection_text(ed), "ab");
    EXPECT_EQ(selection_range(ed), std::make_pair(at(0, 0), at(0, 2)));

    // Going back past the anchor turns the selection around it.
    ed.cursor = at(1, 2);
    ed.anchor = at(1, 2);
    start_selection(ed);
    move_up(ed);
    EXPECT_EQ(selection_range(ed), std::make_pair(at(0, 2), at(1, 2)));
    EXPECT_EQ(selection_text(ed), "cdef\ngh");

    clear_selection(ed);
    EXPECT_FALSE(ed.anchor);
    EXPECT_EQ(selection_text(ed), "");

    // Shift+Left at (0, 0): a present but empty selection, which is no range.
    ed.cursor = at(0, 0);
    start_selection(ed);
    move_left(ed);
    ASSERT_TRUE(ed.anchor);
    EXPECT_FALSE(selection_range(ed));
    EXPECT_EQ(selection_text(ed), "");

    select_all(ed);
    EXPECT_EQ(selection_range(ed), std::make_pair(at(0, 0), at(1, 3)));
    EXPECT_EQ(selection_text(ed), "abcdef\nghi");
}

TEST(Cursor, SelectionTextAcrossLinesUsesLfAndKeepsEmptyLines)
{
    Editor ed = make_editor({"first", "", "жаҳон", "last"});
    ed.buffer.line_ending = LineEnding::CrLf;
    ed.anchor = at(3, 2);  // anchor after the cursor: the order does not matter
    ed.cursor = at(0, 3);
    EXPECT_EQ(selection_text(ed), "st\n\nжаҳон\nla");
    ed.cursor = at(2, 5);
    ed.anchor = at(2, 1);
    EXPECT_EQ(selection_text(ed), "аҳон");
    ed.anchor = at(1, 0);
    EXPECT_EQ(selection_text(ed), "\nжаҳон");
}

TEST(Cursor, StaleAnchorIsClampedIntoTheDocument)
{
    Editor ed = make_editor({"one", "two", "three"});
    ed.cursor = at(0, 1);
    ed.anchor = at(2, 5);
    ed.buffer = Buffer({"one", "tw"});  // the text shrank under the anchor
    EXPECT_EQ(selection_text(ed), "ne\ntw");
    EXPECT_EQ(ed.anchor, at(1, 2));

    ed.anchor = at(0, 99);
    ed.cursor = at(0, 3);
    EXPECT_FALSE(selection_range(ed));  // clamped onto the cursor: empty
    EXPECT_EQ(ed.anchor, at(0, 3));

    EXPECT_EQ(clamp_to_document(ed.buffer, at(7, 7)), at(1, 2));
    EXPECT_EQ(clamp_to_document(ed.buffer, at(0, 1)), at(0, 1));
}

TEST(Cursor, SelectWordAtCursor)
{
    Editor ed = make_editor({"x foo_bar1 y", "a == b", "", "  ab", "漢字。。x"});

    ed.cursor = at(0, 5);  // inside 'foo_bar1': underscores and digits belong to it
    select_word_at_cursor(ed);
    EXPECT_EQ(selection_text(ed), "foo_bar1");
    EXPECT_EQ(ed.anchor, at(0, 2));
    EXPECT_EQ(ed.cursor, at(0, 10));

    ed.cursor = at(1, 3);  // on the second '=': the run of punctuation
    select_word_at_cursor(ed);
    EXPECT_EQ(selection_text(ed), "==");

    ed.cursor = at(1, 1);  // on a space: nothing selected, the cursor stays
    ed.anchor.reset();
    select_word_at_cursor(ed);
    EXPECT_EQ(ed.cursor, at(1, 1));
    EXPECT_EQ(ed.anchor, at(1, 1));
    EXPECT_FALSE(selection_range(ed));

    ed.cursor = at(1, 4);  // on the space after '==': still nothing
    select_word_at_cursor(ed);
    EXPECT_EQ(ed.cursor, at(1, 4));
    EXPECT_FALSE(selection_range(ed));

    ed.cursor = at(1, 6);  // right of the line end: the last character
    select_word_at_cursor(ed);
    EXPECT_EQ(selection_text(ed), "b");

    ed.cursor = at(2, 0);  // an empty line: nothing at all
    ed.anchor = at(2, 0);
    select_word_at_cursor(ed);
    EXPECT_EQ(ed.anchor, at(2, 0));
    EXPECT_EQ(ed.cursor, at(2, 0));

    ed.cursor = at(3, 0);  // spaces before a word are not joined to it
    select_word_at_cursor(ed);
    EXPECT_FALSE(selection_range(ed));

    ed.cursor = at(4, 0);
    select_word_at_cursor(ed);
    EXPECT_EQ(selection_text(ed), "漢字");
    ed.cursor = at(4, 3);
    select_word_at_cursor(ed);
    EXPECT_EQ(selection_text(ed), "。。");
}
