#pragma once
// A real terminal emulator (libvterm) of a fixed size for screen tests: feed
// it the bytes a frame wrote, then read back what a user would see, cell by
// cell, with the colours resolved to RGB.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

struct VTerm;
struct VTermScreen;

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Cell {
    std::string glyph;  // UTF-8, marks included; a space for an empty cell, "" for a wide character's second half
    int width = 1;      // 2 for a wide character, 0 for its second half
    Rgb fg;
    Rgb bg;
    bool default_fg = true;
    bool default_bg = true;
    friend bool operator==(const Cell&, const Cell&) = default;
};

class VtermScreen {
public:
    VtermScreen(int width, int height);
    ~VtermScreen();
    VtermScreen(const VtermScreen&) = delete;
    VtermScreen& operator=(const VtermScreen&) = delete;

    // Throws std::logic_error for an insertion or deletion of characters
    // that would cut a wide character in two.
    void feed(std::string_view bytes);
    // As a terminal window resized: what was shown stays where it fits.
    void resize(int width, int height);

    Cell cell(int row, int column) const;
    // The glyphs of columns [from, from + count) of a row; count -1 to the end.
    // A wide character shows once, in its first column.
    std::string text(int row, int from = 0, int count = -1) const;
    int cursor_row() const;
    int cursor_column() const;
    int width() const { return width_; }
    int height() const { return height_; }

private:
    void check_shift(int count, bool insert) const;

    VTerm* vt_;
    VTermScreen* screen_;
    int width_;
    int height_;
};

std::ostream& operator<<(std::ostream& os, const Rgb& c);
