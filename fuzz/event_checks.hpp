#pragma once
// What every event out of an input decoder must be, whatever went in: a
// character is a Unicode scalar that is text, a function key is one a
// keyboard has, and it can be told in words. A broken rule stops the fuzzer.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "terminal/event.hpp"
#include "terminal/input_decoder.hpp"

namespace fuzz {

inline void check(bool condition)
{
    if (!condition) std::abort();
}

inline void check_event(const term::Event& event)
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

// Hands the fuzzer's data to a decoder a piece at a time while it lasts:
// `feed(provider, events)` takes one piece from the provider and feeds it.
// Every event a piece makes is checked.
template <typename Feed>
void feed_pieces(const std::uint8_t* data, std::size_t size, Feed feed)
{
    FuzzedDataProvider provider(data, size);
    std::vector<term::Event> events;
    while (provider.remaining_bytes() > 0) {
        events.clear();
        feed(provider, events);
        for (const term::Event& event : events) check_event(event);
    }
}

}  // namespace fuzz
