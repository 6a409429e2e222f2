#pragma once
// The whole editor state, one instance per run. Every operation takes it by
// reference; nothing else holds state.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "buffer.hpp"
#include "clipboard/clipboard.hpp"
#include "editor/history.hpp"
#include "text/position.hpp"

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

inline constexpr std::chrono::milliseconds EVENT_POLL_TIMEOUT{500};
inline constexpr std::chrono::seconds STATUS_MESSAGE_TIMEOUT{5};

enum class Mode : std::uint8_t { Normal, Find, ReplaceFind, ReplaceWith };

// What a Ctrl+S warned of instead of saving, in the order a save asks.
enum class SaveWarning : std::uint8_t { None, UnreadableBytes, ChangedOnDisk };

struct StatusMessage {
    std::string text;  // empty: no message
    TimePoint set_at{};
};

// Mouse state: the scroll-bar drag, and the times behind the double click
// and the accelerating wheel.
struct MouseState {
    bool scrollbar_drag = false;
    std::optional<TimePoint> last_press;
    std::optional<TimePoint> last_wheel;
    std::uint64_t wheel_run = 0;
};

struct Editor {
    Buffer buffer;
    Position cursor;
    std::optional<Position> anchor;
    std::uint64_t top_line = 0;
    std::uint64_t left_column = 0;
    MouseState mouse;
    History history;
    std::string search_text;
    std::string replace_text;
    std::vector<Position> matches;
    std::optional<std::size_t> current_match;
    StatusMessage status_message;
    std::uint16_t screen_width = 80;
    std::uint16_t screen_height = 24;
    bool show_line_numbers = true;
    std::uint64_t gutter_line_count = 1;
    bool scrollbar_hover = false;
    Mode mode = Mode::Normal;
    bool encoding_menu_open = false;
    bool help_visible = false;
    bool quit_armed = false;
    // The warning the last key press gave instead of saving: a Ctrl+S as the
    // very next key press goes past it, any other key press disarms it.
    SaveWarning save_armed = SaveWarning::None;
    bool quit_requested = false;

    // In-process until main puts the system clipboard here.
    std::unique_ptr<ClipboardBackend> clipboard = std::make_unique<InProcessClipboard>();

    // The monotonic time of the event being handled: message stamps, the
    // double-click and wheel windows all read it, so tests can fake the clock.
    TimePoint now{};
};

// Replaces the message line's text and stamps it with editor.now.
void set_message(Editor& editor, std::string_view text);
void clear_message(Editor& editor);
// Clears a message more than STATUS_MESSAGE_TIMEOUT old, unless the encoding
// menu is open (its text stays while it is). True when it cleared one, so
// that the screen needs drawing.
bool expire_message(Editor& editor, TimePoint now);
