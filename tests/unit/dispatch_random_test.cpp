#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "clipboard/clipboard.hpp"
#include "editor/dispatch.hpp"

// Long random runs of events through the whole editor: keys of every table
// in every mode, the mouse, resizes down to nothing. Whatever happens, the
// editor must not fail and the cursor and anchor must name existing text.

namespace {

using namespace std::chrono_literals;
using term::Key;

const Key KEYS[] = {
    Key::Backspace, Key::Enter,  Key::Left,     Key::Right, Key::Up,       Key::Down,   Key::Home,
    Key::End,       Key::PageUp, Key::PageDown, Key::Tab,   Key::BackTab,  Key::Delete, Key::Insert,
    Key::F,         Key::Char,   Key::Null,     Key::Esc,   Key::CapsLock, Key::Media,  Key::Modifier,
};

// Letters that are bound with Ctrl come up often, so that the prompts, the
// menu, undo and the clipboard all get their turn; a and b most of all, so
// that searches find something.
const std::u32string CHARACTERS = U"aaaaaaaaaabbbbbacdefhklnpqsvxyzxxhhffnnzzyy1234567890 gABZ.,;ж😀\u00e9";

struct Runner {
    std::mt19937 rng;
    Editor ed;
    TimePoint now = TimePoint{} + 1h;

    explicit Runner(unsigned seed, std::vector<std::string> lines) : rng(seed)
    {
        ed.buffer = Buffer(std::move(lines));
        ed.clipboard = std::make_unique<InProcessClipboard>();
        ed.screen_width = 40;
        ed.screen_height = 12;
    }

    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(rng() % n); }

    term::KeyEvent random_key()
    {
        term::KeyEvent key;
        Key k = KEYS[below(std::size(KEYS))];
        // Prompts are left soon, mostly by Enter, so that short search texts
        // find matches and replacements run.
        if (ed.mode != Mode::Normal && below(3) == 0) k = Key::Enter;
        key.code.key = k;
        if (k == Key::Char) key.code.ch = CHARACTERS[below(static_cast<std::uint32_t>(CHARACTERS.size()))];
        if (k == Key::F) key.code.f = static_cast<std::uint8_t>(1 + below(12));
        const std::uint32_t m = below(10);
        key.modifiers = m < 4   ? term::NONE
                        : m < 7 ? term::CONTROL
                        : m < 8 ? term::SHIFT
                        : m < 9 ? term::CONTROL | term::SHIFT
                                : term::ALT;
        const std::uint32_t kind = below(20);
        key.kind = kind == 0   ? term::KeyEventKind::Release
                   : kind == 1 ? term::KeyEventKind::Repeat
                               : term::KeyEventKind::Press;
        return key;
    }

    term::MouseEvent random_mouse()
    {
        term::MouseEvent mouse;
        mouse.kind = static_cast<term::MouseEventKind>(below(8));
        mouse.column = static_cast<std::uint16_t>(below(ed.screen_width + 3u));
        mouse.row = static_cast<std::uint16_t>(below(ed.screen_height + 3u));
        return mouse;
    }

    term::Event random_event()
    {
        const std::uint32_t what = below(100);
        if (what < 6) {
            // The chords of searching and replacing, which plain chance
            // would seldom press.
            static constexpr char32_t SEARCH_CHORDS[] = {U'f', U'h', U'h', U'n', U'p', U'a', U'z'};
            return term::KeyEvent{term::KeyCode::character(SEARCH_CHORDS[below(std::size(SEARCH_CHORDS))]),
                                  term::CONTROL};
        }
        if (what < 80) return random_key();
        if (what < 97) return random_mouse();
        // Mostly usable sizes, sometimes none at all.
        if (below(3) == 0)
            return term::ResizeEvent{static_cast<std::uint16_t>(below(4)), static_cast<std::uint16_t>(below(4))};
        return term::ResizeEvent{static_cast<std::uint16_t>(10 + below(60)), static_cast<std::uint16_t>(3 + below(30))};
    }

