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

#ifdef _WIN32
// The Windows clipboard, shared with every program of the user's session:
// zero-terminated UTF-16 text (CF_UNICODETEXT) in global memory.
class WindowsClipboard final : public ClipboardBackend {
public:
    // One OpenClipboard, with no owner window.
    bool try_open() override;
    // Closes as the anonymous user: Windows keeps the token of whoever
    // closes the clipboard after a change, where a less privileged program
    // could get at it. Where impersonation fails, it closes all the same.
    void close() override;
    bool put_text(std::string_view utf8) override;
    std::optional<std::string> take_text() override;
};
#endif
