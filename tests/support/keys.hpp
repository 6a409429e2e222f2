#pragma once
// Keys, clicks and the clock written as a short string, so that a test reads
// as what the user presses:
//
//   abc              every other character is typed as itself, without a
//                    modifier ("\n" is the LF character, not Enter)
//   <Enter> <Tab> <BackTab> <BS> <Del> <Ins> <Esc> <Left> <Right> <Up> <Down>
//   <Home> <End> <PgUp> <PgDn> <F1> ... <F12>     the named keys
//   <C-z> <S-Left> <C-S-Right> <A-x> <M-x>        with Ctrl, Shift, Alt, Meta,
//                    before a key name or a single character (<S-Ж>, <C-->)
//   <lt>             the character '<'
//   <Press:x,y> <Drag:x,y> <Release:x,y> <Move:x,y>   the left button and the
//                    pointer at a 0-based cell; <Click:x,y> is a press and,
//                    10 ms later, a release
//   <WheelUp> <WheelDown> <WheelLeft> <WheelRight>    a wheel notch
//   <Resize:w,h>     the terminal's new size
//   <+80ms>          the next event comes 80 ms after the previous one;
//                    otherwise a second passes, so two clicks are never a
//                    double click and two notches never accelerate

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "terminal/event.hpp"
#include "text/utf8.hpp"

namespace test_support {

struct KeyStep {
    term::Event event;
    std::chrono::milliseconds gap{1000};
};

namespace detail {

inline std::pair<std::uint16_t, std::uint16_t> cell_of(std::string_view text)
{
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) throw std::invalid_argument("no x,y in <" + std::string(text) + ">");
    return {static_cast<std::uint16_t>(std::stoi(std::string(text.substr(0, comma)))),
            static_cast<std::uint16_t>(std::stoi(std::string(text.substr(comma + 1))))};
}

inline bool named_key(std::string_view name, term::KeyCode& code)
{
    using term::Key;
    static const std::pair<std::string_view, Key> NAMES[] = {
        {"Enter", Key::Enter}, {"Tab", Key::Tab},     {"BackTab", Key::BackTab}, {"BS", Key::Backspace},
        {"Del", Key::Delete},  {"Ins", Key::Insert},  {"Esc", Key::Esc},         {"Left", Key::Left},
        {"Right", Key::Right}, {"Up", Key::Up},       {"Down", Key::Down},       {"Home", Key::Home},
        {"End", Key::End},     {"PgUp", Key::PageUp}, {"PgDn", Key::PageDown},
    };
    for (const auto& [text, key] : NAMES) {
        if (name == text) {
            code = term::KeyCode{key};
            return true;
        }
    }
    if (name.size() >= 2 && name[0] == 'F' && name.find_first_not_of("0123456789", 1) == std::string_view::npos) {
        code = term::KeyCode::function(static_cast<std::uint8_t>(std::stoi(std::string(name.substr(1)))));
        return true;
    }
    if (name == "lt") {
        code = term::KeyCode::character(U'<');
        return true;
    }
    std::size_t at = 0;
    const char32_t c = utf8::next(name, at);
    if (at != name.size()) return false;
    code = term::KeyCode::character(c);
    return true;
}

// What stands between < and >.
inline std::vector<KeyStep> bracketed(std::string_view inside, std::chrono::milliseconds gap)
{
    using term::MouseEvent;
    using term::MouseEventKind;
    const std::size_t colon = inside.find(':');
    const std::string_view name = inside.substr(0, colon);
    const std::string_view cell = colon == std::string_view::npos ? "5,5" : inside.substr(colon + 1);
    auto mouse = [&](MouseEventKind kind) {
        const auto [x, y] = cell_of(cell);
        return term::Event{MouseEvent{kind, term::MouseButton::Left, x, y, term::NONE}};
    };
    static const std::pair<std::string_view, MouseEventKind> MOUSE[] = {
        {"Press", MouseEventKind::Down},           {"Drag", MouseEventKind::Drag},
        {"Release", MouseEventKind::Up},           {"Move", MouseEventKind::Moved},
        {"WheelUp", MouseEventKind::ScrollUp},     {"WheelDown", MouseEventKind::ScrollDown},
        {"WheelLeft", MouseEventKind::ScrollLeft}, {"WheelRight", MouseEventKind::ScrollRight},
    };
    for (const auto& [text, kind] : MOUSE)
        if (name == text) return {{mouse(kind), gap}};
    if (name == "Click")
        return {{mouse(MouseEventKind::Down), gap}, {mouse(MouseEventKind::Up), std::chrono::milliseconds(10)}};
    if (name == "Resize") {
        const auto [w, h] = cell_of(cell);
        return {{term::ResizeEvent{w, h}, gap}};
    }

    term::KeyModifiers modifiers = term::NONE;
    std::string_view rest = inside;
    while (rest.size() > 2 && rest[1] == '-') {
        const char m = rest[0];
        if (m == 'C')
            modifiers |= term::CONTROL;
        else if (m == 'S')
            modifiers |= term::SHIFT;
        else if (m == 'A')
            modifiers |= term::ALT;
        else if (m == 'M')
            modifiers |= term::META;
        else
            break;
        rest.remove_prefix(2);
    }
    term::KeyCode code;
    if (!named_key(rest, code)) throw std::invalid_argument("unknown key <" + std::string(inside) + ">");
    return {{term::KeyEvent{code, modifiers}, gap}};
}

}  // namespace detail

// The events a key string stands for, each with the time since the one before.
inline std::vector<KeyStep> parse_keys(std::string_view keys)
{
    using namespace std::chrono_literals;
    std::vector<KeyStep> steps;
    std::chrono::milliseconds gap = 1000ms;
    for (std::size_t at = 0; at < keys.size();) {
        if (keys[at] != '<') {
            steps.push_back({term::KeyEvent{term::KeyCode::character(utf8::next(keys, at))}, gap});
            gap = 1000ms;
            continue;
        }
        const std::size_t close = keys.find('>', at + 2);
        if (close == std::string_view::npos) throw std::invalid_argument("no > in " + std::string(keys));
        const std::string_view inside = keys.substr(at + 1, close - at - 1);
        at = close + 1;
        if (inside.size() > 3 && inside.front() == '+' && inside.ends_with("ms")) {
            gap = std::chrono::milliseconds(std::stoi(std::string(inside.substr(1))));
            continue;
        }
        for (KeyStep& step : detail::bracketed(inside, gap)) steps.push_back(std::move(step));
        gap = 1000ms;
    }
    return steps;
}

}  // namespace test_support
