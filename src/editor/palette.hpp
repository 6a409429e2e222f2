#pragma once
// The colours of everything the editor draws, one entry per kind of cell.
// Frames name them by index, and the screen writers turn them into the
// terminal's colours.

#include <array>

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

}  // namespace style

static_assert(style::PALETTE.size() <= term::MAX_STYLES, "a cell holds its style in one byte");
