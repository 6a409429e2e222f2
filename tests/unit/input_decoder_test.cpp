// The input decoder: bytes in, events out, written as readable names so that
// a failure shows what the terminal's bytes were taken for.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/events.hpp"
#include "terminal/input_decoder.hpp"

using namespace std::string_literals;
using namespace std::string_view_literals;
using namespace term;

namespace {

// A decoder fed read by read, and the events it has made so far.
struct Reads {
    InputDecoder decoder;
    std::vector<Event> events;

    Reads& operator<<(std::string_view read)
    {
        decoder.feed(read, events);
        return *this;
    }
    std::string names() const { return test_support::names(events); }
};

// The bytes as one read.
std::string decode(std::string_view bytes) { return (Reads() << bytes).names(); }

// Rows of bytes, each one read, and the events they make, in words.
void expect_decoded(std::initializer_list<std::pair<std::string_view, std::string_view>> rows)
{
    for (const auto& [bytes, events] : rows)
        EXPECT_EQ(decode(bytes), events) << "from " << testing::PrintToString(std::string(bytes));
}

KeyEvent only_key(std::string_view bytes)
{
    Reads r;
    r << bytes;
    EXPECT_EQ(r.events.size(), 1u) << r.names();
    if (r.events.size() != 1 || !std::holds_alternative<KeyEvent>(r.events[0])) return {};
    return std::get<KeyEvent>(r.events[0]);
}

}  // namespace

TEST(InputDecoder, TextAndControlBytes)
{
    expect_decoded({
        {"ab 1", "a Press, b Press, Space Press, 1 Press"},
        // Capitals come with Shift, in any script.
        {"A\xd0\xaf", "Shift+A Press, Shift+Я Press"},
        {"\xd1\x8f\xe2\x82\xac\xf0\x9f\x98\x80o\xe2\x80\x98", "я Press, € Press, 😀 Press, o Press, ‘ Press"},
        {"\x7f", "Backspace Press"},
        {"\x08", "Ctrl+h Press"},
        {"\x09", "Tab Press"},
        // Terminals send CR for Enter; LF is Ctrl+J.
        {"\x0d\x0a", "Enter Press, Ctrl+j Press"},
        {"\x01\x11\x13\x1a", "Ctrl+a Press, Ctrl+q Press, Ctrl+s Press, Ctrl+z Press"},
        {"\x00"sv, "Ctrl+Space Press"},
        {"\x1c\x1d\x1e\x1f", "Ctrl+4 Press, Ctrl+5 Press, Ctrl+6 Press, Ctrl+7 Press"},
    });

    const KeyEvent ctrl_q = only_key("\x11");
    EXPECT_EQ(ctrl_q.code, KeyCode::character('q'));
    EXPECT_EQ(ctrl_q.modifiers, CONTROL);
    EXPECT_EQ(ctrl_q.kind, KeyEventKind::Press);
    EXPECT_EQ(only_key("x").modifiers, NONE);
}

TEST(InputDecoder, EscapeAloneAndAsAltPrefix)
{
    expect_decoded({
        {"\x1b", "Esc Press"},
        {"\x1bx", "Alt+x Press"},
        {"\x1bX", "Alt+Shift+X Press"},
        {"\x1b\x7f", "Alt+Backspace Press"},
        {"\x1b\x01", "Ctrl+Alt+a Press"},
        {"\x1b\xd1\x8f", "Alt+я Press"},
        {"\x1b\x1b", "Esc Press, Esc Press"},
        {"\x1b\x1b[A", "Alt+Up Press"},
        {"a\x1b", "a Press, Esc Press"},
    });

    const KeyEvent alt_x = only_key("\x1bx");
    EXPECT_EQ(alt_x.code, KeyCode::character('x'));
    EXPECT_EQ(alt_x.modifiers, ALT);
}

