// The Windows console mapping: input records in, events out, written as
// readable names. Records are built as the console reports real keys.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "support/events.hpp"
#include "support/session.hpp"
#include "terminal/console_input.hpp"
#include "terminal/input_decoder.hpp"

using namespace term;
using namespace term::console;

namespace {

constexpr std::uint32_t CTRL_DOWN = left_ctrl_pressed;
constexpr std::uint32_t ALT_DOWN = left_alt_pressed;
constexpr std::uint32_t SHIFT_DOWN = shift_pressed;
constexpr std::uint32_t ALTGR = right_alt_pressed | left_ctrl_pressed;  // how the console reports AltGr
constexpr std::uint32_t ENHANCED = 0x0100;                              // the grey keys; ignored by the mapping
constexpr std::uint32_t NUMLOCK = 0x0020;
constexpr std::uint32_t CAPSLOCK = 0x0080;
constexpr std::uint32_t SCROLLLOCK = 0x0040;
constexpr std::uint16_t VK_PACKET_CODE = 0xE7;
constexpr std::uint16_t VK_OEM_4_CODE = 0xDB;  // [ on a US keyboard

ConsoleKeyRecord down(std::uint16_t vk, char16_t ch = 0, std::uint32_t state = 0)
{
    ConsoleKeyRecord r;
    r.key_down = true;
    r.virtual_key_code = vk;
    r.unicode_char = ch;
    r.control_key_state = state;
    return r;
}

ConsoleKeyRecord up(std::uint16_t vk, char16_t ch = 0, std::uint32_t state = 0)
{
    ConsoleKeyRecord r = down(vk, ch, state);
    r.key_down = false;
    return r;
}

ConsoleMouseRecord mouse(std::int16_t x, std::int16_t y, std::uint32_t buttons, std::uint32_t flags = 0,
                         std::uint32_t state = 0)
{
    return ConsoleMouseRecord{x, y, buttons, state, flags};
}

// A wheel record: the signed distance in the high word, the buttons held below it.
ConsoleMouseRecord wheel(std::int16_t distance, std::uint32_t flags, std::uint32_t buttons = 0)
{
    const auto high = static_cast<std::uint32_t>(static_cast<std::uint16_t>(distance)) << 16;
    return mouse(3, 4, high | buttons, flags);
}

using test_support::names;

std::string feed(ConsoleEventMapper& mapper, std::initializer_list<ConsoleRecord> records)
{
    std::vector<Event> events;
    for (const ConsoleRecord& r : records) mapper.feed(r, events);
    return names(events);
}

// The records through a fresh mapper.
std::string map(std::initializer_list<ConsoleRecord> records)
{
    ConsoleEventMapper mapper;
    return feed(mapper, records);
}

// A key's press and its release.
std::string stroke(std::uint16_t vk, char16_t ch = 0, std::uint32_t state = 0)
{
    return map({down(vk, ch, state), up(vk, ch, state)});
}

std::vector<Event> events_of(std::initializer_list<ConsoleRecord> records)
{
    ConsoleEventMapper mapper;
    std::vector<Event> events;
    for (const ConsoleRecord& r : records) mapper.feed(r, events);
    return events;
}

std::vector<Event> decoded(std::string_view bytes)
{
    InputDecoder decoder;
    std::vector<Event> events;
    decoder.feed(bytes, events);
    return events;
}

}  // namespace

TEST(ConsoleInput, EditingAndCursorKeysPressAndRelease)
{
    EXPECT_EQ(stroke(vk_back, 0x08), "Backspace Press, Backspace Release");
    EXPECT_EQ(stroke(vk_tab, '\t'), "Tab Press, Tab Release");
    EXPECT_EQ(stroke(vk_return, '\r'), "Enter Press, Enter Release");
    EXPECT_EQ(stroke(vk_return, '\r', ENHANCED), "Enter Press, Enter Release");  // keypad Enter
    EXPECT_EQ(stroke(vk_left, 0, ENHANCED), "Left Press, Left Release");
    EXPECT_EQ(stroke(vk_right, 0, ENHANCED), "Right Press, Right Release");
    EXPECT_EQ(stroke(vk_up, 0, ENHANCED), "Up Press, Up Release");
    EXPECT_EQ(stroke(vk_down, 0, ENHANCED), "Down Press, Down Release");
    EXPECT_EQ(stroke(vk_home), "Home Press, Home Release");
    EXPECT_EQ(stroke(vk_end), "End Press, End Release");
    EXPECT_EQ(stroke(vk_prior), "PageUp Press, PageUp Release");
    EXPECT_EQ(stroke(vk_next), "PageDown Press, PageDown Release");
    EXPECT_EQ(stroke(vk_insert), "Insert Press, Insert Release");
    EXPECT_EQ(stroke(vk_delete), "Delete Press, Delete Release");
    // The keypad without Num Lock: the same keys, and 5 is KeypadBegin.
    EXPECT_EQ(stroke(vk_clear), "KeypadBegin Press, KeypadBegin Release");
    EXPECT_EQ(map({down(vk_delete), down(vk_end)}), "Delete Press, End Press");
}

