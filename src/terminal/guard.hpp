#pragma once
// The console switched over for editing for exactly as long as the guard
// lives, whichever way the run ends.

#include <optional>

#include "os/io_error.hpp"
#include "terminal/output.hpp"

namespace term {

class TerminalGuard {
public:
    // Switches the console over, in this order: raw mode; the editing
    // screen (the alternate screen, or a screen buffer of zep's own); the
    // editing input (mouse reports, key reporting). When a step
    // fails the steps before it are undone at once and failure() says why.
    explicit TerminalGuard(int fd);
    // Puts back what the constructor switched, in the mirror order.
    ~TerminalGuard();
    TerminalGuard(const TerminalGuard&) = delete;
    TerminalGuard& operator=(const TerminalGuard&) = delete;

    const std::optional<IoError>& failure() const { return failure_; }
    // The editing screen: every frame is written here.
    Output& output() { return output_; }

    // Puts the console back now: before a last error line is written, and
    // while job control has the process stopped. Done once; the destructor
    // then has nothing left to do.
    void restore();
    // Switches the console over again after restore(), exactly as the
    // constructor did (the screen then needs drawing whole); says why it
    // failed, if it did, with what it switched undone again.
    std::optional<IoError> resume();

private:
    void set_up();

    Output output_;
    bool raw_mode_ = false;
    bool editing_screen_ = false;
    bool editing_input_ = false;
    std::optional<IoError> failure_;
};

}  // namespace term