TEST(InputDecoder, CursorAndEditingKeysWithModifiers)
{
    expect_decoded({
        {"\x1b[A\x1b[B\x1b[C\x1b[D\x1b[H\x1b[F",
         "Up Press, Down Press, Right Press, Left Press, Home Press, End Press"},
        {"\x1bOA\x1bOB\x1bOC\x1bOD\x1bOH\x1bOF",
         "Up Press, Down Press, Right Press, Left Press, Home Press, End Press"},
        {"\x1b[1;2A\x1b[1;3B\x1b[1;5C\x1b[1;6D\x1b[1;7H\x1b[1;8F",
         "Shift+Up Press, Alt+Down Press, Ctrl+Right Press, Ctrl+Shift+Left Press, Ctrl+Alt+Home Press, "
         "Ctrl+Alt+Shift+End Press"},
        {"\x1b[1;9C\x1b[1;17C\x1b[1;33C", "Super+Right Press, Hyper+Right Press, Meta+Right Press"},
        {"\x1b[2~\x1b[3~\x1b[5~\x1b[6~", "Insert Press, Delete Press, PageUp Press, PageDown Press"},
        {"\x1b[1~\x1b[7~\x1b[4~\x1b[8~", "Home Press, Home Press, End Press, End Press"},
        {"\x1b[3;5~\x1b[5;2~\x1b[1;5H", "Ctrl+Delete Press, Shift+PageUp Press, Ctrl+Home Press"},
        {"\x1b[Z", "Shift+BackTab Press"},
        {"\x1b[E\x1bOM", "KeypadBegin Press, Enter Press"},
        // rxvt spells Shift and Ctrl with the arrows and the editing keys its own way.
        {"\x1b[a\x1bOd\x1b[3$\x1b[3^\x1b[5@",
         "Shift+Up Press, Ctrl+Left Press, Shift+Delete Press, Ctrl+Delete Press, Ctrl+Shift+PageUp Press"},
    });

    const KeyEvent ctrl_right = only_key("\x1b[1;5C");
    EXPECT_EQ(ctrl_right.code.key, Key::Right);
    EXPECT_EQ(ctrl_right.modifiers, CONTROL);
    EXPECT_EQ(only_key("\x1b[1;4A").modifiers, SHIFT | ALT);
    EXPECT_EQ(only_key("\x1b[Z").code.key, Key::BackTab);
}

TEST(InputDecoder, FunctionKeysInEveryCommonForm)
{
    expect_decoded({
        {"\x1bOP\x1bOQ\x1bOR\x1bOS", "F1 Press, F2 Press, F3 Press, F4 Press"},
        {"\x1b[11~\x1b[12~\x1b[13~\x1b[14~\x1b[15~", "F1 Press, F2 Press, F3 Press, F4 Press, F5 Press"},
        {"\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~\x1b[23~\x1b[24~",
         "F6 Press, F7 Press, F8 Press, F9 Press, F10 Press, F11 Press, F12 Press"},
        {"\x1b[[A\x1b[[E", "F1 Press, F5 Press"},
        {"\x1b[1;2P\x1b[1;5S\x1b[15;5~\x1b[24;3~\x1bO5P",
         "Shift+F1 Press, Ctrl+F4 Press, Ctrl+F5 Press, Alt+F12 Press, Ctrl+F1 Press"},
    });
    EXPECT_EQ(only_key("\x1b[21~").code, KeyCode::function(10));
}

TEST(InputDecoder, SgrMouseReports)
{
    expect_decoded({
        {"\x1b[<0;5;8M", "Mouse Down Left 4,7"},
        {"\x1b[<0;5;8m", "Mouse Up Left 4,7"},
        {"\x1b[<1;1;1M\x1b[<2;1;1M\x1b[<2;1;1m", "Mouse Down Middle 0,0, Mouse Down Right 0,0, Mouse Up Right 0,0"},
        {"\x1b[<32;10;3M\x1b[<34;10;3M", "Mouse Drag Left 9,2, Mouse Drag Right 9,2"},
        {"\x1b[<35;80;24M", "Mouse Moved 79,23"},
        {"\x1b[<64;3;4M\x1b[<65;3;4M\x1b[<66;3;4M\x1b[<67;3;4M",
         "Mouse ScrollUp 2,3, Mouse ScrollDown 2,3, Mouse ScrollLeft 2,3, Mouse ScrollRight 2,3"},
        {"\x1b[<4;2;2M\x1b[<8;2;2M\x1b[<16;2;2M\x1b[<81;2;2M",
         "Mouse Shift+Down Left 1,1, Mouse Alt+Down Left 1,1, Mouse Ctrl+Down Left 1,1, Mouse Ctrl+ScrollDown 1,1"},
        {"\x1b[<0;1000;500M", "Mouse Down Left 999,499"},
        // Older encodings, for terminals without the SGR form.
        {"\x1b[M !!\x1b[M#!!", "Mouse Down Left 0,0, Mouse Up Left 0,0"},
        {"\x1b[M`*+", "Mouse ScrollUp 9,10"},
        {"\x1b[32;10;5M\x1b[35;10;5M", "Mouse Down Left 9,4, Mouse Up Left 9,4"},
    });

    Reads drag;
    drag << "\x1b[<48;7;9M";
    ASSERT_EQ(drag.events.size(), 1u);
    const MouseEvent expected{MouseEventKind::Drag, MouseButton::Left, 6, 8, CONTROL};
    EXPECT_EQ(std::get<MouseEvent>(drag.events[0]), expected);
}

