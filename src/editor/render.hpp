#pragma once
// One whole frame from the editor state: status bar, gutter, text, scroll
// bar, message line, cursor, and the help overlay on top when it is open.

#include <string>
#include <string_view>

#include "editor/editor.hpp"
#include "os/expected.hpp"
#include "os/io_error.hpp"
#include "terminal/output.hpp"

expected<void, IoError> render(Editor& editor, term::Output& out);

// Text as it may be sent to a terminal: every control character becomes one
// visible column (U+2400 + code, U+2421 for DEL, U+FFFD for C1 controls).
std::string visible_text(std::string_view text);
