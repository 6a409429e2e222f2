#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "clipboard/clipboard.hpp"
#include "editor/dispatch.hpp"
#include "editor/editing.hpp"
#include "os/file_io.hpp"
#include "support/files.hpp"
#include "support/session.hpp"

namespace {

using namespace std::chrono_literals;
using term::Key;
using term::KeyCode;
using test_support::at;
using test_support::Session;

const std::string QUIT_WARNING = "Saqlanmagan o'zgarishlar bor! Chiqish uchun Ctrl+Q ni yana bosing.";

}  // namespace

TEST(Dispatch, CtrlWithAnythingButTheBoundLettersTypesNothing)
{
    Session s({"abc"});
    s.ed.cursor = at(0, 1);
    for (char32_t c : std::u32string_view(U"0123456789/.,;'[]-=`\\ bgijmortuwBGIJMORTUW")) {
        EXPECT_TRUE(s.ctrl(c));
        EXPECT_TRUE(s.ch(c, term::CONTROL | term::ALT));
    }
    // Only the lower-case letters with Ctrl alone are bound: with Shift (or
    // reported upper-case) Z and Y neither undo nor redo.
    s.type(U"x");
    s.ch(U'z', term::CONTROL | term::SHIFT);
    s.ch(U'Z', term::CONTROL | term::SHIFT);
    s.ch(U'Z', term::CONTROL);
    EXPECT_EQ(s.text(), "axbc");
    s.ctrl(U'z');
    EXPECT_EQ(s.text(), "abc");
    s.ch(U'y', term::CONTROL | term::SHIFT);
    s.ch(U'Y', term::CONTROL | term::SHIFT);
    EXPECT_EQ(s.text(), "abc");
    s.ctrl(U'y');
    EXPECT_EQ(s.text(), "axbc");
    EXPECT_EQ(s.ed.status_message.text, "");
}

TEST(Dispatch, AltAndHigherModifiersAreIgnored)
{
    Session s({""});
    s.ch(U'x', term::ALT);
    s.ch(U'y', term::ALT | term::SUPER | term::META);
    s.ch(U'Q', term::SHIFT | term::ALT);
    EXPECT_EQ(s.text(), "xyQ");
    // Ctrl+Alt+z is Ctrl+z.
    s.ch(U'z', term::CONTROL | term::ALT);
    EXPECT_EQ(s.text(), "xy");
    s.key(Key::Left, term::SHIFT | term::ALT);
    EXPECT_EQ(s.ed.anchor, at(0, 2));
    EXPECT_EQ(s.ed.cursor, at(0, 1));
}

TEST(Dispatch, ShiftedEditingKeysDoNothing)
{
    Session s({"ab", "cd"});
    s.ed.cursor = at(0, 1);
    for (Key k : {Key::Enter, Key::Backspace, Key::Tab, Key::BackTab, Key::Delete, Key::Insert, Key::Esc}) {
        EXPECT_TRUE(s.key(k, term::SHIFT));
    }
    EXPECT_TRUE(s.key(Key::BackTab));
    EXPECT_TRUE(s.key(Key::Insert));
    EXPECT_TRUE(s.key(KeyCode::function(5)));
    EXPECT_EQ(s.text(), "ab\ncd");
    EXPECT_FALSE(s.ed.buffer.modified);
    EXPECT_EQ(s.ed.cursor, at(0, 1));
    EXPECT_FALSE(s.ed.anchor.has_value());
}