TEST(InputDecoder, FocusReports)
{
    EXPECT_EQ(decode("\x1b[I\x1b[O"), "FocusGained, FocusLost");
    Reads r;
    r << "\x1b[I";
    ASSERT_EQ(r.events.size(), 1u);
    EXPECT_TRUE(std::holds_alternative<FocusGained>(r.events[0]));
}

TEST(InputDecoder, ModifyOtherKeys)
{
    expect_decoded({
        {"\x1b[27;5;104~", "Ctrl+h Press"},
        {"\x1b[27;2;13~\x1b[27;5;9~\x1b[27;5;127~\x1b[27;3;27~",
         "Shift+Enter Press, Ctrl+Tab Press, Ctrl+Backspace Press, Alt+Esc Press"},
        {"\x1b[27;6;90~\x1b[27;5;49~", "Ctrl+Shift+Z Press, Ctrl+1 Press"},
    });
    const KeyEvent ctrl_backspace = only_key("\x1b[27;5;127~");
    EXPECT_EQ(ctrl_backspace.code.key, Key::Backspace);
    EXPECT_EQ(ctrl_backspace.modifiers, CONTROL);
}

TEST(InputDecoder, KittyKeyboardProtocol)
{
    expect_decoded({
        {"\x1b[97;5u\x1b[104;5u\x1b[127;5u", "Ctrl+a Press, Ctrl+h Press, Ctrl+Backspace Press"},
        {"\x1b[27u\x1b[13u\x1b[9;2u\x1b[127u", "Esc Press, Enter Press, Shift+Tab Press, Backspace Press"},
        // Shifted characters are reported as the terminal gives them.
        {"\x1b[65;2u\x1b[122;6u\x1b[1103;5u", "Shift+A Press, Ctrl+Shift+z Press, Ctrl+я Press"},
        {"\x1b[97;1:1u\x1b[97;5:2u\x1b[97;5:3u\x1b[97;1:3u", "a Press, Ctrl+a Repeat, Ctrl+a Release, a Release"},
        {"\x1b[1;1:3A\x1b[3;5:2~\x1b[1;2:3P", "Up Release, Ctrl+Delete Repeat, Shift+F1 Release"},
        {"\x1b[97:65;2u", "Shift+a Press"},
        // Keypad and other functional keys from the private use area.
        {"\x1b[57399u\x1b[57408u\x1b[57409u\x1b[57413u\x1b[57414u", "0 Press, 9 Press, . Press, + Press, Enter Press"},
        {"\x1b[57417u\x1b[57423;5u\x1b[57426u", "Left Press, Ctrl+Home Press, Delete Press"},
        {"\x1b[57358u\x1b[57376u\x1b[57398u\x1b[57364u\x1b[57428u\x1b[57441;2u",
         "CapsLock Press, F13 Press, F35 Press, Media Press, Shift+Modifier Press"},
        // Replies to queries and codes that are no key are dropped.
        {"\x1b[?1u\x1b[0u\x1b[55296u\x1b[1114112u\x1b[150ux", "x Press"},
    });

    const KeyEvent release = only_key("\x1b[97;5:3u");
    EXPECT_EQ(release.code, KeyCode::character('a'));
    EXPECT_EQ(release.modifiers, CONTROL);
    EXPECT_EQ(release.kind, KeyEventKind::Release);
}

