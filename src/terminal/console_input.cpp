#include "terminal/console_input.hpp"

#include <algorithm>
#include <array>

#include "text/char_class.hpp"

namespace term {

namespace {

using namespace console;

// A stalled editor can find a key-down whose repeat count stands for seconds
// of auto-repeat; more presses than this are not what the user meant to type.
constexpr int MAX_REPEAT = 256;

constexpr char32_t REPLACEMENT = 0xFFFD;

constexpr std::uint32_t ANY_CTRL = left_ctrl_pressed | right_ctrl_pressed;
constexpr std::uint32_t ANY_ALT = left_alt_pressed | right_alt_pressed;

bool is_high_surrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

KeyModifiers modifiers_from_state(std::uint32_t state)
{
    KeyModifiers m = NONE;
    if (state & shift_pressed) m |= SHIFT;
    if (state & ANY_CTRL) m |= CONTROL;
    if (state & ANY_ALT) m |= ALT;
    return m;
}

// A character that is text, not a control code.
bool is_printable(char32_t c) { return c >= 0x20 && c != 0x7F && !(c >= 0x80 && c <= 0x9F); }

// The keys told by their virtual key code alone, whatever character comes with them.
std::optional<KeyCode> named_key(std::uint16_t vk)
{
    if (vk >= vk_f1 && vk <= vk_f24) return KeyCode::function(static_cast<std::uint8_t>(vk - vk_f1 + 1));
    const auto key = [](Key k) { return KeyCode{k, 0, 0}; };
    if (vk >= vk_lshift && vk <= vk_rmenu) return key(Key::Modifier);
    if (vk >= vk_browser_back && vk <= vk_launch_app2) return key(Key::Media);
    switch (vk) {
    case vk_back: return key(Key::Backspace);
    case vk_tab: return key(Key::Tab);
    case vk_return: return key(Key::Enter);
    case vk_escape: return key(Key::Esc);
    case vk_left: return key(Key::Left);
    case vk_right: return key(Key::Right);
    case vk_up: return key(Key::Up);
    case vk_down: return key(Key::Down);
    case vk_home: return key(Key::Home);
    case vk_end: return key(Key::End);
    case vk_prior: return key(Key::PageUp);
    case vk_next: return key(Key::PageDown);
    case vk_insert: return key(Key::Insert);
    case vk_delete: return key(Key::Delete);
    case vk_capital: return key(Key::CapsLock);
    case vk_scroll: return key(Key::ScrollLock);
    case vk_numlock: return key(Key::NumLock);
    case vk_snapshot: return key(Key::PrintScreen);
    case vk_pause:
    case vk_cancel: return key(Key::Pause);
    case vk_apps: return key(Key::Menu);
    case vk_clear: return key(Key::KeypadBegin);
    case vk_shift:
    case vk_control:
    case vk_menu:
    case vk_lwin:
    case vk_rwin: return key(Key::Modifier);
    default: return std::nullopt;
    }
}

// Control characters that stand for a key when no known key code comes with
// them, as in characters an input method or a paste tool injects.
std::optional<Key> key_of_control(char32_t c)
{
    switch (c) {
    case 0x08:
    case 0x7F: return Key::Backspace;
    case 0x09: return Key::Tab;
    case 0x0A:
    case 0x0D: return Key::Enter;
    case 0x1B: return Key::Esc;
    default: return std::nullopt;
    }
}

// The character of a chord with Ctrl or Alt, where the console gives a
// control code or nothing. Ctrl chords are named by the lower-case letter, as
// the key tables look them up; Alt alone keeps the case Shift gives.
std::optional<char32_t> chord_character(std::uint16_t vk, char32_t c, std::uint32_t state)
{
    if (vk >= 'A' && vk <= 'Z') {
        const bool capital = (state & shift_pressed) && !(state & ANY_CTRL);
        return capital ? char32_t{vk} : char32_t{vk} - U'A' + U'a';
    }
    if ((vk >= '0' && vk <= '9') || vk == vk_space) return char32_t{vk};
    if (c >= 0x01 && c <= 0x1A) return U'a' + c - 1;
    // Ctrl with [ \ ] ^ _ gives their caret-notation codes 0x1B to 0x1F.
    if (c >= 0x1B && c <= 0x1F) return U"[\\]^_"[c - 0x1B];
    if (is_printable(c)) return c;
    return std::nullopt;
}

// The event of one key record whose character `c` has its surrogates joined;
// the kind is set by the caller.
std::optional<KeyEvent> translate(std::uint16_t vk, char32_t c, std::uint32_t state)
{
    const KeyModifiers modifiers = modifiers_from_state(state);
    if (const auto named = named_key(vk)) {
        // Shift+Tab is BackTab, and keeps Shift, as xterm's CSI Z decodes.
        if (named->key == Key::Tab && (modifiers & SHIFT)) return KeyEvent{KeyCode{Key::BackTab, 0, 0}, modifiers};
        return KeyEvent{*named, modifiers};
    }
    const bool ctrl = (state & ANY_CTRL) != 0;
    const bool alt = (state & ANY_ALT) != 0;
    // A typed character carries Shift only when it is a capital, whatever
    // keys made it, as the POSIX decoder reports typed text.
    const KeyModifiers capital = is_uppercase(c) ? SHIFT : NONE;
    if (is_printable(c) && !ctrl) {
        return KeyEvent{KeyCode::character(c), static_cast<KeyModifiers>(capital | (alt ? ALT : NONE))};
    }
    // AltGr reaches the console as Ctrl+Alt. A character it makes is text, or
    // "@" on a German keyboard would be the chord Ctrl+Alt+Q. Space and the
    // key's own letter are no AltGr characters: those stay Ctrl+Alt chords.
    const bool own_letter = vk >= 'A' && vk <= 'Z' && (c == vk || c == vk - U'A' + U'a');
    if (is_printable(c) && alt && c != ' ' && !own_letter) return KeyEvent{KeyCode::character(c), capital};
    if (!ctrl && !alt) {
        if (const auto k = key_of_control(c)) return KeyEvent{KeyCode{*k, 0, 0}, modifiers};
        return std::nullopt;  // a dead key, an input method at work, a key with no meaning here
    }
    const auto ch = chord_character(vk, c, state);
    if (!ch) return std::nullopt;
    return KeyEvent{KeyCode::character(*ch), modifiers};
}

void push_key(const ConsoleKeyRecord& record, char32_t c, std::vector<Event>& out)
{
    auto event = translate(record.virtual_key_code, c, record.control_key_state);
    if (!event) return;
    event->kind = record.key_down ? KeyEventKind::Press : KeyEventKind::Release;
    const int count = record.key_down ? std::clamp(static_cast<int>(record.repeat_count), 1, MAX_REPEAT) : 1;
    for (int i = 0; i < count; ++i) out.emplace_back(*event);
}

bool is_alt_key(std::uint16_t vk) { return vk == vk_menu || vk == vk_lmenu || vk == vk_rmenu; }

std::uint16_t cell(std::int16_t v) { return static_cast<std::uint16_t>(std::max<std::int16_t>(v, 0)); }

struct ButtonBit {
    std::uint32_t bit;
    MouseButton button;
};

// Of several buttons held, a drag names the first in this order, as xterm does.
constexpr std::array<ButtonBit, 3> BUTTONS = {{
    {from_left_1st_button_pressed, MouseButton::Left},
    {from_left_2nd_button_pressed, MouseButton::Middle},
    {rightmost_button_pressed, MouseButton::Right},
}};

constexpr std::uint32_t ALL_BUTTONS = from_left_1st_button_pressed | from_left_2nd_button_pressed |
                                      rightmost_button_pressed;

}  // namespace

void ConsoleEventMapper::feed(const ConsoleRecord& record, std::vector<Event>& out)
{
    if (const auto* k = std::get_if<ConsoleKeyRecord>(&record)) {
        key(*k, out);
        return;
    }
    // Anything else between the halves of a pair means the pair is broken.
    flush_halves(out);
    if (const auto* m = std::get_if<ConsoleMouseRecord>(&record)) {
        mouse(*m, out);
    } else if (const auto* r = std::get_if<ConsoleResizeRecord>(&record)) {
        out.emplace_back(ResizeEvent{cell(r->columns), cell(r->rows)});
    } else if (std::get<ConsoleFocusRecord>(record).set_focus) {
        out.emplace_back(FocusGained{});
    } else {
        out.emplace_back(FocusLost{});
    }
}

void ConsoleEventMapper::key(const ConsoleKeyRecord& record, std::vector<Event>& out)
{
    if (!record.key_down && is_alt_key(record.virtual_key_code) && record.unicode_char != 0) {
        // Alt held while a code is typed on the keypad: the console delivers
        // the character with the release of Alt. It is typed text.
        ConsoleKeyRecord typed;
        typed.unicode_char = record.unicode_char;
        key(typed, out);
        ConsoleKeyRecord released = record;
        released.unicode_char = 0;
        key(released, out);
        return;
    }
    // Presses and releases each hold their own high half: the console sends
    // a pair as down, up, down, up as well as down, down, up, up.
    std::optional<ConsoleKeyRecord>& held = record.key_down ? high_press_ : high_release_;
    const char32_t unit = record.unicode_char;
    if (held && is_low_surrogate(unit)) {
        const char32_t c = 0x10000 + ((char32_t{held->unicode_char} - 0xD800) << 10) + (unit - 0xDC00);
        held.reset();
        push_key(record, c, out);
        return;
    }
    if (held) {
        push_key(*held, REPLACEMENT, out);
        held.reset();
    }
    if (is_high_surrogate(unit)) {
        held = record;
        return;
    }
    push_key(record, is_low_surrogate(unit) ? REPLACEMENT : unit, out);
}

void ConsoleEventMapper::flush_halves(std::vector<Event>& out)
{
    if (high_press_) push_key(*high_press_, REPLACEMENT, out);
    if (high_release_) push_key(*high_release_, REPLACEMENT, out);
    high_press_.reset();
    high_release_.reset();
}

void ConsoleEventMapper::mouse(const ConsoleMouseRecord& record, std::vector<Event>& out)
{
    MouseEvent event;
    event.column = cell(record.x);
    event.row = cell(record.y);
    event.modifiers = modifiers_from_state(record.control_key_state);
    const auto push = [&](MouseEventKind kind, MouseButton button = MouseButton::Left) {
        event.kind = kind;
        event.button = button;
        out.emplace_back(event);
    };
    // A wheel record reports the buttons too, but it is no press or release.
    const auto distance = static_cast<std::int16_t>(record.button_state >> 16);
    if (record.event_flags & mouse_wheeled) {
        if (distance > 0) push(MouseEventKind::ScrollUp);
        if (distance < 0) push(MouseEventKind::ScrollDown);
        return;
    }
    if (record.event_flags & mouse_hwheeled) {
        if (distance > 0) push(MouseEventKind::ScrollRight);
        if (distance < 0) push(MouseEventKind::ScrollLeft);
        return;
    }
    // The console reports which buttons are down, not what changed. A double
    // click is a press like any other: the editor times clicks itself.
    const std::uint32_t now = record.button_state & ALL_BUTTONS;
    for (const ButtonBit& b : BUTTONS)
        if ((buttons_ & b.bit) && !(now & b.bit)) push(MouseEventKind::Up, b.button);
    for (const ButtonBit& b : BUTTONS)
        if (!(buttons_ & b.bit) && (now & b.bit)) push(MouseEventKind::Down, b.button);
    buttons_ = now;
    if (!(record.event_flags & mouse_moved)) return;
    const auto held = std::find_if(BUTTONS.begin(), BUTTONS.end(), [&](const ButtonBit& b) { return now & b.bit; });
    if (held != BUTTONS.end())
        push(MouseEventKind::Drag, held->button);
    else
        push(MouseEventKind::Moved);
}

}  // namespace term
