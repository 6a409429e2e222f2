#pragma once
// Turns the Windows console's input records into the same events the POSIX
// byte decoder delivers, with the same conventions, so that every chord, the
// mouse and resizing behave alike on both systems. Pure and portable: the
// records are mirrored here field for field, so the mapping builds and is
// tested everywhere, and only the Windows backend copies INPUT_RECORDs in.

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "terminal/event.hpp"

namespace term {

// KEY_EVENT_RECORD: bKeyDown, wRepeatCount, wVirtualKeyCode,
// wVirtualScanCode, uChar.UnicodeChar, dwControlKeyState.
struct ConsoleKeyRecord {
    bool key_down = true;
    std::uint16_t repeat_count = 1;
    std::uint16_t virtual_key_code = 0;
    std::uint16_t virtual_scan_code = 0;
    char16_t unicode_char = 0;
    std::uint32_t control_key_state = 0;
};

// MOUSE_EVENT_RECORD: dwMousePosition (already relative to the window),
// dwButtonState, dwControlKeyState, dwEventFlags.
struct ConsoleMouseRecord {
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::uint32_t button_state = 0;
    std::uint32_t control_key_state = 0;
    std::uint32_t event_flags = 0;
};

// WINDOW_BUFFER_SIZE_RECORD: dwSize.
struct ConsoleResizeRecord {
    std::int16_t columns = 0;
    std::int16_t rows = 0;
};

// FOCUS_EVENT_RECORD: bSetFocus.
struct ConsoleFocusRecord {
    bool set_focus = false;
};

using ConsoleRecord = std::variant<ConsoleKeyRecord, ConsoleMouseRecord, ConsoleResizeRecord, ConsoleFocusRecord>;

// The console's numbers, each named after its windows.h macro in lower case
// (RIGHT_ALT_PRESSED is right_alt_pressed, VK_LEFT is vk_left). windows.h
// defines those names as macros, so upper-case names here would be rewritten
// by the preprocessor wherever both headers are seen; no macro of windows.h is
// spelt in lower case. The Windows backend static_asserts each against it.
namespace console {

// dwControlKeyState
inline constexpr std::uint32_t right_alt_pressed = 0x0001;
inline constexpr std::uint32_t left_alt_pressed = 0x0002;
inline constexpr std::uint32_t right_ctrl_pressed = 0x0004;
inline constexpr std::uint32_t left_ctrl_pressed = 0x0008;
inline constexpr std::uint32_t shift_pressed = 0x0010;

// dwButtonState: the low word holds the buttons, the high word the wheel's
// signed distance in a wheel record.
inline constexpr std::uint32_t from_left_1st_button_pressed = 0x0001;
inline constexpr std::uint32_t rightmost_button_pressed = 0x0002;
inline constexpr std::uint32_t from_left_2nd_button_pressed = 0x0004;

// dwEventFlags
inline constexpr std::uint32_t mouse_moved = 0x0001;
inline constexpr std::uint32_t double_click = 0x0002;
inline constexpr std::uint32_t mouse_wheeled = 0x0004;
inline constexpr std::uint32_t mouse_hwheeled = 0x0008;

// wVirtualKeyCode. Digits and letters are their ASCII capitals ('0', 'A').
inline constexpr std::uint16_t vk_cancel = 0x03;  // Ctrl+Break
inline constexpr std::uint16_t vk_back = 0x08;
inline constexpr std::uint16_t vk_tab = 0x09;
inline constexpr std::uint16_t vk_clear = 0x0C;  // keypad 5 without Num Lock
inline constexpr std::uint16_t vk_return = 0x0D;
inline constexpr std::uint16_t vk_shift = 0x10;
inline constexpr std::uint16_t vk_control = 0x11;
inline constexpr std::uint16_t vk_menu = 0x12;  // Alt
inline constexpr std::uint16_t vk_pause = 0x13;
inline constexpr std::uint16_t vk_capital = 0x14;
inline constexpr std::uint16_t vk_escape = 0x1B;
inline constexpr std::uint16_t vk_space = 0x20;
inline constexpr std::uint16_t vk_prior = 0x21;
inline constexpr std::uint16_t vk_next = 0x22;
inline constexpr std::uint16_t vk_end = 0x23;
inline constexpr std::uint16_t vk_home = 0x24;
inline constexpr std::uint16_t vk_left = 0x25;
inline constexpr std::uint16_t vk_up = 0x26;
inline constexpr std::uint16_t vk_right = 0x27;
inline constexpr std::uint16_t vk_down = 0x28;
inline constexpr std::uint16_t vk_snapshot = 0x2C;
inline constexpr std::uint16_t vk_insert = 0x2D;
inline constexpr std::uint16_t vk_delete = 0x2E;
inline constexpr std::uint16_t vk_lwin = 0x5B;
inline constexpr std::uint16_t vk_rwin = 0x5C;
inline constexpr std::uint16_t vk_apps = 0x5D;
inline constexpr std::uint16_t vk_f1 = 0x70;
inline constexpr std::uint16_t vk_f24 = 0x87;
inline constexpr std::uint16_t vk_numlock = 0x90;
inline constexpr std::uint16_t vk_scroll = 0x91;
inline constexpr std::uint16_t vk_lshift = 0xA0;
inline constexpr std::uint16_t vk_lmenu = 0xA4;
inline constexpr std::uint16_t vk_rmenu = 0xA5;
inline constexpr std::uint16_t vk_browser_back = 0xA6;  // first of the browser, volume and media keys
inline constexpr std::uint16_t vk_launch_app2 = 0xB7;   // last of them

}  // namespace console

// Turns console input records into events. Keeps what spans records: a high
// surrogate waiting for its low half, and which mouse buttons are down.
class ConsoleEventMapper {
public:
    // Appends the events of one record to `out`; many records give none.
    void feed(const ConsoleRecord& record, std::vector<Event>& out);

private:
    void key(const ConsoleKeyRecord& record, std::vector<Event>& out);
    void mouse(const ConsoleMouseRecord& record, std::vector<Event>& out);
    void flush_halves(std::vector<Event>& out);

    // A key-down and a key-up that carried a high surrogate; the console
    // sends the low half in the next record of the same direction.
    std::optional<ConsoleKeyRecord> high_press_;
    std::optional<ConsoleKeyRecord> high_release_;
    std::uint32_t buttons_ = 0;  // the buttons down, as in dwButtonState
};

}  // namespace term
