#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/editing.hpp"

void PrintTo(const Position& p, std::ostream* os) { *os << '(' << p.row << ", " << p.column << ')'; }

namespace {

Editor make_editor(std::vector<std::string> lines)
{
    Editor ed;
    ed.buffer = Buffer(std::move(lines));
    return ed;
}

std::string text(const Editor& ed)
{
    std::string out;
    for (std::uint64_t r = 0; r < ed.buffer.line_count(); ++r) {
        if (r > 0) out += '\n';
        out += ed.buffer.line(r);
    }
    return out;
}

constexpr Position at(std::uint64_t row, std::uint64_t column) { return {row, column}; }

// What a typed key does: replace the selection, then type.
void type_key(Editor& ed, char32_t c)
{
    delete_selection(ed);
    type_char(ed, c);
}

void type_keys(Editor& ed, std::u32string_view keys)
{
    for (char32_t c : keys) type_key(ed, c);
}

}  // namespace

TEST(Editing, TypedCharactersUndoAndRedoOneAtATime)
{
    Editor ed = make_editor({""});
    type_keys(ed, U"abc");
    EXPECT_EQ(text(ed), "abc");
    EXPECT_EQ(ed.cursor, at(0, 3));

    undo(ed);
    EXPECT_EQ(text(ed), "ab");
    EXPECT_EQ(ed.cursor, at(0, 2));
    undo(ed);
    EXPECT_EQ(text(ed), "a");
    undo(ed);
    EXPECT_EQ(text(ed), "");
    EXPECT_EQ(ed.cursor, at(0, 0));

    redo(ed);
    EXPECT_EQ(text(ed), "a");
    EXPECT_EQ(ed.cursor, at(0, 1));
    redo(ed);
    redo(ed);
    EXPECT_EQ(text(ed), "abc");
    EXPECT_EQ(ed.cursor, at(0, 3));
    redo(ed);  // nothing left to redo
    EXPECT_EQ(text(ed), "abc");

    // Characters of several bytes count as one column each.
    type_keys(ed, U"é€😀");
    EXPECT_EQ(text(ed), "abcé€😀");
    EXPECT_EQ(ed.cursor, at(0, 6));
    undo(ed);
    EXPECT_EQ(text(ed), "abcé€");
    EXPECT_EQ(ed.cursor, at(0, 5));
}

TEST(Editing, TabIsFourStepsAndEnterDoesNotIndent)
{
    Editor ed = make_editor({"x"});
    ed.cursor = at(0, 1);
    type_keys(ed, U"    ");
    EXPECT_EQ(text(ed), "x    ");
    undo(ed);
    EXPECT_EQ(text(ed), "x   ");
    EXPECT_EQ(ed.cursor, at(0, 4));

    ed = make_editor({"    abcd"});
    ed.cursor = at(0, 6);
    new_line(ed);
    EXPECT_EQ(text(ed), "    ab\ncd");
    EXPECT_EQ(ed.cursor, at(1, 0));
    undo(ed);
    EXPECT_EQ(text(ed), "    abcd");
    EXPECT_EQ(ed.cursor, at(0, 6));
    redo(ed);
    EXPECT_EQ(ed.cursor, at(1, 0));

    // An LF that arrives as a character still only splits the line.
    type_char(ed, U'\n');
    EXPECT_EQ(text(ed), "    ab\n\ncd");
    EXPECT_EQ(ed.cursor, at(2, 0));
}