TEST(ConsoleInput, EscIsEscWithOrWithoutItsCharacter)
{
    EXPECT_EQ(stroke(vk_escape, 0x1B), "Esc Press, Esc Release");
    // Some consoles (Wine's among them) report Esc with no character.
    EXPECT_EQ(stroke(vk_escape, 0), "Esc Press, Esc Release");
    EXPECT_EQ(map({down(vk_escape, 0x1B, ALT_DOWN)}), "Alt+Esc Press");
}

TEST(ConsoleInput, FunctionLockSystemModifierAndMediaKeys)
{
    EXPECT_EQ(stroke(vk_f1), "F1 Press, F1 Release");
    EXPECT_EQ(map({down(0x7B)}), "F12 Press");
    EXPECT_EQ(map({down(0x7C), down(vk_f24)}), "F13 Press, F24 Press");
    EXPECT_EQ(map({down(0x73, 0, ALT_DOWN)}), "Alt+F4 Press");

    EXPECT_EQ(stroke(vk_capital), "CapsLock Press, CapsLock Release");
    EXPECT_EQ(stroke(vk_scroll), "ScrollLock Press, ScrollLock Release");
    EXPECT_EQ(stroke(vk_numlock, 0, NUMLOCK | ENHANCED), "NumLock Press, NumLock Release");
    EXPECT_EQ(stroke(vk_snapshot), "PrintScreen Press, PrintScreen Release");
    EXPECT_EQ(stroke(vk_pause), "Pause Press, Pause Release");
    EXPECT_EQ(map({down(vk_cancel, 0x03, CTRL_DOWN)}), "Ctrl+Pause Press");  // Ctrl+Break
    EXPECT_EQ(stroke(vk_apps), "Menu Press, Menu Release");

    // A modifier key alone reports itself with its own bit set.
    EXPECT_EQ(stroke(vk_shift, 0, SHIFT_DOWN), "Shift+Modifier Press, Shift+Modifier Release");
    EXPECT_EQ(map({down(vk_control, 0, CTRL_DOWN), down(vk_menu, 0, ALT_DOWN)}),
              "Ctrl+Modifier Press, Alt+Modifier Press");
    EXPECT_EQ(map({down(vk_lwin), down(vk_rwin), down(vk_lshift), down(0xA3), down(vk_rmenu)}),
              "Modifier Press, Modifier Press, Modifier Press, Modifier Press, Modifier Press");

    EXPECT_EQ(stroke(0xAF), "Media Press, Media Release");  // volume up
    EXPECT_EQ(map({down(0xB3), down(vk_browser_back), down(vk_launch_app2)}), "Media Press, Media Press, Media Press");
    // Just past the media block, a key with no character means nothing.
    EXPECT_EQ(map({down(0xB8), down(0x92)}), "");
}

