#include "screen/support/frame.hpp"

#include <stdexcept>

#include "editor/palette.hpp"
#include "editor/render.hpp"
#include "terminal/output.hpp"
#include "terminal/vt_writer.hpp"

std::string frame_bytes(Editor& editor)
{
    Frame frame;
    render(editor, frame);
    term::VtWriter writer(style::PALETTE);
    term::Output out;
    writer.write(frame.grid, out);
    if (!out.flush()) throw std::runtime_error("a collecting output failed");
    return out.written();
}

std::unique_ptr<VtermScreen> draw(Editor& editor)
{
    auto screen = std::make_unique<VtermScreen>(editor.screen_width, editor.screen_height);
    screen->feed(frame_bytes(editor));
    return screen;
}
