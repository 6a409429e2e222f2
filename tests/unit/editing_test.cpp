#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "editor/document.hpp"
#include "editor/messages.hpp"
#include "editor/render.hpp"
#include "support/check.hpp"
#include "support/files.hpp"
#include "text/utf8.hpp"

using test_support::check;
using test_support::Check;
using test_support::Session;

TEST(Editing, TypingAndLineBreaks)
{
    const Check cases[] = {
        // Every character is an undo step of its own, whatever its length in bytes.
        {"|", "abc", "abc|", 3},
        {"abc|", "é€😀", "abcé€😀|", 3},
        {"a|b", "<S-Ж><A-x>", "aЖx|b", 2},
        // Tab is four spaces, four steps; Enter does not indent.
        {"x|", "<Tab>", "x    |", 4},
        {"    ab|cd", "<Enter>", "    ab\n|cd", 1},
        // An LF that arrives as a character only splits the line.
        {"ab|cd", "\n", "ab\n|cd", 1},
        // Nothing to undo or redo: nothing happens, nothing is said.
        {"ke|ep", "<C-z><C-y>", "ke|ep", 0, {}, ""},
        {"ke|ep", "ab<C-z><C-y><C-y>", "keab|ep", 2},
        // A new edit after an undo empties the redo list; so do Ctrl+K and Ctrl+D.
        {"ke|ep", "a<C-z>b<C-y>", "keb|ep", 1},
        {"ke|ep", "a<C-z><C-k><C-y>", "ke|", 1, "kee|p"},
        {"ke|ep", "a<C-z><C-d><C-y>", "keep\nke|ep", 1},
    };
    for (const Check& c : cases) check(c);
}

TEST(Editing, Deletions)
{
    const Check cases[] = {
        // A character or a line break, each a step. Undoing Delete puts the
        // cursor after what comes back.
        {"ab\n|cd", "<BS>", "ab|cd", 1},
        {"a€|b", "<BS>", "a|b", 1},
        {"ab|\ncd", "<Del>", "ab|cd", 1, "ab\n|cd"},
        {"a|€b", "<Del><Del>", "a|", 2, "a€|b"},
        // Nothing before the start or after the end: no step.
        {"|ab", "<BS>", "|ab", 0},
        {"ab\ncd|", "<Del>", "ab\ncd|", 0},
        // A selection goes first, as one step, in either direction and across
        // lines; undo puts the cursor at its end.
        {"a[bc|]d", "X", "aX|d", 2, "abc|d"},
        {"o[|ne\ntwo\nth]ree", "<Del>", "o|ree", 1, "one\ntwo\nth|ree"},
        {"o[ne\ntwo\nth|]ree", "<BS>", "o|ree", 1},
        {"a[b|]cd", "<Enter>", "a\n|cd", 2},
        {"a[bc|]d", "<Tab>", "a    |d", 5},
        // An empty selection (a Shift move that could not move) is none: it
        // never grows over what comes next.
        {"|abc", "<S-Left>hi", "hi|abc", 2},
        {"abc|", "<S-End>hi", "abchi|", 2},
        {"|one\ntwo", "<S-Up><C-d>x", "one\nx|one\ntwo", 2},
        {"foo bar|", "<S-End><C-BS>", "foo |", 1},
        // Ctrl+Backspace and Ctrl+Delete: a word and the separators next to
        // it, or a line break at a line's end; a selection instead, if any.
        {"foo bar|", "<C-BS>", "foo |", 1},
        {"foo |bar", "<C-BS>", "|bar", 1},
        {"foo_bar|", "<C-BS>", "foo_|", 1},
        {"привет мир|", "<C-BS>", "привет |", 1},
        {"foo_\n|привет ", "<C-BS>", "foo_|привет ", 1},
        {"|foo bar", "<C-Del>", "|bar", 1, "f|oo bar"},
        {"foo| bar", "<C-Del>", "foo|bar", 1, "foo |bar"},
        {"foo_|\nпривет ", "<C-Del>", "foo_|привет ", 1, "foo_\n|привет "},
        {"|x", "<C-BS>", "|x", 0},
        {"x|", "<C-Del>", "x|", 0},
        {"al[ph|]a beta", "<C-BS>", "al|a beta", 1},
        {"al[|ph]a beta", "<C-Del>", "al|a beta", 1, "alph|a beta"},
        // Ctrl+K: to the line end, never the line break.
        {"ab|cdef\nsecond", "<C-k>", "ab|\nsecond", 1, "abc|def\nsecond"},
        {"ab|\nsecond", "<C-k>", "ab|\nsecond", 0},
    };
    for (const Check& c : cases) check(c);
}

