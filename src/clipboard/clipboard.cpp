#include "clipboard/clipboard.hpp"

#include "clipboard/retry_pause.hpp"
#include "text/utf8.hpp"

bool InProcessClipboard::put_text(std::string_view utf8)
{
    text_ = std::string(utf8);
    return true;
}

bool open_clipboard(ClipboardBackend& backend)
{
    for (int attempt = 1; attempt <= CLIPBOARD_OPEN_ATTEMPTS; ++attempt) {
        if (backend.try_open()) return true;
        if (attempt < CLIPBOARD_OPEN_ATTEMPTS) pause_at_least(CLIPBOARD_RETRY_PAUSE);
    }
    return false;
}

bool set_clipboard_text(ClipboardBackend& backend, std::string_view utf8)
{
    if (!open_clipboard(backend)) return false;
    const bool placed = backend.put_text(utf8);
    backend.close();
    return placed;
}

std::optional<std::string> get_clipboard_text(ClipboardBackend& backend)
{
    if (!open_clipboard(backend)) return std::nullopt;
    std::optional<std::string> text = backend.take_text();
    backend.close();
    if (!text) return std::nullopt;
    // The text ends at its first zero character, as a C string would.
    std::string_view view = *text;
    view = view.substr(0, view.find('\0'));
    // Helpers and other programs may hand over any bytes; the buffer holds
    // only valid UTF-8.
    return utf8::repair(view);
}
