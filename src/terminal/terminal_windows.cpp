// The Windows backend: console modes for raw input with mouse and window
// events, virtual-terminal output in UTF-8, and events read as console input
// records. What the VT sequences of the POSIX side do for mouse and keys is
// done here with console modes; the screen itself is drawn with the same VT
// sequences (Windows 10 1809 and later interpret them), or, on a console
// that does not interpret them, with the console's own functions in a
// screen buffer of zep's own. Input records are read by a thread of their
// own, so that the main loop only ever waits with a time-out.

#include <windows.h>

#include <io.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <iterator>
#include <mutex>
#include <optional>
#include <vector>

#include "os/wide_text.hpp"
#include "terminal/console_input.hpp"
#include "terminal/console_writer_windows.hpp"
#include "terminal/terminal.hpp"

namespace term {

static_assert(console::right_alt_pressed == RIGHT_ALT_PRESSED && console::left_alt_pressed == LEFT_ALT_PRESSED &&
              console::right_ctrl_pressed == RIGHT_CTRL_PRESSED && console::left_ctrl_pressed == LEFT_CTRL_PRESSED &&
              console::shift_pressed == SHIFT_PRESSED);
static_assert(console::from_left_1st_button_pressed == FROM_LEFT_1ST_BUTTON_PRESSED &&
              console::rightmost_button_pressed == RIGHTMOST_BUTTON_PRESSED &&
              console::from_left_2nd_button_pressed == FROM_LEFT_2ND_BUTTON_PRESSED);
static_assert(console::mouse_moved == MOUSE_MOVED && console::double_click == DOUBLE_CLICK &&
              console::mouse_wheeled == MOUSE_WHEELED && console::mouse_hwheeled == MOUSE_HWHEELED);
static_assert(console::vk_back == VK_BACK && console::vk_tab == VK_TAB && console::vk_return == VK_RETURN &&
              console::vk_escape == VK_ESCAPE && console::vk_left == VK_LEFT && console::vk_down == VK_DOWN &&
              console::vk_prior == VK_PRIOR && console::vk_delete == VK_DELETE && console::vk_f1 == VK_F1 &&
              console::vk_f24 == VK_F24 && console::vk_apps == VK_APPS && console::vk_clear == VK_CLEAR &&
              console::vk_launch_app2 == VK_LAUNCH_APP2);

namespace {

struct Backend {
    HANDLE input = INVALID_HANDLE_VALUE;        // the console's input
    HANDLE screen = INVALID_HANDLE_VALUE;       // the console's active screen, for its modes and size
    std::optional<DWORD> original_input_mode;   // while raw mode is on
    std::optional<DWORD> original_output_mode;  // while raw mode is on
    UINT original_output_code_page = 0;
    bool console_output = false;                // while raw mode is on: frames through the console's functions
    HANDLE own_screen = INVALID_HANDLE_VALUE;   // zep's own screen buffer, while it is the active one
    HANDLE user_screen = INVALID_HANDLE_VALUE;  // meanwhile, the user's, to make active again
    WORD user_attributes = 0;                   // the colours of the user's screen buffer
    std::optional<DWORD> mode_before_mouse;     // while mouse capture is on
    std::optional<Size> last_size;              // the window size the editor was last told
    ConsoleEventMapper mapper;
    std::deque<Event> ready;
    std::optional<IoError> failure;  // a console control event or a lost console; sticks
};

Backend state;

// ReadConsoleInputW waits while the console's queue is empty, and nothing
// can make sure it is not: another program reading the same console may
// empty it between any check and the read (GetNumberOfConsoleInputEvents
// and the read are two calls). So the records are read by a thread of their
// own, which may wait as long as it likes, and handed over here; the main
// loop waits for them, for the control events and for its time-out alike.
struct InputReader {
    HANDLE ready = nullptr;   // set while records or an error wait to be taken
    HANDLE thread = nullptr;  // the last one started
    std::mutex mutex;         // guards what follows
    bool running = false;     // the thread reads, or is about to
    bool reading = false;     // the thread is in its read, or about to be
    bool stopping = false;    // the editor has given the console back
    std::vector<INPUT_RECORD> records;
    std::optional<DWORD> error;
};

InputReader reader;

// Console control events (Ctrl+Break, the window closing, logoff) arrive on
// a thread of their own. The handler only records which one and wakes the
// main thread, which restores the console and ends the run.
std::atomic<DWORD> control_event{~DWORD{0}};
HANDLE wake = nullptr;

BOOL WINAPI on_control_event(DWORD type)
{
    // With processed input off, Ctrl+C pressed in the console is a key (copy);
    // this event can only come from another program, and must not cost the
    // user the unsaved text.
    if (type == CTRL_C_EVENT) return TRUE;
    DWORD none = ~DWORD{0};
    control_event.compare_exchange_strong(none, type);
    if (wake != nullptr) ::SetEvent(wake);
    // For a closing window the system ends the process as soon as this
    // returns; waiting gives the main thread the moment it needs to put the
    // console back. The main thread's exit ends this wait.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) ::Sleep(5000);
    return TRUE;
}

const char* control_event_name(DWORD type)
{
    switch (type) {
    case CTRL_BREAK_EVENT: return "CTRL_BREAK_EVENT";
    case CTRL_CLOSE_EVENT: return "CTRL_CLOSE_EVENT";
    case CTRL_LOGOFF_EVENT: return "CTRL_LOGOFF_EVENT";
    case CTRL_SHUTDOWN_EVENT: return "CTRL_SHUTDOWN_EVENT";
    default: return "?";
    }
}

expected<void, IoError> set_up_control_events()
{
    if (wake != nullptr) return {};
    wake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (wake == nullptr) return unexpected(IoError::last_windows_error());
    if (!::SetConsoleCtrlHandler(on_control_event, TRUE)) return unexpected(IoError::last_windows_error());
    return {};
}

// ZEP_LEGACY_CONSOLE=1: the screen is drawn through the console's own
// functions even where VT sequences would work (for a console that accepts
// them and shows them wrongly, and for the tests).
bool legacy_console_asked()
{
    wchar_t value[4];
    const DWORD n = ::GetEnvironmentVariableW(L"ZEP_LEGACY_CONSOLE", value, 4);
    return n == 1 && value[0] == L'1';
}

bool is_console(HANDLE handle)
{
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && ::GetConsoleMode(handle, &mode);
}

// The console's own input and screen, also when standard input or output
// is redirected (`zep notes.txt < NUL` still talks to the user).
expected<HANDLE, IoError> console_handle(HANDLE& slot, DWORD standard, const wchar_t* device)
{
    if (slot != INVALID_HANDLE_VALUE) return slot;
    HANDLE handle = ::GetStdHandle(standard);
    if (!is_console(handle)) {
        handle = ::CreateFileW(device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return unexpected(IoError::last_windows_error());
    }
    slot = handle;
    return handle;
}

expected<HANDLE, IoError> input_handle() { return console_handle(state.input, STD_INPUT_HANDLE, L"CONIN$"); }
expected<HANDLE, IoError> screen_handle()
{
    if (state.own_screen != INVALID_HANDLE_VALUE) return state.own_screen;
    return console_handle(state.screen, STD_OUTPUT_HANDLE, L"CONOUT$");
}

expected<void, IoError> set_mode(HANDLE handle, DWORD mode)
{
    if (!::SetConsoleMode(handle, mode)) return unexpected(IoError::last_windows_error());
    return {};
}

// Quick edit, insert mode and automatic positioning belong to the whole
// console, not to a mode: GetConsoleMode reports them only while the
// extended flag is in the mode, and SetConsoleMode changes them only with it.
constexpr DWORD CONSOLE_SETTINGS = ENABLE_QUICK_EDIT_MODE | ENABLE_INSERT_MODE | ENABLE_AUTO_POSITION;

// The settings every new console window of the user starts with, from the
// console's properties; quick edit and insert mode are on where nothing is
// set, as on Windows 10 and later.
DWORD default_console_settings()
{
    DWORD settings = ENABLE_AUTO_POSITION;
    for (const auto& [name, bit] :
         {std::pair{L"QuickEdit", ENABLE_QUICK_EDIT_MODE}, {L"InsertMode", ENABLE_INSERT_MODE}}) {
        DWORD value = 0, bytes = sizeof value;
        if (::RegGetValueW(HKEY_CURRENT_USER, L"Console", name, RRF_RT_REG_DWORD, nullptr, &value, &bytes) !=
                ERROR_SUCCESS ||
            value != 0)
            settings |= bit;
    }
    return settings;
}

// The console's settings as the input mode `mode` tells them. A program that
// set a mode without the extended flag hid them; the user's defaults stand
// in then.
DWORD console_settings(DWORD mode)
{
    return (mode & ENABLE_EXTENDED_FLAGS) ? mode & CONSOLE_SETTINGS : default_console_settings();
}

// Puts a saved input mode back exactly, the console's settings included. A
// mode without the extended flag cannot carry them, so they go back first,
// with the flag, and then the mode itself, without it, which leaves them as
// they are: the console then reports the mode as it did before.
expected<void, IoError> restore_input_mode(DWORD saved)
{
    if (!(saved & ENABLE_EXTENDED_FLAGS)) {
        const DWORD settings = (saved & ~CONSOLE_SETTINGS) | ENABLE_EXTENDED_FLAGS | console_settings(saved);
        if (auto set = set_mode(state.input, settings); !set) return set;
    }
    return set_mode(state.input, saved);
}

std::optional<CONSOLE_SCREEN_BUFFER_INFO> screen_info()
{
    auto screen = screen_handle();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!screen || !::GetConsoleScreenBufferInfo(*screen, &info)) return std::nullopt;
    return info;
}

std::optional<ConsoleRecord> mirror(const INPUT_RECORD& record)
{
    switch (record.EventType) {
    case KEY_EVENT: {
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        return ConsoleKeyRecord{key.bKeyDown != 0,
                                key.wRepeatCount,
                                key.wVirtualKeyCode,
                                key.wVirtualScanCode,
                                static_cast<char16_t>(key.uChar.UnicodeChar),
                                key.dwControlKeyState};
    }
    case MOUSE_EVENT: {
        const MOUSE_EVENT_RECORD& mouse = record.Event.MouseEvent;
        // Positions count from the top of the screen buffer; the editor
        // counts cells of the window.
        SHORT x = mouse.dwMousePosition.X, y = mouse.dwMousePosition.Y;
        if (auto info = screen_info()) {
            x = static_cast<SHORT>(x - info->srWindow.Left);
            y = static_cast<SHORT>(y - info->srWindow.Top);
        }
        return ConsoleMouseRecord{x, y, mouse.dwButtonState, mouse.dwControlKeyState, mouse.dwEventFlags};
    }
    case WINDOW_BUFFER_SIZE_EVENT:
        return ConsoleResizeRecord{record.Event.WindowBufferSizeEvent.dwSize.X,
                                   record.Event.WindowBufferSizeEvent.dwSize.Y};
    case FOCUS_EVENT: return ConsoleFocusRecord{record.Event.FocusEvent.bSetFocus != 0};
    default: return std::nullopt;
    }
}

// The record that ends the reader's read when the editor is done with the
// console. A read cannot be cancelled safely (a console may keep a cancelled
// read, or the read of a program that has ended, and give it the next keys),
// so it is given something to read. Menu records are the console's own and
// every program ignores them; this one is known by its number.
constexpr UINT WAKE_UP = 0x7A6570;

bool is_wake_up(const INPUT_RECORD& record)
{
    return record.EventType == MENU_EVENT && record.Event.MenuEvent.dwCommandId == WAKE_UP;
}

// Hands records back to the console, for whoever reads it next.
void give_back(const INPUT_RECORD* records, std::size_t count)
{
    std::vector<INPUT_RECORD> kept;
    std::copy_if(records, records + count, std::back_inserter(kept), [](const auto& r) { return !is_wake_up(r); });
    DWORD written = 0;
    if (!kept.empty()) (void)::WriteConsoleInputW(state.input, kept.data(), static_cast<DWORD>(kept.size()), &written);
}

DWORD WINAPI read_console_input(void*)
{
    INPUT_RECORD batch[128];
    for (;;) {
        {
            std::lock_guard lock(reader.mutex);
            if (reader.stopping) {
                reader.running = false;
                return 0;
            }
            reader.reading = true;
        }
        DWORD count = 0;
        const bool read = ::ReadConsoleInputW(state.input, batch, 128, &count) != 0;
        const DWORD error = read ? 0 : ::GetLastError();
        std::lock_guard lock(reader.mutex);
        reader.reading = false;
        if (reader.stopping) {
            if (read) give_back(batch, count);
            reader.running = false;
            return 0;
        }
        if (!read) {
            reader.error = error;
            reader.running = false;
            ::SetEvent(reader.ready);
            return 0;
        }
        std::copy_if(batch, batch + count, std::back_inserter(reader.records),
                     [](const auto& r) { return !is_wake_up(r); });
        ::SetEvent(reader.ready);
    }
}

expected<void, IoError> start_reader()
{
    if (reader.ready == nullptr) {
        reader.ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (reader.ready == nullptr) return unexpected(IoError::last_windows_error());
    }
    std::lock_guard lock(reader.mutex);
    reader.stopping = false;
    // A thread that outlived a stop reads on.
    if (reader.running) return {};
    if (reader.thread != nullptr) ::CloseHandle(reader.thread);
    reader.thread = ::CreateThread(nullptr, 0, read_console_input, nullptr, 0, nullptr);
    if (reader.thread == nullptr) return unexpected(IoError::last_windows_error());
    reader.running = true;
    return {};
}

// The editor gives the console back. Records read and not yet used (keys
// typed after the last one the editor acted on) go back into its queue, and
// the thread's read is ended, so that no read of ours is left waiting in
// the console for the program that reads next.
void stop_reader()
{
    HANDLE thread = nullptr;
    {
        std::lock_guard lock(reader.mutex);
        std::vector<INPUT_RECORD> back;
        if (reader.running && reader.reading) {
            INPUT_RECORD wake_up{};
            wake_up.EventType = MENU_EVENT;
            wake_up.Event.MenuEvent.dwCommandId = WAKE_UP;
            back.push_back(wake_up);
        }
        back.insert(back.end(), reader.records.begin(), reader.records.end());
        reader.records.clear();
        if (reader.ready != nullptr) ::ResetEvent(reader.ready);
        // Written in one go: a waiting read takes the wake-up record and
        // the rest with it, and gives the rest back.
        DWORD written = 0;
        if (!back.empty())
            (void)::WriteConsoleInputW(state.input, back.data(), static_cast<DWORD>(back.size()), &written);
        if (!reader.running) return;
        reader.stopping = true;
        thread = reader.thread;
    }
    // Moments, unless another program took the wake-up record; then the
    // thread reads on for the editor, if it comes back, or ends with it.
    (void)::WaitForSingleObject(thread, 1000);
}

// Maps the records the reader has handed over to events.
void take_records()
{
    std::vector<INPUT_RECORD> records;
    {
        std::lock_guard lock(reader.mutex);
        records.swap(reader.records);
        if (reader.error && !state.failure) state.failure = IoError::from_windows(*reader.error);
        ::ResetEvent(reader.ready);
    }
    std::vector<Event> events;
    for (const INPUT_RECORD& record : records) {
        if (auto mirrored = mirror(record)) state.mapper.feed(*mirrored, events);
    }
    for (Event& event : events) {
        // The record tells the size of the screen buffer, which may hold
        // scrollback; the editor draws in the window.
        if (auto* resize = std::get_if<ResizeEvent>(&event)) {
            if (auto now = size()) *resize = ResizeEvent{now->columns, now->rows};
        }
        state.ready.push_back(std::move(event));
    }
}

// Not every console sends a record when its window changes size (and none
// does for a window made smaller within a larger buffer), so after each
// quiet wait the size is compared with the one the editor was last told.
void notice_resize()
{
    if (!state.last_size) return;
    const Size before = *state.last_size;
    const auto now = size();
    if (now && (now->columns != before.columns || now->rows != before.rows))
        state.ready.push_back(ResizeEvent{now->columns, now->rows});
}

void take_control_event()
{
    const DWORD type = control_event.load();
    if (type != ~DWORD{0} && !state.failure) state.failure = IoError::signal(control_event_name(type));
}

bool has_event() { return state.failure || !state.ready.empty(); }

}  // namespace

expected<bool, IoError> backend::wait_for_event(int timeout_ms)
{
    auto input = input_handle();
    if (!input) return unexpected(input.error());
    if (auto set_up = set_up_control_events(); !set_up) return unexpected(set_up.error());
    if (auto started = start_reader(); !started) return unexpected(started.error());
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    take_control_event();
    while (!has_event()) {
        DWORD wait_ms = INFINITE;
        if (timeout_ms >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            wait_ms = static_cast<DWORD>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
        }
        const HANDLE handles[2] = {reader.ready, wake};
        const DWORD woken = ::WaitForMultipleObjects(2, handles, FALSE, wait_ms);
        if (woken == WAIT_OBJECT_0) {
            take_records();
        } else if (woken == WAIT_OBJECT_0 + 1) {
            take_control_event();
        } else if (woken == WAIT_TIMEOUT) {
            notice_resize();
            if (Clock::now() >= deadline) break;
        } else {
            state.failure = IoError::last_windows_error();
        }
    }
    return has_event();
}

expected<void, IoError> enable_raw_mode()
{
    if (state.original_input_mode) return {};
    auto input = input_handle();
    if (!input) return unexpected(input.error());
    auto screen = screen_handle();
    if (!screen) return unexpected(screen.error());
    if (auto set_up = set_up_control_events(); !set_up) return set_up;

    DWORD input_mode = 0, output_mode = 0;
    if (!::GetConsoleMode(*input, &input_mode) || !::GetConsoleMode(*screen, &output_mode))
        return unexpected(IoError::last_windows_error());

    // The screen is drawn with VT sequences in UTF-8 where the console
    // interprets them. A console that refuses them (or one the user says
    // shows them badly) is drawn through its own functions instead, which
    // need neither mode nor code page: the user's screen is left as it is.
    const UINT code_page = ::GetConsoleOutputCP();
    const bool console_output = legacy_console_asked() || !set_mode(*screen, output_mode | ENABLE_PROCESSED_OUTPUT |
                                                                                 ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    if (!console_output && !::SetConsoleOutputCP(CP_UTF8)) {
        const IoError error = IoError::last_windows_error();
        (void)set_mode(*screen, output_mode);
        return unexpected(error);
    }
    // Keys one at a time, not echoed, and Ctrl+C as a key: the editor's. The
    // keys come as input records, so VT input stays off.
    const DWORD raw = input_mode & ~DWORD{ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT |
                                          ENABLE_VIRTUAL_TERMINAL_INPUT};
    if (auto set = set_mode(*input, raw); !set) {
        (void)::SetConsoleOutputCP(code_page);
        (void)set_mode(*screen, output_mode);
        return set;
    }
    state.original_input_mode = input_mode;
    state.original_output_mode = output_mode;
    state.original_output_code_page = code_page;
    state.console_output = console_output;
    return {};
}

expected<void, IoError> disable_raw_mode()
{
    if (!state.original_input_mode) return {};
    // Nothing more is read from the console: what is queued now is for the
    // program that reads next.
    stop_reader();
    // Everything is put back even when one step fails; the first failure is
    // the one reported.
    expected<void, IoError> result = restore_input_mode(*state.original_input_mode);
    if (!::SetConsoleOutputCP(state.original_output_code_page) && result)
        result = unexpected(IoError::last_windows_error());
    if (auto set = set_mode(state.screen, *state.original_output_mode); !set && result) result = set;
    state.original_input_mode.reset();
    state.original_output_mode.reset();
    state.console_output = false;
    return result;
}

expected<void, IoError> enter_editing_screen(Output& out)
{
    if (!state.console_output) {
        out.enter_alternate_screen();
        return {};
    }
    if (state.own_screen != INVALID_HANDLE_VALUE) return {};
    // A screen buffer of zep's own, the size of the user's window, made the
    // active one: the user's buffer, its text and scrollback, stays aside
    // untouched, as the alternate screen keeps a terminal's.
    const auto info = screen_info();
    if (!info) return unexpected(IoError::last_windows_error());
    // The user's buffer is the active one now, which is what CONOUT$ opens.
    // The standard output may not do to make it active again: it can stand
    // for whichever buffer is active (Wine's does).
    const HANDLE user = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (user == INVALID_HANDLE_VALUE) return unexpected(IoError::last_windows_error());
    const HANDLE own = ::CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                   nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (own == INVALID_HANDLE_VALUE) {
        const IoError error = IoError::last_windows_error();
        ::CloseHandle(user);
        return unexpected(error);
    }
    // The cursor as the user set it (its size, say).
    CONSOLE_CURSOR_INFO cursor{};
    if (::GetConsoleCursorInfo(user, &cursor)) (void)::SetConsoleCursorInfo(own, &cursor);
    // (Should the console refuse, the writer tries again with every frame
    // and meanwhile draws in the buffer as it is.)
    (void)fit_screen_buffer(own, static_cast<SHORT>(info->srWindow.Right - info->srWindow.Left + 1),
                            static_cast<SHORT>(info->srWindow.Bottom - info->srWindow.Top + 1));
    if (!::SetConsoleActiveScreenBuffer(own)) {
        const IoError error = IoError::last_windows_error();
        ::CloseHandle(own);
        ::CloseHandle(user);
        return unexpected(error);
    }
    state.own_screen = own;
    state.user_screen = user;
    state.user_attributes = info->wAttributes;
    return {};
}

void leave_editing_screen(Output& out)
{
    if (!state.console_output) {
        out.reset_color();             // no colour leaks into the shell
        out.show_cursor();             // the cursor is visible at the prompt
        out.leave_alternate_screen();  // the user's screen and scrollback come back
        return;
    }
    if (state.own_screen == INVALID_HANDLE_VALUE) return;
    // The user's buffer comes back as it was, cursor included.
    (void)::SetConsoleActiveScreenBuffer(state.user_screen);
    ::CloseHandle(state.own_screen);
    ::CloseHandle(state.user_screen);
    state.own_screen = state.user_screen = INVALID_HANDLE_VALUE;
}

std::unique_ptr<FrameWriter> make_frame_writer(const Palette& palette, Output& out)
{
    if (state.own_screen != INVALID_HANDLE_VALUE)
        return std::make_unique<ConsoleWriter>(state.own_screen, palette.console, state.user_attributes);
    return std::make_unique<VtFrameWriter>(palette.rgb, out);
}

expected<void, IoError> enter_editing_input(Output&)
{
    auto input = input_handle();
    if (!input) return unexpected(input.error());
    DWORD mode = 0;
    if (!::GetConsoleMode(*input, &mode)) return unexpected(IoError::last_windows_error());
    // Mouse and window-size records; quick edit off, or the console would
    // take every mouse press for a selection of its own. Changing quick
    // edit needs the extended flag, which sets insert mode and automatic
    // positioning too: those stay as the console has them.
    const DWORD editing = (mode & ~CONSOLE_SETTINGS) | ENABLE_MOUSE_INPUT | ENABLE_WINDOW_INPUT |
                          ENABLE_EXTENDED_FLAGS | (console_settings(mode) & ~DWORD{ENABLE_QUICK_EDIT_MODE});
    if (auto set = set_mode(*input, editing); !set) return set;
    state.mode_before_mouse = mode;
    return {};
}

void leave_editing_input(Output&)
{
    if (!state.mode_before_mouse) return;
    (void)restore_input_mode(*state.mode_before_mouse);
    state.mode_before_mouse.reset();
}

expected<Size, IoError> size()
{
    auto screen = screen_handle();
    if (!screen) return unexpected(screen.error());
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(*screen, &info)) return unexpected(IoError::last_windows_error());
    const Size window{static_cast<std::uint16_t>(info.srWindow.Right - info.srWindow.Left + 1),
                      static_cast<std::uint16_t>(info.srWindow.Bottom - info.srWindow.Top + 1)};
    state.last_size = window;
    return window;
}

std::optional<expected<Event, IoError>> backend::take_event()
{
    if (state.failure) return unexpected(*state.failure);
    if (state.ready.empty()) return std::nullopt;
    Event event = std::move(state.ready.front());
    state.ready.pop_front();
    return event;
}

// Windows has no job control: a console program is never stopped.
JobControl take_job_control() { return JobControl::None; }
void stop_process() {}

void write_error_line(std::string_view utf8)
{
    const HANDLE handle = ::GetStdHandle(STD_ERROR_HANDLE);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return;
    if (is_console(handle)) {
        // The console shows UTF-16 whatever its code page is.
        const std::wstring line = to_wide(utf8) + L"\r\n";
        DWORD written = 0;
        (void)::WriteConsoleW(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    std::string line(utf8);
    line += '\n';
    DWORD written = 0;
    (void)::WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace term
