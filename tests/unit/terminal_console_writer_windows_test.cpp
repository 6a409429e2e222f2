// The screen drawn through the console's own functions, as on a console
// without VT sequences (asked for with ZEP_LEGACY_CONSOLE=1), read back from
// a real console with ReadConsoleOutputW: the frames the editor writes, the
// colours that tell its parts apart, the cursor, a resized window, and the
// user's screen buffer given back untouched. Run inside a console (under
// Wine: a pseudo-terminal, as tests/windows/in_console.py provides).

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "editor/messages.hpp"
#include "editor/palette.hpp"
#include "editor/render.hpp"
#include "support/session.hpp"
#include "terminal/guard.hpp"
#include "terminal/input_decoder.hpp"
#include "terminal/terminal.hpp"
#include "text/utf8.hpp"

namespace {

using namespace std::chrono_literals;

HANDLE open_device(const wchar_t* name)
{
    return ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         0, nullptr);
}

// The user's screen buffer: the one active when the tests start.
HANDLE user_screen()
{
    static const HANDLE handle = open_device(L"CONOUT$");
    return handle;
}

// What a screen buffer holds.
struct Shown {
    COORD size{};
    SMALL_RECT window{};
    COORD cursor{};
    bool cursor_visible = false;
    std::vector<CHAR_INFO> cells;

    const CHAR_INFO& at(int column, int row) const { return cells[static_cast<std::size_t>(row * size.X + column)]; }
    WORD attributes(int column, int row) const { return at(column, row).Attributes; }
    // Columns [from, to) of a row as UTF-8.
    std::string text(int row, int from = 0, int to = -1) const
    {
        std::string text;
        for (int c = from; c < (to < 0 ? size.X : to); ++c) utf8::append(text, at(c, row).Char.UnicodeChar);
        return text;
    }
    // The column where `text` (UTF-8, one cell a character) starts in a row, or -1.
    int find(int row, std::string_view text) const
    {
        std::u32string wanted;
        for (std::size_t i = 0; i < text.size();) {
            const utf8::Decoded d = utf8::decode(text.substr(i));
            wanted.push_back(d.c);
            i += d.length;
        }
        for (int c = 0; c + static_cast<int>(wanted.size()) <= size.X; ++c) {
            int k = 0;
            while (k < static_cast<int>(wanted.size()) && at(c + k, row).Char.UnicodeChar == wanted[k]) ++k;
            if (k == static_cast<int>(wanted.size())) return c;
        }
        return -1;
    }
    friend bool operator==(const Shown& a, const Shown& b)
    {
        if (a.size.X != b.size.X || a.size.Y != b.size.Y || a.cursor.X != b.cursor.X || a.cursor.Y != b.cursor.Y ||
            a.cursor_visible != b.cursor_visible)
            return false;
        for (std::size_t i = 0; i < a.cells.size(); ++i)
            if (a.cells[i].Char.UnicodeChar != b.cells[i].Char.UnicodeChar ||
                a.cells[i].Attributes != b.cells[i].Attributes)
                return false;
        return true;
    }
};

Shown read_screen(HANDLE screen)
{
    Shown shown;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    EXPECT_TRUE(::GetConsoleScreenBufferInfo(screen, &info)) << ::GetLastError();
    CONSOLE_CURSOR_INFO cursor{};
    EXPECT_TRUE(::GetConsoleCursorInfo(screen, &cursor));
    shown.size = info.dwSize;
    shown.window = info.srWindow;
    shown.cursor = info.dwCursorPosition;
    shown.cursor_visible = cursor.bVisible != 0;
    shown.cells.resize(static_cast<std::size_t>(info.dwSize.X * info.dwSize.Y));
    SMALL_RECT region{0, 0, static_cast<SHORT>(info.dwSize.X - 1), static_cast<SHORT>(info.dwSize.Y - 1)};
    EXPECT_TRUE(::ReadConsoleOutputW(screen, shown.cells.data(), info.dwSize, COORD{0, 0}, &region))
        << ::GetLastError();
    return shown;
}

// A buffer of the window's size, the window at its origin: nothing to
// scroll back to.
void expect_window_sized(const Shown& shown, int columns, int rows)
{
    EXPECT_EQ(shown.size.X, columns);
    EXPECT_EQ(shown.size.Y, rows);
    EXPECT_EQ(shown.window.Left, 0);
    EXPECT_EQ(shown.window.Top, 0);
    EXPECT_EQ(shown.window.Right, columns - 1);
    EXPECT_EQ(shown.window.Bottom, rows - 1);
}

