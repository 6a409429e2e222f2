#pragma once
// The session's clipboard reached through helper programs (wl-copy and
// wl-paste, xclip or xsel), where no clipboard interface of the system can
// be called directly.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clipboard/clipboard.hpp"

// The two helper command lines; argv[0] is the program's full path.
struct ClipboardCommands {
    std::vector<std::string> copy;   // reads the text on its standard input
    std::vector<std::string> paste;  // writes the text on its standard output
};

// The system clipboard through helper programs, each run directly with a
// time limit. The helpers reach the display themselves, so there is nothing
// to hold open between calls: opening always succeeds.
class CommandClipboard final : public ClipboardBackend {
public:
    explicit CommandClipboard(ClipboardCommands commands) : commands_(std::move(commands)) {}
    bool try_open() override { return true; }
    void close() override {}
    bool put_text(std::string_view utf8) override;
    std::optional<std::string> take_text() override;

private:
    ClipboardCommands commands_;
};

// The helpers for this session: Wayland's wl-copy and wl-paste when
// WAYLAND_DISPLAY is set, else xclip or xsel on the CLIPBOARD selection when
// DISPLAY is set, each only when found on `search_path` (PATH's format).
// Null or empty variables count as unset.
std::optional<ClipboardCommands> find_clipboard_commands(const char* wayland_display, const char* display,
                                                         std::string_view search_path);
