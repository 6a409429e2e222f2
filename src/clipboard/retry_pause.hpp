#pragma once
// The pause between two attempts to open the clipboard, one implementation
// per platform (retry_pause_posix.cpp, retry_pause_windows.cpp).

#include <chrono>

// Returns once at least `pause` has passed, and not much later.
void pause_at_least(std::chrono::milliseconds pause);
