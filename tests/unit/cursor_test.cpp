#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/check.hpp"

using test_support::at;
using test_support::check;
using test_support::Check;
using test_support::Session;

namespace {

// Where the cursor stands after each of `count` presses of `key`.
std::vector<Position> stops(std::string_view before, std::string_view key, int count)
{
    Session s;
    s.load(before);
    std::vector<Position> cursors;
    for (int i = 0; i < count; ++i) {
        s.press(key);
        cursors.push_back(s.ed.cursor);
    }
    return cursors;
}

}  // namespace

TEST(Cursor, Moves)
{
    const Check cases[] = {
        // Character moves cross line ends and stop at the document's ends.
        {"|ab\n\nxyz", "<Left><Up>", "|ab\n\nxyz"},
        {"a|b\n\nxyz", "<Right><Right>", "ab\n|\nxyz"},
        {"ab\n|\nxyz", "<Right>", "ab\n\n|xyz"},
        {"ab\n\n|xyz", "<Left><Left>", "ab|\n\nxyz"},
        {"ab\n\nxyz|", "<Right>", "ab\n\nxyz|"},
        // Up on the first line and Down on the last do nothing, the column included.
        {"a|b\n\nxyz", "<Up>", "a|b\n\nxyz"},
        {"ab\n\nx|yz", "<Down>", "ab\n\nx|yz"},
        {"ab\n\nx|yz", "<Home>", "ab\n\n|xyz"},
        {"ab\n\nx|yz", "<End>", "ab\n\nxyz|"},
        {"a|b\n\nxyz", "<C-End>", "ab\n\nxyz|"},
        {"ab\n\nx|yz", "<C-Home>", "|ab\n\nxyz"},
        // Columns count characters, not bytes.
        {"|oʻzbek\nжж", "<End><Down><Right>", "oʻzbek\nжж|"},
        // No preferred column: every vertical move starts from the clamped one.
        {"0123456789|abc\nxyz\n0123456789abc", "<Down><Down>", "0123456789abc\nxyz\n012|3456789abc"},
        {"0123456789abc\nxyz\n0123456789|abc", "<Up><Up>", "012|3456789abc\nxyz\n0123456789abc"},
    };
    for (const Check& c : cases) check(c);
}

TEST(Cursor, PageMovesGoByTheTextAreaAndStopAtTheEnds)
{
    // Fifty lines "line", the last one "x"; with the cursor at row:column.
    auto doc = [](std::uint64_t row, std::uint64_t column) {
        test_support::Marked m{std::vector<std::string>(50, "line"), at(row, column), {}};
        m.lines.back() = "x";
        return test_support::format_marked(m);
    };
    Session s({""}, 80, 12);  // ten text rows
    check(s, {doc(5, 4), "<PgDn>", doc(15, 4)});
    check(s, {doc(45, 4), "<PgDn>", doc(49, 1)});
    check(s, {doc(12, 3), "<PgUp>", doc(2, 3)});
    check(s, {doc(2, 3), "<PgUp>", doc(0, 3)});
    for (int height : {0, 1, 2}) {
        Session none({""}, 80, height);
        check(none, {doc(20, 2), "<PgDn><PgUp>", doc(20, 2)});
    }
}

