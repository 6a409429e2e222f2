#include "clipboard/retry_pause.hpp"

#include <windows.h>

namespace {

// A timer that keeps its own time rather than the system's tick. Older
// Windows headers do not name the flag.
constexpr DWORD HIGH_RESOLUTION_TIMER = 0x00000002;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION

// Waits for `pause` on a high-resolution waitable timer (Windows 10 1803 and
// later); false where there is none.
bool wait_on_timer(std::chrono::milliseconds pause)
{
    const HANDLE timer = ::CreateWaitableTimerExW(nullptr, nullptr, HIGH_RESOLUTION_TIMER, TIMER_ALL_ACCESS);
    if (timer == nullptr) return false;
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(std::chrono::duration_cast<std::chrono::nanoseconds>(pause).count() / 100);
    const bool waited = ::SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) &&
                        ::WaitForSingleObject(timer, INFINITE) == WAIT_OBJECT_0;
    ::CloseHandle(timer);
    return waited;
}

}  // namespace

// Sleep() counts in ticks of the system timer, 15.6 ms unless some program
// asked for finer ones: five pauses of 5 ms would take 78 ms instead of 25.
// The waitable timer keeps to the time asked for; without it, short sleeps
// are measured until the pause is over. Either way the pause is measured,
// as a timer may also end a little early.
void pause_at_least(std::chrono::milliseconds pause)
{
    const auto until = std::chrono::steady_clock::now() + pause;
    (void)wait_on_timer(pause);
    while (std::chrono::steady_clock::now() < until) ::Sleep(1);
}
