#pragma once
// Frames of the screen model written with the Windows console's own
// functions, for a console that does not interpret VT sequences (the legacy
// console, Windows before 10 1809), or when ZEP_LEGACY_CONSOLE=1 asks for
// it: the changed cells with WriteConsoleOutputW, the cursor with
// SetConsoleCursorPosition and SetConsoleCursorInfo, the colours as the
// console's 16. One cell is one UTF-16 unit: a character beyond the Basic
// Multilingual Plane shows as U+FFFD.

#include <windows.h>

#include <span>
#include <vector>

#include "terminal/frame_writer.hpp"

namespace term {

class ConsoleWriter final : public FrameWriter {
public:
    // `screen` is the screen buffer zep draws in, active while it does;
    // `default_attributes` the colours of the user's console, which the
    // palette's DEFAULT stands for.
    ConsoleWriter(HANDLE screen, std::span<const ConsoleStyle> palette, WORD default_attributes);
    expected<void, IoError> write(Grid& next) override;
    void invalidate() override { valid_ = false; }

private:
    expected<void, IoError> write_frame(Grid& next);
    expected<void, IoError> write_cells(const Grid& next, int top, int bottom, int left, int right);
    expected<void, IoError> put_cursor(const CursorState& cursor, bool whole);

    HANDLE screen_;
    std::vector<WORD> attributes_;  // of each StyleId
    WORD default_attributes_;
    DWORD cursor_size_ = 25;  // the cursor's height in percent of a cell, as the console had it
    COORD size_{};            // of the screen buffer, as last measured
    CursorState shown_cursor_;
    bool valid_ = false;
    std::vector<CHAR_INFO> cells_;  // kept from frame to frame for its memory
};

// Makes the screen buffer exactly `columns` x `rows`, with its window over
// all of it: a buffer larger than the window would scroll, and keep what
// scrolled out of sight.
expected<void, IoError> fit_screen_buffer(HANDLE screen, SHORT columns, SHORT rows);

}  // namespace term
