#include "editor/editing.hpp"

#include <algorithm>
#include <iterator>
#include <string>

#include "editor/cursor.hpp"
#include "editor/history.hpp"
#include "text/utf8.hpp"
#include "text/words.hpp"

// Every change goes through apply_edit, which makes it and records it in
// one step. A change of many characters is one bulk splice with one record
// for the whole run, which undoes and redoes exactly like the run of single
// steps.

namespace {

// Removes the text between two positions as a run of the given direction;
// the cursor goes to `from`, where both directions end.
void erase(Editor& editor, Position from, Position to, EditKind direction)
{
    editor.cursor = apply_edit(editor.buffer, editor.history, direction, from, to);
}

// Inserts text (LF splitting lines) at the cursor as a run of typed steps.
void insert(Editor& editor, std::string text)
{
    editor.cursor = apply_edit(editor.buffer, editor.history, EditKind::Insert, editor.cursor, {}, std::move(text));
}

// One undo step for what `change` does, unless a group is already open.
template <class Change>
void as_one_step(Editor& editor, Change&& change)
{
    const bool own_group = !editor.history.grouping;
    if (own_group) begin_group(editor.history);
    change();
    if (own_group) end_group(editor.history);
}

}  // namespace

void type_char(Editor& editor, char32_t c) { insert(editor, utf8::encode(c)); }

void new_line(Editor& editor) { insert(editor, "\n"); }

void backspace_at_cursor(Editor& editor)
{
    const Position at = editor.cursor;
    if (at.column > 0)
        erase(editor, {at.row, at.column - 1}, at, EditKind::DeleteBackward);
    else if (at.row > 0)
        erase(editor, {at.row - 1, editor.buffer.line_len(at.row - 1)}, at, EditKind::DeleteBackward);
}

void delete_at_cursor(Editor& editor)
{
    const Position at = editor.cursor;
    const std::string_view text = editor.buffer.line(at.row);
    if (utf8::byte_offset(text, at.column) < text.size())
        erase(editor, at, {at.row, at.column + 1}, EditKind::DeleteForward);
    else if (at.row + 1 < editor.buffer.line_count())
        erase(editor, at, {at.row + 1, 0}, EditKind::DeleteForward);
}

bool delete_selection(Editor& editor)
{
    // selection_range pulls a stale anchor back into the document first, so
    // the range only ever names text that exists.
    const auto range = selection_range(editor);
    if (!range) return false;
    // Backspacing from the end to the start, as one run.
    as_one_step(editor, [&] { erase(editor, range->first, range->second, EditKind::DeleteBackward); });
    editor.anchor.reset();
    return true;
}

void delete_word_before(Editor& editor)
{
    if (editor.anchor) {
        delete_selection(editor);
        return;
    }
    const Position at = editor.cursor;
    if (at.column == 0) {
        backspace_at_cursor(editor);
        return;
    }
    const std::uint64_t start = word_start_before(editor.buffer.line(at.row), at.column);
    as_one_step(editor, [&] { erase(editor, {at.row, start}, at, EditKind::DeleteBackward); });
}

void delete_word_after(Editor& editor)
{
    if (editor.anchor) {
        delete_selection(editor);
        return;
    }
    const Position at = editor.cursor;
    const std::string_view text = editor.buffer.line(at.row);
    if (utf8::byte_offset(text, at.column) == text.size()) {
        // At the line end: join the next line, if there is one.
        delete_at_cursor(editor);
        return;
    }
    const std::uint64_t end = next_word_start(text, at.column);
    as_one_step(editor, [&] { erase(editor, at, {at.row, end}, EditKind::DeleteForward); });
}

void delete_to_line_end(Editor& editor)
{
    // Recorded like Delete pressed until the line ends at the cursor, so that
    // undo brings the text back and older records still fit the text. Never
    // joins the next line.
    const Position at = editor.cursor;
    const std::uint64_t end = editor.buffer.line_len(at.row);
    if (at.column >= end) return;
    as_one_step(editor, [&] { erase(editor, at, {at.row, end}, EditKind::DeleteForward); });
}

void duplicate_line(Editor& editor)
{
    editor.cursor = apply_edit(editor.buffer, editor.history, EditKind::DuplicateLine, editor.cursor);
}

void insert_text(Editor& editor, std::string_view text)
{
    std::string kept;
    kept.reserve(text.size());
    std::copy_if(text.begin(), text.end(), std::back_inserter(kept), [](char c) { return c != '\r'; });
    as_one_step(editor, [&] { insert(editor, std::move(kept)); });
}

void paste_text(Editor& editor, std::string_view text)
{
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            lines.push_back(text[i]);
            continue;
        }
        lines.push_back('\n');
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    begin_group(editor.history);
    delete_selection(editor);
    insert(editor, std::move(lines));
    end_group(editor.history);
}

void replace_at(Editor& editor, Position at, std::uint64_t count, std::string_view text)
{
    as_one_step(editor, [&] {
        // Limited to the document, walking the line only as far as needed: a
        // long line is not walked to its end for each replacement.
        at.row = std::min(at.row, editor.buffer.line_count() - 1);
        const std::string_view line = editor.buffer.line(at.row);
        const std::size_t offset = utf8::byte_offset(line, at.column);
        if (offset == line.size()) at.column = utf8::length(line);
        const std::string_view rest = line.substr(offset);
        const std::uint64_t end = at.column + utf8::length(utf8::substr(rest, 0, count));
        erase(editor, at, {at.row, end}, EditKind::DeleteForward);
        insert(editor, std::string(text));
    });
}

void undo(Editor& editor)
{
    History& history = editor.history;
    if (history.grouping) end_group(history);
    if (history.undo_list.empty()) return;
    EditGroup group = std::move(history.undo_list.back());
    history.undo_list.pop_back();
    editor.cursor = revert_group(editor.buffer, group);
    history.redo_list.push_back(std::move(group));
}

void redo(Editor& editor)
{
    History& history = editor.history;
    if (history.redo_list.empty()) return;
    EditGroup group = std::move(history.redo_list.back());
    history.redo_list.pop_back();
    editor.cursor = reapply_group(editor.buffer, group);
    history.undo_list.push_back(std::move(group));
}
