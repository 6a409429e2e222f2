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

#include "terminal/input_decoder.hpp"

namespace {

void check(bool condition)
{
    if (!condition) std::abort();
}

void check_event(const term::Event& event)
{
    if (const auto* key = std::get_if<term::KeyEvent>(&event)) {
        if (key->code.key == term::Key::Char) {
            const char32_t c = key->code.ch;
            check(c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF) && c >= 0x20 && !(c >= 0x7F && c <= 0x9F));
        }
        if (key->code.key == term::Key::F) check(key->code.f >= 1 && key->code.f <= 35);
    }
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
    for (const term::Event& event : events) check_event(event);

    events.clear();
    decoder.feed("\x18", events);  // Ctrl+X
    check(!events.empty());
    const auto* last = std::get_if<term::KeyEvent>(&events.back());
    check(last != nullptr && last->code == term::KeyCode::character('x') && last->modifiers == term::CONTROL);
    check(!decoder.has_pending());
    return 0;
}
