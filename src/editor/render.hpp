#pragma once
// One whole frame from the editor state, drawn into the screen model: status
// bar, gutter, text, scroll bar, message line, cursor, and the help overlay
// on top when it is open. Cells use the colours of editor/palette.hpp.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "editor/editor.hpp"
#include "terminal/screen.hpp"

// A frame as drawn, kept from one to the next: a frame draws again only
// the rows that may have changed since (the text of lines that changed, the
// selection's rows, the bars), unless what the text area shows moved.
struct Frame {
    term::Grid grid;

    // What the text area was last drawn for.
    struct View {
        std::uint16_t width = 0;
        std::uint16_t height = 0;
        std::uint64_t top_line = 0;
        std::uint64_t left_column = 0;
        std::uint64_t gutter = 0;
        bool help = false;
        // The document rows the selection covered; first > last: none.
        std::uint64_t selection_first = 1;
        std::uint64_t selection_last = 0;
        // The scroll bar's thumb.
        std::uint64_t thumb_first = 0;
        std::uint64_t thumb_size = 0;
        bool hover = false;
        friend bool operator==(const View&, const View&) = default;
    };
    View drawn;
    bool drawn_once = false;
    // The message line's text as last drawn.
    std::string message;

    // The status bar's name part, made again only when the path changes.
    std::optional<std::filesystem::path> name_path;
    std::string name;
    std::uint64_t name_width = 0;  // in display columns
    bool name_ready = false;
};

void render(Editor& editor, Frame& frame);

// Text as it may be sent to a terminal: every control character becomes one
// visible column (U+2400 + code, U+2421 for DEL, U+FFFD for C1 controls).
std::string visible_text(std::string_view text);
