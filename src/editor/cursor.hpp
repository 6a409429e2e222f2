#pragma once
// Cursor movement and the selection (anchor + cursor).

#include <optional>
#include <string>
#include <utility>

#include "editor/editor.hpp"

void move_left(Editor& editor);
void move_right(Editor& editor);
void move_up(Editor& editor);
void move_down(Editor& editor);
void line_start(Editor& editor);
void line_end(Editor& editor);
void doc_start(Editor& editor);
void doc_end(Editor& editor);
void page_up(Editor& editor);
void page_down(Editor& editor);
void word_left(Editor& editor);
void word_right(Editor& editor);
void clamp_column(Editor& editor);

void start_selection(Editor& editor);
void clear_selection(Editor& editor);
void select_all(Editor& editor);
// The anchor and the cursor in document order, for a present, non-empty
// selection only. A stale anchor is clamped into the document first.
std::optional<std::pair<Position, Position>> selection_range(Editor& editor);
// The selected text with LF between lines; empty without a selection.
std::string selection_text(Editor& editor);
void select_word_at_cursor(Editor& editor);

// Limits a position to an existing line and a column within it.
Position clamp_to_document(const Buffer& buffer, Position p);
