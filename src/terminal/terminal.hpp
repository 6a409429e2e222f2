#pragma once
// The real terminal: raw mode, size, waiting for and reading events, and the
// guard that puts the console back however the run ends.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "os/expected.hpp"
#include "os/io_error.hpp"
#include "terminal/event.hpp"
#include "terminal/frame_writer.hpp"
#include "terminal/output.hpp"

namespace term {

struct Size {
    std::uint16_t columns = 0;
    std::uint16_t rows = 0;
};

expected<void, IoError> enable_raw_mode();
expected<void, IoError> disable_raw_mode();
expected<Size, IoError> size();

// The editing screen, and back: a VT terminal's alternate screen, with the
// colours and the cursor put back on the way out; on a Windows console that
// does not interpret VT sequences, a screen buffer of zep's own, made the
// active one. Either way the user's screen comes back as it was.
expected<void, IoError> enter_editing_screen(Output& out);
void leave_editing_screen(Output& out);

// The writer of frames for the editing screen: VT sequences queued on `out`,
// or the console's own functions where enter_editing_screen made a screen
// buffer.
std::unique_ptr<FrameWriter> make_frame_writer(const Palette& palette, Output& out);

// Mouse reports and the key reporting the editing screen wants, and back. A
// VT terminal is asked with sequences queued on `out`; the Windows console
// switches its input mode instead, remembering the previous one.
expected<void, IoError> enter_editing_input(Output& out);
void leave_editing_input(Output& out);

// One line on the standard error stream, as the user's console shows UTF-8.
void write_error_line(std::string_view utf8);

// Waits at most `timeout` for an event to be ready. Returns early, with no
// event, when job control asks something of the editor (below).
expected<bool, IoError> poll(std::chrono::milliseconds timeout);
// Takes the next event, waiting for one if none is ready. A SIGTERM, SIGHUP,
// SIGQUIT or SIGINT received meanwhile comes out as an error naming the
// signal. So does a terminal that has gone away.
expected<term::Event, IoError> read();

// What job control asked of the editor since the last call: to stop (a
// SIGTSTP from another program or the shell; the terminal's own suspend key
// is an editor key), or to take the console again after a stop it did not
// ask for (SIGCONT). Windows has no job control: always None.
enum class JobControl : std::uint8_t { None, Stop, Continued };
JobControl take_job_control();
// Stops the process as a SIGTSTP would have, and returns once it runs again.
// The console must have been put back first.
void stop_process();

// What each platform's side (terminal_posix.cpp, terminal_windows.cpp) gives
// the common poll() and read() above.
namespace backend {

// Waits until an event is ready or `timeout_ms` has passed (-1: no limit);
// true when one is ready.
expected<bool, IoError> wait_for_event(int timeout_ms);

// The next ready event, or the failure that ended the terminal (it sticks);
// nothing while none is ready.
std::optional<expected<Event, IoError>> take_event();

}  // namespace backend

}  // namespace term
