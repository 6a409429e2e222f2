// Feeds arbitrary Windows console input records to the mapping. Nothing may
// crash, every character must be a Unicode scalar that is text, one record
// makes a bounded number of events, and whatever came before, a plain key
// press afterwards is still that key: no half of a surrogate pair or mouse
// state may swallow or change the keys that follow.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "event_checks.hpp"
#include "terminal/console_input.hpp"

namespace {

using fuzz::check;

term::ConsoleRecord record_from(FuzzedDataProvider& provider)
{
    switch (provider.ConsumeIntegralInRange(0, 3)) {
    case 0: {
        term::ConsoleKeyRecord key;
        key.key_down = provider.ConsumeBool();
        key.repeat_count = provider.ConsumeIntegral<std::uint16_t>();
        key.virtual_key_code = provider.ConsumeIntegral<std::uint16_t>();
        key.virtual_scan_code = provider.ConsumeIntegral<std::uint16_t>();
        key.unicode_char = provider.ConsumeIntegral<char16_t>();
        key.control_key_state = provider.ConsumeIntegral<std::uint32_t>();
        return key;
    }
    case 1: {
        term::ConsoleMouseRecord mouse;
        mouse.x = provider.ConsumeIntegral<std::int16_t>();
        mouse.y = provider.ConsumeIntegral<std::int16_t>();
        mouse.button_state = provider.ConsumeIntegral<std::uint32_t>();
        mouse.control_key_state = provider.ConsumeIntegral<std::uint32_t>();
        mouse.event_flags = provider.ConsumeIntegral<std::uint32_t>();
        return mouse;
    }
    case 2:
        return term::ConsoleResizeRecord{provider.ConsumeIntegral<std::int16_t>(),
                                         provider.ConsumeIntegral<std::int16_t>()};
    default: return term::ConsoleFocusRecord{provider.ConsumeBool()};
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    term::ConsoleEventMapper mapper;
    fuzz::feed_pieces(data, size, [&](FuzzedDataProvider& provider, std::vector<term::Event>& events) {
        mapper.feed(record_from(provider), events);
        // A held key repeats, but within reason (256 at most), and a record
        // may first release a lone half of a pair held with its own count.
        check(events.size() <= 520);
    });

    // Then a plain 'x' pressed and released: the last press is that 'x' and
    // the last event its release, whatever the records before left
    // half-done (a lone half of a pair comes out as U+FFFD first).
    std::vector<term::Event> events;
    mapper.feed(term::ConsoleKeyRecord{true, 1, 'X', 0, u'x', 0}, events);
    mapper.feed(term::ConsoleKeyRecord{false, 1, 'X', 0, u'x', 0}, events);
    check(!events.empty() && events.size() <= 520);
    const term::KeyEvent press{term::KeyCode::character(U'x'), term::NONE, term::KeyEventKind::Press};
    const term::KeyEvent release{term::KeyCode::character(U'x'), term::NONE, term::KeyEventKind::Release};
    const term::KeyEvent* last_press = nullptr;
    for (const term::Event& event : events) {
        const auto* key = std::get_if<term::KeyEvent>(&event);
        check(key != nullptr);
        if (key->kind == term::KeyEventKind::Press) last_press = key;
    }
    check(last_press != nullptr && *last_press == press);
    check(events.back() == term::Event(release));
    return 0;
}
