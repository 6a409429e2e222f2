#pragma once
// The real terminal: raw mode, size, waiting for and reading events, and the
// guard that puts the console back however the run ends.

#include "os/expected.hpp"
#include <chrono>
#include <cstdint>
#include <string_view>

#include "os/io_error.hpp"
#include "terminal/event.hpp"
#include "terminal/output.hpp"

namespace term {

struct Size {
    std::uint16_t columns = 0;
    std::uint16_t rows = 0;
};

expected<void, IoError> enable_raw_mode();
expected<void, IoError> disable_raw_mode();
expected<Size, IoError> size();

// Mouse reports and the key reporting the editing screen wants, and back. A
// VT terminal is asked with sequences queued on `out`; the Windows console
// switches its input mode instead, remembering the previous one.
expected<void, IoError> enter_editing_input(Output& out);
void leave_editing_input(Output& out);

// One line on the standard error stream, as the user's console shows UTF-8.
void write_error_line(std::string_view utf8);

// Waits at most `timeout` for an event to be ready.
expected<bool, IoError> poll(std::chrono::milliseconds timeout);
// Takes the next event, waiting for one if none is ready. A SIGTERM, SIGHUP
// or SIGQUIT received meanwhile comes out as an error naming the signal.
// So does a terminal that has gone away.
expected<term::Event, IoError> read();

}  // namespace term
