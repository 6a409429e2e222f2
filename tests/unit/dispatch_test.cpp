#include <gtest/gtest.h>

#include <filesystem>
#include <span>
#include <string>

#include "os/file_io.hpp"
#include "support/check.hpp"
#include "support/files.hpp"

using test_support::at;
using test_support::check;
using test_support::Check;
using test_support::Session;

namespace {

const std::string QUIT_WARNING = "Saqlanmagan o'zgarishlar bor! Chiqish uchun Ctrl+Q ni yana bosing.";

// Ctrl, and Ctrl with Alt, on every character in `characters`.
std::string with_ctrl(std::u32string_view characters)
{
    std::string keys;
    for (char32_t c : characters) {
        const std::string text = c == U'<' ? "lt" : utf8::encode(c);
        keys += "<C-" + text + "><C-A-" + text + ">";
    }
    return keys;
}

// Keys pressed in turn, each leaving the editor in `mode` with `message`
// and, where given, the document and its cursor `marked` so.
struct Step {
    std::string_view keys;
    Mode mode;
    std::string_view message;
    std::string_view marked = {};
};

void expect_steps(Session& s, std::span<const Step> steps)
{
    for (const Step& step : steps) {
        EXPECT_EQ(s.message_after(step.keys), step.message) << step.keys;
        EXPECT_EQ(s.ed.mode, step.mode) << step.keys;
        if (!step.marked.empty()) {
            EXPECT_EQ(s.marked(), step.marked) << step.keys;
        }
    }
}

}  // namespace

// Which chord does what is the key tables' business; these rows pin the
// edges: the chords that must do nothing, and the modifiers that do not count.
TEST(Dispatch, KeyTables)
{
    const std::string unbound = with_ctrl(U"0123456789/.,;'[]-=`\\ <bgijmortuwBGIJMORTUWZY");
    const Check cases[] = {
        // Only the bound lower-case letters act with Ctrl; no character is
        // typed while Ctrl is held, and nothing is said.
        {"a|bc", unbound, "a|bc", 0, {}, ""},
        {"a|bc", "x<C-S-z><C-S-Z><C-Z><C-z><C-S-y><C-S-Y><C-y>", "ax|bc", 1, {}, ""},
        // Alt and the higher modifiers are not looked at.
        {"|", "<A-x><A-M-y><S-A-Q><C-A-z><S-A-Left>", "x[|y]", 2},
        // Editing keys with Shift, and the keys without a row, do nothing.
        {"a|b\ncd", "<S-Enter><S-BS><S-Tab><S-BackTab><S-Del><S-Ins><S-Esc><BackTab><Ins><F5>", "a|b\ncd", 0},
        {"a|b\ncd", "<Up><C-S-Up><C-S-Down>", "a|b\ncd", 0},
        // Typing, Tab, Enter, Backspace and Delete take the selection first.
        {"a[|bc]d", "<Tab>", "a    |d", 5, "abc|d"},
        {"a[bc|]d", "<BS>", "a|d", 1},
        {"a[bc|]d", "<Del>", "a|d", 1},
    };
    for (const Check& c : cases) check(c);
}

TEST(Dispatch, ReleaseRepeatFocusAndAPasteUnderHelpNeverAct)
{
    Session s({"ab"});
    s.press("c<C-q><F1>");
    for (auto kind : {term::KeyEventKind::Release, term::KeyEventKind::Repeat}) {
        for (auto code : {term::KeyCode::character(U'x'), term::KeyCode{term::Key::Enter}, term::KeyCode::function(1)})
            EXPECT_FALSE(s.key(code, term::NONE, kind));
    }
    EXPECT_FALSE(s.send(term::FocusGained{}));
    EXPECT_FALSE(s.send(term::FocusLost{}));
    EXPECT_FALSE(s.send(term::PasteEvent{"pasted"}));
    EXPECT_EQ(s.text(), "cab");
    // Nor do they close help or disarm the quit.
    EXPECT_TRUE(s.ed.help_visible);
    EXPECT_TRUE(s.ed.quit_armed);
}