// The active screen buffer, which CONOUT$ always opens.
Shown read_active_screen()
{
    const HANDLE active = open_device(L"CONOUT$");
    Shown shown = read_screen(active);
    ::CloseHandle(active);
    return shown;
}

std::string describe(const Shown& shown)
{
    std::string text;
    for (int r = 0; r < shown.size.Y; ++r) text += "|" + shown.text(r) + "|\n";
    return text;
}

// The colours the user's console has, unlike any zep picks for itself, so
// that text shown in them is seen to keep them.
constexpr WORD USER_ATTRIBUTES = FOREGROUND_GREEN | FOREGROUND_INTENSITY;
constexpr COORD USER_CURSOR{5, 3};
const std::wstring USER_TEXT = L"foydalanuvchi ekrani";

// An editor on the real console, with the screen set up and every frame
// written as zep.exe writes them. ZEP_LEGACY_CONSOLE=1 for as long as it
// lives.
struct ConsoleEditor {
    struct LegacyConsole {
        LegacyConsole() { ::SetEnvironmentVariableW(L"ZEP_LEGACY_CONSOLE", L"1"); }
        ~LegacyConsole() { ::SetEnvironmentVariableW(L"ZEP_LEGACY_CONSOLE", nullptr); }
    } legacy;
    term::TerminalGuard guard{1};
    test_support::Session session;
    Frame frame;
    std::unique_ptr<term::FrameWriter> writer = term::make_frame_writer(style::PALETTES, guard.output());

    explicit ConsoleEditor(std::vector<std::string> lines) : session(std::move(lines))
    {
        session.ed.buffer.path = "matn.txt";
        set_message(session.ed, msg::STARTUP_HINT);
        resized();
    }
    // The editor told the window's size, as a resize event does.
    void resized()
    {
        const auto size = term::size();
        ASSERT_TRUE(size);
        session.ed.screen_width = size->columns;
        session.ed.screen_height = size->rows;
    }
    void draw()
    {
        render(session.ed, frame);
        const auto written = writer->write(frame.grid);
        ASSERT_TRUE(written) << written.error().message;
    }
};

class ConsoleOutput : public testing::Test {
protected:
    void SetUp() override
    {
        DWORD mode = 0;
        if (!::GetConsoleMode(user_screen(), &mode)) GTEST_SKIP() << "no console attached to this process";
        ASSERT_TRUE(::GetConsoleScreenBufferInfo(user_screen(), &user_info_));
        // Something of the user's on the screen, in colours of their own.
        ASSERT_TRUE(::SetConsoleTextAttribute(user_screen(), USER_ATTRIBUTES));
        for (SHORT row = 0; row < 3; ++row) {
            DWORD n = 0;
            ASSERT_TRUE(::WriteConsoleOutputCharacterW(user_screen(), USER_TEXT.data(),
                                                       static_cast<DWORD>(USER_TEXT.size()), COORD{0, row}, &n));
            ASSERT_TRUE(::FillConsoleOutputAttribute(user_screen(), USER_ATTRIBUTES,
                                                     static_cast<DWORD>(user_info_.dwSize.X), COORD{0, row}, &n));
        }
        ASSERT_TRUE(::SetConsoleCursorPosition(user_screen(), USER_CURSOR));
        user_before_ = read_screen(user_screen());
    }
    void TearDown() override
    {
        if (IsSkipped()) return;
        if (editor_) quit();
        ::SetConsoleTextAttribute(user_screen(), user_info_.wAttributes);
    }

    ConsoleEditor& start(std::vector<std::string> lines)
    {
        editor_.emplace(std::move(lines));
        EXPECT_FALSE(editor_->guard.failure());
        return *editor_;
    }

    // The editor ends; the user's screen buffer must be the active one
    // again, exactly as it was.
    void quit()
    {
        editor_.reset();
        const Shown after = read_active_screen();
        EXPECT_TRUE(after == user_before_) << "the active screen after quitting:\n"
                                           << describe(after) << "the user's screen before:\n"
                                           << describe(user_before_);
        EXPECT_EQ(after.text(2, 0, static_cast<int>(USER_TEXT.size())), "foydalanuvchi ekrani");
        EXPECT_EQ(after.attributes(0, 2), USER_ATTRIBUTES);
    }