// Ctrl, Alt, Shift, the Windows keys and the lock keys pressed and released
// alone, as the console reports them, through the editor: they are part of a
// chord or of none, so help stays open, an armed quit stays armed and the
// view stays where the wheel left it.
TEST(ConsoleInput, ModifierAndLockKeysAloneLeaveTheEditorAsItWas)
{
    struct Alone {
        const char* name;
        std::uint16_t vk;
        std::uint32_t down_state;  // with the key held
        std::uint32_t up_state;    // once it is released
    };
    const Alone keys[] = {
        {"Ctrl", vk_control, CTRL_DOWN, 0},
        {"right Ctrl", vk_control, right_ctrl_pressed | ENHANCED, ENHANCED},
        {"Alt", vk_menu, ALT_DOWN, 0},
        {"AltGr", vk_menu, ALTGR | ENHANCED, ENHANCED},
        {"Shift", vk_shift, SHIFT_DOWN, 0},
        {"Windows", vk_lwin, ENHANCED, ENHANCED},
        {"right Windows", vk_rwin, ENHANCED, ENHANCED},
        {"Caps Lock", vk_capital, CAPSLOCK, CAPSLOCK},
        {"Num Lock", vk_numlock, NUMLOCK | ENHANCED, NUMLOCK | ENHANCED},
        {"Scroll Lock", vk_scroll, SCROLLLOCK, SCROLLLOCK},
    };
    std::vector<std::string> lines;
    for (int i = 0; i < 100; ++i) lines.push_back("qator " + std::to_string(i));
    for (const Alone& key : keys) {
        SCOPED_TRACE(key.name);
        test_support::Session s(lines, 80, 12);
        ConsoleEventMapper mapper;
        const auto press_alone = [&] {
            std::vector<Event> events;
            mapper.feed(down(key.vk, 0, key.down_state), events);
            mapper.feed(up(key.vk, 0, key.up_state), events);
            ASSERT_EQ(events.size(), 2u) << names(events);
            for (const Event& event : events) EXPECT_FALSE(s.send(event)) << names({event});
        };

        s.ch(U'x');
        s.ctrl(U'q');
        for (int i = 0; i < 3; ++i) s.mouse(MouseEventKind::ScrollDown, 10, 5, std::chrono::milliseconds(500));
        const Position cursor = s.ed.cursor;
        const std::uint64_t top = s.ed.top_line;
        ASSERT_GT(top, 0u);
        press_alone();
        EXPECT_TRUE(s.ed.quit_armed);
        EXPECT_EQ(s.ed.cursor, cursor);
        EXPECT_EQ(s.ed.top_line, top);

        s.key(KeyCode::function(1));
        press_alone();
        EXPECT_TRUE(s.ed.help_visible);
        s.key(Key::Esc);
        EXPECT_FALSE(s.ed.help_visible);
        // Armed all along: this Ctrl+Q quits.
        s.ctrl(U'q');
        EXPECT_TRUE(s.ed.quit_requested);
        EXPECT_EQ(s.text().substr(0, 8), "xqator 0");
    }
}

TEST(ConsoleInput, ModifiersOnNamedKeys)
{
    EXPECT_EQ(map({down(vk_right, 0, SHIFT_DOWN | ENHANCED)}), "Shift+Right Press");
    EXPECT_EQ(map({down(vk_left, 0, left_ctrl_pressed)}), "Ctrl+Left Press");
    EXPECT_EQ(map({down(vk_left, 0, right_ctrl_pressed)}), "Ctrl+Left Press");
    EXPECT_EQ(map({down(vk_left, 0, left_ctrl_pressed | right_ctrl_pressed)}), "Ctrl+Left Press");
    EXPECT_EQ(map({down(vk_home, 0, left_alt_pressed)}), "Alt+Home Press");
    EXPECT_EQ(map({down(vk_home, 0, right_alt_pressed)}), "Alt+Home Press");
    EXPECT_EQ(map({down(vk_left, 0, CTRL_DOWN | SHIFT_DOWN)}), "Ctrl+Shift+Left Press");
    EXPECT_EQ(map({down(vk_end, 0, CTRL_DOWN | ALT_DOWN | SHIFT_DOWN)}), "Ctrl+Alt+Shift+End Press");
    // Lock states and the grey-key bit are no modifiers.
    EXPECT_EQ(map({down(vk_up, 0, NUMLOCK | 0x0040 | CAPSLOCK | ENHANCED)}), "Up Press");

    // Shift+Tab is BackTab and keeps its Shift; Ctrl+Tab stays Tab.
    EXPECT_EQ(stroke(vk_tab, '\t', SHIFT_DOWN), "Shift+BackTab Press, Shift+BackTab Release");
    EXPECT_EQ(map({down(vk_tab, '\t', CTRL_DOWN | SHIFT_DOWN)}), "Ctrl+Shift+BackTab Press");
    EXPECT_EQ(map({down(vk_tab, 0, CTRL_DOWN)}), "Ctrl+Tab Press");

    EXPECT_EQ(map({down(vk_return, '\n', CTRL_DOWN)}), "Ctrl+Enter Press");
    EXPECT_EQ(map({down(vk_return, '\r', SHIFT_DOWN)}), "Shift+Enter Press");
    EXPECT_EQ(map({down(vk_delete, 0, SHIFT_DOWN)}), "Shift+Delete Press");
}

TEST(ConsoleInput, CtrlBackspaceIsNotCtrlH)
{
    // Ctrl+Backspace deletes a word; Ctrl+H opens the replace prompt.
    EXPECT_EQ(stroke(vk_back, 0x7F, CTRL_DOWN), "Ctrl+Backspace Press, Ctrl+Backspace Release");
    EXPECT_EQ(stroke('H', 0x08, CTRL_DOWN), "Ctrl+h Press, Ctrl+h Release");
    EXPECT_EQ(map({down(vk_back, 0x08, ALT_DOWN)}), "Alt+Backspace Press");
}