TEST(Cursor, WordMotions)
{
    EXPECT_EQ(stops("|foo_bar baz\n  (x)\n\nz", "<C-Right>", 10),
              (std::vector<Position>{at(0, 4), at(0, 8), at(0, 11), at(1, 0), at(1, 3), at(1, 5), at(2, 0), at(3, 0),
                                     at(3, 1), at(3, 1)}));
    EXPECT_EQ(stops("foo_bar baz\n  (x)|", "<C-Left>", 7),
              (std::vector<Position>{at(1, 3), at(1, 0), at(0, 11), at(0, 8), at(0, 4), at(0, 0), at(0, 0)}));
    // The Uzbek ʻ (U+02BB) is a letter, so 'oʻzbek' is one word; so are
    // Cyrillic words, digits of other scripts and CJK runs.
    EXPECT_EQ(stops("|oʻzbek тили ٣٤ 漢字, «x»", "<C-Right>", 5),
              (std::vector<Position>{at(0, 7), at(0, 12), at(0, 15), at(0, 20), at(0, 22)}));
    EXPECT_EQ(stops("oʻzbek тили ٣٤ 漢字, «x»|", "<C-Left>", 5),
              (std::vector<Position>{at(0, 20), at(0, 15), at(0, 12), at(0, 7), at(0, 0)}));

    // A word of a million characters is crossed in one pass (this would take
    // minutes if each step looked the character up from the line start).
    Session s({std::string(1'000'000, 'a') + " ж."});
    s.press("<C-Right>");
    EXPECT_EQ(s.ed.cursor, at(0, 1'000'001));
    s.press("<C-Right><C-Left>");
    EXPECT_EQ(s.ed.cursor, at(0, 1'000'001));
    s.press("<C-Left>");
    EXPECT_EQ(s.ed.cursor, at(0, 0));
}

TEST(Cursor, SelectionsFollowShiftAndGoWithoutIt)
{
    const Check cases[] = {
        {"|abcdef\nghi", "<S-Right><S-Right><S-Right><S-Left>", "[ab|]cdef\nghi"},
        // Going back past the anchor turns the selection around it.
        {"abcdef\ngh|i", "<S-Up>", "ab[|cdef\ngh]i"},
        {"ab|c", "<S-Left><S-Right><S-Right>", "ab[c|]"},
        {"[ab|]cdef", "<Left>", "a|bcdef"},
        {"[ab|]c", "<Esc>", "ab|c"},
        // Shift+Left at the start: an empty selection, which deletes nothing.
        {"|abc", "<S-Left>", "[|]abc"},
        {"ab|cdef\nghi", "<C-a>", "[abcdef\nghi|]"},
        {"|foo bar baz\nsecond", "<C-S-Right><C-S-Right><S-Left>", "[foo bar|] baz\nsecond"},
        {"foo bar [baz|]\nsecond", "<C-S-End>", "foo bar [baz\nsecond|]"},
        {"foo bar baz|\nsecond", "<C-S-Left><C-S-Left>", "foo [|bar baz]\nsecond"},
        {"foo [bar baz\nsec|]ond", "<C-S-Home>", "[|foo ]bar baz\nsecond"},
        {"foo [bar baz\nsec|]ond", "<C-Home>", "|foo bar baz\nsecond"},
        {"foo [bar baz\nsec|]ond", "<S-Home><S-PgUp>", "[|foo ]bar baz\nsecond"},
        {"foo [bar baz\nsec|]ond", "<S-End><S-Down>", "foo [bar baz\nsecond|]"},
        // Ctrl+Up and Ctrl+Down scroll and leave the anchor alone; with Shift
        // they do nothing.
        {"foo bar baz\n[s|]econd", "<C-Up>", "f[|oo bar baz\n]second"},
        {"foo bar baz\n[s|]econd", "<C-S-Up><C-S-Down>", "foo bar baz\n[s|]econd"},
    };
    for (const Check& c : cases) check(c);
}

TEST(Cursor, CopiedSelectionHasLfBetweenLinesAndKeepsEmptyLines)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"fir[|st\n\nжаҳон\nla]st", "st\n\nжаҳон\nla"},
        {"first\n\nж[аҳон|]\nlast", "аҳон"},
        {"first\n[\nжаҳон|]\nlast", "\nжаҳон"},
    };
    for (const auto& [selection, copied] : cases) {
        Session s;
        s.ed.buffer.line_ending = LineEnding::CrLf;
        s.load(selection);
        s.press("<C-c>");
        EXPECT_EQ(get_clipboard_text(*s.ed.clipboard), copied);
    }
}