    std::optional<ConsoleEditor> editor_;

private:
    CONSOLE_SCREEN_BUFFER_INFO user_info_{};
    Shown user_before_;
};

// Events a user might send, at random, for frames that change a little or a lot.
term::Event random_event(std::mt19937& random)
{
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const auto key = [](term::KeyCode code, term::KeyModifiers modifiers = term::NONE) {
        return term::Event(term::KeyEvent{code, modifiers, term::KeyEventKind::Press});
    };
    using term::Key;
    static const std::vector<Key> moves = {Key::Left, Key::Right, Key::Up,     Key::Down,
                                           Key::Home, Key::End,   Key::PageUp, Key::PageDown};
    static const std::u32string typed = U"ab xЖжё\t";
    switch (pick(9)) {
    case 0:
    case 1:
    case 2: return key(term::KeyCode::character(typed[static_cast<std::size_t>(pick(static_cast<int>(typed.size())))]));
    case 3: return key(term::KeyCode{moves[static_cast<std::size_t>(pick(8))], 0, 0});
    case 4: return key(term::KeyCode{moves[static_cast<std::size_t>(pick(8))], 0, 0}, term::SHIFT);
    case 5: {
        static const std::vector<Key> edits = {Key::Enter, Key::Backspace, Key::Delete, Key::Esc};
        return key(term::KeyCode{edits[static_cast<std::size_t>(pick(4))], 0, 0});
    }
    case 6: return key(term::KeyCode::character(U"adlz"[pick(4)]), term::CONTROL);
    case 7: return key(term::KeyCode::function(1));
    default:
        return term::MouseEvent{pick(2) ? term::MouseEventKind::ScrollDown : term::MouseEventKind::ScrollUp,
                                term::MouseButton::Left, 5, 5, term::NONE};
    }
}

}  // namespace

TEST_F(ConsoleOutput, TheFrameReadBackShowsTheBarTheGutterTheTextTheSelectionAndTheCursor)
{
    ConsoleEditor& ed = start({"abc", "Жёлтый цвет", "uchinchi"});
    ed.draw();
    Shown shown = read_active_screen();
    SCOPED_TRACE(describe(shown));
    const int width = ed.session.ed.screen_width;
    const int height = ed.session.ed.screen_height;
    expect_window_sized(shown, width, height);

    const std::string bar = shown.text(0);
    EXPECT_EQ(bar.substr(0, 11), " matn.txt  ");
    EXPECT_EQ(bar.substr(bar.size() - 20), "UTF-8  1:1  3 qator ");
    EXPECT_EQ(shown.text(1, 0, 6), " 1 abc");
    EXPECT_EQ(shown.text(2, 0, 14), " 2 Жёлтый цвет");
    EXPECT_EQ(shown.text(3, 0, 11), " 3 uchinchi");
    EXPECT_EQ(shown.text(height - 1, 0, 25), " Ctrl+S saqlash  |  Ctrl+");

    // Text keeps the user's colours; the gutter and the bar are set apart.
    const WORD text = shown.attributes(3, 1);
    const WORD gutter = shown.attributes(1, 1);
    const WORD status = shown.attributes(0, 0);
    EXPECT_EQ(text, USER_ATTRIBUTES);
    EXPECT_NE(gutter, text);
    EXPECT_NE(status & 0xF0, text & 0xF0) << "the status bar needs a background of its own";
    for (int c = 0; c < width; ++c) EXPECT_EQ(shown.attributes(c, 0), status) << "column " << c;
    EXPECT_EQ(shown.attributes(5, height - 1), status);
    EXPECT_EQ(shown.cursor.X, 3);
    EXPECT_EQ(shown.cursor.Y, 1);
    EXPECT_TRUE(shown.cursor_visible);

    // Three characters of the Cyrillic line selected.
    ed.session.press("<Down><S-Right><S-Right><S-Right>");
    ed.draw();
    shown = read_active_screen();
    const WORD selected = shown.attributes(3, 2);
    EXPECT_EQ(shown.text(2, 3, 6), "Жёл");
    EXPECT_NE(selected & 0xF0, text & 0xF0) << "the selection needs a background of its own";
    EXPECT_NE(selected & 0xF0, status & 0xF0);
    EXPECT_EQ(shown.attributes(4, 2), selected);
    EXPECT_EQ(shown.attributes(5, 2), selected);
    EXPECT_EQ(shown.attributes(6, 2), text);
    EXPECT_EQ(shown.attributes(3, 1), text);
    EXPECT_EQ(shown.cursor.X, 6);
    EXPECT_EQ(shown.cursor.Y, 2);
    EXPECT_EQ(shown.text(0).substr(shown.text(0).size() - 20), "UTF-8  2:4  3 qator ");

    // The help box over it all, in colours of its own.
    ed.session.press("<F1>");
    ed.draw();
    shown = read_active_screen();
    int top = 0, left = -1;
    for (; top < height && left < 0; ++top) left = shown.find(top, "  ZEP — Terminal matn muharriri");
    ASSERT_GE(left, 0) << describe(shown);
    --top;
    const WORD help = shown.attributes(left, top);
    const WORD heading = shown.attributes(left + 2, top + 2);  // NAVIGATSIYA
    EXPECT_EQ(shown.text(top + 2, left, left + 13), "  NAVIGATSIYA");
    EXPECT_NE(help & 0xF0, text & 0xF0) << "the help box needs a background of its own";
    EXPECT_NE(help & 0xF0, status & 0xF0);
    EXPECT_NE(help & 0xF0, selected & 0xF0);
    EXPECT_NE(heading, help);
    EXPECT_NE(shown.attributes(left - 1, top), help) << "the frame stands out";
}