TEST(Editing, MergesAndSplitsGoThroughUndoWithTheCursorInPlace)
{
    Editor ed = make_editor({"ab", "cd"});
    ed.cursor = at(1, 0);
    backspace_at_cursor(ed);
    EXPECT_EQ(text(ed), "abcd");
    EXPECT_EQ(ed.cursor, at(0, 2));
    undo(ed);
    EXPECT_EQ(text(ed), "ab\ncd");
    EXPECT_EQ(ed.cursor, at(1, 0));
    redo(ed);
    EXPECT_EQ(text(ed), "abcd");
    EXPECT_EQ(ed.cursor, at(0, 2));
    undo(ed);

    // Delete at a line end joins forward and leaves the cursor.
    ed.cursor = at(0, 2);
    delete_at_cursor(ed);
    EXPECT_EQ(text(ed), "abcd");
    EXPECT_EQ(ed.cursor, at(0, 2));
    undo(ed);
    EXPECT_EQ(text(ed), "ab\ncd");
    EXPECT_EQ(ed.cursor, at(1, 0));

    // Delete at the end of the last line and Backspace at (0, 0) record
    // nothing: the next undo takes back the typed 'x'.
    ed.cursor = at(1, 2);
    type_key(ed, U'x');
    delete_at_cursor(ed);
    ed.cursor = at(0, 0);
    backspace_at_cursor(ed);
    EXPECT_EQ(text(ed), "ab\ncdx");
    undo(ed);
    EXPECT_EQ(text(ed), "ab\ncd");
    EXPECT_EQ(ed.cursor, at(1, 2));
}

TEST(Editing, TypingOverASelectionIsTwoUndoSteps)
{
    Editor ed = make_editor({"abcd"});
    ed.anchor = at(0, 1);
    ed.cursor = at(0, 3);
    type_key(ed, U'X');
    EXPECT_EQ(text(ed), "aXd");
    EXPECT_FALSE(ed.anchor);
    undo(ed);
    EXPECT_EQ(text(ed), "ad");
    EXPECT_EQ(ed.cursor, at(0, 1));
    undo(ed);
    EXPECT_EQ(text(ed), "abcd");
    EXPECT_EQ(ed.cursor, at(0, 3));

    // A selection over several lines, made backwards, goes in one step and
    // undo puts the cursor at its end.
    ed = make_editor({"one", "two", "three"});
    ed.anchor = at(2, 2);
    ed.cursor = at(0, 1);
    EXPECT_TRUE(delete_selection(ed));
    EXPECT_EQ(text(ed), "oree");
    EXPECT_EQ(ed.cursor, at(0, 1));
    undo(ed);
    EXPECT_EQ(text(ed), "one\ntwo\nthree");
    EXPECT_EQ(ed.cursor, at(2, 2));
    redo(ed);
    EXPECT_EQ(text(ed), "oree");
    EXPECT_EQ(ed.cursor, at(0, 1));

    // An empty selection deletes nothing and stays.
    ed.anchor = ed.cursor;
    EXPECT_FALSE(delete_selection(ed));
    EXPECT_TRUE(ed.anchor);
}

TEST(Editing, StaleAnchorIsClampedAndNothingEmptyIsRecorded)
{
    Editor ed = make_editor({"abc", "defgh"});
    ed.cursor = at(1, 5);
    type_key(ed, U'!');
    // The anchor lies past the end of the document, as after an undo that
    // removed lines: it is pulled back to the document end.
    ed.anchor = at(7, 9);
    ed.cursor = at(1, 3);
    EXPECT_TRUE(delete_selection(ed));
    EXPECT_EQ(text(ed), "abc\ndef");
    EXPECT_FALSE(ed.anchor);
    undo(ed);
    EXPECT_EQ(text(ed), "abc\ndefgh!");
    EXPECT_EQ(ed.cursor, at(1, 6));

    // Clamped onto the cursor, it selects nothing: no step is recorded, so
    // the next undo takes back the '!'.
    ed.cursor = at(1, 6);
    ed.anchor = at(1, 40);
    EXPECT_FALSE(delete_selection(ed));
    undo(ed);
    EXPECT_EQ(text(ed), "abc\ndefgh");
}

