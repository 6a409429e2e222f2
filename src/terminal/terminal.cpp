#include "terminal/terminal.hpp"

#include <algorithm>


namespace term {

expected<bool, IoError> poll(std::chrono::milliseconds timeout)
{
    // A day is as good as for ever, and fits the backends' int milliseconds.
    const auto ms = std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, 24 * 3600 * 1000);
    return backend::wait_for_event(static_cast<int>(ms));
}

expected<Event, IoError> read()
{
    for (;;) {
        if (auto event = backend::take_event()) return std::move(*event);
        if (auto waited = backend::wait_for_event(-1); !waited) return unexpected(waited.error());
    }
}

}  // namespace term