// A console cell holds one UTF-16 unit: a wide character shows in its first
// cell with a blank after it, a character with marks as its base, and one
// beyond the Basic Multilingual Plane as U+FFFD; the columns stay those of a
// terminal, so the cursor stands after the text typed.
TEST_F(ConsoleOutput, WideCharactersAndMarksKeepTheirColumnsOneUnitACell)
{
    ConsoleEditor& ed = start({"日本x", "e\u0301y", "a😀b"});
    ed.session.press("<End>");
    ed.draw();
    Shown shown = read_active_screen();
    SCOPED_TRACE(describe(shown));
    EXPECT_EQ(shown.text(1, 0, 9), " 1 日 本 x ");
    EXPECT_EQ(shown.text(2, 0, 6), " 2 ey ");
    EXPECT_EQ(shown.text(3, 0, 8), " 3 a\uFFFD b ");
    EXPECT_EQ(shown.cursor.X, 8);
    ed.session.press("<Down><Down>");
    ed.draw();
    shown = read_active_screen();
    EXPECT_EQ(shown.cursor.X, 7);
    EXPECT_EQ(shown.cursor.Y, 3);
}

// Whatever the editor does, the differences written frame after frame
// leave in the console exactly what a whole frame writes.
TEST_F(ConsoleOutput, FramesOfDifferencesShowWhatAWholeFrameShows)
{
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::vector<std::string> lines;
    for (int i = 0; i < 60; ++i) lines.push_back(i % 3 ? "qator " + std::to_string(i) + " матн" : "");
    ConsoleEditor& ed = start(lines);
    ed.draw();
    std::map<term::StyleId, WORD> colours;
    for (int step = 0; step < 150; ++step) {
        const term::Event event = random_event(random);
        ed.session.send(event);
        ed.draw();
        const Shown differences = read_active_screen();
        ed.writer->invalidate();
        ed.draw();
        const Shown whole = read_active_screen();
        ASSERT_TRUE(differences == whole)
            << "after " << term::describe(event) << " at step " << step << "\nframes of differences:\n"
            << describe(differences) << "a whole frame:\n"
            << describe(whole);
        // A whole frame shows the grid's characters, each style in one set
        // of colours.
        const term::Grid& grid = ed.frame.grid;
        for (std::uint16_t r = 0; r < grid.height(); ++r)
            for (std::uint16_t c = 0; c < grid.width(); ++c) {
                const term::Cell cell = grid.row(r)[c];
                ASSERT_EQ(whole.at(c, r).Char.UnicodeChar, static_cast<WCHAR>(cell.code_point()))
                    << "row " << r << " column " << c << "\n"
                    << describe(whole);
                const auto [known, added] = colours.emplace(cell.style(), whole.attributes(c, r));
                ASSERT_EQ(known->second, whole.attributes(c, r)) << "style " << cell.style();
            }
        ASSERT_EQ(whole.cursor.X, grid.cursor.column);
        ASSERT_EQ(whole.cursor.Y, grid.cursor.row);
    }
}

