#include <windows.h>

#include <string>

#include "os/io_error.hpp"
#include "os/wide_text.hpp"

IoError IoError::from_windows(unsigned long code)
{
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0 && text != nullptr) {
        // The system ends its texts with a line break and some span several
        // lines; the error is shown on one line, so every break with the
        // blanks around it becomes one space, and the last one goes.
        std::wstring one_line;
        bool in_break = false;
        for (const wchar_t c : std::wstring_view(text, length)) {
            if (c == L'\r' || c == L'\n') {
                while (!one_line.empty() && one_line.back() == L' ') one_line.pop_back();
                in_break = true;
                continue;
            }
            if (in_break && c == L' ') continue;
            if (in_break && !one_line.empty()) one_line += L' ';
            in_break = false;
            one_line += c;
        }
        while (!one_line.empty() && one_line.back() == L' ') one_line.pop_back();
        message = to_utf8(one_line);
    }
    if (text != nullptr) ::LocalFree(text);
    // A code the system has no text for still names itself.
    if (message.empty()) message = "Windows error";
    return IoError{message + " (os error " + std::to_string(code) + ")"};
}

IoError IoError::last_windows_error() { return from_windows(::GetLastError()); }