TEST(ConsoleInput, TypedCharacters)
{
    EXPECT_EQ(stroke('A', 'a'), "a Press, a Release");
    // Shift shows only on capitals, as typed text comes from a terminal.
    EXPECT_EQ(stroke('A', 'A', SHIFT_DOWN), "Shift+A Press, Shift+A Release");
    EXPECT_EQ(map({down('1', '!', SHIFT_DOWN)}), "! Press");
    EXPECT_EQ(map({down(vk_space, ' ', SHIFT_DOWN)}), "Space Press");
    EXPECT_EQ(map({down('A', 'A', CAPSLOCK)}), "Shift+A Press");  // Caps Lock
    EXPECT_EQ(map({down('A', 'a', CAPSLOCK | SHIFT_DOWN)}), "a Press");
    EXPECT_EQ(map({down(vk_space, ' ')}), "Space Press");
    // Other scripts: the key code is the Latin letter, the character wins.
    EXPECT_EQ(map({down('Z', u'я'), down('Z', u'Я', SHIFT_DOWN), down('Q', u'ʻ')}), "я Press, Shift+Я Press, ʻ Press");
    // The keypad with Num Lock, and characters an input method injects.
    EXPECT_EQ(map({down(0x61, '1', NUMLOCK), down(0x6A, '*', NUMLOCK), down(0x6F, '/', NUMLOCK | ENHANCED)}),
              "1 Press, * Press, / Press");
    EXPECT_EQ(stroke(VK_PACKET_CODE, u'漢'), "漢 Press, 漢 Release");
    EXPECT_EQ(map({down(VK_PACKET_CODE, '\r'), down(VK_PACKET_CODE, '\t'), down(VK_PACKET_CODE, 0x7F)}),
              "Enter Press, Tab Press, Backspace Press");
    // A key that gives nothing: a dead key waiting, an input method at work.
    EXPECT_EQ(map({down(0xDD, 0), down(0xE5, 0), up(0xDD, 0), down(0x61, 0, NUMLOCK)}), "");
    // C1 controls are no text.
    EXPECT_EQ(map({down(VK_PACKET_CODE, 0x85)}), "");
}

TEST(ConsoleInput, CtrlWithLettersDigitsSpaceAndPunctuation)
{
    // The console gives the control code, or nothing; either way the key
    // code names the letter, in lower case as the key tables look it up.
    EXPECT_EQ(stroke('S', 0x13, CTRL_DOWN), "Ctrl+s Press, Ctrl+s Release");
    EXPECT_EQ(map({down('A', 0x01, CTRL_DOWN), down('Z', 0x1A, right_ctrl_pressed)}), "Ctrl+a Press, Ctrl+z Press");
    EXPECT_EQ(map({down('Q', 0, CTRL_DOWN), down('V', 0, CTRL_DOWN)}), "Ctrl+q Press, Ctrl+v Press");
    EXPECT_EQ(map({down('S', 0x13, CTRL_DOWN | SHIFT_DOWN)}), "Ctrl+Shift+s Press");
    EXPECT_EQ(map({down('S', 0x13, CTRL_DOWN | CAPSLOCK)}), "Ctrl+s Press");  // Caps Lock changes nothing
    // A Cyrillic layout still names the key by its Latin letter: Ctrl+S saves.
    EXPECT_EQ(map({down('S', u'ы', CTRL_DOWN)}), "Ctrl+s Press");
    // A control code with no letter key behind it (injected input).
    EXPECT_EQ(map({down(VK_PACKET_CODE, 0x06, CTRL_DOWN)}), "Ctrl+f Press");

    EXPECT_EQ(map({down('2', 0, CTRL_DOWN), down('6', 0x1E, CTRL_DOWN), down('0', 0, CTRL_DOWN | SHIFT_DOWN)}),
              "Ctrl+2 Press, Ctrl+6 Press, Ctrl+Shift+0 Press");
    EXPECT_EQ(map({down(vk_space, ' ', CTRL_DOWN), down(vk_space, 0, CTRL_DOWN)}),
              "Ctrl+Space Press, Ctrl+Space Press");

    // [ \ ] ^ _ by their caret-notation codes; 0x1B here is Ctrl+[, not Esc.
    EXPECT_EQ(map({down(VK_OEM_4_CODE, 0x1B, CTRL_DOWN), down(0xDC, 0x1C, CTRL_DOWN), down(0xDD, 0x1D, CTRL_DOWN),
                   down('6', 0x1E, CTRL_DOWN | SHIFT_DOWN), down(0xBD, 0x1F, CTRL_DOWN | SHIFT_DOWN)}),
              "Ctrl+[ Press, Ctrl+\\ Press, Ctrl+] Press, Ctrl+Shift+6 Press, Ctrl+Shift+_ Press");
    // A punctuation key with no character under Ctrl names nothing.
    EXPECT_EQ(map({down(0xBC, 0, CTRL_DOWN)}), "");
    // A layout whose Ctrl chord on punctuation makes a character keeps it.
    EXPECT_EQ(map({down(0xBA, ';', CTRL_DOWN)}), "Ctrl+; Press");
}