TEST(InputDecoder, SequencesSplitAtEveryBytePosition)
{
    const std::vector<std::string> inputs = {
        "\x1b[1;5C",    "\x1b[3~",          "\x1b[27;5;104~", "\x1b[97;5:3u", "\x1b[<35;120;45M", "\x1b[<0;5;8m",
        "\x1bOP",       "\x1b[I",           "\x1b[M !!",      "\x1b[[B",      "\x1b\x1b[A",       "\x1bx",
        "\x1b\xd1\x8f", "\xf0\x9f\x98\x80", "\xe2\x82\xac",   "q\x1b[1;2Dz",
    };
    for (const std::string& input : inputs) {
        const std::string whole = decode(input);
        ASSERT_FALSE(whole.empty()) << input;
        for (std::size_t cut = 1; cut < input.size(); ++cut) {
            // A cut right after an ESC makes it a lone Esc (tested below); every other cut waits.
            if (input[cut - 1] == '\x1b') continue;
            Reads split;
            split << input.substr(0, cut) << input.substr(cut);
            EXPECT_EQ(split.names(), whole) << "cut at " << cut << " of " << whole;
            EXPECT_FALSE(split.decoder.has_pending());
        }
        // One byte per read, as a slow line would deliver it.
        if (input.find('\x1b') == std::string::npos) {
            Reads slow;
            for (char c : input) slow << std::string_view(&c, 1);
            EXPECT_EQ(slow.names(), whole);
        }
    }

    Reads r;
    r << "\x1b[";
    EXPECT_TRUE(r.events.empty());
    EXPECT_TRUE(r.decoder.has_pending());
    r << "1;5";
    EXPECT_TRUE(r.events.empty());
    EXPECT_EQ((r << "Ax").names(), "Ctrl+Up Press, x Press");

    // An ESC that ends a read is the Esc key, whatever the next read brings.
    r.events.clear();
    EXPECT_EQ((r << "\x1b").names(), "Esc Press");
    EXPECT_FALSE(r.decoder.has_pending());
    EXPECT_EQ((r << "[A").names(), "Esc Press, [ Press, Shift+A Press");
}

TEST(InputDecoder, GarbageIsDroppedAndTextAfterItSurvives)
{
    // Unknown sequences, with and without parameters and intermediates.
    expect_decoded({
        {"\x1b[99Xa\x1b[5yb\x1b[1 qc\x1b[=5ud\x1b[>1;2Ae", "a Press, b Press, c Press, d Press, e Press"},
        // A broken sequence gives way to the byte that broke it.
        {"\x1b[1;\x01", "Ctrl+a Press"},
        {"\x1b[12\xd1\x8f", "я Press"},
        {"\x1bO\x0d", "Enter Press"},
        {"\x1b[[zq", "z Press, q Press"},
        {"\x1b[M\x01!!", "Ctrl+a Press, ! Press, ! Press"},
        // Malformed UTF-8: stray continuation, cut-off lead, overlong, surrogate, C1 control.
        {"\x80"
         "a\xc3"
         "b\xc0\xaf"
         "c\xed\xa0\x80"
         "d\xc2\x85"
         "e\xff",
         "a Press, b Press, c Press, d Press, e Press"},
        {"\x1b\xff"
         "a",
         "Esc Press, a Press"},
        // Mouse reports with the wrong shape or extra buttons.
        {"\x1b[<0;5M\x1b[<0;1;2;3M\x1b[<128;1;1M\x1b[<64;1;1mz", "z Press"},
        // A closing paste bracket outside a paste is dropped.
        {"\x1b[201~hi", "h Press, i Press"},
        {"\x1bO" + std::string(200, '5') + "Pq\x1b\x1b[" + std::string(100, '1') + "Cw", "q Press, w Press"},
        // Numbers far too large neither overflow nor crash.
        {"\x1b[<0;99999999999999999999;3M", "Mouse Down Left 65535,2"},
        {"\x1b[1;5:99999999999999999Cx", "Ctrl+Right Press, x Press"},
    });

    // Whatever a read ended in the middle of, a control key in the next read is still that key.
    for (std::string_view start : {"\x1b[", "\x1b[1;5", "\x1b[<0;1", "\x1b[M", "\x1b[M!", "\x1bO", "\x1bO5", "\x1b[[",
                                   "\xd1", "\xf0\x9f\x98", "\x1b\xd1", "\x1b\x1b[", "\x1b\x1bO"}) {
        Reads r;
        r << start << "\x18";
        ASSERT_FALSE(r.events.empty()) << start;
        EXPECT_EQ(describe(r.events.back()), "Ctrl+x Press") << start;
        EXPECT_FALSE(r.decoder.has_pending()) << start;
    }

    // An endless sequence is cut off instead of being kept forever.
    Reads endless;
    endless << "\x1b[";
    for (int i = 0; i < 1000; ++i) endless << "1;";
    EXPECT_TRUE(endless.events.empty());
    EXPECT_TRUE(endless.decoder.has_pending());
    EXPECT_EQ((endless << "Zq").names(), "q Press");
    EXPECT_FALSE(endless.decoder.has_pending());
}

