#pragma once
// The clipboard the editor uses, chosen once at start. On Windows it is the
// system clipboard itself. Elsewhere it is the session's clipboard through
// its command-line helpers where there is one (Wayland, then X11), otherwise
// the in-process clipboard; every copy there also goes to the terminal
// (OSC 52).

#include <memory>

#include "clipboard/clipboard.hpp"
#include "terminal/output.hpp"

// Builds the editor's clipboard once, at start. `terminal` must outlive the
// result: where copies also go to the terminal, they are written to it.
std::unique_ptr<ClipboardBackend> make_system_clipboard(term::Output& terminal);