TEST(ConsoleInput, AltChords)
{
    EXPECT_EQ(stroke('X', 'x', ALT_DOWN), "Alt+x Press, Alt+x Release");
    EXPECT_EQ(map({down('X', 'X', ALT_DOWN | SHIFT_DOWN)}), "Alt+Shift+X Press");
    EXPECT_EQ(map({down('X', 'x', right_alt_pressed)}), "Alt+x Press");
    // Without a character the key code still tells the letter and its case.
    EXPECT_EQ(map({down('X', 0, ALT_DOWN), down('X', 0, ALT_DOWN | SHIFT_DOWN), down('3', 0, ALT_DOWN)}),
              "Alt+x Press, Alt+Shift+X Press, Alt+3 Press");
    // Ctrl+Alt with a letter and no printable character stays a chord.
    EXPECT_EQ(map({down('X', 0x18, CTRL_DOWN | ALT_DOWN), down('X', 0, CTRL_DOWN | ALT_DOWN), down('S', 0, ALTGR)}),
              "Ctrl+Alt+x Press, Ctrl+Alt+x Press, Ctrl+Alt+s Press");
    // Nor when the console reports the key's own letter: no layout puts it on AltGr.
    EXPECT_EQ(map({down('S', 's', CTRL_DOWN | ALT_DOWN), down('S', 'S', ALTGR | SHIFT_DOWN)}),
              "Ctrl+Alt+s Press, Ctrl+Alt+Shift+s Press");
    EXPECT_EQ(map({down(vk_space, ' ', CTRL_DOWN | ALT_DOWN)}), "Ctrl+Alt+Space Press");
}

TEST(ConsoleInput, AltGrCharactersAreText)
{
    // German AltGr+Q and AltGr+E, Polish AltGr+A with and without Shift.
    EXPECT_EQ(stroke('Q', '@', ALTGR), "@ Press, @ Release");
    EXPECT_EQ(map({down('E', u'€', ALTGR), down('A', u'ą', ALTGR), down('A', u'Ą', ALTGR | SHIFT_DOWN)}),
              "€ Press, ą Press, Shift+Ą Press");
    // Left Ctrl with left Alt gives characters on those layouts too.
    EXPECT_EQ(map({down(VK_OEM_4_CODE, '{', CTRL_DOWN | ALT_DOWN)}), "{ Press");

    // Typed text with Alt ignored, the dispatcher inserts it.
    std::vector<Event> events = events_of({down('Q', '@', ALTGR)});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(std::get<KeyEvent>(events[0]), (KeyEvent{KeyCode::character('@'), NONE, KeyEventKind::Press}));
}

TEST(ConsoleInput, HeldKeyRepeatsAndAltNumpadCodes)
{
    ConsoleKeyRecord held = down('A', 'a');
    held.repeat_count = 3;
    EXPECT_EQ(map({held, up('A', 'a')}), "a Press, a Press, a Press, a Release");
    held.repeat_count = 0;
    EXPECT_EQ(map({held}), "a Press");
    ConsoleKeyRecord right = down(vk_right);
    right.repeat_count = 2;
    EXPECT_EQ(map({right}), "Right Press, Right Press");
    // A stalled reader does not let the count type without end.
    held.repeat_count = 65535;
    EXPECT_EQ(events_of({held}).size(), 256u);
    ConsoleKeyRecord release = up('A', 'a');
    release.repeat_count = 5;
    EXPECT_EQ(map({release}), "a Release");

    // Alt+0233 on the keypad: the digits give nothing, the release of Alt
    // brings the character, which is typed text.
    EXPECT_EQ(map({down(vk_menu, 0, ALT_DOWN), down(0x60, 0, ALT_DOWN | NUMLOCK), up(0x60, 0, ALT_DOWN | NUMLOCK),
                   down(0x62, 0, ALT_DOWN | NUMLOCK), up(0x62, 0, ALT_DOWN | NUMLOCK), up(vk_menu, u'é', NUMLOCK)}),
              "Alt+Modifier Press, é Press, Modifier Release");
    EXPECT_EQ(map({up(vk_menu, 0)}), "Modifier Release");
}

