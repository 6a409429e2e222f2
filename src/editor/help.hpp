#pragma once
// The help overlay: a framed key reference drawn over the frame.

#include "os/expected.hpp"
#include <string_view>

#include "editor/editor.hpp"
#include "os/io_error.hpp"
#include "terminal/output.hpp"

expected<void, IoError> draw_help(const Editor& editor, term::Output& out);

// Two leading spaces, then only upper-case letters and white space.
bool is_help_heading(std::string_view line);
