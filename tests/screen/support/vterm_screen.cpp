#include "screen/support/vterm_screen.hpp"

#include <algorithm>
#include <cctype>
#include <ostream>
#include <stdexcept>

#include <vterm.h>

#include "text/utf8.hpp"

VtermScreen::VtermScreen(int width, int height)
    : vt_(vterm_new(height, width)), screen_(nullptr), width_(width), height_(height)
{
    if (vt_ == nullptr) throw std::runtime_error("vterm_new failed");
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
    vterm_screen_reset(screen_, 1);
}

VtermScreen::~VtermScreen() { vterm_free(vt_); }

void VtermScreen::resize(int width, int height)
{
    vterm_set_size(vt_, height, width);
    width_ = width;
    height_ = height;
}

void VtermScreen::feed(std::string_view bytes)
{
    // Up to each insertion (CSI n @) or deletion (CSI n P) of characters,
    // which is checked against the screen as it stands before it.
    std::size_t done = 0;
    for (std::size_t at = bytes.find("\x1b["); at != std::string_view::npos; at = bytes.find("\x1b[", at + 1)) {
        std::size_t end = at + 2;
        while (end < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[end]))) ++end;
        if (end == bytes.size() || (bytes[end] != '@' && bytes[end] != 'P')) continue;
        vterm_input_write(vt_, bytes.data() + done, at - done);
        done = at;
        const int count = end > at + 2 ? std::stoi(std::string(bytes.substr(at + 2, end - at - 2))) : 1;
        check_shift(count, bytes[end] == '@');
    }
    vterm_input_write(vt_, bytes.data() + done, bytes.size() - done);
}

// Terminals differ in what they make of a shift that cuts a wide character
// in two (xterm blanks it, libvterm moves its halves apart), so a writer must
// not make one: not where the shift starts, nor where cells leave the row.
void VtermScreen::check_shift(int count, bool insert) const
{
    const int row = cursor_row();
    const int column = cursor_column();
    const auto second_half = [&](int c) { return c < width_ && cell(row, c).width == 0; };
    const int edge = insert ? width_ - count : column + count;
    if (second_half(column) || second_half(edge))
        throw std::logic_error((insert ? "an insertion of " : "a deletion of ") + std::to_string(count) + " at row " +
                               std::to_string(row) + " column " + std::to_string(column) +
                               " cuts a wide character: " + text(row));
}

Cell VtermScreen::cell(int row, int column) const
{
    VTermScreenCell raw{};
    if (!vterm_screen_get_cell(screen_, VTermPos{row, column}, &raw))
        throw std::out_of_range("cell outside the screen");
    // The second half of a wide character holds no character of its own, and
    // shows in the colours of the first (libvterm keeps older ones there).
    if (raw.chars[0] == static_cast<std::uint32_t>(-1) && column > 0) {
        Cell half = cell(row, column - 1);
        half.glyph.clear();
        half.width = 0;
        return half;
    }
    Cell cell;
    for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && raw.chars[i] != 0; ++i) utf8::append(cell.glyph, raw.chars[i]);
    if (raw.chars[0] == 0) cell.glyph.push_back(' ');
    cell.width = raw.width;
    cell.default_fg = VTERM_COLOR_IS_DEFAULT_FG(&raw.fg);
    cell.default_bg = VTERM_COLOR_IS_DEFAULT_BG(&raw.bg);
    vterm_screen_convert_color_to_rgb(screen_, &raw.fg);
    vterm_screen_convert_color_to_rgb(screen_, &raw.bg);
    cell.fg = {raw.fg.rgb.red, raw.fg.rgb.green, raw.fg.rgb.blue};
    cell.bg = {raw.bg.rgb.red, raw.bg.rgb.green, raw.bg.rgb.blue};
    return cell;
}

std::string VtermScreen::text(int row, int from, int count) const
{
    const int end = count < 0 ? width_ : std::min(width_, from + count);
    std::string out;
    for (int column = from; column < end; ++column) out += cell(row, column).glyph;
    return out;
}

int VtermScreen::cursor_row() const
{
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &pos);
    return pos.row;
}

int VtermScreen::cursor_column() const
{
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &pos);
    return pos.col;
}

std::ostream& operator<<(std::ostream& os, const Rgb& c)
{
    return os << "rgb(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}
