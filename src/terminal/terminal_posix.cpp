// The POSIX backend: termios raw mode, the window size, and events read from
// the terminal and from a self-pipe that the signal handlers write to.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <deque>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "terminal/input_decoder.hpp"
#include "terminal/terminal.hpp"
#include "terminal/terminal_posix.hpp"

namespace term {

namespace {

// There is one terminal per process, so its state lives here rather than in
// an object every caller would have to carry.
struct Backend {
    int fd = -1;                      // the terminal read from and switched to raw mode
    bool owns_fd = false;             // opened here (/dev/tty), closed on replacement
    std::optional<termios> original;  // the settings to restore, while raw mode is on
    InputDecoder decoder;
    std::deque<Event> ready;  // decoded, not yet handed out
    bool resize_pending = false;
    JobControl job = JobControl::None;  // asked by SIGTSTP or SIGCONT, not yet taken
    std::optional<IoError> failure;     // a fatal signal or a lost terminal; sticks
    std::chrono::steady_clock::time_point last_input{};
};

// A bracketed paste whose closing bracket does not come within this long
// after the last byte ends there, so that a lost bracket cannot swallow
// every key the user types after it.
constexpr std::chrono::milliseconds PASTE_SILENCE{1000};

Backend state;

// Read end [0] and write end [1], both non-blocking: a full pipe must never
// block a signal handler, and draining it must never block the loop.
int signal_pipe[2] = {-1, -1};

// Does only what is safe in a handler: one byte, the signal's number.
extern "C" void on_signal(int signal_number)
{
    const int saved_errno = errno;
    const char byte = static_cast<char>(signal_number);
    [[maybe_unused]] const ssize_t n = ::write(signal_pipe[1], &byte, 1);
    errno = saved_errno;
}

expected<void, IoError> set_up_signals()
{
    if (signal_pipe[0] >= 0) return {};
    if (::pipe2(signal_pipe, O_NONBLOCK | O_CLOEXEC) != 0) return unexpected(IoError::from_errno(errno));
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal_number : {SIGWINCH, SIGTERM, SIGHUP, SIGQUIT, SIGINT, SIGTSTP, SIGCONT})
        if (::sigaction(signal_number, &action, nullptr) != 0) return unexpected(IoError::from_errno(errno));
    // A write to a closed pipe is an error to report, not a reason to die.
    std::signal(SIGPIPE, SIG_IGN);
    return {};
}

const char* signal_name(int signal_number)
{
    switch (signal_number) {
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    case SIGQUIT: return "SIGQUIT";
    case SIGINT: return "SIGINT";
    default: return "?";
    }
}

void drain_signals()
{
    char bytes[64];
    for (;;) {
        const ssize_t n = ::read(signal_pipe[0], bytes, sizeof bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        for (ssize_t i = 0; i < n; ++i) {
            const int signal_number = bytes[i];
            if (signal_number == SIGWINCH) {
                state.resize_pending = true;
            } else if (signal_number == SIGTSTP) {
                state.job = JobControl::Stop;
            } else if (signal_number == SIGCONT) {
                // Running again: a stop still to be made would now stop a
                // process that nobody is going to continue.
                state.job = JobControl::Continued;
            } else if (!state.failure) {
                state.failure = IoError::signal(signal_name(signal_number));
            }
        }
    }
}

// The process's own terminal: standard input when it is one, else /dev/tty,
// so that `zep < /dev/null` would still talk to the user.
expected<int, IoError> terminal_fd()
{
    if (state.fd >= 0) return state.fd;
    if (::isatty(STDIN_FILENO)) {
        state.fd = STDIN_FILENO;
        return state.fd;
    }
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return unexpected(IoError::from_errno(errno));
    state.fd = fd;
    state.owns_fd = true;
    return fd;
}

expected<void, IoError> set_attributes(int fd, const termios& attributes)
{
    while (::tcsetattr(fd, TCSANOW, &attributes) != 0) {
        if (errno != EINTR) return unexpected(IoError::from_errno(errno));
    }
    return {};
}

bool readable_now(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

// Reads what the terminal has (the caller saw it ready) and decodes it. A
// read that fills the buffer may have cut a sequence, so what is already
// waiting is read too before the decoder sees the end of the bytes.
void read_terminal()
{
    std::string bytes;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(state.fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) break;
            state.failure = IoError::from_errno(errno);
            return;
        }
        if (n == 0) {
            // The other side hung up: without this the loop would spin on an
            // always-ready, always-empty terminal.
            state.failure = IoError::terminal_closed();
            return;
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
        if (static_cast<std::size_t>(n) < sizeof chunk || !readable_now(state.fd)) break;
    }
    state.last_input = std::chrono::steady_clock::now();
    std::vector<Event> events;
    state.decoder.feed(bytes, events);
    for (Event& e : events) state.ready.push_back(std::move(e));
}

bool has_event() { return state.failure || state.resize_pending || !state.ready.empty(); }

}  // namespace

expected<bool, IoError> backend::wait_for_event(int timeout_ms)
{
    auto fd = terminal_fd();
    if (!fd) return unexpected(fd.error());
    if (auto signals = set_up_signals(); !signals) return unexpected(signals.error());
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!has_event() && state.job == JobControl::None) {
        int wait_ms = -1;
        if (timeout_ms >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            wait_ms = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
        }
        if (state.decoder.in_paste()) {
            const auto silent = Clock::now() - state.last_input;
            if (silent >= PASTE_SILENCE) {
                std::vector<Event> events;
                state.decoder.end_paste(events);
                for (Event& e : events) state.ready.push_back(std::move(e));
                break;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(PASTE_SILENCE - silent);
            const int until_silence = static_cast<int>(left.count());
            wait_ms = wait_ms < 0 ? until_silence : std::min(wait_ms, until_silence);
        }
        pollfd fds[2] = {{*fd, POLLIN, 0}, {signal_pipe[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, wait_ms);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return unexpected(IoError::from_errno(errno));
        }
        if (ready == 0) {
            if (timeout_ms >= 0 && Clock::now() >= deadline) break;
            continue;
        }
        if (fds[1].revents) drain_signals();
        if (fds[0].revents & POLLNVAL)
            state.failure = IoError::from_errno(EBADF);
        else if (fds[0].revents)
            read_terminal();
    }
    return has_event();
}

JobControl take_job_control() { return std::exchange(state.job, JobControl::None); }

void stop_process()
{
    // SIGTSTP's own action stops the process the way the shell expects of a
    // suspended job; our handler is back once the process runs again. In a
    // process group that no shell watches, the system drops the signal, and
    // this returns at once.
    struct sigaction stop {};
    stop.sa_handler = SIG_DFL;
    sigemptyset(&stop.sa_mask);
    struct sigaction ours {};
    ::sigaction(SIGTSTP, &stop, &ours);
    ::raise(SIGTSTP);
    ::sigaction(SIGTSTP, &ours, nullptr);
    // The SIGCONT that ended the stop is already in the pipe: it is this
    // stop's end, not a request of its own.
    drain_signals();
    if (state.job == JobControl::Continued) state.job = JobControl::None;
}

expected<void, IoError> use_terminal(int fd)
{
    if (state.owns_fd) ::close(state.fd);
    state = Backend{};
    state.fd = fd;
    if (auto signals = set_up_signals(); !signals) return signals;
    drain_signals();
    state.resize_pending = false;
    state.failure.reset();
    return {};
}

expected<void, IoError> enable_raw_mode()
{
    auto fd = terminal_fd();
    if (!fd) return unexpected(fd.error());
    if (auto signals = set_up_signals(); !signals) return signals;
    if (state.original) return {};
    termios original{};
    if (::tcgetattr(*fd, &original) != 0) return unexpected(IoError::from_errno(errno));
    termios raw = original;
    // No echo, no line editing, no signals from keys (Ctrl+C, Ctrl+Z and
    // Ctrl+Q are the editor's), no CR/LF translation, 8-bit bytes, and a
    // read returns as soon as one byte is there.
    ::cfmakeraw(&raw);
    if (auto set = set_attributes(*fd, raw); !set) return set;
    state.original = original;
    return {};
}

expected<void, IoError> disable_raw_mode()
{
    if (!state.original) return {};
    if (auto set = set_attributes(state.fd, *state.original); !set) return set;
    state.original.reset();
    return {};
}

expected<Size, IoError> size()
{
    auto fd = terminal_fd();
    if (!fd) return unexpected(fd.error());
    winsize ws{};
    if (::ioctl(*fd, TIOCGWINSZ, &ws) != 0) return unexpected(IoError::from_errno(errno));
    return Size{ws.ws_col, ws.ws_row};
}

std::optional<expected<Event, IoError>> backend::take_event()
{
    if (state.failure) return unexpected(*state.failure);
    if (!state.ready.empty()) {
        Event event = std::move(state.ready.front());
        state.ready.pop_front();
        return event;
    }
    if (state.resize_pending) {
        state.resize_pending = false;
        auto now = size();
        if (!now) return unexpected(now.error());
        return ResizeEvent{now->columns, now->rows};
    }
    return std::nullopt;
}

}  // namespace term

namespace term {

expected<void, IoError> enter_editing_screen(Output& out)
{
    out.enter_alternate_screen();  // the user's screen and scrollback stay aside
    return {};
}

void leave_editing_screen(Output& out)
{
    out.reset_color();             // no colour leaks into the shell
    out.show_cursor();             // the cursor is visible at the prompt
    out.leave_alternate_screen();  // the user's screen and scrollback come back
}

std::unique_ptr<FrameWriter> make_frame_writer(const Palette& palette, Output& out)
{
    return std::make_unique<VtFrameWriter>(palette.rgb, out);
}

expected<void, IoError> enter_editing_input(Output& out)
{
    out.enable_mouse_capture();
    out.push_keyboard_enhancement();
    out.enable_bracketed_paste();
    return {};
}

void leave_editing_input(Output& out)
{
    out.disable_bracketed_paste();
    out.pop_keyboard_enhancement();
    out.disable_mouse_capture();
}

void write_error_line(std::string_view utf8)
{
    std::string line(utf8);
    line += '\n';
    (void)write_all(STDERR_FILENO, line);
}

}  // namespace term
