#pragma once
// Scrolling, and everything the mouse does.

#include <cstdint>

#include "editor/editor.hpp"
#include "terminal/event.hpp"

void keep_cursor_visible(Editor& editor);
void snap_cursor_into_view(Editor& editor);
void scroll_by(Editor& editor, std::int64_t delta);
// Lines for one wheel notch at editor.now; notches under 80 ms apart accelerate.
std::uint64_t wheel_step(Editor& editor);
void scrollbar_jump(Editor& editor, std::uint16_t y);
void place_cursor_at_cell(Editor& editor, std::uint16_t x, std::uint16_t y);

void mouse_press(Editor& editor, std::uint16_t x, std::uint16_t y);
void mouse_drag(Editor& editor, std::uint16_t x, std::uint16_t y);
void mouse_release(Editor& editor);
void mouse_move(Editor& editor, std::uint16_t x, std::uint16_t y);

// The mouse routing: every kind of mouse event to its handling, in every mode.
void handle_mouse(Editor& editor, const term::MouseEvent& event);