TEST(Editing, DuplicateLine)
{
    const Check cases[] = {
        {"1\n2\nthr|ee\n4", "<C-d>", "1\n2\nthree\nthr|ee\n4", 1},
        {"ab|c", "<C-d><C-d>", "abc\nabc\nab|c", 2},
        // The selection is left alone.
        {"[1\n2\nthr|]ee", "<C-d>", "[1\n2\nthree\nthr|]ee", 1},
        // Among other edits, each undone and redone in turn.
        {"ab|cdef\nsecond\nthird",
         "<C-k><Down><Right><C-d>X<Enter><C-Home><Right><C-k><C-End><Home><C-d><C-Home><Down><BS>",
         "a|second\nsecX\nond\nthird\nthird", 7, "abc|def\nsecond\nthird"},
    };
    for (const Check& c : cases) check(c);
}

TEST(Editing, PasteIsOneStepWithoutCarriageReturns)
{
    Session s;
    const Check cases[] = {
        {"(|)", "<C-v>", "(a\nbc\n\td|)", 1},
        {"[x|]y", "<C-v>", "a\nbc\n\td|y", 2, "x|y"},
    };
    for (const Check& c : cases) {
        ASSERT_TRUE(set_clipboard_text(*s.ed.clipboard, "a\r\nb\rc\n\td"));
        check(s, c);
    }
    // Nothing but CR: nothing at all.
    ASSERT_TRUE(set_clipboard_text(*s.ed.clipboard, "\r\r"));
    check(s, {"(|)", "<C-v>", "(|)", 0});
}

namespace {

// The status bar of the next frame shows the document's name and, for
// unsaved changes, a star after it.
bool shows_unsaved(Editor& editor, const std::string& name)
{
    Frame frame;
    render(editor, frame);
    const term::Cell* bar = frame.grid.row(0);
    std::string shown;
    for (std::uint16_t c = 0; c < frame.grid.width(); ++c) utf8::append(shown, bar[c].code_point());
    return shown.find(" " + name + " *") != std::string::npos;
}

}  // namespace

// Whatever changes the text, undo and redo included, leaves it unsaved: the
// status bar says so and the first Ctrl+Q only warns. A save ends that,
// and the file then holds what the editor shows.
TEST(Editing, EveryChangeIsUnsavedUntilSaved)
{
    const char* const changes[] = {"x", "<Enter>", "<Tab>", "<C-v>", "<C-d>",
                                   // Ranges of every kind.
                                   "<End><BS>", "<End><Del>", "<S-Right><Del>", "<S-Down><BS>", "<S-End>x",
                                   "<S-End><C-x>", "<C-k>", "<End><C-BS>", "<C-Del>", "<C-h>beta<Enter><Enter>",
                                   "<C-h>a<Enter><C-a>",
                                   // Undone or redone after a save.
                                   "x<C-s><C-z>", "<C-k><C-s><C-z>", "<C-d><C-s><C-z>", "x<C-z><C-s><C-y>",
                                   "<Del><C-z><C-s><C-y>", "<C-d><C-z><C-s><C-y>"};
    test_support::TempDir dir;
    const std::filesystem::path path = dir / "notes.txt";
    for (const char* keys : changes) {
        SCOPED_TRACE(keys);
        test_support::write_bytes(path, "alpha beta\ngamma\n");
        Session s;
        s.ed.buffer = open_document(path).value();
        ASSERT_TRUE(set_clipboard_text(*s.ed.clipboard, "pasted"));
        s.press(keys);
        EXPECT_TRUE(shows_unsaved(s.ed, "notes.txt"));
        s.press("<C-q>");
        EXPECT_FALSE(s.ed.quit_requested);
        EXPECT_EQ(s.message(), msg::QUIT_CONFIRM);

        s.press("<C-s>");
        EXPECT_EQ(s.message(), "Saqlandi: notes.txt");
        EXPECT_FALSE(shows_unsaved(s.ed, "notes.txt"));
        EXPECT_EQ(test_support::lines_of(open_document(path).value()), s.lines());
        s.press("<C-q>");
        EXPECT_TRUE(s.ed.quit_requested);
    }
}
