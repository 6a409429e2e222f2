#pragma once
// The events the terminal layer delivers: keys, mouse, resize, focus, paste.
// The same types come out of the POSIX byte decoder and the Windows console.

#include <cstdint>
#include <string>
#include <variant>

namespace term {

// Grouped by kind, a row each.
// clang-format off
enum class Key : std::uint8_t {
    Backspace, Enter, Left, Right, Up, Down, Home, End, PageUp, PageDown,
    Tab, BackTab, Delete, Insert, F, Char, Null, Esc,
    CapsLock, ScrollLock, NumLock, PrintScreen, Pause, Menu, KeypadBegin, Media, Modifier,
};
// clang-format on

struct KeyCode {
    Key key = Key::Null;
    char32_t ch = 0;     // for Key::Char
    std::uint8_t f = 0;  // for Key::F: 1 to 35

    static KeyCode character(char32_t c) { return {Key::Char, c, 0}; }
    static KeyCode function(std::uint8_t n) { return {Key::F, 0, n}; }
    friend bool operator==(const KeyCode&, const KeyCode&) = default;
};

// Bit set, as the modifiers are tested as bits.
using KeyModifiers = std::uint8_t;
inline constexpr KeyModifiers NONE = 0;
inline constexpr KeyModifiers SHIFT = 1;
inline constexpr KeyModifiers CONTROL = 2;
inline constexpr KeyModifiers ALT = 4;
inline constexpr KeyModifiers SUPER = 8;
inline constexpr KeyModifiers HYPER = 16;
inline constexpr KeyModifiers META = 32;

enum class KeyEventKind : std::uint8_t { Press, Repeat, Release };

struct KeyEvent {
    KeyCode code;
    KeyModifiers modifiers = NONE;
    KeyEventKind kind = KeyEventKind::Press;
    friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

enum class MouseButton : std::uint8_t { Left, Right, Middle };

enum class MouseEventKind : std::uint8_t { Down, Up, Drag, Moved, ScrollDown, ScrollUp, ScrollLeft, ScrollRight };

struct MouseEvent {
    MouseEventKind kind = MouseEventKind::Moved;
    MouseButton button = MouseButton::Left;  // for Down, Up, Drag
    std::uint16_t column = 0;                // 0-based cell
    std::uint16_t row = 0;
    KeyModifiers modifiers = NONE;
    friend bool operator==(const MouseEvent&, const MouseEvent&) = default;
};

struct ResizeEvent {
    std::uint16_t columns = 0;
    std::uint16_t rows = 0;
    friend bool operator==(const ResizeEvent&, const ResizeEvent&) = default;
};

struct FocusGained {
    friend bool operator==(const FocusGained&, const FocusGained&) = default;
};
struct FocusLost {
    friend bool operator==(const FocusLost&, const FocusLost&) = default;
};
struct PasteEvent {
    std::string text;  // valid UTF-8
    bool cut = false;  // the paste was longer than the decoder keeps
    friend bool operator==(const PasteEvent&, const PasteEvent&) = default;
};

using Event = std::variant<KeyEvent, MouseEvent, ResizeEvent, FocusGained, FocusLost, PasteEvent>;

}  // namespace term
