#include "screen/support/frame.hpp"

#include <stdexcept>

#include "editor/palette.hpp"
#include "editor/render.hpp"
#include "terminal/output.hpp"
#include "terminal/vt_writer.hpp"

Editor make_editor(std::vector<std::string> lines, int width, int height)
{
    Editor editor;
    editor.buffer = Buffer(std::move(lines));
    editor.screen_width = static_cast<std::uint16_t>(width);
    editor.screen_height = static_cast<std::uint16_t>(height);
    return editor;
}

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
