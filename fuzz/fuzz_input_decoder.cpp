// Feeds arbitrary bytes to the input decoder, cut into reads of arbitrary
// sizes. Nothing may crash, every event must be one a terminal could mean,
// and whatever came before, a control byte afterwards is still its key: no
// half-finished or broken sequence may swallow the keys that follow it.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "event_checks.hpp"
#include "terminal/input_decoder.hpp"

using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    term::InputDecoder decoder;
    fuzz::feed_pieces(data, size, [&](FuzzedDataProvider& provider, std::vector<term::Event>& events) {
        decoder.feed(provider.ConsumeBytesAsString(provider.ConsumeIntegralInRange<std::size_t>(0, 32)), events);
    });

    // A paste left open is ended by the silence after it, as the terminal
    // backend ends one; then Ctrl+X.
    std::vector<term::Event> events;
    if (decoder.in_paste()) decoder.end_paste(events);
    for (const term::Event& event : events) fuzz::check_event(event);
    events.clear();
    decoder.feed("\x18", events);
    check(!events.empty());
    const auto* last = std::get_if<term::KeyEvent>(&events.back());
    check(last != nullptr && last->code == term::KeyCode::character('x') && last->modifiers == term::CONTROL);
    check(!decoder.has_pending());
    return 0;
}