// A window made smaller or larger: the editor hears of it, and its screen
// buffer is made the window's size again and written whole.
TEST_F(ConsoleOutput, AResizedWindowGetsABufferOfItsSizeAndAWholeFrame)
{
    ConsoleEditor& ed = start({"abc", "Жёлтый цвет"});
    ed.draw();
    const Shown before = read_active_screen();
    const SHORT width = before.size.X, height = before.size.Y;
    const HANDLE active = open_device(L"CONOUT$");

    // The console shows less of the buffer, as after the user shrank the
    // window; the rest could be scrolled to. And it grows the window again,
    // the buffer first.
    const SMALL_RECT smaller{0, 0, 39, 9};
    const auto grow = [&] {
        const SMALL_RECT whole{0, 0, static_cast<SHORT>(width - 1), static_cast<SHORT>(height - 1)};
        ASSERT_TRUE(::SetConsoleScreenBufferSize(active, before.size)) << ::GetLastError();
        ASSERT_TRUE(::SetConsoleWindowInfo(active, TRUE, &whole)) << ::GetLastError();
    };
    // Made smaller and larger again before the editor hears of it: what
    // the smaller buffer cut off is written again.
    ASSERT_TRUE(::SetConsoleWindowInfo(active, TRUE, &smaller)) << ::GetLastError();
    ed.draw();
    EXPECT_EQ(read_active_screen().size.X, 40);
    grow();
    ed.draw();
    EXPECT_TRUE(read_active_screen() == before) << describe(read_active_screen());

    ASSERT_TRUE(::SetConsoleWindowInfo(active, TRUE, &smaller)) << ::GetLastError();
    for (const auto& [columns, rows] : {std::pair<SHORT, SHORT>{40, 10}, {width, height}}) {
        SCOPED_TRACE("window " + std::to_string(columns) + "x" + std::to_string(rows));
        if (columns == width) grow();
        // The editor learns the size as zep.exe does, from the backend.
        std::optional<term::Event> resize;
        for (int i = 0; i < 10 && !resize; ++i) {
            auto ready = term::poll(600ms);
            ASSERT_TRUE(ready);
            while (*ready) {
                auto event = term::read();
                ASSERT_TRUE(event);
                if (std::holds_alternative<term::ResizeEvent>(*event)) resize = *event;
                ready = term::poll(0ms);
                ASSERT_TRUE(ready);
            }
        }
        ASSERT_TRUE(resize) << "no resize event";
        ed.session.send(*resize);
        ed.draw();
        const Shown shown = read_active_screen();
        SCOPED_TRACE(describe(shown));
        expect_window_sized(shown, columns, rows);
        const std::string bar = shown.text(0);
        EXPECT_EQ(bar.substr(0, 11), " matn.txt  ");
        EXPECT_EQ(bar.substr(bar.size() - 20), "UTF-8  1:1  2 qator ");
        EXPECT_EQ(shown.text(2, 0, 14), " 2 Жёлтый цвет");
        EXPECT_EQ(shown.text(1, columns - 1), "│") << "the scroll bar at the right edge";
    }
    ::CloseHandle(active);
}

// However the editor ends, the guard gives the user's screen buffer back;
// meanwhile no frame touches it.
TEST_F(ConsoleOutput, TheUsersScreenBufferIsNeitherWrittenNorLost)
{
    ConsoleEditor& ed = start({"abc"});
    ed.draw();
    ed.session.press("xyz<F1>");
    ed.draw();
    const Shown user = read_screen(user_screen());
    EXPECT_EQ(user.text(0, 0, static_cast<int>(USER_TEXT.size())), "foydalanuvchi ekrani");
    EXPECT_EQ(user.cursor.X, USER_CURSOR.X);
    EXPECT_EQ(read_active_screen().text(0).substr(0, 9), " matn.txt");
    quit();
    // A second run in the same console starts as the first did.
    start({"ikkinchi"}).draw();
    EXPECT_EQ(read_active_screen().text(1, 0, 11), " 1 ikkinchi");
}
