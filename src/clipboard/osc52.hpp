#pragma once
// The terminal's own clipboard: an OSC 52 write carries the copied text to
// the terminal the user sits at, which also works over SSH and inside
// terminal multiplexers. It is only ever written: pasting never asks the
// terminal, whose answer would arrive mixed in with the user's keys.

#include <memory>
#include <string>
#include <string_view>

#include "clipboard/clipboard.hpp"
#include "terminal/output.hpp"

// ESC ] 52 ; c ; base64 BEL: the sequence that sets the terminal's clipboard.
std::string osc52_sequence(std::string_view utf8);

// Every copy goes to the terminal and to `inner`; opening and pasting are
// `inner`'s alone. The terminal output must outlive this backend (the
// editor's guard does).
class Osc52Clipboard final : public ClipboardBackend {
public:
    Osc52Clipboard(std::unique_ptr<ClipboardBackend> inner, term::Output& terminal)
        : inner_(std::move(inner)), terminal_(terminal)
    {
    }
    bool try_open() override { return inner_->try_open(); }
    void close() override { inner_->close(); }
    bool put_text(std::string_view utf8) override;
    std::optional<std::string> take_text() override { return inner_->take_text(); }

private:
    std::unique_ptr<ClipboardBackend> inner_;
    term::Output& terminal_;
};
