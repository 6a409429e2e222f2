#pragma once
// One whole frame from the editor state, drawn into the screen model: status
// bar, gutter, text, scroll bar, message line, cursor, and the help overlay
// on top when it is open. Cells use the colours of editor/palette.hpp.

#include <string>
#include <string_view>

#include "editor/editor.hpp"
#include "terminal/screen.hpp"

void render(Editor& editor, term::Grid& grid);

// Text as it may be sent to a terminal: every control character becomes one
// visible column (U+2400 + code, U+2421 for DEL, U+FFFD for C1 controls).
std::string visible_text(std::string_view text);