TEST(Dispatch, ResizeStoresTheSizeInEveryState)
{
    Session s({"ab"});
    EXPECT_TRUE(s.send(term::ResizeEvent{100, 40}));
    EXPECT_EQ(s.ed.screen_width, 100);
    EXPECT_EQ(s.ed.screen_height, 40);
    s.press("<C-f><Resize:30,7>");
    EXPECT_EQ(s.ed.screen_width, 30);
    EXPECT_EQ(s.ed.screen_height, 7);
    EXPECT_EQ(s.ed.mode, Mode::Find);
    EXPECT_EQ(s.message(), "Qidirish: ");
}

TEST(Dispatch, ModeAndFileChordsLeaveTheView)
{
    // A narrow screen: without the gutter the text area is 9 columns, with
    // it 6, so the cursor at column 8 is in view only without it.
    Session s({"abcdefghij"}, 10, 10);
    s.ed.show_line_numbers = false;
    s.ed.cursor = at(0, 8);
    s.press("<C-l>");
    EXPECT_TRUE(s.ed.show_line_numbers);
    EXPECT_EQ(s.message(), "Qator raqamlari yoqildi");
    // Copy, save, and the prompts and the menu with their Esc leave it too.
    for (std::string_view keys : {"<C-c>", "<C-s>", "<C-f>", "<Esc>", "<C-h>", "<Esc>", "<C-e>", "<Esc>"}) {
        s.press(keys);
        EXPECT_EQ(s.ed.left_column, 0u) << keys;
    }
    EXPECT_EQ(s.ed.mode, Mode::Normal);
    EXPECT_FALSE(s.ed.encoding_menu_open);
    // Any other key, bound or not, brings the view to the cursor.
    s.press("<F7>");
    EXPECT_EQ(s.ed.left_column, 3u);
    s.press("<C-l>");
    EXPECT_FALSE(s.ed.show_line_numbers);
    EXPECT_EQ(s.message(), "Qator raqamlari o'chirildi");
}

TEST(Dispatch, PromptTakesEveryCharacterAsText)
{
    Session s({"one two", "three"});
    s.ed.cursor = at(0, 2);
    const Step steps[] = {
        {"<C-f>", Mode::Find, "Qidirish: "},
        // No paste, quit or menu in a prompt: their letters are text.
        {"a<C-v><C-q><C-e><S-A-Ж>", Mode::Find, "Qidirish: avqeЖ"},
        // Keys that are not text do nothing, F1 included.
        {"<Left><Right><Up><Down><Home><End><Tab><Del><PgDn><Ins><F1>", Mode::Find, "Qidirish: avqeЖ",
         "on|e two\nthree"},
        // Backspace takes one whole character, however many bytes it is.
        {"<BS>", Mode::Find, "Qidirish: avqe"},
        {"<BS><BS><BS><BS><BS><BS>", Mode::Find, "Qidirish: "},
        // A click moves the cursor; the prompt stays and still takes the
        // text. The gutter is 3 columns wide, the text starts on screen row 1.
        {"<Click:7,2>tw", Mode::Find, "Qidirish: tw", "one two\nthre|e"},
        // Esc drops the prompt, its message and the matches.
        {"<Esc>", Mode::Normal, ""},
        {"<C-n>", Mode::Normal, "", "one two\nthre|e"},
    };
    expect_steps(s, steps);
    EXPECT_FALSE(s.ed.quit_requested);
    EXPECT_FALSE(s.ed.encoding_menu_open);
    EXPECT_FALSE(s.ed.help_visible);
}

TEST(Dispatch, PromptsOpenEmptyAndReportNoMatch)
{
    Session s({"alpha"});
    const Step steps[] = {
        {"<C-f>zz<Enter>", Mode::Normal, "\"zz\" topilmadi"},
        // Nothing is kept from one prompt to the next.
        {"<C-h>", Mode::ReplaceFind, "Qidirish (almashtirish): "},
        {"ph", Mode::ReplaceFind, "Qidirish (almashtirish): ph"},
        {"<BS>", Mode::ReplaceFind, "Qidirish (almashtirish): p"},
        {"<Esc>", Mode::Normal, ""},
        // An empty search text finds nothing.
        {"<C-h><Enter>", Mode::Normal, "\"\" topilmadi"},
        // Enter with a match goes on to the replacement prompt, where any
        // Ctrl character but a is text.
        {"<C-h>a<Enter>", Mode::ReplaceWith, "Almashtirish: a ->   (2 ta)  Enter=keyingi  Ctrl+A=hammasi  Esc=bekor"},
        {"<C-b><C-a>", Mode::Normal, "2 ta almashtirildi", "b|lphb"},
    };
    expect_steps(s, steps);
}