TEST(Dispatch, PlainEditingKeysReplaceTheSelection)
{
    Session s({"abcd"});
    s.ed.cursor = at(0, 1);
    s.key(Key::Right, term::SHIFT);
    s.key(Key::Right, term::SHIFT);
    s.key(Key::Tab);
    EXPECT_EQ(s.text(), "a    d");
    EXPECT_EQ(s.ed.cursor, at(0, 5));
    EXPECT_FALSE(s.ed.anchor.has_value());
    // Each space is its own undo step; the selection is one more.
    s.ctrl(U'z');
    EXPECT_EQ(s.text(), "a   d");
    for (int i = 0; i < 3; ++i) s.ctrl(U'z');
    EXPECT_EQ(s.text(), "ad");
    s.ctrl(U'z');
    EXPECT_EQ(s.text(), "abcd");

    // Typing, Enter, Backspace and Delete each take a selection first.
    s.ed.cursor = at(0, 0);
    s.ed.anchor.reset();
    s.key(Key::End, term::SHIFT);
    s.ch(U'Ж', term::SHIFT);
    EXPECT_EQ(s.text(), "Ж");
    s.key(Key::Left, term::SHIFT);
    s.key(Key::Enter);
    EXPECT_EQ(s.text(), "\n");
    EXPECT_EQ(s.ed.cursor, at(1, 0));
    s.key(Key::Backspace);
    EXPECT_EQ(s.text(), "");
    s.type(U"xyz");
    s.key(Key::Home);
    s.key(Key::Right, term::SHIFT);
    s.key(Key::Delete);
    EXPECT_EQ(s.text(), "yz");
    s.key(Key::Delete);  // nothing selected: the character at the cursor
    EXPECT_EQ(s.text(), "z");
    s.key(Key::End);
    s.key(Key::Backspace);
    EXPECT_EQ(s.text(), "");
}

TEST(Dispatch, MovementKeysClearOrExtendTheSelection)
{
    Session s({"foo bar baz", "second"});
    s.key(Key::Right, term::CONTROL | term::SHIFT);
    s.key(Key::Right, term::CONTROL | term::SHIFT);
    EXPECT_EQ(s.ed.anchor, at(0, 0));
    EXPECT_EQ(s.ed.cursor, at(0, 8));
    s.key(Key::Left, term::SHIFT);
    EXPECT_EQ(s.ed.cursor, at(0, 7));
    EXPECT_EQ(s.ed.anchor, at(0, 0));
    s.key(Key::Right);
    EXPECT_FALSE(s.ed.anchor.has_value());
    EXPECT_EQ(s.ed.cursor, at(0, 8));

    s.key(Key::End, term::CONTROL | term::SHIFT);
    EXPECT_EQ(s.ed.anchor, at(0, 8));
    EXPECT_EQ(s.ed.cursor, at(1, 6));
    s.key(Key::Home, term::CONTROL);
    EXPECT_FALSE(s.ed.anchor.has_value());
    EXPECT_EQ(s.ed.cursor, at(0, 0));
    s.key(Key::Down, term::SHIFT);
    s.key(Key::Esc);
    EXPECT_FALSE(s.ed.anchor.has_value());
    EXPECT_EQ(s.ed.cursor, at(1, 0));

    // Ctrl+Up and Ctrl+Down scroll and leave the anchor alone; Ctrl+Shift
    // with them is unbound.
    s.key(Key::Right, term::SHIFT);
    s.key(Key::Up, term::CONTROL);
    EXPECT_EQ(s.ed.anchor, at(1, 0));
    s.key(Key::Up, term::CONTROL | term::SHIFT);
    s.key(Key::Down, term::CONTROL | term::SHIFT);
    EXPECT_EQ(s.ed.anchor, at(1, 0));

    s.ctrl(U'a');
    EXPECT_EQ(s.ed.anchor, at(0, 0));
    EXPECT_EQ(s.ed.cursor, at(1, 6));
}

TEST(Dispatch, ReleaseRepeatFocusAndPasteNeverAct)
{
    Session s({"ab"});
    EXPECT_FALSE(s.key(KeyCode::character(U'x'), term::NONE, term::KeyEventKind::Release));
    EXPECT_FALSE(s.key(KeyCode::character(U'x'), term::NONE, term::KeyEventKind::Repeat));
    EXPECT_FALSE(s.key(KeyCode{Key::Enter}, term::NONE, term::KeyEventKind::Release));
    EXPECT_FALSE(s.key(KeyCode::function(1), term::NONE, term::KeyEventKind::Release));
    EXPECT_FALSE(s.send(term::FocusGained{}));
    EXPECT_FALSE(s.send(term::FocusLost{}));
    EXPECT_FALSE(s.send(term::PasteEvent{"pasted"}));
    EXPECT_EQ(s.text(), "ab");
    EXPECT_FALSE(s.ed.help_visible);

    // A release does not close help or disarm the quit either.
    s.ch(U'c');
    s.ctrl(U'q');
    s.key(KeyCode::function(1));
    EXPECT_FALSE(s.key(KeyCode::character(U'x'), term::NONE, term::KeyEventKind::Release));
    EXPECT_TRUE(s.ed.help_visible);
    EXPECT_TRUE(s.ed.quit_armed);
}