TEST(Editing, WordDeletions)
{
    Editor ed = make_editor({"foo bar"});
    ed.cursor = at(0, 7);
    delete_word_before(ed);
    EXPECT_EQ(text(ed), "foo ");
    EXPECT_EQ(ed.cursor, at(0, 4));
    undo(ed);
    EXPECT_EQ(text(ed), "foo bar");
    EXPECT_EQ(ed.cursor, at(0, 7));

    ed.cursor = at(0, 4);
    delete_word_before(ed);  // the space, then the word
    EXPECT_EQ(text(ed), "bar");
    EXPECT_EQ(ed.cursor, at(0, 0));
    undo(ed);
    EXPECT_EQ(text(ed), "foo bar");
    EXPECT_EQ(ed.cursor, at(0, 4));

    ed.cursor = at(0, 0);
    delete_word_after(ed);
    EXPECT_EQ(text(ed), "bar");
    EXPECT_EQ(ed.cursor, at(0, 0));
    undo(ed);
    EXPECT_EQ(text(ed), "foo bar");
    // Undoing forward deletions one at a time ends after the first one.
    EXPECT_EQ(ed.cursor, at(0, 1));
    redo(ed);
    EXPECT_EQ(text(ed), "bar");
    EXPECT_EQ(ed.cursor, at(0, 0));
    undo(ed);

    ed.cursor = at(0, 3);
    delete_word_after(ed);  // only the space
    EXPECT_EQ(text(ed), "foobar");

    // The underscore separates words; letters beyond ASCII are word characters.
    ed = make_editor({"foo_bar", "привет мир"});
    ed.cursor = at(0, 7);
    delete_word_before(ed);
    EXPECT_EQ(text(ed), "foo_\nпривет мир");
    ed.cursor = at(1, 10);
    delete_word_before(ed);
    EXPECT_EQ(text(ed), "foo_\nпривет ");
    // At column 0 it joins the previous line; at a line end Ctrl+Delete
    // joins the next one; both are one step.
    ed.cursor = at(1, 0);
    delete_word_before(ed);
    EXPECT_EQ(text(ed), "foo_привет ");
    EXPECT_EQ(ed.cursor, at(0, 4));
    undo(ed);
    ed.cursor = at(0, 4);
    delete_word_after(ed);
    EXPECT_EQ(text(ed), "foo_привет ");
    // At (0, 0) and at the end of the last line: nothing.
    ed.cursor = at(0, 0);
    delete_word_before(ed);
    ed.cursor = at(0, 11);
    delete_word_after(ed);
    EXPECT_EQ(text(ed), "foo_привет ");

    // With a selection they delete just the selection; with an empty one,
    // nothing at all.
    ed = make_editor({"alpha beta"});
    ed.anchor = at(0, 2);
    ed.cursor = at(0, 4);
    delete_word_before(ed);
    EXPECT_EQ(text(ed), "ala beta");
    ed.anchor = at(0, 5);
    ed.cursor = at(0, 5);
    delete_word_after(ed);
    delete_word_before(ed);
    EXPECT_EQ(text(ed), "ala beta");
    EXPECT_EQ(ed.cursor, at(0, 5));
}

TEST(Editing, EmptyHistoryRedoClearingAndModified)
{
    Editor ed = make_editor({"keep"});
    ed.cursor = at(0, 2);
    undo(ed);
    redo(ed);
    EXPECT_EQ(text(ed), "keep");
    EXPECT_EQ(ed.cursor, at(0, 2));
    EXPECT_FALSE(ed.buffer.modified);
    EXPECT_TRUE(ed.status_message.text.empty());

    type_key(ed, U'a');
    EXPECT_TRUE(ed.buffer.modified);
    undo(ed);
    EXPECT_EQ(text(ed), "keep");
    EXPECT_TRUE(ed.buffer.modified);  // only saving clears it

    // A new edit after an undo empties the redo list.
    type_key(ed, U'b');
    redo(ed);
    EXPECT_EQ(text(ed), "kebep");
    EXPECT_EQ(ed.cursor, at(0, 3));

    // So do Ctrl+K and Ctrl+D, which are recorded like every edit.
    undo(ed);
    delete_to_line_end(ed);
    redo(ed);
    EXPECT_EQ(text(ed), "ke");
    undo(ed);
    EXPECT_EQ(text(ed), "keep");
    duplicate_line(ed);
    redo(ed);
    EXPECT_EQ(text(ed), "keep\nkeep");

    // Undo closes a group left open.
    ed = make_editor({""});
    begin_group(ed.history);
    type_char(ed, U'x');
    type_char(ed, U'y');
    undo(ed);
    EXPECT_EQ(text(ed), "");
    EXPECT_FALSE(ed.history.grouping);
}

