#include "terminal/terminal.hpp"

namespace term {

TerminalGuard::TerminalGuard(int fd) : output_(fd) {}

// The mirror image of the start-up in main, so that the console is back as
// the user had it on every way out: quit, error, or a signal.
TerminalGuard::~TerminalGuard()
{
    leave_editing_input(output_);        // keys as before; the console's own mouse selection works again
    output_.reset_color();               // no colour leaks into the shell
    output_.show_cursor();               // the cursor is visible at the prompt
    output_.leave_alternate_screen();    // the user's screen and scrollback come back
    (void)output_.flush();               // one write; a failure cannot be reported any more
    (void)disable_raw_mode();            // always, whatever the write did: echo and line editing
}

}  // namespace term
