#pragma once
// Where the frames of the screen model go. The terminal layer picks the
// writer once, at start, for the screen it set up: VT sequences almost
// everywhere, or, on a Windows console that does not interpret them, the
// console's own functions (console_writer_windows.hpp).

#include <cstdint>
#include <span>

#include "os/expected.hpp"
#include "os/io_error.hpp"
#include "terminal/output.hpp"
#include "terminal/screen.hpp"
#include "terminal/vt_writer.hpp"

namespace term {

// A style on a console of 16 colours: two indexes into the console's colour
// table (0 black, 1 blue, 2 green, 3 cyan, 4 red, 5 magenta, 6 yellow, 7
// grey, and 8 to 15 their bright forms), or DEFAULT for the colour the
// user's console has.
struct ConsoleStyle {
    static constexpr std::uint8_t DEFAULT = 0xFF;
    std::uint8_t fg = DEFAULT;
    std::uint8_t bg = DEFAULT;
};

// The colours of each StyleId the grids use, in 24-bit colour and on a
// console of 16 colours; both must outlive the writer.
struct Palette {
    std::span<const Style> rgb;
    std::span<const ConsoleStyle> console;
};

class FrameWriter {
public:
    virtual ~FrameWriter() = default;
    // Shows `next`: what changed since the frame before, or all of it after
    // invalidate() or a change of size; `next` is then marked sent. After a
    // failure what the screen shows is not known, and the next frame is
    // written whole.
    virtual expected<void, IoError> write(Grid& next) = 0;
    // What the screen shows is no longer known (the program was suspended):
    // the next frame is written whole.
    virtual void invalidate() = 0;
};

// Frames as VT sequences queued on `out`, one write each.
class VtFrameWriter final : public FrameWriter {
public:
    VtFrameWriter(std::span<const Style> palette, Output& out) : writer_(palette), out_(out) {}
    expected<void, IoError> write(Grid& next) override;
    void invalidate() override { writer_.invalidate(); }

private:
    VtWriter writer_;
    Output& out_;
};

}  // namespace term
