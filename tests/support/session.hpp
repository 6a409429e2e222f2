#pragma once
// The whole editor driven by events, as a user drives it: keys, clicks and
// the wheel through handle_event, with a clock that moves on a second per
// event unless told otherwise (so two clicks are never a double click).

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "clipboard/clipboard.hpp"
#include "editor/dispatch.hpp"

namespace test_support {

using namespace std::chrono_literals;
using term::Key;
using term::KeyCode;

constexpr Position at(std::uint64_t row, std::uint64_t column) { return {row, column}; }

struct Session {
    Editor ed;
    TimePoint now = TimePoint{} + 1h;

    explicit Session(std::vector<std::string> lines, std::uint16_t width = 80, std::uint16_t height = 24)
    {
        ed.buffer = Buffer(std::move(lines));
        ed.screen_width = width;
        ed.screen_height = height;
        ed.clipboard = std::make_unique<InProcessClipboard>();
    }

    bool send(const term::Event& event, std::chrono::milliseconds gap = 1000ms)
    {
        now += gap;
        return handle_event(ed, event, now);
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

    std::vector<std::string> lines() const
    {
        std::vector<std::string> all;
        for (std::uint64_t row = 0; row < ed.buffer.line_count(); ++row) all.emplace_back(ed.buffer.line(row));
        return all;
    }
    const std::string& message() const { return ed.status_message.text; }

    std::string text() const
    {
        std::string all;
        for (std::uint64_t row = 0; row < ed.buffer.line_count(); ++row) {
            if (row > 0) all += '\n';
            all += ed.buffer.line(row);
        }
        return all;
    }
};

}  // namespace test_support
