#pragma once
// Turns frames of the screen model into the bytes of a VT terminal, writing
// only what changed since the frame before: over SSH or a slow console a key
// press costs the cells it changed, not the whole screen.

#include <span>
#include <string>

#include "terminal/output.hpp"
#include "terminal/screen.hpp"

namespace term {

class VtWriter {
public:
    // The palette gives the colours of each StyleId the grids use; it must
    // outlive the writer.
    explicit VtWriter(std::span<const Style> palette) : palette_(palette) {}

    // Queues on `out`, as one synchronized update, what turns the screen the
    // terminal shows into `next`: nothing at all when nothing changed. The
    // first frame, a frame of another size and the first after invalidate()
    // repaint every cell.
    void write(const Grid& next, Output& out);

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

private:
    std::span<const Style> palette_;
    Grid shown_;  // what the terminal shows, as far as this writer knows
    bool valid_ = false;
    Pen pen_;
};

}  // namespace term
