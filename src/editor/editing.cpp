#include "editor/editing.hpp"

#include <algorithm>
#include <iterator>
#include <string>

#include "editor/cursor.hpp"
#include "editor/history.hpp"
#include "text/char_class.hpp"
#include "text/utf8.hpp"

// Every change below is recorded before the cursor moves on, and a change of
// many characters is made as one bulk splice with one record for the whole
// run, which undoes and redoes exactly like the run of single steps.

namespace {

// Removes the text between two positions and records it as a run of the
// given direction; the cursor goes to `from`, where both directions end.
void erase_recorded(Editor& editor, Position from, Position to, EditKind direction)
{
    std::string removed = editor.buffer.erase_range(from, to);
    if (!removed.empty()) record_edit(editor, {direction, from, to, std::move(removed)});
    editor.cursor = from;
}

// Inserts text (LF splitting lines) at the cursor as a run of typed steps.
void insert_recorded(Editor& editor, std::string text)
{
    if (text.empty()) return;
    const Position from = editor.cursor;
    const Position to = editor.buffer.insert_text(from, text);
    record_edit(editor, {EditKind::Insert, from, to, std::move(text)});
    editor.cursor = to;
}

// Column where the word before `column` starts: back over characters that
// are not word characters, then over those that are.
std::uint64_t word_start_before(std::string_view text, std::uint64_t column)
{
    std::size_t at = utf8::byte_offset(text, column);
    auto step_back_while = [&](bool word) {
        while (column > 0) {
            std::size_t before = at;
            if (is_word_char(utf8::previous(text, before)) != word) return;
            at = before;
            --column;
        }
    };
    step_back_while(false);
    step_back_while(true);
    return column;
}

// Column where the next word starts, or the line end: forward over word
// characters, then over the rest.
std::uint64_t next_word_start(std::string_view text, std::uint64_t column)
{
    std::size_t at = utf8::byte_offset(text, column);
    auto step_while = [&](bool word) {
        while (at < text.size()) {
            std::size_t after = at;
            if (is_word_char(utf8::next(text, after)) != word) return;
            at = after;
            ++column;
        }
    };
    step_while(true);
    step_while(false);
    return column;
}

}  // namespace

void type_char(Editor& editor, char32_t c)
{
    // A line never holds an LF: it can only arrive here as a line break.
    if (c == U'\n') {
        new_line(editor);
        return;
    }
    const Position at = editor.cursor;
    record_edit(editor, {EditKind::Insert, at, {at.row, at.column + 1}, utf8::encode(c)});
    editor.buffer.insert_char(at.row, at.column, c);
    ++editor.cursor.column;
}

void new_line(Editor& editor)
{
    const Position at = editor.cursor;
    record_edit(editor, {EditKind::Insert, at, {at.row + 1, 0}, "\n"});
    editor.buffer.split_line(at.row, at.column);
    editor.cursor = {at.row + 1, 0};
}

void backspace_at_cursor(Editor& editor)
{
    const Position at = editor.cursor;
    if (at.column > 0) {
        const Position from{at.row, at.column - 1};
        record_edit(editor,
                    {EditKind::DeleteBackward, from, at, utf8::encode(editor.buffer.char_at(at.row, at.column - 1))});
    } else if (at.row > 0) {
        const Position from{at.row - 1, editor.buffer.line_len(at.row - 1)};
        record_edit(editor, {EditKind::DeleteBackward, from, at, "\n"});
    } else {
        return;
    }
    editor.cursor = editor.buffer.backspace(at.row, at.column);
}

void delete_at_cursor(Editor& editor)
{
    const Position at = editor.cursor;
    const std::string_view text = editor.buffer.line(at.row);
    const std::size_t offset = utf8::byte_offset(text, at.column);
    if (offset < text.size()) {
        std::size_t after = offset;
        const char32_t c = utf8::next(text, after);
        record_edit(editor, {EditKind::DeleteForward, at, {at.row, at.column + 1}, utf8::encode(c)});
    } else if (at.row + 1 < editor.buffer.line_count()) {
        record_edit(editor, {EditKind::DeleteForward, at, {at.row + 1, 0}, "\n"});
    } else {
        return;
    }
    editor.buffer.delete_char(at.row, at.column);
}

bool delete_selection(Editor& editor)
{
    // selection_range pulls a stale anchor back into the document first, so
    // the range only ever names text that exists.
    const auto range = selection_range(editor);
    if (!range) return false;
    begin_group(editor);
    // Backspacing from the end to the start, as one run.
    erase_recorded(editor, range->first, range->second, EditKind::DeleteBackward);
    end_group(editor);
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
    begin_group(editor);
    erase_recorded(editor, {at.row, start}, at, EditKind::DeleteBackward);
    end_group(editor);
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
    begin_group(editor);
    erase_recorded(editor, at, {at.row, end}, EditKind::DeleteForward);
    end_group(editor);
}

void delete_to_line_end(Editor& editor)
{
    // Recorded like Delete pressed until the line ends at the cursor, so that
    // undo brings the text back and older records still fit the text. Never
    // joins the next line.
    const Position at = editor.cursor;
    const std::string_view text = editor.buffer.line(at.row);
    const std::size_t offset = utf8::byte_offset(text, at.column);
    if (offset >= text.size()) return;
    const Position end{at.row, at.column + utf8::length(text.substr(offset))};
    begin_group(editor);
    erase_recorded(editor, at, end, EditKind::DeleteForward);
    end_group(editor);
}

void duplicate_line(Editor& editor)
{
    const Position at = editor.cursor;
    const Position below{at.row + 1, at.column};
    std::string copy(editor.buffer.line(at.row));
    record_edit(editor, {EditKind::DuplicateLine, at, below, copy});
    editor.buffer.insert_line(at.row + 1, std::move(copy));
    editor.buffer.modified = true;
    editor.cursor = below;
}

void insert_text(Editor& editor, std::string_view text)
{
    std::string kept;
    kept.reserve(text.size());
    std::copy_if(text.begin(), text.end(), std::back_inserter(kept), [](char c) { return c != '\r'; });
    begin_group(editor);
    insert_recorded(editor, std::move(kept));
    end_group(editor);
}

void replace_at(Editor& editor, Position at, std::uint64_t count, std::string_view text)
{
    const bool own_group = !editor.history.grouping;
    if (own_group) begin_group(editor);
    // Limited to the document, walking the line only as far as needed: a
    // long line is not walked to its end for each replacement.
    at.row = std::min(at.row, editor.buffer.line_count() - 1);
    const std::string_view line = editor.buffer.line(at.row);
    const std::size_t offset = utf8::byte_offset(line, at.column);
    if (offset == line.size()) at.column = utf8::length(line);
    const std::string_view rest = line.substr(offset);
    const std::uint64_t end = at.column + utf8::length(utf8::substr(rest, 0, count));
    erase_recorded(editor, at, {at.row, end}, EditKind::DeleteForward);
    insert_recorded(editor, std::string(text));
    if (own_group) end_group(editor);
}

void undo(Editor& editor)
{
    History& history = editor.history;
    if (history.grouping) end_group(editor);
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
