#pragma once
// The event dispatcher: which action runs for which event, in which mode.

#include <chrono>

#include "editor/editor.hpp"
#include "os/expected.hpp"
#include "os/io_error.hpp"
#include "terminal/event.hpp"

// All behaviour: true when the screen may have changed.
bool handle_event(Editor& editor, const term::Event& event, TimePoint now);

// Waits up to `timeout` for one terminal event and handles it. Nothing when
// none came; else whether the screen may have changed.
expected<std::optional<bool>, IoError> dispatch_event(Editor& editor, std::chrono::milliseconds timeout);