TEST(Dispatch, ResizeStoresTheSizeInEveryState)
{
    Session s({"ab"});
    EXPECT_TRUE(s.send(term::ResizeEvent{100, 40}));
    EXPECT_EQ(s.ed.screen_width, 100);
    EXPECT_EQ(s.ed.screen_height, 40);
    s.ctrl(U'f');
    EXPECT_TRUE(s.send(term::ResizeEvent{30, 7}));
    EXPECT_EQ(s.ed.screen_width, 30);
    EXPECT_EQ(s.ed.screen_height, 7);
    EXPECT_EQ(s.ed.mode, Mode::Find);
    EXPECT_EQ(s.ed.status_message.text, "Qidirish: ");
}

TEST(Dispatch, ModeAndFileChordsLeaveTheView)
{
    // A narrow screen: without the gutter the text area is 9 columns, with
    // it 6, so the cursor at column 8 is in view only without it.
    Session s({"abcdefghij"}, 10, 10);
    s.ed.show_line_numbers = false;
    s.ed.cursor = at(0, 8);
    s.ctrl(U'l');
    EXPECT_TRUE(s.ed.show_line_numbers);
    EXPECT_EQ(s.ed.status_message.text, "Qator raqamlari yoqildi");
    EXPECT_EQ(s.ed.left_column, 0u);
    s.ctrl(U'c');
    s.ctrl(U's');
    EXPECT_EQ(s.ed.left_column, 0u);
    // Esc in a prompt or the menu leaves the view too.
    for (char32_t c : {U'f', U'h', U'e'}) {
        s.ctrl(c);
        EXPECT_EQ(s.ed.left_column, 0u);
        s.key(Key::Esc);
        EXPECT_EQ(s.ed.left_column, 0u);
    }
    EXPECT_EQ(s.ed.mode, Mode::Normal);
    EXPECT_FALSE(s.ed.encoding_menu_open);
    // Any other key, bound or not, brings the view to the cursor.
    s.key(KeyCode::function(7));
    EXPECT_EQ(s.ed.left_column, 3u);
    s.ctrl(U'l');
    EXPECT_FALSE(s.ed.show_line_numbers);
    EXPECT_EQ(s.ed.status_message.text, "Qator raqamlari o'chirildi");
}

TEST(Dispatch, PromptTakesEveryCharacterAsText)
{
    Session s({"one two", "three"});
    s.ed.cursor = at(0, 2);
    s.ctrl(U'f');
    EXPECT_EQ(s.ed.mode, Mode::Find);
    EXPECT_EQ(s.ed.status_message.text, "Qidirish: ");
    s.ch(U'a');
    s.ctrl(U'v');  // no paste in a prompt
    s.ctrl(U'q');  // nor a quit
    s.ctrl(U'e');  // nor the encoding menu
    s.ch(U'Ж', term::SHIFT | term::ALT);
    EXPECT_EQ(s.ed.search_text, "avqeЖ");
    EXPECT_EQ(s.ed.status_message.text, "Qidirish: avqeЖ");
    EXPECT_FALSE(s.ed.quit_requested);
    EXPECT_FALSE(s.ed.encoding_menu_open);

    for (Key k : {Key::Left, Key::Right, Key::Up, Key::Down, Key::Home, Key::End, Key::Tab, Key::Delete, Key::PageDown,
                  Key::Insert}) {
        EXPECT_TRUE(s.key(k));
    }
    s.key(KeyCode::function(1));
    EXPECT_FALSE(s.ed.help_visible);
    EXPECT_EQ(s.ed.search_text, "avqeЖ");
    EXPECT_EQ(s.ed.cursor, at(0, 2));
    EXPECT_EQ(s.text(), "one two\nthree");

    // Backspace takes one whole character, however many bytes it is.
    s.key(Key::Backspace);
    EXPECT_EQ(s.ed.search_text, "avqe");
    EXPECT_EQ(s.ed.status_message.text, "Qidirish: avqe");
    for (int i = 0; i < 6; ++i) s.key(Key::Backspace);
    EXPECT_EQ(s.ed.search_text, "");
    EXPECT_EQ(s.ed.status_message.text, "Qidirish: ");

    // A click moves the cursor; the prompt stays and still takes the text.
    // The gutter is 3 columns wide, the text starts on screen row 1.
    s.click(3 + 4, 2);
    EXPECT_EQ(s.ed.cursor, at(1, 4));
    EXPECT_EQ(s.ed.mode, Mode::Find);
    s.type(U"tw");
    EXPECT_EQ(s.ed.search_text, "tw");
    EXPECT_EQ(s.ed.status_message.text, "Qidirish: tw");

    // Esc drops the prompt, its message and the matches.
    s.key(Key::Esc);
    EXPECT_EQ(s.ed.mode, Mode::Normal);
    EXPECT_EQ(s.ed.status_message.text, "");
    EXPECT_TRUE(s.ed.matches.empty());
    EXPECT_EQ(s.text(), "one two\nthree");
}

