#pragma once
// The help overlay: a framed key reference drawn over the frame.

#include <string_view>

#include "editor/editor.hpp"
#include "terminal/screen.hpp"

// Draws the box over the frame, centred for the screen size; the cursor is
// left where the box's last cell ends.
void draw_help(const Editor& editor, term::Grid& grid);

// Two leading spaces, then only upper-case letters and white space.
bool is_help_heading(std::string_view line);
