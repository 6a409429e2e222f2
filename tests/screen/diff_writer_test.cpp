// The writer sends only what changed between frames. Whatever the editor
// does, a terminal fed those differences one frame after another must show
// exactly what a terminal shows that is sent the whole last frame: every
// cell's character and colours, and the cursor.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "editor/dispatch.hpp"
#include "editor/palette.hpp"
#include "editor/render.hpp"
#include "screen/support/frame.hpp"
#include "terminal/input_decoder.hpp"
#include "terminal/vt_writer.hpp"

namespace {

using term::Key;
using term::KeyCode;

std::string random_line(std::mt19937& random)
{
    // Wide characters (emoji, CJK) and combining marks (also one starting a
    // line) among the rest, so that they are cut by the edges, shifted along
    // their rows and overwritten by halves.
    static const std::string long_line = "long line of text that goes past the right edge of the screen ";
    static const std::string long_cjk = "日本語の長い行は画面の右端を越えて続きます";
    static const std::vector<std::string> pieces = {"word ",  "so'z ",        "слово ", "\t",     "x",       "é",
                                                    "ё",      "  ",           "a\x01b", "😀",      "日本語",  "e\u0301",
                                                    "\u0301", "\u0301\u0302", "⌚x👍",    "漢字。", long_line, long_cjk};
    std::string line;
    const auto count = std::uniform_int_distribution<int>(0, 8)(random);
    for (int i = 0; i < count; ++i) line += pieces[random() % pieces.size()];
    return line;
}

term::Event random_event(std::mt19937& random)
{
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const auto key = [](KeyCode code, term::KeyModifiers modifiers = term::NONE) {
        return term::Event(term::KeyEvent{code, modifiers, term::KeyEventKind::Press});
    };
    static const std::vector<Key> moves = {Key::Left, Key::Right, Key::Up,     Key::Down,
                                           Key::Home, Key::End,   Key::PageUp, Key::PageDown};
    static const std::u32string typed = U"abc xyzЖжé\t日😀\u0301";
    static const std::u32string chords = U"acdefhklnpqsvxyz";
    switch (pick(12)) {
    case 0:
    case 1:
    case 2: return key(KeyCode::character(typed[static_cast<std::size_t>(pick(static_cast<int>(typed.size())))]));
    case 3: return key(KeyCode{moves[static_cast<std::size_t>(pick(8))], 0, 0});
    case 4: return key(KeyCode{moves[static_cast<std::size_t>(pick(8))], 0, 0}, term::SHIFT);
    case 5: {
        static const std::vector<Key> edits = {Key::Enter, Key::Backspace, Key::Delete, Key::Esc, Key::Tab};
        return key(KeyCode{edits[static_cast<std::size_t>(pick(5))], 0, 0});
    }
    case 6:
        return key(KeyCode::character(chords[static_cast<std::size_t>(pick(static_cast<int>(chords.size())))]),
                   term::CONTROL);
    case 7: return key(KeyCode{pick(2) ? Key::Up : Key::Down, 0, 0}, term::CONTROL);
    case 8: return key(KeyCode::function(1));
    case 9:
        return term::ResizeEvent{static_cast<std::uint16_t>(1 + pick(70)), static_cast<std::uint16_t>(1 + pick(30))};
    case 10: {
        static const std::vector<term::MouseEventKind> kinds = {
            term::MouseEventKind::Down,  term::MouseEventKind::Drag,       term::MouseEventKind::Up,
            term::MouseEventKind::Moved, term::MouseEventKind::ScrollDown, term::MouseEventKind::ScrollUp};
        return term::MouseEvent{kinds[static_cast<std::size_t>(pick(6))], term::MouseButton::Left,
                                static_cast<std::uint16_t>(pick(72)), static_cast<std::uint16_t>(pick(32)), term::NONE};
    }
    default: return key(KeyCode::character(U'1' + static_cast<char32_t>(pick(9))));
    }
}

std::string describe_difference(const VtermScreen& diffed, const VtermScreen& whole)
{
    for (int r = 0; r < whole.height(); ++r)
        for (int c = 0; c < whole.width(); ++c) {
            const Cell a = diffed.cell(r, c);
            const Cell b = whole.cell(r, c);
            if (!(a == b))
                return "cell " + std::to_string(r) + "," + std::to_string(c) + ": '" + a.glyph + "' vs '" + b.glyph +
                       "'\n  diffed row: " + diffed.text(r) + "\n  whole row:  " + whole.text(r);
        }
    if (diffed.cursor_row() != whole.cursor_row() || diffed.cursor_column() != whole.cursor_column())
        return "cursor " + std::to_string(diffed.cursor_row()) + "," + std::to_string(diffed.cursor_column()) + " vs " +
               std::to_string(whole.cursor_row()) + "," + std::to_string(whole.cursor_column());
    return {};
}

}  // namespace