    // Gaps around the double-click and wheel windows.
    void advance_clock()
    {
        static constexpr std::chrono::milliseconds GAPS[] = {1ms, 50ms, 79ms, 80ms, 200ms, 399ms, 400ms, 2s};
        now += GAPS[below(std::size(GAPS))];
    }
};

std::string describe(const Editor& ed)
{
    std::string text = "cursor " + std::to_string(ed.cursor.row) + ":" + std::to_string(ed.cursor.column);
    if (ed.anchor) text += " anchor " + std::to_string(ed.anchor->row) + ":" + std::to_string(ed.anchor->column);
    text += " lines " + std::to_string(ed.buffer.line_count());
    return text;
}

// The event as a short line, for the failure report.
std::string describe(const term::Event& event)
{
    if (const auto* key = std::get_if<term::KeyEvent>(&event)) {
        return "key " + std::to_string(static_cast<int>(key->code.key)) + " ch " +
               std::to_string(static_cast<std::uint32_t>(key->code.ch)) + " f " + std::to_string(key->code.f) +
               " modifiers " + std::to_string(key->modifiers) + " kind " + std::to_string(static_cast<int>(key->kind));
    }
    if (const auto* mouse = std::get_if<term::MouseEvent>(&event)) {
        return "mouse " + std::to_string(static_cast<int>(mouse->kind)) + " at " + std::to_string(mouse->column) + "," +
               std::to_string(mouse->row);
    }
    const auto& resize = std::get<term::ResizeEvent>(event);
    return "resize " + std::to_string(resize.columns) + "x" + std::to_string(resize.rows);
}

void check_state(const Editor& ed)
{
    ASSERT_GE(ed.buffer.line_count(), 1u);
    ASSERT_LT(ed.cursor.row, ed.buffer.line_count()) << describe(ed);
    ASSERT_LE(ed.cursor.column, ed.buffer.line_len(ed.cursor.row)) << describe(ed);
    if (ed.anchor) {
        ASSERT_LT(ed.anchor->row, ed.buffer.line_count()) << describe(ed);
        ASSERT_LE(ed.anchor->column, ed.buffer.line_len(ed.anchor->row)) << describe(ed);
    }
    // At most one of a prompt, the menu and help is active.
    if (ed.help_visible || ed.encoding_menu_open) {
        ASSERT_EQ(ed.mode, Mode::Normal);
    }
    ASSERT_FALSE(ed.help_visible && ed.encoding_menu_open);
    if (ed.current_match) {
        ASSERT_LT(*ed.current_match, ed.matches.size());
    }
    for (std::uint64_t row = 0; row < ed.buffer.line_count(); ++row)
        ASSERT_EQ(ed.buffer.line(row).find('\n'), std::string_view::npos);
}

}  // namespace

TEST(DispatchRandom, LongEventRunsKeepTheCursorAndAnchorInTheDocument)
{
    const std::vector<std::vector<std::string>> documents = {
        {""},
        {"one", "", "three ж😀", "x"},
        {"foo_bar baz", "  (x) == y", "aaaa", "abab abab", "", "the end"},
    };
    for (unsigned seed = 1; seed <= 24; ++seed) {
        Runner run(seed, documents[seed % documents.size()]);
        for (int step = 0; step < 4000; ++step) {
            const term::Event event = run.random_event();
            run.advance_clock();
            const bool redraw = handle_event(run.ed, event, run.now);
            if (const auto* key = std::get_if<term::KeyEvent>(&event)) {
                // A modifier or lock key alone is no key press.
                const bool alone = key->code.key == Key::CapsLock || key->code.key == Key::Modifier;
                EXPECT_EQ(redraw, key->kind == term::KeyEventKind::Press && !alone);
            } else {
                EXPECT_TRUE(redraw);
            }
            ASSERT_NO_FATAL_FAILURE(check_state(run.ed))
                << "seed " << seed << ", step " << step << ": " << describe(event) << ", mode "
                << static_cast<int>(run.ed.mode);
            EXPECT_EQ(run.ed.now, run.now);
        }
    }
}
