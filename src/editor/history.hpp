#pragma once
// The undo history: unbounded lists of groups of edit records. One group is
// one undo step.

#include <cstdint>
#include <vector>

enum class EditKind : std::uint32_t { InsertChar = 0, DeleteChar = 1, SplitLine = 2, MergeLines = 3 };

struct EditRecord {
    EditKind kind = EditKind::InsertChar;
    char32_t character = 0;
    std::uint64_t row = 0;
    std::uint64_t column = 0;
};

using EditGroup = std::vector<EditRecord>;

struct History {
    std::vector<EditGroup> undo_list;
    std::vector<EditGroup> redo_list;
    EditGroup open_group;
    bool grouping = false;
};

struct Editor;

void record_edit(Editor& editor, const EditRecord& record);
void begin_group(Editor& editor);
void end_group(Editor& editor);
