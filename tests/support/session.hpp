#pragma once
// The one editor fixture of the tests. make_editor builds an editor without
// a terminal; a Session drives it as a user does, with keys, clicks and the
// wheel through handle_event and a clock that moves on a second per event
// unless told otherwise (so two clicks are never a double click).

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "clipboard/clipboard.hpp"
#include "editor/dispatch.hpp"
#include "editor/view.hpp"
#include "support/editor_state.hpp"
#include "support/keys.hpp"

namespace test_support {

using namespace std::chrono_literals;
using term::Key;
using term::KeyCode;

constexpr Position at(std::uint64_t row, std::uint64_t column) { return {row, column}; }

// The given lines on a width x height screen, unmodified, no message, the
// in-process clipboard.
inline Editor make_editor(std::vector<std::string> lines, int width = 80, int height = 24)
{
    Editor editor;
    editor.buffer = Buffer(std::move(lines));
    editor.screen_width = static_cast<std::uint16_t>(width);
    editor.screen_height = static_cast<std::uint16_t>(height);
    editor.clipboard = std::make_unique<InProcessClipboard>();
    return editor;
}

struct Session {
    Editor ed;
    TimePoint now = TimePoint{} + 1h;

    explicit Session(std::vector<std::string> lines = {""}, int width = 80, int height = 24)
        : ed(make_editor(std::move(lines), width, height))
    {
    }

    // A fresh document as marked up (see editor_state.hpp), with no history,
    // and the view on the cursor as keys would have left it; the screen, the
    // file and everything else stay.
    void load(std::string_view marked_text)
    {
        Marked m = parse_marked(marked_text);
        ed.buffer.replace_lines(std::move(m.lines));
        ed.buffer.modified = false;
        ed.history = History{};
        ed.cursor = m.cursor;
        ed.anchor = m.anchor;
        ed.top_line = ed.left_column = 0;
        keep_cursor_visible(ed);
    }

    bool send(const term::Event& event, std::chrono::milliseconds gap = 1000ms)
    {
        now += gap;
        return handle_event(ed, event, now);
    }
    // Keys in the notation of keys.hpp.
    void press(std::string_view keys)
    {
        for (const KeyStep& step : parse_keys(keys)) send(step.event, step.gap);
    }
    bool key(KeyCode code, term::KeyModifiers modifiers = term::NONE,
             term::KeyEventKind kind = term::KeyEventKind::Press)
    {
        return send(term::KeyEvent{code, modifiers, kind});
    }
    bool key(Key k, term::KeyModifiers modifiers = term::NONE) { return key(KeyCode{k}, modifiers); }
    bool ch(char32_t c, term::KeyModifiers modifiers = term::NONE) { return key(KeyCode::character(c), modifiers); }
    bool ctrl(char32_t c) { return ch(c, term::CONTROL); }
    void type(std::u32string_view text)
    {
        for (char32_t c : text) ch(c);
    }
    bool mouse(term::MouseEventKind kind, std::uint16_t x, std::uint16_t y, std::chrono::milliseconds gap = 1000ms)
    {
        return send(term::MouseEvent{kind, term::MouseButton::Left, x, y, term::NONE}, gap);
    }
    void click(std::uint16_t x, std::uint16_t y)
    {
        mouse(term::MouseEventKind::Down, x, y);
        mouse(term::MouseEventKind::Up, x, y, 10ms);
    }

    std::vector<std::string> lines() const { return lines_of(ed); }
    std::string text() const { return text_of(ed); }
    std::string marked() const { return test_support::marked(ed); }
    const std::string& message() const { return ed.status_message.text; }
    // The message line once the keys are pressed.
    const std::string& message_after(std::string_view keys)
    {
        press(keys);
        return message();
    }
};

}  // namespace test_support
