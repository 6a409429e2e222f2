#pragma once
// Editing operations at the cursor, and undo and redo.

#include <cstdint>
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
// A paste from the terminal: replaces the selection with the text as it is,
// tabs and control characters included, each CR LF, lone CR and lone LF a
// line break; the whole paste is one undo step and the cursor ends after it.
void paste_text(Editor& editor, std::string_view text);
// Puts the cursor at `at` (limited to the document) and replaces the `count`
// characters there (never more than the line holds after it) with `text`, as
// Delete pressed `count` times and then `text` typed would; the cursor ends
// after the new text. Inside an open group it adds to that group, otherwise
// it is one undo step of its own. Made in two bulk splices, for replacing
// many occurrences at once.
void replace_at(Editor& editor, Position at, std::uint64_t count, std::string_view text);
void undo(Editor& editor);
void redo(Editor& editor);
