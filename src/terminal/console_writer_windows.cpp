#include "terminal/console_writer_windows.hpp"

#include <algorithm>
#include <string_view>

#include "text/utf8.hpp"

namespace term {

namespace {

// Consoles before Windows 8 refuse a write of 64 KiB of cells or more:
// a whole frame goes in bands of rows well under it.
constexpr int MAX_CELLS_PER_WRITE = 8000;

WORD attributes_of(const ConsoleStyle& style, WORD default_attributes)
{
    const WORD fg = style.fg == ConsoleStyle::DEFAULT ? default_attributes & 0x0F : style.fg & 0x0F;
    const WORD bg = style.bg == ConsoleStyle::DEFAULT ? (default_attributes >> 4) & 0x0F : style.bg & 0x0F;
    return static_cast<WORD>(fg | bg << 4);
}

// The cells [first, last] of a row that differ from what it showed, or
// false when none does.
bool changed_span(const Cell* shown, const Cell* next, int width, int& first, int& last)
{
    first = 0;
    while (first < width && shown[first] == next[first]) ++first;
    if (first == width) return false;
    last = width - 1;
    while (shown[last] == next[last]) --last;
    return true;
}

// The one UTF-16 unit a console cell holds for a cell of the grid. A wide
// character's second half is a blank after it; a character with marks shows
// its base alone; what needs two units shows as U+FFFD.
WCHAR console_char(const Grid& grid, Cell cell)
{
    if (cell.continuation()) return L' ';
    char32_t code_point = cell.code_point();
    if (cell.cluster()) {
        const std::string_view glyph = grid.cluster(cell);
        code_point = glyph.empty() ? U' ' : utf8::decode(glyph).c;
    }
    return code_point > 0xFFFF ? L'\uFFFD' : static_cast<WCHAR>(code_point);
}

}  // namespace

expected<void, IoError> fit_screen_buffer(HANDLE screen, SHORT columns, SHORT rows)
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(screen, &info)) return unexpected(IoError::last_windows_error());
    // The window must lie inside the buffer at every step: the buffer grows
    // to hold the new window, the window moves there, the buffer shrinks
    // around it.
    const COORD room{std::max(info.dwSize.X, columns), std::max(info.dwSize.Y, rows)};
    const SMALL_RECT window{0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
    if ((room.X != info.dwSize.X || room.Y != info.dwSize.Y) && !::SetConsoleScreenBufferSize(screen, room))
        return unexpected(IoError::last_windows_error());
    if (!::SetConsoleWindowInfo(screen, TRUE, &window)) return unexpected(IoError::last_windows_error());
    if ((room.X != columns || room.Y != rows) && !::SetConsoleScreenBufferSize(screen, COORD{columns, rows}))
        return unexpected(IoError::last_windows_error());
    return {};
}

ConsoleWriter::ConsoleWriter(HANDLE screen, std::span<const ConsoleStyle> palette, WORD default_attributes)
    : screen_(screen), default_attributes_(default_attributes & 0xFF)
{
    attributes_.reserve(palette.size());
    for (const ConsoleStyle& style : palette) attributes_.push_back(attributes_of(style, default_attributes_));
    CONSOLE_CURSOR_INFO cursor{};
    if (::GetConsoleCursorInfo(screen_, &cursor)) cursor_size_ = cursor.dwSize;
}

expected<void, IoError> ConsoleWriter::write(Grid& next)
{
    auto written = write_frame(next);
    next.mark_sent();
    if (!written) valid_ = false;
    return written;
}

