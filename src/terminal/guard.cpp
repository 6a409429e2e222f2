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
    raw_mode_ = true;  // no echo, no line editing, keys as bytes

    if (auto screen = enter_editing_screen(output_); !screen) {  // the user's screen stays aside
        failure_ = screen.error();
        restore();
        return;
    }
    editing_screen_ = true;
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
    if (editing_screen_) leave_editing_screen(output_);  // the user's screen comes back, colours and cursor too
    (void)output_.flush();                               // one write; a failure cannot be reported any more
    if (raw_mode_) (void)disable_raw_mode();             // always, whatever the write did: echo and line editing
    editing_input_ = editing_screen_ = raw_mode_ = false;
}

}  // namespace term
