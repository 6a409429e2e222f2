#include "clipboard/retry_pause.hpp"

#include <thread>

// The whole pause, measured: a sleep may end early when a signal comes.
void pause_at_least(std::chrono::milliseconds pause)
{
    const auto until = std::chrono::steady_clock::now() + pause;
    while (std::chrono::steady_clock::now() < until) std::this_thread::sleep_until(until);
}