TEST(ConsoleInput, SurrogatePairsAndLoneHalves)
{
    // U+1F600 is D83D DE00. Down, up, down, up:
    EXPECT_EQ(map({down(VK_PACKET_CODE, 0xD83D), up(VK_PACKET_CODE, 0xD83D), down(VK_PACKET_CODE, 0xDE00),
                   up(VK_PACKET_CODE, 0xDE00)}),
              "😀 Press, 😀 Release");
    // Down, down, up, up:
    EXPECT_EQ(map({down(VK_PACKET_CODE, 0xD83D), down(VK_PACKET_CODE, 0xDE00), up(VK_PACKET_CODE, 0xD83D),
                   up(VK_PACKET_CODE, 0xDE00)}),
              "😀 Press, 😀 Release");
    // The extremes of the range, U+10000 and U+10FFFF.
    std::vector<Event> events = events_of({down(0, 0xD800), down(0, 0xDC00), down(0, 0xDBFF), down(0, 0xDFFF)});
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(std::get<KeyEvent>(events[0]).code, KeyCode::character(0x10000));
    EXPECT_EQ(std::get<KeyEvent>(events[1]).code, KeyCode::character(0x10FFFF));

    // A high half followed by something else: U+FFFD, then that record as usual.
    EXPECT_EQ(map({down(0, 0xD83D), down('A', 'a')}), "� Press, a Press");
    EXPECT_EQ(map({down(0, 0xD83D), down(0, 0xD83D), down(0, 0xDE00)}), "� Press, 😀 Press");
    EXPECT_EQ(map({down(0, 0xD83D), down(vk_return, '\r')}), "� Press, Enter Press");
    EXPECT_EQ(map({down(0, 0xD83D), up(0, 0xD83D), mouse(0, 0, 0, mouse_moved)}),
              "� Press, � Release, Mouse Moved 0,0");
    EXPECT_EQ(map({down(0, 0xD83D), ConsoleFocusRecord{false}}), "� Press, FocusLost");
    // A low half with no high one.
    EXPECT_EQ(map({down(0, 0xDE00), up(0, 0xDE00), down('B', 'b')}), "� Press, � Release, b Press");
    // A release between the halves of a press does not break the pair.
    EXPECT_EQ(map({down(0, 0xD83D), up(vk_shift, 0), down(0, 0xDE00)}), "Modifier Release, 😀 Press");

    // The mapper keeps going with the next pair.
    ConsoleEventMapper mapper;
    EXPECT_EQ(feed(mapper, {down(0, 0xD83D)}), "");
    EXPECT_EQ(feed(mapper, {down(0, 0xDE00)}), "😀 Press");
    EXPECT_EQ(feed(mapper, {down(0, 0xD83C), down(0, 0xDF89)}), "🎉 Press");
}

TEST(ConsoleInput, MousePressDragReleaseAndMove)
{
    EXPECT_EQ(map({mouse(4, 2, from_left_1st_button_pressed), mouse(6, 2, from_left_1st_button_pressed, mouse_moved),
                   mouse(6, 3, 0)}),
              "Mouse Down Left 4,2, Mouse Drag Left 6,2, Mouse Up Left 6,3");
    EXPECT_EQ(map({mouse(1, 1, 0, mouse_moved), mouse(2, 1, 0, mouse_moved)}), "Mouse Moved 1,1, Mouse Moved 2,1");
    EXPECT_EQ(map({mouse(0, 0, rightmost_button_pressed), mouse(0, 0, 0)}), "Mouse Down Right 0,0, Mouse Up Right 0,0");
    EXPECT_EQ(map({mouse(0, 0, from_left_2nd_button_pressed), mouse(1, 0, from_left_2nd_button_pressed, mouse_moved)}),
              "Mouse Down Middle 0,0, Mouse Drag Middle 1,0");
    // Modifiers, and coordinates the backend could not pull inside the window.
    EXPECT_EQ(map({mouse(-3, -1, from_left_1st_button_pressed, 0, CTRL_DOWN | SHIFT_DOWN)}),
              "Mouse Ctrl+Shift+Down Left 0,0");
    EXPECT_EQ(map({mouse(300, 32767, 0, mouse_moved, right_alt_pressed)}), "Mouse Alt+Moved 300,32767");
    // The same buttons again, in a record that is no move, change nothing.
    EXPECT_EQ(map({mouse(1, 1, from_left_1st_button_pressed), mouse(1, 1, from_left_1st_button_pressed)}),
              "Mouse Down Left 1,1");
    // Buttons past the third are not reported.
    EXPECT_EQ(map({mouse(1, 1, 0x08), mouse(1, 1, 0x10, mouse_moved)}), "Mouse Moved 1,1");
}

