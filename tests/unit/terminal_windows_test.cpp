// The Windows console backend against a real console: the modes it sets and
// puts back, and input records written into the console's queue coming out
// of poll() and read() as events. Run inside a console (under Wine: a
// pseudo-terminal, as tests/windows/in_console.py provides); without one
// the tests are skipped with the reason.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "support/console_records.hpp"
#include "terminal/guard.hpp"
#include "terminal/input_decoder.hpp"
#include "terminal/terminal.hpp"

namespace {

using namespace std::chrono_literals;

using test_support::console;
using test_support::key_record;
using test_support::mode_of;

bool have_console()
{
    DWORD mode = 0;
    return ::GetConsoleMode(console().input, &mode) && ::GetConsoleMode(console().screen, &mode);
}

#define REQUIRE_CONSOLE()                                                                                              \
    do {                                                                                                               \
        if (!have_console()) GTEST_SKIP() << "no console attached to this process";                                    \
    } while (false)

DWORD input_mode() { return mode_of(console().input); }
DWORD output_mode() { return mode_of(console().screen); }


INPUT_RECORD mouse(SHORT x, SHORT y, DWORD buttons, DWORD flags)
{
    INPUT_RECORD r{};
    r.EventType = MOUSE_EVENT;
    r.Event.MouseEvent.dwMousePosition = {x, y};
    r.Event.MouseEvent.dwButtonState = buttons;
    r.Event.MouseEvent.dwEventFlags = flags;
    return r;
}

void inject(const std::vector<INPUT_RECORD>& records)
{
    DWORD written = 0;
    ASSERT_TRUE(::WriteConsoleInputW(console().input, records.data(), static_cast<DWORD>(records.size()), &written));
    ASSERT_EQ(written, records.size());
}

// Every event that arrives within a short wait, in order, one line each.
std::string drain()
{
    std::string events;
    for (;;) {
        auto ready = term::poll(200ms);
        if (!ready || !*ready) return events;
        auto event = term::read();
        if (!event) return events + "error: " + event.error().message;
        events += term::describe(*event) + "\n";
    }
}

std::string lines(const std::vector<term::Event>& events)
{
    std::string text;
    for (const term::Event& e : events) text += term::describe(e) + "\n";
    return text;
}

term::KeyEvent press(term::KeyCode code, term::KeyModifiers modifiers = term::NONE)
{
    return {code, modifiers, term::KeyEventKind::Press};
}

term::KeyEvent release(term::KeyCode code, term::KeyModifiers modifiers = term::NONE)
{
    return {code, modifiers, term::KeyEventKind::Release};
}

}  // namespace

TEST(WindowsConsole, EditingModesAreSetAndEveryModeAndCodePageComesBack)
{
    REQUIRE_CONSOLE();
    const DWORD original_input = input_mode();
    const DWORD original_output = output_mode();
    const UINT original_code_page = ::GetConsoleOutputCP();

    ASSERT_TRUE(term::enable_raw_mode());
    EXPECT_EQ(input_mode() & (ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT), 0u);
    EXPECT_EQ(input_mode() & ENABLE_VIRTUAL_TERMINAL_INPUT, 0u);
    EXPECT_NE(output_mode() & ENABLE_VIRTUAL_TERMINAL_PROCESSING, 0u);
    EXPECT_EQ(::GetConsoleOutputCP(), 65001u);

    term::Output out(1);
    ASSERT_TRUE(term::enter_editing_input(out));
    EXPECT_NE(input_mode() & ENABLE_MOUSE_INPUT, 0u);
    EXPECT_NE(input_mode() & ENABLE_WINDOW_INPUT, 0u);
    EXPECT_EQ(input_mode() & ENABLE_QUICK_EDIT_MODE, 0u);

    term::leave_editing_input(out);
    ASSERT_TRUE(term::disable_raw_mode());
    EXPECT_EQ(input_mode(), original_input);
    EXPECT_EQ(output_mode(), original_output);
    EXPECT_EQ(::GetConsoleOutputCP(), original_code_page);
}

TEST(WindowsConsole, TheGuardPutsTheConsoleBack)
{
    REQUIRE_CONSOLE();
    const DWORD original_input = input_mode();
    const DWORD original_output = output_mode();
    const UINT original_code_page = ::GetConsoleOutputCP();
    {
        term::TerminalGuard guard(1);
        ASSERT_FALSE(guard.failure());
        EXPECT_NE(input_mode(), original_input);
    }
    EXPECT_EQ(input_mode(), original_input);
    EXPECT_EQ(output_mode(), original_output);
    EXPECT_EQ(::GetConsoleOutputCP(), original_code_page);
}

