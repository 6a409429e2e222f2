#pragma once
// Drawing an editor state into a terminal emulator for screen tests.

#include <memory>
#include <string>
#include <vector>

#include "editor/editor.hpp"
#include "screen/support/vterm_screen.hpp"
#include "support/session.hpp"

// An editor without a terminal, showing the given lines on a W x H screen.
using test_support::make_editor;

// Renders one frame into a collecting output and runs the bytes through a
// fresh emulator of the editor's size.
std::unique_ptr<VtermScreen> draw(Editor& editor);

// The bytes of one frame, for checks on what goes to the terminal.
std::string frame_bytes(Editor& editor);

inline constexpr Rgb WHITE{255, 255, 255};