TEST(Editing, CtrlKAndCtrlDUndoAndRedoAmongOtherEdits)
{
    Editor ed = make_editor({"abcdef", "second", "third"});
    std::vector<std::string> states{text(ed)};
    std::vector<Position> cursors{ed.cursor};
    auto step = [&](auto action) {
        action();
        states.push_back(text(ed));
        cursors.push_back(ed.cursor);
    };

    ed.cursor = at(0, 2);
    step([&] { delete_to_line_end(ed); });
    EXPECT_EQ(text(ed), "ab\nsecond\nthird");
    EXPECT_EQ(ed.cursor, at(0, 2));
    ed.cursor = at(0, 2);
    delete_to_line_end(ed);  // at the line end: nothing, no step, no join
    EXPECT_EQ(text(ed), "ab\nsecond\nthird");

    ed.cursor = at(1, 3);
    step([&] { duplicate_line(ed); });
    EXPECT_EQ(text(ed), "ab\nsecond\nsecond\nthird");
    EXPECT_EQ(ed.cursor, at(2, 3));
    step([&] { type_key(ed, U'X'); });
    step([&] { new_line(ed); });
    ed.cursor = at(0, 1);
    step([&] { delete_to_line_end(ed); });
    ed.cursor = at(4, 0);
    step([&] { duplicate_line(ed); });
    ed.cursor = at(1, 0);
    step([&] { backspace_at_cursor(ed); });
    EXPECT_EQ(text(ed), "asecond\nsecX\nond\nthird\nthird");

    // Every undo gives back the text before the step; the cursor goes where
    // the step was made.
    undo(ed);
    EXPECT_EQ(text(ed), states[6]);
    undo(ed);
    EXPECT_EQ(text(ed), states[5]);
    EXPECT_EQ(ed.cursor, at(4, 0));
    undo(ed);
    EXPECT_EQ(text(ed), states[4]);
    EXPECT_EQ(ed.cursor, at(0, 2));  // after the first character Ctrl+K removed
    for (std::size_t n = 4; n > 0; --n) {
        undo(ed);
        EXPECT_EQ(text(ed), states[n - 1]);
    }
    EXPECT_EQ(text(ed), "abcdef\nsecond\nthird");
    EXPECT_EQ(ed.cursor, at(0, 3));
    for (std::size_t n = 1; n < states.size(); ++n) {
        redo(ed);
        EXPECT_EQ(text(ed), states[n]);
        EXPECT_EQ(ed.cursor, cursors[n]);
    }

    // Ctrl+D on row 2 of five lines; the selection is left alone.
    ed = make_editor({"1", "2", "three", "4", "5"});
    ed.cursor = at(2, 4);
    ed.anchor = at(0, 0);
    duplicate_line(ed);
    EXPECT_EQ(text(ed), "1\n2\nthree\nthree\n4\n5");
    EXPECT_EQ(ed.cursor, at(3, 4));
    EXPECT_EQ(ed.anchor, at(0, 0));
    EXPECT_TRUE(ed.buffer.modified);
    undo(ed);
    EXPECT_EQ(text(ed), "1\n2\nthree\n4\n5");
    EXPECT_EQ(ed.cursor, at(2, 4));
}

