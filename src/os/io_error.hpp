#pragma once
// The one error type that crosses module borders: I/O failures of the
// terminal and of files, and the other things that end a run. It says what
// happened; the editor puts it into words for the user (editor/messages.hpp).

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

struct IoError {
    enum class Kind : std::uint8_t {
        System,          // an operating-system error: `message` is the system's text and code
        Signal,          // a signal (or console control event) named by `message` ended the run
        TerminalClosed,  // the terminal went away
        NotRegular,      // the path names a device or a socket, which is never read as a document
        OutOfMemory,     // an allocation failed
    };

    std::string message;
    Kind kind = Kind::System;

    // The system's own wording followed by its code, so that the user can
    // look the error up: "No such file or directory (os error 2)".
    static IoError from_errno(int code)
    {
        return IoError{std::string(std::strerror(code)) + " (os error " + std::to_string(code) + ")"};
    }
    static IoError signal(std::string_view name) { return IoError{std::string(name), Kind::Signal}; }
    static IoError terminal_closed() { return IoError{{}, Kind::TerminalClosed}; }
    static IoError not_regular() { return IoError{{}, Kind::NotRegular}; }
    static IoError out_of_memory() { return IoError{{}, Kind::OutOfMemory}; }

#ifdef _WIN32
    // The same for a Windows error code (GetLastError): the system's text in
    // the user's language, "Access is denied. (os error 5)".
    static IoError from_windows(unsigned long code);
    static IoError last_windows_error();
#endif
};