// The input mode comes back as it was, bit for bit, whether the program
// before set it with the extended flag (which makes it carry quick edit and
// insert mode) or without it (which leaves those settings alone, and hides
// them from GetConsoleMode).
TEST(WindowsConsole, TheInputModeComesBackExactlyWithOrWithoutTheExtendedFlags)
{
    REQUIRE_CONSOLE();
    const DWORD cooked = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT;
    const DWORD settings = ENABLE_QUICK_EDIT_MODE | ENABLE_INSERT_MODE | ENABLE_AUTO_POSITION;
    const DWORD before_all = input_mode();
    const DWORD starts[] = {cooked,
                            cooked | ENABLE_MOUSE_INPUT,
                            ENABLE_WINDOW_INPUT,
                            cooked | ENABLE_EXTENDED_FLAGS | settings,
                            cooked | ENABLE_EXTENDED_FLAGS | ENABLE_INSERT_MODE,
                            ENABLE_EXTENDED_FLAGS};
    for (const DWORD start : starts) {
        SCOPED_TRACE("starting from input mode " + std::to_string(start));
        ASSERT_TRUE(::SetConsoleMode(console().input, start));
        ASSERT_EQ(input_mode(), start);

        ASSERT_TRUE(term::enable_raw_mode());
        term::Output out(1);
        ASSERT_TRUE(term::enter_editing_input(out));
        const DWORD editing = input_mode();
        EXPECT_NE(editing & ENABLE_EXTENDED_FLAGS, 0u);
        EXPECT_EQ(editing & ENABLE_QUICK_EDIT_MODE, 0u);
        EXPECT_EQ(editing & cooked, 0u);
        // Insert mode as the console had it, where the mode tells.
        if (start & ENABLE_EXTENDED_FLAGS) {
            EXPECT_EQ(editing & ENABLE_INSERT_MODE, start & ENABLE_INSERT_MODE);
        }
        term::leave_editing_input(out);
        ASSERT_TRUE(term::disable_raw_mode());
        EXPECT_EQ(input_mode(), start);

        // The same through the guard, as the editor ends.
        {
            ASSERT_TRUE(term::enable_raw_mode());
            term::Output guarded(1);
            ASSERT_TRUE(term::enter_editing_input(guarded));
            term::TerminalGuard guard(1);
        }
        EXPECT_EQ(input_mode(), start);
    }
    ::SetConsoleMode(console().input, before_all);
}

TEST(WindowsConsole, QueuedRecordsComeOutAsEventsInOrder)
{
    REQUIRE_CONSOLE();
    ASSERT_TRUE(term::enable_raw_mode());
    ::FlushConsoleInputBuffer(console().input);
    inject({
        key_record(true, 'A', L'a'),
        key_record(false, 'A', L'a'),
        key_record(true, VK_CONTROL, 0, LEFT_CTRL_PRESSED),
        key_record(true, 'S', 0x13, LEFT_CTRL_PRESSED),
        key_record(false, 'S', 0x13, LEFT_CTRL_PRESSED),
        key_record(false, VK_CONTROL, 0),
        key_record(true, VK_LEFT, 0, SHIFT_PRESSED | ENHANCED_KEY),
        key_record(true, 0, 0xD83D),  // 😀 as the console sends it: two halves
        key_record(true, 0, 0xDE00),
        key_record(true, VK_ESCAPE, 0),
    });
    const std::string events = drain();
    const std::vector<term::Event> expected = {
        press(term::KeyCode::character(U'a')),
        release(term::KeyCode::character(U'a')),
        press({term::Key::Modifier, 0, 0}, term::CONTROL),
        press(term::KeyCode::character(U's'), term::CONTROL),
        release(term::KeyCode::character(U's'), term::CONTROL),
        release({term::Key::Modifier, 0, 0}),
        press({term::Key::Left, 0, 0}, term::SHIFT),
        press(term::KeyCode::character(U'\U0001F600')),
        press({term::Key::Esc, 0, 0}),
    };
    EXPECT_EQ(events, lines(expected));
    ASSERT_TRUE(term::disable_raw_mode());
}

TEST(WindowsConsole, MouseAndBufferSizeRecords)
{
    REQUIRE_CONSOLE();
    ASSERT_TRUE(term::enable_raw_mode());
    ::FlushConsoleInputBuffer(console().input);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    ASSERT_TRUE(::GetConsoleScreenBufferInfo(console().screen, &info));
    const SHORT top = info.srWindow.Top, left = info.srWindow.Left;

    INPUT_RECORD resize{};
    resize.EventType = WINDOW_BUFFER_SIZE_EVENT;
    resize.Event.WindowBufferSizeEvent.dwSize = {info.dwSize.X, 9001};
    inject({
        mouse(static_cast<SHORT>(left + 5), static_cast<SHORT>(top + 3), FROM_LEFT_1ST_BUTTON_PRESSED, 0),
        mouse(static_cast<SHORT>(left + 7), static_cast<SHORT>(top + 3), FROM_LEFT_1ST_BUTTON_PRESSED, MOUSE_MOVED),
        mouse(static_cast<SHORT>(left + 7), static_cast<SHORT>(top + 3), 0, 0),
        mouse(static_cast<SHORT>(left + 7), static_cast<SHORT>(top + 4), static_cast<DWORD>(-120) << 16, MOUSE_WHEELED),
        resize,
    });
    using term::MouseEventKind;
    // A screen buffer with scrollback reports its whole height; the editor
    // gets the window it draws in.
    auto window = term::size();
    ASSERT_TRUE(window);
    EXPECT_EQ(drain(), lines({
                           term::MouseEvent{MouseEventKind::Down, term::MouseButton::Left, 5, 3, term::NONE},
                           term::MouseEvent{MouseEventKind::Drag, term::MouseButton::Left, 7, 3, term::NONE},
                           term::MouseEvent{MouseEventKind::Up, term::MouseButton::Left, 7, 3, term::NONE},
                           term::MouseEvent{MouseEventKind::ScrollDown, term::MouseButton::Left, 7, 4, term::NONE},
                           term::ResizeEvent{window->columns, window->rows},
                       }));
    ASSERT_TRUE(term::disable_raw_mode());
}

