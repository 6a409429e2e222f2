#pragma once
// The help overlay: a framed key reference drawn over the frame.

#include <string_view>

#include "editor/editor.hpp"
#include "terminal/output.hpp"

// Queues the box, centred for the screen size, as part of the frame being
// drawn; the terminal cursor is left where the box's last write ended.
void draw_help(const Editor& editor, term::Output& out);

// Two leading spaces, then only upper-case letters and white space.
bool is_help_heading(std::string_view line);