expected<void, IoError> ConsoleWriter::write_frame(Grid& next)
{
    // The user may have resized the window: the buffer follows it, so that
    // there is nothing to scroll to, and a buffer of another size is
    // written whole. A console that will not fit the buffer to the window
    // is drawn in the buffer as it is.
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(screen_, &info)) return unexpected(IoError::last_windows_error());
    COORD size{static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left + 1),
               static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top + 1)};
    if ((info.dwSize.X != size.X || info.dwSize.Y != size.Y || info.srWindow.Left != 0 || info.srWindow.Top != 0) &&
        !fit_screen_buffer(screen_, size.X, size.Y))
        size = info.dwSize;
    if (size.X != size_.X || size.Y != size_.Y) valid_ = false;
    size_ = size;

    const bool whole = !valid_ || !next.shown();
    const int width = next.width();
    const int height = next.height();
    if (whole) {
        // In bands of whole rows.
        const int band = std::max(1, MAX_CELLS_PER_WRITE / std::max(width, 1));
        for (int top = 0; top < height; top += band)
            if (auto w = write_cells(next, top, std::min(height, top + band), 0, width); !w) return w;
    } else {
        // Each run of adjacent rows that changed goes in one write, from
        // the leftmost to the rightmost cell that changed in any of them:
        // a call costs far more than the cells it repeats.
        int top = -1, left = 0, right = 0;
        for (int r = 0; r <= height; ++r) {
            int first = 0, last = 0;
            const auto row = static_cast<std::uint16_t>(r);
            const bool changed = r < height && next.changed(row) &&
                                 changed_span(next.row_as_sent(row), next.row(row), width, first, last);
            if (top >= 0 && (!changed || (r - top + 1) * (std::max(right, last + 1) - std::min(left, first)) >
                                             MAX_CELLS_PER_WRITE)) {
                if (auto w = write_cells(next, top, r, left, right); !w) return w;
                top = -1;
            }
            if (!changed) continue;
            if (top < 0) {
                top = r;
                left = first;
                right = last + 1;
            } else {
                left = std::min(left, first);
                right = std::max(right, last + 1);
            }
        }
    }
    if (auto cursor = put_cursor(next.cursor, whole); !cursor) return cursor;
    valid_ = true;
    return {};
}

// The cells of rows [top, bottom) and columns [left, right), cut to the
// screen buffer.
expected<void, IoError> ConsoleWriter::write_cells(const Grid& next, int top, int bottom, int left, int right)
{
    bottom = std::min<int>(bottom, size_.Y);
    right = std::min<int>(right, size_.X);
    if (top >= bottom || left >= right) return {};
    const int columns = right - left;
    cells_.resize(static_cast<std::size_t>(columns) * static_cast<std::size_t>(bottom - top));
    CHAR_INFO* to = cells_.data();
    for (int r = top; r < bottom; ++r) {
        const Cell* row = next.row(static_cast<std::uint16_t>(r));
        for (int c = left; c < right; ++c, ++to) {
            to->Char.UnicodeChar = console_char(next, row[c]);
            const StyleId style = row[c].style();
            to->Attributes = style < attributes_.size() ? attributes_[style] : default_attributes_;
        }
    }
    SMALL_RECT region{static_cast<SHORT>(left), static_cast<SHORT>(top), static_cast<SHORT>(right - 1),
                      static_cast<SHORT>(bottom - 1)};
    if (!::WriteConsoleOutputW(screen_, cells_.data(),
                               COORD{static_cast<SHORT>(columns), static_cast<SHORT>(bottom - top)}, COORD{0, 0},
                               &region))
        return unexpected(IoError::last_windows_error());
    return {};
}

expected<void, IoError> ConsoleWriter::put_cursor(const CursorState& cursor, bool whole)
{
    // A cursor placed beyond the buffer (a window just made smaller) stays
    // at its edge, as a terminal keeps it.
    const COORD at{static_cast<SHORT>(std::min<int>(cursor.column, size_.X - 1)),
                   static_cast<SHORT>(std::min<int>(cursor.row, size_.Y - 1))};
    if ((whole || cursor.column != shown_cursor_.column || cursor.row != shown_cursor_.row) &&
        !::SetConsoleCursorPosition(screen_, at))
        return unexpected(IoError::last_windows_error());
    if (whole || cursor.visible != shown_cursor_.visible) {
        const CONSOLE_CURSOR_INFO info{cursor_size_, cursor.visible ? TRUE : FALSE};
        if (!::SetConsoleCursorInfo(screen_, &info)) return unexpected(IoError::last_windows_error());
    }
    shown_cursor_ = cursor;
    return {};
}

}  // namespace term
