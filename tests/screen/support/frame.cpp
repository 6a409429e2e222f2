#include "screen/support/frame.hpp"

#include <stdexcept>

#include "editor/render.hpp"
#include "terminal/output.hpp"

std::string frame_bytes(Editor& editor)
{
    term::Output out;
    if (!render(editor, out)) throw std::runtime_error("render failed on a collecting output");
    return out.written();
}

std::unique_ptr<VtermScreen> draw(Editor& editor)
{
    auto screen = std::make_unique<VtermScreen>(editor.screen_width, editor.screen_height);
    screen->feed(frame_bytes(editor));
    return screen;
}
