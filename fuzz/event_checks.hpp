#pragma once
// What every event out of an input decoder must be, whatever went in: a
// character is a Unicode scalar that is text, a function key is one a
// keyboard has. A broken rule stops the fuzzer.

#include <cstdlib>

#include "terminal/event.hpp"

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
}

}  // namespace fuzz