TEST(Dispatch, PromptsOpenEmptyAndReportNoMatch)
{
    Session s({"alpha"});
    s.ctrl(U'f');
    s.type(U"zz");
    s.key(Key::Enter);
    EXPECT_EQ(s.ed.mode, Mode::Normal);
    EXPECT_EQ(s.ed.status_message.text, "\"zz\" topilmadi");

    // Nothing is kept from one prompt to the next.
    s.ctrl(U'h');
    EXPECT_EQ(s.ed.mode, Mode::ReplaceFind);
    EXPECT_EQ(s.ed.search_text, "");
    EXPECT_EQ(s.ed.status_message.text, "Qidirish (almashtirish): ");
    s.type(U"ph");
    EXPECT_EQ(s.ed.status_message.text, "Qidirish (almashtirish): ph");
    s.key(Key::Backspace);
    EXPECT_EQ(s.ed.status_message.text, "Qidirish (almashtirish): p");
    s.key(Key::Esc);
    EXPECT_EQ(s.ed.mode, Mode::Normal);
    EXPECT_EQ(s.ed.status_message.text, "");

    s.ctrl(U'h');
    s.key(Key::Enter);  // an empty search text finds nothing
    EXPECT_EQ(s.ed.mode, Mode::Normal);
    EXPECT_EQ(s.ed.status_message.text, "\"\" topilmadi");

    // Enter with a match goes on to the replacement prompt.
    s.ctrl(U'h');
    s.type(U"a");
    s.key(Key::Enter);
    EXPECT_EQ(s.ed.mode, Mode::ReplaceWith);
    EXPECT_EQ(s.ed.status_message.text, "Almashtirish: a ->   (2 ta)  Enter=keyingi  Ctrl+A=hammasi  Esc=bekor");
    s.ch(U'b', term::CONTROL);  // any Ctrl character but a is text here
    EXPECT_EQ(s.ed.replace_text, "b");
    s.ctrl(U'a');
    EXPECT_EQ(s.ed.mode, Mode::Normal);
    EXPECT_EQ(s.text(), "blphb");
    EXPECT_EQ(s.ed.status_message.text, "2 ta almashtirildi");
}