TEST(Editing, PasteAndReplacementsAreOneStepEach)
{
    Editor ed = make_editor({"[]"});
    ed.cursor = at(0, 1);
    insert_text(ed, "a\r\nb\rc\n\td");
    EXPECT_EQ(text(ed), "[a\nbc\n\td]");
    EXPECT_EQ(ed.cursor, at(2, 2));
    undo(ed);
    EXPECT_EQ(text(ed), "[]");
    EXPECT_EQ(ed.cursor, at(0, 1));
    redo(ed);
    EXPECT_EQ(text(ed), "[a\nbc\n\td]");
    EXPECT_EQ(ed.cursor, at(2, 2));

    // Nothing but CR: no step at all, so undo reaches the paste.
    insert_text(ed, "\r\r");
    undo(ed);
    EXPECT_EQ(text(ed), "[]");

    // Replacing several occurrences, last first, inside one group.
    ed = make_editor({"x x", "x"});
    begin_group(ed.history);
    replace_at(ed, at(1, 0), 1, "yy");
    replace_at(ed, at(0, 2), 1, "yy");
    replace_at(ed, at(0, 0), 1, "yy");
    end_group(ed.history);
    EXPECT_EQ(text(ed), "yy yy\nyy");
    EXPECT_EQ(ed.cursor, at(0, 2));
    undo(ed);
    EXPECT_EQ(text(ed), "x x\nx");
    EXPECT_EQ(ed.cursor, at(1, 1));
    redo(ed);
    EXPECT_EQ(text(ed), "yy yy\nyy");
    // On its own a replacement is one step; it never reaches past its line.
    replace_at(ed, at(1, 1), 5, "é");
    EXPECT_EQ(text(ed), "yy yy\nyé");
    EXPECT_EQ(ed.cursor, at(1, 2));
    undo(ed);
    EXPECT_EQ(text(ed), "yy yy\nyy");
}

TEST(BufferBulk, InsertTextAndEraseRangeMatchSingleSteps)
{
    Buffer buffer({"aé€b", "", "xyz"});
    EXPECT_EQ(buffer.insert_text({0, 2}, "12"), at(0, 4));
    EXPECT_EQ(buffer.line(0), "aé12€b");
    EXPECT_EQ(buffer.insert_text({0, 1}, "\nmid\n"), at(2, 0));
    EXPECT_EQ(buffer.line_count(), 5u);
    EXPECT_EQ(buffer.line(0), "a");
    EXPECT_EQ(buffer.line(1), "mid");
    EXPECT_EQ(buffer.line(2), "é12€b");
    // A column past the end appends, and the end position is real.
    EXPECT_EQ(buffer.insert_text({4, 99}, "!\n?"), at(5, 1));
    EXPECT_EQ(buffer.line(4), "xyz!");
    EXPECT_EQ(buffer.line(5), "?");

    EXPECT_EQ(buffer.erase_range({0, 1}, {2, 2}), "\nmid\né1");
    EXPECT_EQ(buffer.line(0), "a2€b");
    EXPECT_EQ(buffer.line_count(), 4u);
    EXPECT_EQ(buffer.erase_range({0, 3}, {0, 4}), "b");
    // Ends past the document are its end; a reversed range is nothing.
    EXPECT_EQ(buffer.erase_range({2, 1}, {9, 9}), "yz!\n?");
    EXPECT_EQ(buffer.erase_range({1, 0}, {0, 0}), "");
    EXPECT_EQ(buffer.line_count(), 3u);
    EXPECT_EQ(buffer.line(2), "x");

    // Nothing to do leaves `modified` alone.
    Buffer fresh;
    EXPECT_EQ(fresh.insert_text({3, 0}, "lost"), at(3, 0));
    EXPECT_EQ(fresh.insert_text({0, 0}, ""), at(0, 0));
    EXPECT_EQ(fresh.erase_range({0, 0}, {0, 5}), "");
    EXPECT_FALSE(fresh.modified);
    fresh.insert_text({0, 0}, "z");
    EXPECT_TRUE(fresh.modified);
}
