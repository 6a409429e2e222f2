#pragma once
// The screen layout rules: row 0 is the status bar, the last row the message
// line, the last column the scroll bar, and the gutter holds line numbers.

#include <cstdint>

#include "editor/editor.hpp"

// 0 without line numbers; else the digits of the last frame's line count plus 2.
inline std::uint64_t gutter_width(const Editor& editor)
{
    if (!editor.show_line_numbers) return 0;
    std::uint64_t n = editor.gutter_line_count > 0 ? editor.gutter_line_count : 1;
    std::uint64_t digits = 1;
    while (n >= 10) {
        n /= 10;
        ++digits;
    }
    return digits + 2;
}

inline std::uint64_t text_area_width(const Editor& editor)
{
    const std::uint64_t usable = editor.screen_width > 0 ? editor.screen_width - 1u : 0u;
    const std::uint64_t gutter = gutter_width(editor);
    return usable < gutter ? 0 : usable - gutter;
}

inline std::uint64_t text_area_height(const Editor& editor)
{
    return editor.screen_height < 2 ? 0 : editor.screen_height - 2u;
}