TEST(Dispatch, QuitAsksOnceForUnsavedChanges)
{
    {
        Session s({"clean"});
        s.ctrl(U'q');
        EXPECT_TRUE(s.ed.quit_requested);
    }
    {
        Session s({""});
        s.ch(U'a');
        s.ctrl(U'q');
        EXPECT_FALSE(s.ed.quit_requested);
        EXPECT_TRUE(s.ed.quit_armed);
        EXPECT_EQ(s.ed.status_message.text, QUIT_WARNING);
        s.ctrl(U'q');
        EXPECT_TRUE(s.ed.quit_requested);
        EXPECT_EQ(s.text(), "a");
    }
    {
        // A plain key disarms, also one without a binding.
        Session s({""});
        s.ch(U'a');
        s.ctrl(U'q');
        s.ch(U'b');
        s.ctrl(U'q');
        EXPECT_FALSE(s.ed.quit_requested);
        EXPECT_EQ(s.ed.status_message.text, QUIT_WARNING);
        s.key(KeyCode::function(9));
        s.ctrl(U'q');
        EXPECT_FALSE(s.ed.quit_requested);
        s.key(Key::Esc);
        s.ctrl(U'q');
        EXPECT_FALSE(s.ed.quit_requested);
        s.ctrl(U'q');
        EXPECT_TRUE(s.ed.quit_requested);
    }
    {
        // Ctrl and Shift chords, the prompts, the menu, help, the mouse and
        // a resize all leave the confirmation armed.
        Session s({"text"});
        s.ch(U'a');
        s.ctrl(U'q');
        s.ctrl(U'b');
        s.ctrl(U'l');
        s.key(Key::Right, term::SHIFT);
        s.ch(U'X', term::SHIFT);
        s.ctrl(U'f');
        s.type(U"zz");
        s.key(Key::Esc);
        s.ctrl(U'e');
        s.key(Key::Esc);
        s.key(KeyCode::function(1));
        s.ch(U'k');  // only closes help
        s.click(5, 1);
        s.send(term::ResizeEvent{70, 20});
        EXPECT_TRUE(s.ed.quit_armed);
        s.ctrl(U'q');
        EXPECT_TRUE(s.ed.quit_requested);
    }
}

TEST(Dispatch, SavingBetweenTheTwoCtrlQQuitsAtOnce)
{
    test_support::TempDir dir;
    const std::filesystem::path path = dir / "notes.txt";
    test_support::write_bytes(path, "old");
    Session s({"old"});
    s.ed.buffer.path = path;
    s.ed.buffer.line_ending = LineEnding::Lf;
    // As opened: the file as it was read, so that the save finds it unchanged.
    s.ed.buffer.stamp = file_status(path).value()->stamp;
    s.key(Key::End);
    s.ch(U'!');
    s.ctrl(U'q');
    EXPECT_TRUE(s.ed.quit_armed);
    s.ctrl(U's');
    EXPECT_FALSE(s.ed.buffer.modified);
    EXPECT_EQ(s.ed.status_message.text, "Saqlandi: " + path.filename().string());
    s.ctrl(U'q');
    EXPECT_TRUE(s.ed.quit_requested);
    EXPECT_EQ(test_support::read_bytes(path), "old!");
}

TEST(Dispatch, HelpClosesOnAnyKeyAndOnlyThat)
{
    Session s({"abc", "def"});
    s.ch(U'x');
    s.key(KeyCode::function(1), term::SHIFT | term::CONTROL);
    EXPECT_TRUE(s.ed.help_visible);
    s.ctrl(U'q');
    EXPECT_FALSE(s.ed.help_visible);
    EXPECT_FALSE(s.ed.quit_requested);
    EXPECT_FALSE(s.ed.quit_armed);
    // The next Ctrl+Q acts again.
    s.ctrl(U'q');
    EXPECT_TRUE(s.ed.quit_armed);

    s.key(KeyCode::function(1));
    EXPECT_TRUE(s.ed.quit_armed);  // F1 leaves the confirmation as it was
    // Mouse events and a resize act, and help stays.
    s.click(3 + 2, 2);
    EXPECT_EQ(s.ed.cursor, at(1, 2));
    s.mouse(term::MouseEventKind::ScrollDown, 5, 5);
    s.send(term::ResizeEvent{60, 20});
    EXPECT_TRUE(s.ed.help_visible);
    for (auto code : {KeyCode::character(U'y'), KeyCode{Key::Delete}, KeyCode{Key::Esc}, KeyCode::function(1)}) {
        s.key(code);
        EXPECT_FALSE(s.ed.help_visible);
        EXPECT_EQ(s.text(), "xabc\ndef");
        s.key(KeyCode::function(1));
    }
    s.key(KeyCode::function(1));
    EXPECT_FALSE(s.ed.help_visible);
}

