#pragma once
// The undo history: unbounded lists of groups of edit records. One group is
// one undo step.
//
// A record stands for a run of single-character steps (characters typed one
// after the other, or deleted one after the other) rather than for one step,
// so that a paste or the deletion of a large selection is one bulk splice of
// the buffer and so is its undo. Undoing or redoing a run leaves the same text
// and puts the cursor where undoing or redoing its steps one at a time would.
//
// Each record holds the text it removed or inserted once. A replace-all is
// one record for all the lines it changes: the text each occurrence held and
// the text put in its place, once for the whole run, and the places packed a
// few bytes each, so that a million replacements cost about as much history
// as the text they changed.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/position.hpp"

class Buffer;

enum class EditKind : std::uint8_t {
    // `text` was typed in at `from` a character or a line break at a time;
    // it now ends at `to`.
    Insert,
    // `text`, which stood from `from` to `to`, was deleted backwards from its
    // end (Backspace, a selection, Ctrl+Backspace).
    DeleteBackward,
    // `text`, which stood from `from` to `to`, was deleted forwards, every
    // step at `from` (Delete, Ctrl+Delete, Ctrl+K, a replacement).
    DeleteForward,
    // Line `from.row` was copied below itself with the cursor at `from`, which
    // then moved to `to`; `text` is the copy.
    DuplicateLine,
    // A replace-all run over whole lines, packed in `text` by ReplacePlaces:
    // on each line, from the last changed row up and right to left, one
    // text replaced by another where it stood. `from` is where the first
    // replacement was made, `to` where the last one ended.
    Replace,
};

struct EditRecord {
    EditKind kind = EditKind::Insert;
    Position from;
    Position to;
    std::string text;  // UTF-8, an LF for each line break
};

using EditGroup = std::vector<EditRecord>;

struct History {
    std::vector<EditGroup> undo_list;  // newest last
    std::vector<EditGroup> redo_list;  // newest last
    EditGroup open_group;
    bool grouping = false;
};

// The places of a replace-all run, gathered a line at a time (from the last
// row up) into the packed form a Replace record keeps: the two texts once,
// then for each line its row and its occurrences' columns, each number as
// the distance from the one before in a variable number of bytes.
class ReplacePlaces {
public:
    ReplacePlaces(std::string_view removed, std::string_view inserted);
    // One line's occurrences of the removed text, by their columns in the
    // line as it stands (ascending); none of them overlaps another, and the
    // row is above the rows already added.
    void add_line(std::uint64_t row, std::span<const std::uint64_t> columns);
    bool empty() const { return lines_ == 0; }
    // The packed places, for apply_edit; the gathering starts over.
    std::string take();

private:
    std::string packed_;
    std::string header_;
    std::uint64_t lines_ = 0;
    std::uint64_t last_row_ = 0;
    std::uint64_t removed_length_ = 0;  // in characters
};

// Makes a change to the buffer and records it in the history, in one step,
// so that what is recorded is always what was done: every edit of the text
// goes through here. An Insert puts `text` at `from`; a deletion removes
// the text between `from` and `to` and records it (nothing is recorded when
// there is nothing to remove); a DuplicateLine copies line `from.row` below
// itself; a Replace makes the replacements that `text` (from ReplacePlaces)
// lists. The redo list is emptied; the record joins the open group (and
// the run it continues, when it does) or, outside a group, is an undo step
// of its own. Returns where the cursor goes: after an insertion, at the start
// of a deletion, below for a duplicated line, after the last replacement.
Position apply_edit(Buffer& buffer, History& history, EditKind kind, Position from, Position to = {},
                    std::string text = {});

// Starts collecting records into one group. A group still open is closed
// first, so its records are never lost.
void begin_group(History& history);
// Pushes the open group, if it holds anything, as one undo step.
void end_group(History& history);

// Take a group's records back, newest first, or make them again, oldest
// first. Each returns where the cursor goes: where undoing or redoing the
// group's steps one at a time leaves it.
Position revert_group(Buffer& buffer, const EditGroup& group);
Position reapply_group(Buffer& buffer, const EditGroup& group);

// The position just after `text` inserted at `from`.
Position position_after(Position from, std::string_view text);
