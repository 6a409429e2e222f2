#include "screen/support/vterm_screen.hpp"

#include <algorithm>
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

void VtermScreen::feed(std::string_view bytes) { vterm_input_write(vt_, bytes.data(), bytes.size()); }

Cell VtermScreen::cell(int row, int column) const
{
    VTermScreenCell raw{};
    if (!vterm_screen_get_cell(screen_, VTermPos{row, column}, &raw))
        throw std::out_of_range("cell outside the screen");
    Cell cell;
    for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && raw.chars[i] != 0; ++i) utf8::append(cell.glyph, raw.chars[i]);
    if (raw.chars[0] == 0) cell.glyph.push_back(' ');
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
