#pragma once
// What the POSIX backend adds to terminal.hpp: a way to point it at another
// terminal, which the tests use to drive it through a pseudo-terminal
// without touching the console they run in.

#include "os/expected.hpp"

#include "os/io_error.hpp"

namespace term {

// From now on `fd` (not owned) is the terminal that raw mode, size(), poll()
// and read() work on; bytes, events and failures kept for the previous one
// are forgotten. Sets up the signal handling as enable_raw_mode() does.
expected<void, IoError> use_terminal(int fd);

}  // namespace term
