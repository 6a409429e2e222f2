#pragma once
// The Windows console this test program shares (under Wine: the
// pseudo-terminal tests/windows/in_console.py provides), opened by name so
// that redirected standard handles do not matter, and key records as the
// console queues them for a keyboard.

#include <windows.h>

namespace test_support {

struct Console {
    HANDLE input = INVALID_HANDLE_VALUE;
    HANDLE screen = INVALID_HANDLE_VALUE;
};

// CONIN$ or CONOUT$: the console's input, or its active screen buffer.
inline HANDLE open_device(const wchar_t* name)
{
    return ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         0, nullptr);
}

inline const Console& console()
{
    static const Console handles{open_device(L"CONIN$"), open_device(L"CONOUT$")};
    return handles;
}

inline DWORD mode_of(HANDLE handle)
{
    DWORD mode = 0;
    ::GetConsoleMode(handle, &mode);
    return mode;
}

inline INPUT_RECORD key_record(bool down, WORD vk, wchar_t ch, DWORD state = 0)
{
    INPUT_RECORD r{};
    r.EventType = KEY_EVENT;
    r.Event.KeyEvent.bKeyDown = down;
    r.Event.KeyEvent.wRepeatCount = 1;
    r.Event.KeyEvent.wVirtualKeyCode = vk;
    r.Event.KeyEvent.uChar.UnicodeChar = ch;
    r.Event.KeyEvent.dwControlKeyState = state;
    return r;
}

}  // namespace test_support
