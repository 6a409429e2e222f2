#pragma once
// The event dispatcher: which action runs for which event, in which mode.

#include "os/expected.hpp"

#include "editor/editor.hpp"
#include "os/io_error.hpp"
#include "terminal/event.hpp"

// All behaviour: true when the screen may have changed.
bool handle_event(Editor& editor, const term::Event& event, TimePoint now);

// Waits up to EVENT_POLL_TIMEOUT for one terminal event and handles it.
expected<bool, IoError> dispatch_event(Editor& editor);
