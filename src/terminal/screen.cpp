#include "terminal/screen.hpp"

#include <algorithm>

#include "text/utf8.hpp"

namespace term {

namespace {

// No terminal is this large; a size beyond it (a corrupt report) is drawn
// only in part rather than costing the memory of billions of cells.
constexpr std::uint16_t MAX_SIDE = 2048;

std::uint32_t packed(const char* p, std::size_t length)
{
    std::uint32_t glyph = 0;
    for (std::size_t k = 0; k < length; ++k) glyph |= std::uint32_t{static_cast<unsigned char>(p[k])} << (8 * k);
    return glyph;
}

// The visible stand-in of a control character, or 0 for any other.
std::uint32_t control_picture(std::uint32_t glyph)
{
    const std::uint32_t lead = glyph & 0xFF;
    if (lead < 0x20) return pack_glyph(utf8::encode(0x2400 + lead));
    if (lead == 0x7F) return pack_glyph("\u2421");
    // U+0080 to U+009F: C2 followed by 80 to 9F.
    if (lead == 0xC2 && (glyph >> 8 & 0xFF) < 0xA0) return pack_glyph("\uFFFD");
    return 0;
}

}  // namespace

std::uint32_t pack_glyph(std::string_view utf8) { return packed(utf8.data(), std::min<std::size_t>(utf8.size(), 4)); }

void append_glyph(std::string& out, std::uint32_t glyph)
{
    const char bytes[4] = {static_cast<char>(glyph), static_cast<char>(glyph >> 8), static_cast<char>(glyph >> 16),
                           static_cast<char>(glyph >> 24)};
    out.append(bytes, utf8::sequence_length(static_cast<unsigned char>(glyph)));
}

void Grid::reset(std::uint16_t width, std::uint16_t height)
{
    width_ = std::min(width, MAX_SIDE);
    height_ = std::min(height, MAX_SIDE);
    cells_.assign(std::size_t{width_} * height_, Cell{});
    cursor = {};
}

std::uint16_t Grid::put(std::uint16_t column, std::uint16_t row, std::string_view text, StyleId style,
                        std::uint16_t end)
{
    if (row >= height_) return column;
    end = std::min(end, width_);
    Cell* cells = this->row(row);
    const char* p = text.data();
    const char* const stop = p + text.size();
    while (column < end && p < stop) {
        const auto lead = static_cast<unsigned char>(*p);
        const std::size_t length = utf8::sequence_length(lead);
        std::uint32_t glyph = lead < 0x80 ? lead : packed(p, std::min<std::size_t>(length, stop - p));
        if (lead < 0x20 || lead == 0x7F || lead == 0xC2)
            if (const std::uint32_t picture = control_picture(glyph)) glyph = picture;
        cells[column++] = Cell{glyph, style, 0};
        p += length;
    }
    return column;
}

void Grid::fill(std::uint16_t column, std::uint16_t row, std::uint32_t count, std::uint32_t glyph, StyleId style)
{
    if (row >= height_ || column >= width_) return;
    const std::uint32_t n = std::min<std::uint32_t>(count, width_ - column);
    std::fill_n(this->row(row) + column, n, Cell{glyph, style, 0});
}

}  // namespace term
