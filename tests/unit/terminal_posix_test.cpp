// The POSIX backend driven through a real pseudo-terminal: the tests play
// the user's terminal on the master side while the backend owns the slave.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

#include "editor/messages.hpp"
#include "terminal/guard.hpp"
#include "terminal/input_decoder.hpp"
#include "terminal/terminal.hpp"
#include "terminal/terminal_posix.hpp"

using namespace std::chrono_literals;

namespace {

struct Pty {
    int master = -1;
    int slave = -1;

    Pty()
    {
        winsize ws{};
        ws.ws_col = 80;
        ws.ws_row = 24;
        EXPECT_EQ(::openpty(&master, &slave, nullptr, nullptr, &ws), 0);
        EXPECT_TRUE(term::use_terminal(slave).has_value());
    }
    ~Pty()
    {
        (void)term::disable_raw_mode();
        if (master >= 0) ::close(master);
        if (slave >= 0) ::close(slave);
    }

    void type(std::string_view bytes) const
    {
        ASSERT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Everything the program wrote to the terminal so far.
    std::string screen_bytes() const
    {
        std::string bytes;
        char chunk[256];
        pollfd p{master, POLLIN, 0};
        while (::poll(&p, 1, 200) > 0 && (p.revents & POLLIN)) {
            const ssize_t n = ::read(master, chunk, sizeof chunk);
            if (n <= 0) break;
            bytes.append(chunk, static_cast<std::size_t>(n));
        }
        return bytes;
    }
};

termios attributes(int fd)
{
    termios t{};
    EXPECT_EQ(::tcgetattr(fd, &t), 0);
    return t;
}

bool same_settings(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
           std::equal(std::begin(a.c_cc), std::end(a.c_cc), std::begin(b.c_cc));
}

std::string next_event()
{
    auto ready = term::poll(2000ms);
    if (!ready) return "error: " + msg::error_text(ready.error());
    if (!*ready) return "timeout";
    auto event = term::read();
    if (!event) return "error: " + msg::error_text(event.error());
    return term::describe(*event);
}

}  // namespace

TEST(Terminal, RawModeOnAndOffRestoresTheExactSettings)
{
    Pty pty;
    const termios before = attributes(pty.slave);
    ASSERT_TRUE(before.c_lflag & ICANON);
    ASSERT_TRUE(before.c_lflag & ECHO);

    ASSERT_TRUE(term::enable_raw_mode().has_value());
    const termios raw = attributes(pty.slave);
    EXPECT_FALSE(raw.c_lflag & (ICANON | ECHO | ISIG | IEXTEN));
    EXPECT_FALSE(raw.c_iflag & (IXON | ICRNL));
    EXPECT_FALSE(raw.c_oflag & OPOST);
    EXPECT_EQ(raw.c_cc[VMIN], 1);
    // Asking twice must not take the raw settings for the ones to restore.
    ASSERT_TRUE(term::enable_raw_mode().has_value());

    ASSERT_TRUE(term::disable_raw_mode().has_value());
    EXPECT_TRUE(same_settings(attributes(pty.slave), before));
    ASSERT_TRUE(term::disable_raw_mode().has_value());
    EXPECT_TRUE(same_settings(attributes(pty.slave), before));
}

TEST(Terminal, ReadsKeysAsTheyAreTyped)
{
    Pty pty;
    ASSERT_TRUE(term::enable_raw_mode().has_value());

    // Without raw mode these would wait for a newline, and Ctrl+Q, Ctrl+S
    // and Ctrl+C would never reach the editor.
    pty.type("a\x11\x13\x03\x1b[1;5C");
    EXPECT_EQ(next_event(), "a Press");
    EXPECT_EQ(next_event(), "Ctrl+q Press");
    EXPECT_EQ(next_event(), "Ctrl+s Press");
    EXPECT_EQ(next_event(), "Ctrl+c Press");
    // Already decoded: ready without waiting.
    auto ready = term::poll(0ms);
    ASSERT_TRUE(ready.has_value());
    EXPECT_TRUE(*ready);
    EXPECT_EQ(next_event(), "Ctrl+Right Press");

    // Nothing typed: poll waits its time and says so.
    const auto start = std::chrono::steady_clock::now();
    ready = term::poll(100ms);
    ASSERT_TRUE(ready.has_value());
    EXPECT_FALSE(*ready);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);

    // Half a sequence is no event yet; the rest completes it.
    pty.type("\x1b[1;");
    ready = term::poll(100ms);
    ASSERT_TRUE(ready.has_value());
    EXPECT_FALSE(*ready);
    pty.type("5D");
    EXPECT_EQ(next_event(), "Ctrl+Left Press");

