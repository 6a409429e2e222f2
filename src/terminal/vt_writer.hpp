#pragma once
// Turns frames of the screen model into the bytes of a VT terminal, writing
// only what changed since the frame before: over SSH or a slow console a key
// press costs the cells it changed, not the whole screen.

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/output.hpp"
#include "terminal/screen.hpp"

namespace term {

class VtWriter {
public:
    // The palette gives the colours of each StyleId the grids use; it must
    // outlive the writer.
    explicit VtWriter(std::span<const Style> palette);

    // Queues on `out`, as one synchronized update, what turns the screen the
    // terminal shows into `next`: nothing at all when nothing changed. Only
    // the rows `next` marks as changed are looked at, against what they held
    // when the grid was last sent; `next` is then marked sent. The first
    // frame, a frame of another size and the first after invalidate()
    // repaint every cell.
    void write(Grid& next, Output& out);

    // What the terminal shows is no longer known (the program was suspended,
    // a write failed): the next frame repaints it whole.
    void invalidate() { valid_ = false; }

    // Where the terminal's cursor is and which colours are set, as the
    // frames written so far left them.
    struct Pen {
        static constexpr int UNKNOWN = -1;
        static constexpr StyleId NO_STYLE = 0xFFFF;
        int row = UNKNOWN;
        int column = UNKNOWN;
        StyleId style = NO_STYLE;
    };

    // An insert (ICH, count > 0) or delete (DCH, count < 0) of cells.
    struct Shift {
        std::uint16_t column;
        std::int16_t count;
    };
    // The shifts of one row, done before any of its cells are written.
    struct RowShift {
        std::uint16_t row;
        std::array<Shift, 2> shifts;
        std::uint8_t size = 0;
    };
    // A stretch of cells of one row written in one style, or, with `erase`,
    // cleared to the end of the row in the default colours.
    struct Segment {
        std::uint16_t row;
        std::uint16_t column;
        std::uint16_t length;
        StyleId style;
        bool erase;
    };

    // The bytes that change the pen's colours from `from` (NO_STYLE: not
    // known) to `to`.
    std::string_view colour_change(StyleId from, StyleId to) const
    {
        const std::size_t slot = (from == Pen::NO_STYLE ? palette_.size() : from) * palette_.size() + to;
        return {colour_changes_.data() + slot * CHANGE_SLOT, colour_change_sizes_[slot]};
    }
    // Each change lies in a slot of this many bytes, so that it can be
    // copied whole, in a few moves of a fixed size: the longest change (SGR
    // 0 and two RGB colours) takes 38.
    static constexpr std::size_t CHANGE_SLOT = 48;

private:
    void write_whole(const Grid& next, std::string& bytes);
    void write_changes(Grid& next);

    std::span<const Style> palette_;
    std::vector<char> colour_changes_;
    std::vector<std::uint8_t> colour_change_sizes_;

    // The cursor the terminal shows; its cells are the grid's, as last sent.
    CursorState shown_cursor_;
    bool valid_ = false;
    Pen pen_;

    // Kept from frame to frame for their memory.
    std::string bytes_;
    std::string trial_;
    std::vector<RowShift> shifts_;
    std::vector<Segment> segments_;
    std::vector<char> shifted_;
};

}  // namespace term