TEST(WindowsConsole, PollWithNothingQueuedWaitsItsTimeAndSaysSo)
{
    REQUIRE_CONSOLE();
    ASSERT_TRUE(term::enable_raw_mode());
    ::FlushConsoleInputBuffer(console().input);
    const auto start = std::chrono::steady_clock::now();
    auto ready = term::poll(150ms);
    const auto waited = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(ready);
    EXPECT_FALSE(*ready);
    EXPECT_GE(waited, 140ms);
    EXPECT_LT(waited, 5s);

    // Records that make no event (a key with neither code nor character)
    // do not end the wait early with nothing to read.
    inject({key_record(true, 0, 0), key_record(false, 0, 0)});
    ready = term::poll(150ms);
    ASSERT_TRUE(ready);
    EXPECT_FALSE(*ready);
    ASSERT_TRUE(term::disable_raw_mode());
}

// Not every console sends a record when its window changes size; when a wait
// runs out, the window is measured and a change comes out as a resize.
TEST(WindowsConsole, AWindowThatChangedSizeWithoutARecordIsNoticedWhenAWaitEnds)
{
    REQUIRE_CONSOLE();
    ASSERT_TRUE(term::enable_raw_mode());
    ::FlushConsoleInputBuffer(console().input);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    ASSERT_TRUE(::GetConsoleScreenBufferInfo(console().screen, &info));
    const SMALL_RECT window = info.srWindow;
    auto told = term::size();
    ASSERT_TRUE(told);
    EXPECT_EQ(drain(), "");

    const SMALL_RECT smaller{window.Left, window.Top, static_cast<SHORT>(window.Left + 39),
                             static_cast<SHORT>(window.Top + 9)};
    ASSERT_TRUE(::SetConsoleWindowInfo(console().screen, TRUE, &smaller)) << ::GetLastError();
    EXPECT_EQ(drain(), lines({term::ResizeEvent{40, 10}}));
    // Once told, no more of it.
    EXPECT_EQ(drain(), "");

    ASSERT_TRUE(::SetConsoleWindowInfo(console().screen, TRUE, &window)) << ::GetLastError();
    EXPECT_EQ(drain(), lines({term::ResizeEvent{told->columns, told->rows}}));
    ASSERT_TRUE(term::disable_raw_mode());
}

// Another program reading the same console may take the records the wait
// was woken for. The wait must still end in its time: the 500 ms tick,
// message expiry and Ctrl+Break depend on it.
TEST(WindowsConsole, AnotherReaderOfTheConsoleNeverStallsAWait)
{
    REQUIRE_CONSOLE();
    ASSERT_TRUE(term::enable_raw_mode());
    ::FlushConsoleInputBuffer(console().input);
    // Waits for input and reads what is there, as a program that polls does.
    std::atomic<bool> done{false}, finished{false};
    std::thread other([&] {
        while (!done) {
            if (::WaitForSingleObject(console().input, 20) != WAIT_OBJECT_0) continue;
            DWORD queued = 0;
            INPUT_RECORD records[16];
            DWORD read = 0;
            if (::GetNumberOfConsoleInputEvents(console().input, &queued) && queued > 0)
                ::ReadConsoleInputW(console().input, records, std::min<DWORD>(queued, 16), &read);
        }
        finished = true;
    });
    int stalled = 0;
    for (int i = 0; i < 40 && stalled == 0; ++i) {
        inject({key_record(true, 'A', L'a')});
        auto wait = std::async(std::launch::async, [] { return term::poll(50ms); });
        if (wait.wait_for(5s) == std::future_status::timeout) ++stalled;
        // A stalled wait ends only with more input, as would the other
        // program's read if the wait had the record.
        while (wait.wait_for(50ms) == std::future_status::timeout) inject({key_record(true, 'B', L'b')});
        auto ready = wait.get();
        ASSERT_TRUE(ready) << ready.error().message;
        if (*ready) {
            ASSERT_TRUE(term::read());
        }
    }
    EXPECT_EQ(stalled, 0) << "a wait for 50 ms did not end within 5 s";
    // The other program may itself wait in a read that lost its record.
    done = true;
    for (int i = 0; i < 200 && !finished; ++i) {
        inject({key_record(true, 'C', L'c')});
        std::this_thread::sleep_for(20ms);
    }
    other.join();
    drain();
    ASSERT_TRUE(term::disable_raw_mode());
}