TEST(Dispatch, QuitAsksOnceForUnsavedChanges)
{
    const std::pair<std::string_view, bool> cases[] = {
        {"<C-q>", true},
        {"a<C-q>", false},
        {"a<C-q><C-q>", true},
        // A plain key disarms, also one without a row; a Ctrl or Shift chord,
        // the prompts, the menu, help, the mouse and a resize do not.
        {"a<C-q>b<C-q>", false},
        {"a<C-q><F9><C-q>", false},
        {"a<C-q><Esc><C-q>", false},
        {"a<C-q><C-b><C-l><S-Right><S-X><C-f>zz<Esc><C-e><Esc><F1>k<Click:5,1><Resize:70,20><C-q>", true},
        // Help takes a Ctrl+Q only to close; the next one warns again.
        {"a<F1><C-q><C-q>", false},
        {"a<F1><C-q><C-q><C-q>", true},
    };
    for (const auto& [keys, quits] : cases) {
        Session s({""});
        s.press(keys);
        EXPECT_EQ(s.ed.quit_requested, quits) << keys;
        if (!quits) {
            EXPECT_EQ(s.message(), QUIT_WARNING) << keys;
        }
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
    s.press("<End>!<C-q>");
    EXPECT_TRUE(s.ed.quit_armed);
    s.press("<C-s>");
    EXPECT_FALSE(s.ed.buffer.modified);
    EXPECT_EQ(s.message(), "Saqlandi: notes.txt");
    s.press("<C-q>");
    EXPECT_TRUE(s.ed.quit_requested);
    EXPECT_EQ(test_support::read_bytes(path), "old!");
}

TEST(Dispatch, HelpClosesOnAnyKeyAndOnlyThat)
{
    Session s({"abc", "def"});
    s.press("x<C-q><C-S-F1>");
    EXPECT_TRUE(s.ed.help_visible);
    EXPECT_TRUE(s.ed.quit_armed);  // F1 leaves the confirmation as it was
    // Mouse events and a resize act, and help stays.
    s.press("<Click:5,2><WheelDown><Resize:60,20>");
    EXPECT_EQ(s.ed.cursor, at(1, 2));
    EXPECT_TRUE(s.ed.help_visible);
    for (std::string_view key : {"y", "<Del>", "<Esc>", "<F1>", "<C-q>"}) {
        s.press(key);
        EXPECT_FALSE(s.ed.help_visible) << key;
        EXPECT_EQ(s.text(), "xabc\ndef");
        s.press("<F1>");
    }
    EXPECT_FALSE(s.ed.quit_requested);
}

TEST(Dispatch, EncodingMenuTakesEveryKey)
{
    Session s({"text"});
    s.press("!<C-e>");
    EXPECT_TRUE(s.ed.encoding_menu_open);
    const std::string menu = s.message();
    EXPECT_EQ(menu, "Encoding: [1]UTF-8  [2]UTF-8 BOM  [3]UTF-16 LE  [4]UTF-16 BE  [5]CP1251  [6]CP1252  [7]CP866   "
                    "Esc=bekor");
    for (std::string_view key : {"8", "0", "a", "<Enter>", "<F1>", "<C-q>"}) {
        s.press(key);
        EXPECT_TRUE(s.ed.encoding_menu_open) << key;
        EXPECT_EQ(s.message(), menu);
    }
    EXPECT_FALSE(s.ed.quit_requested);
    EXPECT_EQ(s.text(), "!text");
    s.press("<Esc>");
    EXPECT_FALSE(s.ed.encoding_menu_open);
    EXPECT_EQ(s.message(), "");

    // A digit chooses, also with Ctrl held.
    s.press("<C-e><C-7>");
    EXPECT_FALSE(s.ed.encoding_menu_open);
    EXPECT_EQ(s.ed.buffer.encoding, TextEncoding::Cp866);
    s.press("<C-e>2");
    EXPECT_FALSE(s.ed.encoding_menu_open);
    EXPECT_EQ(s.ed.buffer.encoding, TextEncoding::Utf8Bom);
}
