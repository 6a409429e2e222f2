#include "terminal/terminal.hpp"

#include <algorithm>

#include "terminal/backend.hpp"

namespace term {

expected<bool, IoError> poll(std::chrono::milliseconds timeout)
{
    // A day is as good as for ever, and fits the backends' int milliseconds.
    const auto ms = std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, 24 * 3600 * 1000);
    return backend::wait_for_event(static_cast<int>(ms));
}

expected<Event, IoError> read()
{
    for (;;) {
        if (auto event = backend::take_event()) return std::move(*event);
        if (auto waited = backend::wait_for_event(-1); !waited) return unexpected(waited.error());
    }
}

TerminalGuard::TerminalGuard(int fd) : output_(fd) {}

// The mirror image of the start-up in main, so that the console is back as
// the user had it on every way out: quit, error, or a signal.
TerminalGuard::~TerminalGuard()
{
    leave_editing_input(output_);      // keys as before; the console's own mouse selection works again
    output_.reset_color();             // no colour leaks into the shell
    output_.show_cursor();             // the cursor is visible at the prompt
    output_.leave_alternate_screen();  // the user's screen and scrollback come back
    (void)output_.flush();             // one write; a failure cannot be reported any more
    (void)disable_raw_mode();          // always, whatever the write did: echo and line editing
}

}  // namespace term
