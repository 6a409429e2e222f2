#pragma once
// The colours of everything the editor draws, one entry per kind of cell.
// Frames name them by index, and the screen writers turn them into the
// terminal's colours.

#include <array>
#include <cstdint>

#include "terminal/frame_writer.hpp"
#include "terminal/screen.hpp"

namespace style {

enum : term::StyleId {
    PLAIN = term::DEFAULT_STYLE,  // text, empty cells: the terminal's own colours
    LINE_NUMBER,
    SELECTION,
    THUMB,        // the scroll bar's thumb
    THUMB_HOVER,  // the same while the mouse is over the scroll bar
    BAR,          // the status bar and a message
    HELP_BORDER,
    HELP_HEADING,
    HELP_TEXT,
};

constexpr term::Color BAR_BACKGROUND = term::Color::rgb(55, 55, 55);
constexpr term::Color HELP_BACKGROUND = term::Color::rgb(30, 30, 30);

inline constexpr std::array<term::Style, 9> PALETTE = {{
    {term::Color::reset(), term::Color::reset()},
    {term::Color::rgb(110, 110, 110), term::Color::reset()},
    {term::Color::white(), term::Color::rgb(50, 80, 140)},
    {term::Color::rgb(90, 90, 90), term::Color::reset()},
    {term::Color::rgb(130, 130, 130), term::Color::reset()},
    {term::Color::white(), BAR_BACKGROUND},
    {term::Color::rgb(140, 140, 140), HELP_BACKGROUND},
    {term::Color::rgb(100, 180, 255), HELP_BACKGROUND},
    {term::Color::rgb(220, 220, 220), HELP_BACKGROUND},
}};

// The same on a console of 16 colours (a Windows console without VT
// sequences). The line numbers and the scroll bar take the console colour
// nearest the one above. The backgrounds do not, or kinds of cell would
// look alike: the dark greys of the status bar and the help box are nearest
// to black, the text's own, and the selection's blue nearest to dark grey in
// Windows 10's colours. So the selection is bright white on blue, the status
// bar and the message bright white on dark grey, and the help box inverted,
// black on grey (its light text would not read on grey), with blue headings
// and a dark grey frame. Text keeps the console's own colours.
namespace console {
enum : std::uint8_t { BLACK = 0, BLUE = 1, GREY = 7, DARK_GREY = 8, BRIGHT_WHITE = 15 };
constexpr std::uint8_t OWN = term::ConsoleStyle::DEFAULT;
}  // namespace console

inline constexpr std::array<term::ConsoleStyle, PALETTE.size()> CONSOLE_PALETTE = {{
    {console::OWN, console::OWN},
    {console::DARK_GREY, console::OWN},
    {console::BRIGHT_WHITE, console::BLUE},
    {console::DARK_GREY, console::OWN},
    {console::DARK_GREY, console::OWN},
    {console::BRIGHT_WHITE, console::DARK_GREY},
    {console::DARK_GREY, console::GREY},
    {console::BLUE, console::GREY},
    {console::BLACK, console::GREY},
}};

inline constexpr term::Palette PALETTES{PALETTE, CONSOLE_PALETTE};

}  // namespace style

static_assert(style::PALETTE.size() <= term::MAX_STYLES, "a cell holds its style in one byte");
