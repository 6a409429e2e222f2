#pragma once
// The one error type that crosses module borders: I/O failures of the
// terminal and of files. The text is what the user sees after "zep: xato: "
// or in a status message.

#include <cerrno>
#include <cstring>
#include <string>

struct IoError {
    std::string message;

    // The system's own wording followed by its code, so that the user can
    // look the error up: "No such file or directory (os error 2)".
    static IoError from_errno(int code)
    {
        return IoError{std::string(std::strerror(code)) + " (os error " + std::to_string(code) + ")"};
    }

#ifdef _WIN32
    // The same for a Windows error code (GetLastError): the system's text in
    // the user's language, "Access is denied. (os error 5)".
    static IoError from_windows(unsigned long code);
    static IoError last_windows_error();
#endif
};