TEST(DiffWriter, FramesOfDifferencesShowWhatAWholeFrameShows)
{
    for (unsigned seed = 1; seed <= 60; ++seed) {
        std::mt19937 random(seed);
        std::vector<std::string> lines;
        const int count = std::uniform_int_distribution<int>(1, 60)(random);
        for (int i = 0; i < count; ++i) lines.push_back(random_line(random));
        Editor editor = make_editor(lines, 40, 12);

        Frame frame;
        term::VtWriter writer(style::PALETTE);
        VtermScreen diffed(editor.screen_width, editor.screen_height);
        auto now = TimePoint{} + std::chrono::hours(1);
        for (int step = 0; step < 150; ++step) {
            const term::Event event = random_event(random);
            now += std::chrono::milliseconds(std::uniform_int_distribution<int>(1, 700)(random));
            handle_event(editor, event, now);
            if (editor.quit_requested) break;
            if (diffed.width() != editor.screen_width || diffed.height() != editor.screen_height)
                diffed.resize(editor.screen_width, editor.screen_height);

            render(editor, frame);
            term::Output out;
            writer.write(frame.grid, out);
            ASSERT_TRUE(out.flush());
            ASSERT_NO_THROW(diffed.feed(out.written())) << "seed " << seed << ", step " << step;

            VtermScreen whole(editor.screen_width, editor.screen_height);
            whole.feed(frame_bytes(editor));
            const std::string difference = describe_difference(diffed, whole);
            ASSERT_EQ(difference, "") << "seed " << seed << ", step " << step << ": " << term::describe(event);
        }
    }
}

// A grid made anew over an earlier frame (a resize) is blank, whatever that
// frame held: drawn on in part, in any order, it holds and shows what a new
// grid drawn the same way does, rows not drawn on included.
TEST(DiffWriter, AGridResetOverAnEarlierFrameStartsBlank)
{
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 random(seed);
        const auto pick = [&](unsigned n) { return static_cast<std::uint16_t>(random() % n); };
        term::Grid reused(40, 10);
        for (std::uint16_t r = 0; r < 10; ++r) reused.put(pick(5), r, random_line(random), style::SELECTION);
        const std::uint16_t width = 10 + pick(40);
        const std::uint16_t height = 3 + pick(12);
        reused.reset(width, height);
        term::Grid fresh(width, height);
        for (int k = 0; k < height; ++k) {
            const std::uint16_t row = pick(height);
            const std::uint16_t column = pick(width);
            const std::string text = random_line(random);
            for (term::Grid* grid : {&reused, &fresh}) {
                if (k % 3 == 0)
                    grid->fill(column, row, 2, U'│', style::THUMB);
                else
                    grid->put(column, row, text, style::PLAIN);
            }
        }
        VtermScreen shown_reused(width, height);
        VtermScreen shown_fresh(width, height);
        for (auto [grid, screen] : {std::pair{&reused, &shown_reused}, std::pair{&fresh, &shown_fresh}}) {
            term::VtWriter writer(style::PALETTE);
            term::Output out;
            writer.write(*grid, out);
            ASSERT_TRUE(out.flush());
            screen->feed(out.written());
        }
        ASSERT_EQ(describe_difference(shown_reused, shown_fresh), "") << "seed " << seed;
        for (std::uint16_t r = 0; r < height; ++r)
            ASSERT_TRUE(std::equal(reused.row(r), reused.row(r) + width, fresh.row(r)))
                << "seed " << seed << ", row " << r;
    }
}
