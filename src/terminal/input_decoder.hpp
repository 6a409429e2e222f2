#pragma once
// Turns the bytes a terminal sends into events: UTF-8 text, control keys,
// ESC-prefixed Alt chords, CSI and SS3 keys with xterm modifiers, SGR and
// older mouse reports, focus reports, modifyOtherKeys and the kitty keyboard
// protocol. Pure: the backend reads the bytes, this only interprets them.

#include <string>
#include <string_view>
#include <vector>

#include "terminal/event.hpp"

namespace term {

class InputDecoder {
public:
    // Decodes the bytes of one read, appending every complete event to `out`.
    // A sequence cut off at the end is kept and completed by the next call;
    // an ESC that ends the read on its own is the Esc key. Sequences that are
    // unknown or malformed are dropped, and the bytes after them still count.
    void feed(std::string_view bytes, std::vector<Event>& out);

    // True while the start of a sequence waits for the rest of it.
    bool has_pending() const { return !pending_.empty() || discarding_; }

private:
    std::string pending_;
    bool discarding_ = false;  // inside a sequence too long to be a key
};

// A readable form of an event, such as "Ctrl+Right Press" or
// "Mouse Down Left 4,7", for test failures and debugging.
std::string describe(const Event& event);

}  // namespace term
