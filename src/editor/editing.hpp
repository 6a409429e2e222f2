#pragma once
// Editing operations at the cursor, and undo and redo.

#include <string_view>

#include "editor/editor.hpp"

void type_char(Editor& editor, char32_t c);
void new_line(Editor& editor);
void backspace_at_cursor(Editor& editor);
void delete_at_cursor(Editor& editor);
// True when a non-empty selection was deleted.
bool delete_selection(Editor& editor);
void delete_word_before(Editor& editor);
void delete_word_after(Editor& editor);
void delete_to_line_end(Editor& editor);
void duplicate_line(Editor& editor);
// LF splits the line, CR is skipped; one undo step.
void insert_text(Editor& editor, std::string_view text);
void undo(Editor& editor);
void redo(Editor& editor);
