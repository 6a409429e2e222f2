#include "terminal/guard.hpp"

#include "terminal/terminal.hpp"

namespace term {

TerminalGuard::TerminalGuard(int fd) : output_(fd) { set_up(); }

TerminalGuard::~TerminalGuard() { restore(); }

std::optional<IoError> TerminalGuard::resume()
{
    failure_.reset();
    set_up();
    return failure_;
}

void TerminalGuard::set_up()
{
    if (auto raw = enable_raw_mode(); !raw) {
        failure_ = raw.error();
        return;
    }
    raw_mode_ = true;                  // no echo, no line editing, keys as bytes
    output_.enter_alternate_screen();  // the user's screen and scrollback stay aside
    alternate_screen_ = true;
    if (auto input = enter_editing_input(output_); !input) {  // mouse reports, key reporting
        failure_ = input.error();
    } else {
        editing_input_ = true;
        if (auto flushed = output_.flush(); !flushed) failure_ = flushed.error();
    }
    if (failure_) restore();
}

// The mirror image of the set-up, undoing only what was done, so that the
// console is back as the user had it on every way out (quit, error, a
// start-up that stopped part-way) and while the editor is stopped.
void TerminalGuard::restore()
{
    if (editing_input_) leave_editing_input(output_);  // keys as before; the console's own mouse selection works again
    if (alternate_screen_) {
        output_.reset_color();             // no colour leaks into the shell
        output_.show_cursor();             // the cursor is visible at the prompt
        output_.leave_alternate_screen();  // the user's screen and scrollback come back
    }
    (void)output_.flush();                    // one write; a failure cannot be reported any more
    if (raw_mode_) (void)disable_raw_mode();  // always, whatever the write did: echo and line editing
    editing_input_ = alternate_screen_ = raw_mode_ = false;
}

}  // namespace term
