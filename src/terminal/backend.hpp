#pragma once
// What each platform's terminal backend provides to the common poll() and
// read() of terminal.hpp.

#include "os/expected.hpp"
#include <optional>

#include "os/io_error.hpp"
#include "terminal/event.hpp"

namespace term::backend {

// Waits until an event is ready or `timeout_ms` has passed (-1: no limit);
// true when one is ready.
expected<bool, IoError> wait_for_event(int timeout_ms);

// The next ready event, or the failure that ended the terminal (it sticks);
// nothing while none is ready.
std::optional<expected<Event, IoError>> take_event();

}  // namespace term::backend