TEST(InputDecoder, DescribeNamesEveryKindOfEvent)
{
    EXPECT_EQ(describe(ResizeEvent{120, 40}), "Resize 120x40");
    EXPECT_EQ(describe(PasteEvent{"abc"}), "Paste \"abc\"");
    EXPECT_EQ(describe(KeyEvent{KeyCode::character(0x1F), NONE, KeyEventKind::Press}), "U+001F Press");
    EXPECT_EQ(describe(KeyEvent{KeyCode{Key::Null, 0, 0}, SUPER | HYPER, KeyEventKind::Repeat}),
              "Super+Hyper+Null Repeat");
    EXPECT_EQ(describe(MouseEvent{MouseEventKind::Up, MouseButton::Middle, 3, 2, ALT}), "Mouse Alt+Up Middle 3,2");
}

TEST(InputDecoder, BracketedPasteIsOneEventHoweverItArrives)
{
    const std::string_view paste = "\x1b[200~a\tb\r\nц😀\x1b[A\x1b[201~x";
    EXPECT_EQ(decode(paste), "Paste \"a\tb\r\nц😀\x1b[A\", x Press");
    // Split at every byte, and at every pair of places: the same events (but
    // for a read that ends right after the opening ESC, which is the Esc key).
    for (std::size_t cut = 0; cut <= paste.size(); ++cut)
        for (std::size_t second = cut; second <= paste.size(); ++second) {
            if (cut == 1 || second == 1) continue;
            Reads r;
            r << paste.substr(0, cut) << paste.substr(cut, second - cut) << paste.substr(second);
            ASSERT_EQ(r.names(), "Paste \"a\tb\r\nц😀\x1b[A\", x Press") << cut << ' ' << second;
        }
    // A start bracket inside a paste is text; bytes that are not UTF-8 are repaired.
    expect_decoded({
        {"\x1b[200~a\x1b[200~b\xff\x1b[201~", "Paste \"a\x1b[200~b\uFFFD\""},
        {"\x1b[200~\x1b[201~", "Paste \"\""},
    });

    // A paste whose end never comes: nothing until the end is declared.
    Reads r;
    r << "\x1b[200~abc\x1b[20";
    EXPECT_TRUE(r.events.empty());
    EXPECT_TRUE(r.decoder.in_paste());
    r.decoder.end_paste(r.events);
    EXPECT_EQ(r.names(), "Paste \"abc\x1b[20\"");
    r.events.clear();
    EXPECT_EQ((r << "q").names(), "q Press");
}

TEST(InputDecoder, APasteLargerThanTheLimitIsCutThere)
{
    Reads r;
    r << "\x1b[200~";
    const std::string piece(1 << 20, 'z');
    for (std::size_t sent = 0; sent <= InputDecoder::MAX_PASTE; sent += piece.size()) r << piece;
    r << "\x1b[201~k";
    ASSERT_EQ(r.events.size(), 2u);
    const auto& paste = std::get<term::PasteEvent>(r.events[0]);
    EXPECT_TRUE(paste.cut);
    EXPECT_EQ(paste.text.size(), InputDecoder::MAX_PASTE);
    EXPECT_EQ(describe(r.events[1]), "k Press");
}
