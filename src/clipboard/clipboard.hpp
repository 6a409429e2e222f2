#pragma once
// The system clipboard behind one small interface. A backend only knows how
// to try once; the retry policy around opening, and the cleaning of text that
// comes in, live in the layer, so every backend gets them the same way.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

class ClipboardBackend {
public:
    virtual ~ClipboardBackend() = default;
    // One attempt to take the clipboard for this process.
    virtual bool try_open() = 0;
    virtual void close() = 0;
    // Called only while open.
    virtual bool put_text(std::string_view utf8) = 0;
    // Nothing when the clipboard holds no text.
    virtual std::optional<std::string> take_text() = 0;
};

// A clipboard inside the editor: it always opens, and holds nothing until
// the first copy. Used where no system clipboard can be reached, so that
// copy and paste within the editor still work.
class InProcessClipboard final : public ClipboardBackend {
public:
    bool try_open() override { return true; }
    void close() override {}
    bool put_text(std::string_view utf8) override;
    std::optional<std::string> take_text() override { return text_; }

private:
    std::optional<std::string> text_;
};

// Another program may hold the clipboard for a moment: six attempts in all,
// with a pause after each failed one but the last.
inline constexpr int CLIPBOARD_OPEN_ATTEMPTS = 6;
inline constexpr std::chrono::milliseconds CLIPBOARD_RETRY_PAUSE{5};

// True once the backend is open; the caller closes it.
bool open_clipboard(ClipboardBackend& backend);

// True when the text was placed on the clipboard.
bool set_clipboard_text(ClipboardBackend& backend, std::string_view utf8);

// The clipboard's text up to its first zero character, as valid UTF-8
// (malformed bytes become U+FFFD); nothing when it cannot be had.
std::optional<std::string> get_clipboard_text(ClipboardBackend& backend);
