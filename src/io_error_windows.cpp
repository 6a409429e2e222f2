#include <windows.h>

#include "io_error.hpp"
#include "wide_text.hpp"

IoError IoError::from_windows(unsigned long code)
{
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0 && text != nullptr) {
        std::wstring_view view(text, length);
        // The system ends its texts with a line break, which would split
        // the one line of the error message.
        while (!view.empty() && (view.back() == L'\r' || view.back() == L'\n' || view.back() == L' '))
            view.remove_suffix(1);
        message = to_utf8(view);
    }
    if (text != nullptr) ::LocalFree(text);
    // A code the system has no text for still names itself.
    if (message.empty()) message = "Windows error";
    return IoError{message + " (os error " + std::to_string(code) + ")"};
}

IoError IoError::last_windows_error() { return from_windows(::GetLastError()); }