TEST(Dispatch, KeyAfterWheelScrollStartsFromTheVisibleLines)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 100; ++i) lines.push_back("line " + std::to_string(i));
    Session s(lines, 80, 12);  // ten text rows
    s.ed.cursor = at(0, 3);
    for (int i = 0; i < 5; ++i) s.mouse(term::MouseEventKind::ScrollDown, 10, 5, 500ms);
    EXPECT_EQ(s.ed.top_line, 5u);
    EXPECT_EQ(s.ed.cursor, at(0, 3));  // the wheel leaves the cursor behind
    s.key(KeyCode::function(1));
    EXPECT_TRUE(s.ed.help_visible);
    EXPECT_EQ(s.ed.cursor, at(5, 0));
    EXPECT_EQ(s.ed.top_line, 5u);

    // Below the view the cursor comes back to the last visible line.
    s.key(Key::Esc);
    s.ed.cursor = at(90, 2);
    s.key(Key::Right);
    EXPECT_EQ(s.ed.cursor, at(14, 1));
}

TEST(Dispatch, EncodingMenuTakesEveryKey)
{
    Session s({"text"});
    s.ch(U'!');
    s.ctrl(U'e');
    EXPECT_TRUE(s.ed.encoding_menu_open);
    const std::string menu = s.ed.status_message.text;
    EXPECT_EQ(menu, "Encoding: [1]UTF-8  [2]UTF-8 BOM  [3]UTF-16 LE  [4]UTF-16 BE  [5]CP1251  [6]CP1252  [7]CP866   "
                    "Esc=bekor");
    for (auto code : {KeyCode::character(U'8'), KeyCode::character(U'0'), KeyCode::character(U'a'), KeyCode{Key::Enter},
                      KeyCode::function(1)}) {
        s.key(code);
        EXPECT_TRUE(s.ed.encoding_menu_open);
        EXPECT_EQ(s.ed.status_message.text, menu);
    }
    s.ctrl(U'q');
    EXPECT_FALSE(s.ed.quit_requested);
    EXPECT_EQ(s.text(), "!text");
    s.key(Key::Esc);
    EXPECT_FALSE(s.ed.encoding_menu_open);
    EXPECT_EQ(s.ed.status_message.text, "");

    // A digit chooses, also with Ctrl held.
    s.ctrl(U'e');
    s.ctrl(U'7');
    EXPECT_FALSE(s.ed.encoding_menu_open);
    EXPECT_EQ(s.ed.buffer.encoding, TextEncoding::Cp866);
    s.ctrl(U'e');
    s.ch(U'2');
    EXPECT_EQ(s.ed.buffer.encoding, TextEncoding::Utf8Bom);
    EXPECT_FALSE(s.ed.encoding_menu_open);
}

// A Shift movement that cannot move leaves an empty selection. It must not
// grow over what is typed next, or the following key would delete that text.
TEST(Dispatch, EmptySelectionNeverSwallowsWhatComesNext)
{
    Session s({"abc"});
    s.key(Key::End);
    s.key(Key::End, term::SHIFT);
    s.type(U"hi");
    EXPECT_EQ(s.text(), "abchi");

    Session d({"one", "two"});
    d.key(Key::Up, term::SHIFT);
    d.ctrl(U'd');
    d.ch(U'x');
    EXPECT_EQ(d.text(), "one\nxone\ntwo");

    // Shift movements still extend one selection from where it began.
    Session e({"abcdef"});
    e.key(Key::Left, term::SHIFT);
    e.key(Key::Right, term::SHIFT);
    e.key(Key::Right, term::SHIFT);
    EXPECT_EQ(e.ed.anchor, at(0, 0));
    EXPECT_EQ(e.ed.cursor, at(0, 2));

    // With the empty selection gone, the word deletions do their own work.
    Session w({"foo bar"});
    w.key(Key::End);
    w.key(Key::End, term::SHIFT);
    w.key(Key::Backspace, term::CONTROL);
    EXPECT_EQ(w.text(), "foo ");
}
