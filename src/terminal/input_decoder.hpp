#pragma once
// Turns the bytes a terminal sends into events: UTF-8 text, control keys,
// ESC-prefixed Alt chords, CSI and SS3 keys with xterm modifiers, SGR and
// older mouse reports, focus reports, modifyOtherKeys, the kitty keyboard
// protocol and bracketed pastes. Pure: the backend reads the bytes, this only
// interprets them.

#include <cstddef>
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
    bool has_pending() const { return !pending_.empty() || discarding_ || pasting_; }

    // Inside a bracketed paste (CSI 200 ~ ... CSI 201 ~) whose end has not
    // come yet.
    bool in_paste() const { return pasting_; }
    // Ends a paste whose closing bracket never came: what it held comes out
    // as the paste.
    void end_paste(std::vector<Event>& out);

    // A paste keeps at most this much text; the rest is dropped and the
    // event says it was cut.
    static constexpr std::size_t MAX_PASTE = std::size_t{64} << 20;

private:
    // Takes paste text from the start of `input` up to the closing bracket;
    // returns the bytes used (all of them while the bracket has not come).
    std::size_t take_paste(std::string_view input, std::vector<Event>& out);

    std::string pending_;
    bool discarding_ = false;  // inside a sequence too long to be a key
    bool pasting_ = false;
    std::string paste_;
    bool paste_cut_ = false;
};

// A readable form of an event, such as "Ctrl+Right Press" or
// "Mouse Down Left 4,7", for test failures and debugging.
std::string describe(const Event& event);

}  // namespace term