    pty.type("\x1b");
    EXPECT_EQ(next_event(), "Esc Press");
    pty.type("\x1b[<0;12;3M");
    EXPECT_EQ(next_event(), "Mouse Down Left 11,2");
}

TEST(Terminal, SizeAndResize)
{
    Pty pty;
    ASSERT_TRUE(term::enable_raw_mode().has_value());
    auto size = term::size();
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(size->columns, 80);
    EXPECT_EQ(size->rows, 24);

    winsize ws{};
    ws.ws_col = 132;
    ws.ws_row = 43;
    ASSERT_EQ(::ioctl(pty.master, TIOCSWINSZ, &ws), 0);
    // The pseudo-terminal is not this process's controlling terminal, so
    // the kernel sends the signal elsewhere; deliver it by hand.
    ASSERT_EQ(::raise(SIGWINCH), 0);
    ASSERT_EQ(::raise(SIGWINCH), 0);
    EXPECT_EQ(next_event(), "Resize 132x43");
    // Two signals before the read are one resize to the current size.
    auto ready = term::poll(50ms);
    ASSERT_TRUE(ready.has_value());
    EXPECT_FALSE(*ready);
}

TEST(Terminal, FatalSignalsBecomeAnErrorNamingThem)
{
    for (const auto& [signal_number, message] :
         {std::pair{SIGTERM, "SIGTERM signali olindi"}, std::pair{SIGHUP, "SIGHUP signali olindi"},
          std::pair{SIGQUIT, "SIGQUIT signali olindi"}}) {
        Pty pty;
        ASSERT_TRUE(term::enable_raw_mode().has_value());
        pty.type("x");
        ASSERT_EQ(::raise(signal_number), 0);
        // The signal wins over keys still waiting, and it stays: the main
        // loop must end, not carry on after one failed read.
        EXPECT_EQ(next_event(), std::string("error: ") + message);
        EXPECT_EQ(next_event(), std::string("error: ") + message);
    }
}

TEST(Terminal, ATerminalThatGoesAwayIsAnError)
{
    {
        Pty pty;
        ASSERT_TRUE(term::enable_raw_mode().has_value());
        ::close(pty.master);
        pty.master = -1;
        const std::string first = next_event();
        EXPECT_EQ(first.rfind("error: ", 0), 0u) << first;
        EXPECT_EQ(next_event(), first);
    }
    {
        // End of input rather than an I/O error.
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        ASSERT_TRUE(term::use_terminal(ends[0]).has_value());
        ASSERT_EQ(::write(ends[1], "q", 1), 1);
        ::close(ends[1]);
        EXPECT_EQ(next_event(), "q Press");
        EXPECT_EQ(next_event(), "error: terminal yopildi");
        EXPECT_EQ(next_event(), "error: terminal yopildi");
        ::close(ends[0]);
    }
}

TEST(Terminal, GuardRestoresTheConsole)
{
    Pty pty;
    const termios before = attributes(pty.slave);
    {
        term::TerminalGuard guard(pty.slave);
        ASSERT_FALSE(guard.failure());
        EXPECT_FALSE(same_settings(attributes(pty.slave), before));
        guard.output().print("frame");
        ASSERT_TRUE(guard.output().flush().has_value());
    }
    EXPECT_EQ(pty.screen_bytes(),
              "\x1b[?1049h"                                              // alternate screen
              "\x1b[?1000h\x1b[?1002h\x1b[?1003h\x1b[?1015h\x1b[?1006h"  // mouse capture on
              "\x1b[>1u"                                                 // keyboard enhancement pushed
              "\x1b[?2004h"                                              // bracketed paste on
              "frame"
              "\x1b[?2004l"                                              // bracketed paste off
              "\x1b[<u"                                                  // keyboard enhancement popped
              "\x1b[?1006l\x1b[?1015l\x1b[?1003l\x1b[?1002l\x1b[?1000l"  // mouse capture off
              "\x1b[0m"                                                  // colours reset
              "\x1b[?25h"                                                // cursor shown
              "\x1b[?1049l");                                            // normal screen
    EXPECT_TRUE(same_settings(attributes(pty.slave), before));

    // A set-up whose output fails gives the console its settings back at
    // once and says why, and the failed write does not kill the process with
    // SIGPIPE.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    {
        term::TerminalGuard guard(ends[1]);
        ASSERT_TRUE(guard.failure());
        EXPECT_EQ(guard.failure()->message, "Broken pipe (os error 32)");
        EXPECT_TRUE(same_settings(attributes(pty.slave), before));
    }
    ::close(ends[1]);
    EXPECT_TRUE(same_settings(attributes(pty.slave), before));
}
