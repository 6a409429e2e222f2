#pragma once
// Reading and setting the editor's state in tests: the document's lines as
// plain strings, and a selection by its two ends.

#include <cstdint>
#include <string>
#include <vector>

#include "editor/editor.hpp"

namespace test_support {

inline std::vector<std::string> lines_of(const Editor& editor)
{
    std::vector<std::string> lines;
    for (std::uint64_t row = 0; row < editor.buffer.line_count(); ++row) lines.emplace_back(editor.buffer.line(row));
    return lines;
}

inline void select(Editor& editor, Position anchor, Position cursor)
{
    editor.anchor = anchor;
    editor.cursor = cursor;
}

}  // namespace test_support