TEST(ConsoleInput, MouseDoubleClickTwoButtonsAndFoldedPresses)
{
    // The console's double click: press, release, press marked double, release.
    EXPECT_EQ(map({mouse(5, 5, from_left_1st_button_pressed), mouse(5, 5, 0),
                   mouse(5, 5, from_left_1st_button_pressed, double_click), mouse(5, 5, 0)}),
              "Mouse Down Left 5,5, Mouse Up Left 5,5, Mouse Down Left 5,5, Mouse Up Left 5,5");
    // Two buttons: each change is its own event; the drag names the left one.
    constexpr std::uint32_t both = from_left_1st_button_pressed | rightmost_button_pressed;
    EXPECT_EQ(map({mouse(1, 1, from_left_1st_button_pressed), mouse(1, 1, both), mouse(2, 1, both, mouse_moved),
                   mouse(2, 1, rightmost_button_pressed), mouse(3, 1, rightmost_button_pressed, mouse_moved),
                   mouse(3, 1, 0)}),
              "Mouse Down Left 1,1, Mouse Down Right 1,1, Mouse Drag Left 2,1, Mouse Up Left 2,1, "
              "Mouse Drag Right 3,1, Mouse Up Right 3,1");
    // Both at once in one record, and a swap of buttons in one record.
    EXPECT_EQ(map({mouse(0, 0, both), mouse(0, 0, from_left_2nd_button_pressed)}),
              "Mouse Down Left 0,0, Mouse Down Right 0,0, Mouse Up Left 0,0, Mouse Up Right 0,0, "
              "Mouse Down Middle 0,0");
    // A press or a release folded into a move record still counts.
    EXPECT_EQ(map({mouse(7, 2, from_left_1st_button_pressed, mouse_moved), mouse(8, 2, 0, mouse_moved)}),
              "Mouse Down Left 7,2, Mouse Drag Left 7,2, Mouse Up Left 8,2, Mouse Moved 8,2");
}

TEST(ConsoleInput, MouseWheels)
{
    EXPECT_EQ(map({wheel(120, mouse_wheeled)}), "Mouse ScrollUp 3,4");
    EXPECT_EQ(map({wheel(-120, mouse_wheeled)}), "Mouse ScrollDown 3,4");
    EXPECT_EQ(map({wheel(-360, mouse_wheeled), wheel(15, mouse_wheeled)}), "Mouse ScrollDown 3,4, Mouse ScrollUp 3,4");
    EXPECT_EQ(map({wheel(120, mouse_hwheeled)}), "Mouse ScrollRight 3,4");
    EXPECT_EQ(map({wheel(-120, mouse_hwheeled)}), "Mouse ScrollLeft 3,4");
    EXPECT_EQ(map({wheel(0, mouse_wheeled)}), "");
    EXPECT_EQ(map({mouse(0, 0, 0x00780000, mouse_wheeled, CTRL_DOWN)}), "Mouse Ctrl+ScrollUp 0,0");

    // A wheel record neither presses nor releases: the left button pressed
    // before it is still down after it, and a button shown in it is no press.
    EXPECT_EQ(map({mouse(1, 1, from_left_1st_button_pressed), wheel(120, mouse_wheeled, 0),
                   mouse(2, 1, from_left_1st_button_pressed, mouse_moved), mouse(2, 1, 0)}),
              "Mouse Down Left 1,1, Mouse ScrollUp 3,4, Mouse Drag Left 2,1, Mouse Up Left 2,1");
    EXPECT_EQ(map({wheel(-120, mouse_wheeled, rightmost_button_pressed), mouse(1, 1, 0, mouse_moved)}),
              "Mouse ScrollDown 3,4, Mouse Moved 1,1");
}

TEST(ConsoleInput, BufferSizeAndFocusRecords)
{
    EXPECT_EQ(map({ConsoleResizeRecord{120, 30}}), "Resize 120x30");
    EXPECT_EQ(map({ConsoleResizeRecord{-1, 9001}}), "Resize 0x9001");
    EXPECT_EQ(map({ConsoleFocusRecord{true}, ConsoleFocusRecord{false}}), "FocusGained, FocusLost");
    const std::vector<Event> events = events_of({ConsoleResizeRecord{80, 24}});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(std::get<ResizeEvent>(events[0]), (ResizeEvent{80, 24}));
}

