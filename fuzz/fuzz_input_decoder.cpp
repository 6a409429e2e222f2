// Feeds arbitrary bytes to the input decoder, cut into reads of arbitrary
// sizes. Nothing may crash, every event must be one a terminal could mean,
// and whatever came before, a control byte afterwards is still its key: no
// half-finished or broken sequence may swallow the keys that follow it.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "event_checks.hpp"
#include "terminal/input_decoder.hpp"

namespace {

using fuzz::check;

// Also: every event can be told in words.
void check_any_event(const term::Event& event)
{
    fuzz::check_event(event);
    check(!term::describe(event).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    term::InputDecoder decoder;
    std::vector<term::Event> events;
    while (provider.remaining_bytes() > 0) {
        const auto length = provider.ConsumeIntegralInRange<std::size_t>(0, 32);
        const std::string chunk = provider.ConsumeBytesAsString(length);
        decoder.feed(chunk, events);
    }
    for (const term::Event& event : events) check_any_event(event);

    events.clear();
    decoder.feed("\x18", events);  // Ctrl+X
    check(!events.empty());
    const auto* last = std::get_if<term::KeyEvent>(&events.back());
    check(last != nullptr && last->code == term::KeyCode::character('x') && last->modifiers == term::CONTROL);
    check(!decoder.has_pending());
    return 0;
}
