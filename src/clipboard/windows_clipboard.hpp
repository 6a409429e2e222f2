#pragma once
// The Windows clipboard, shared with every program of the user's session:
// zero-terminated UTF-16 text (CF_UNICODETEXT) in global memory. Windows only.

#include "clipboard/clipboard.hpp"

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