// The dispatcher's chords must not depend on the system: the same keys give
// equal events from the console and from an xterm-compatible terminal (with
// the kitty disambiguation the editor asks for where a terminal offers more).
TEST(ConsoleInput, SameEventsAsTheTerminalDecoder)
{
    struct Case {
        ConsoleRecord record;
        std::string_view bytes;
    };
    const Case cases[] = {
        {down('S', 0x13, CTRL_DOWN), "\x13"},
        {down('S', 0, CTRL_DOWN), "\x13"},
        {down('A', 0x01, right_ctrl_pressed), "\x01"},
        {down('H', 0x08, CTRL_DOWN), "\x08"},
        {down('S', 0x13, CTRL_DOWN | SHIFT_DOWN), "\x1b[115;6u"},
        {down(vk_right, 0, SHIFT_DOWN | ENHANCED), "\x1b[1;2C"},
        {down(vk_left, 0, CTRL_DOWN | SHIFT_DOWN | ENHANCED), "\x1b[1;6D"},
        {down(vk_home, 0, CTRL_DOWN), "\x1b[1;5H"},
        {down(vk_delete, 0, ENHANCED), "\x1b[3~"},
        {down(vk_next, 0, SHIFT_DOWN), "\x1b[6;2~"},
        {down('A', 'A', SHIFT_DOWN), "A"},
        {down('1', '!', SHIFT_DOWN), "!"},
        {down('Z', u'Я', SHIFT_DOWN), "\xd0\xaf"},
        {down('X', 'x', ALT_DOWN), "\x1bx"},
        {down('X', 'X', ALT_DOWN | SHIFT_DOWN), "\x1bX"},
        {down('X', 0x18, CTRL_DOWN | ALT_DOWN), "\x1b\x18"},
        {down(vk_tab, '\t', SHIFT_DOWN), "\x1b[Z"},
        {down(vk_tab, '\t', CTRL_DOWN | SHIFT_DOWN), "\x1b[1;6Z"},
        {down(vk_tab, '\t'), "\t"},
        {down(vk_return, '\r'), "\r"},
        {down(vk_return, '\n', CTRL_DOWN), "\x1b[13;5u"},
        {down(vk_escape, 0), "\x1b"},
        {down(vk_back, 0x08), "\x7f"},
        {down(vk_back, 0x7F, CTRL_DOWN), "\x1b[127;5u"},
        {down(vk_space, ' ', CTRL_DOWN), std::string_view("\0", 1)},
        {down(vk_space, ' '), " "},
        {down(0x70, 0), "\x1bOP"},
        {down(0x74, 0, CTRL_DOWN), "\x1b[15;5~"},
        {down(vk_f24, 0), "\x1b[57387u"},
        {down(vk_capital, 0), "\x1b[57358u"},
        {down(vk_lshift, 0), "\x1b[57441u"},
        {down('Q', '@', ALTGR), "@"},
        {up('S', 0x13, CTRL_DOWN), "\x1b[115;5:3u"},
        {mouse(4, 2, from_left_1st_button_pressed), "\x1b[<0;5;3M"},
        {mouse(4, 2, rightmost_button_pressed, 0, CTRL_DOWN), "\x1b[<18;5;3M"},
        {mouse(9, 0, 0, mouse_moved), "\x1b[<35;10;1M"},
        {mouse(0, 0, 0x00780000, mouse_wheeled), "\x1b[<64;1;1M"},
        {mouse(0, 0, 0xFF880000, mouse_wheeled), "\x1b[<65;1;1M"},
        {mouse(0, 0, 0xFF880000, mouse_hwheeled), "\x1b[<66;1;1M"},
        {ConsoleFocusRecord{true}, "\x1b[I"},
    };
    for (const Case& c : cases) {
        ConsoleEventMapper mapper;
        std::vector<Event> events;
        mapper.feed(c.record, events);
        const std::vector<Event> expected = decoded(c.bytes);
        ASSERT_EQ(expected.size(), 1u) << "the terminal decoder gave " << names(expected);
        EXPECT_EQ(events, expected) << "console " << names(events) << ", terminal " << names(expected);
    }
    // A drag and its release, in sequence.
    EXPECT_EQ(events_of({mouse(4, 2, from_left_1st_button_pressed),
                         mouse(5, 2, from_left_1st_button_pressed, mouse_moved), mouse(5, 2, 0)}),
              decoded("\x1b[<0;5;3M\x1b[<32;6;3M\x1b[<0;6;3m"));
}
