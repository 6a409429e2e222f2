#include "clipboard/clipboard.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "clipboard/command_clipboard.hpp"
#include "clipboard/helper.hpp"
#include "clipboard/osc52.hpp"
#include "clipboard/system_clipboard.hpp"
#include "editor/clipboard_ops.hpp"
#include "editor/editing.hpp"
#include "support/editor_state.hpp"
#include "support/files.hpp"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using test_support::lines_of;
using test_support::select;

using test_support::read_bytes;
using test_support::TempDir;

Editor make_editor(std::vector<std::string> lines)
{
    Editor editor;
    editor.buffer = Buffer(std::move(lines));
    return editor;
}

// Fails the first `failures` openings, then behaves like the in-process
// clipboard; remembers when every attempt was made.
class FlakyBackend final : public ClipboardBackend {
public:
    explicit FlakyBackend(int failures) : failures_(failures) {}
    bool try_open() override
    {
        attempts.push_back(std::chrono::steady_clock::now());
        if (static_cast<int>(attempts.size()) <= failures_) return false;
        ++opened;
        return true;
    }
    void close() override { ++closed; }
    bool put_text(std::string_view utf8) override
    {
        text = std::string(utf8);
        return true;
    }
    std::optional<std::string> take_text() override { return text; }

    std::vector<std::chrono::steady_clock::time_point> attempts;
    int opened = 0;
    int closed = 0;
    std::optional<std::string> text;

private:
    int failures_;
};

void make_program(const fs::path& path, std::string_view script)
{
    std::ofstream(path) << "#!/bin/sh\n" << script << "\n";
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

// A process that has ended and been reaped, or is left as a zombie only.
bool is_gone(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    if (!stat) return true;
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z';
}

bool eventually_gone(pid_t pid)
{
    for (int i = 0; i < 500 && !is_gone(pid); ++i) std::this_thread::sleep_for(10ms);
    return is_gone(pid);
}

// Every helper this process started has been waited for: none is left as a zombie.
bool no_child_left() { return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

}  // namespace

TEST(ClipboardOps, CopyAndCutPutTheSelectionOutWithLf)
{
    Editor editor = make_editor({"birinchi qator", "ikkinchi", "uchinchi"});
    editor.buffer.line_ending = LineEnding::CrLf;
    ASSERT_TRUE(set_clipboard_text(*editor.clipboard, "eski"));

    // Nothing selected: the clipboard keeps what it had, the message shows anyway.
    copy_selection(editor);
    EXPECT_EQ(editor.status_message.text, "Nusxa olindi");
    EXPECT_EQ(get_clipboard_text(*editor.clipboard), "eski");
    editor.anchor = editor.cursor;
    copy_selection(editor);
    EXPECT_EQ(get_clipboard_text(*editor.clipboard), "eski");

    // Two lines of a CR LF document go out with LF alone.
    select(editor, {0, 9}, {1, 4});
    copy_selection(editor);
    EXPECT_EQ(get_clipboard_text(*editor.clipboard), "qator\nikki");
    // From the middle of a line to the start of the next: the rest and one LF.
    select(editor, {1, 0}, {0, 9});
    copy_selection(editor);
    EXPECT_EQ(get_clipboard_text(*editor.clipboard), "qator\n");
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"birinchi qator", "ikkinchi", "uchinchi"}));

    // Cut without a selection changes nothing but the message.
    editor.anchor.reset();
    editor.cursor = {2, 3};
    cut_selection(editor);
    EXPECT_EQ(editor.status_message.text, "Kesildi");
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"birinchi qator", "ikkinchi", "uchinchi"}));
    EXPECT_EQ(get_clipboard_text(*editor.clipboard), "qator\n");

    select(editor, {1, 3}, {2, 2});
    cut_selection(editor);
    EXPECT_EQ(editor.status_message.text, "Kesildi");
    EXPECT_EQ(get_clipboard_text(*editor.clipboard), "inchi\nuc");
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"birinchi qator", "ikkhinchi"}));
    EXPECT_EQ(editor.cursor, (Position{1, 3}));
    undo(editor);
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"birinchi qator", "ikkinchi", "uchinchi"}));
}

TEST(ClipboardOps, PasteInsertsLinesDropsCrAndIsOneUndoStep)
{
    Editor editor = make_editor({"boshXoxir"});

    // Nothing copied yet: nothing happens, the selection stays.
    select(editor, {0, 0}, {0, 4});
    paste_clipboard(editor);
    EXPECT_EQ(lines_of(editor), std::vector<std::string>{"boshXoxir"});
    EXPECT_EQ(editor.anchor, (Position{0, 0}));

    editor.anchor.reset();
    editor.cursor = {0, 4};
    ASSERT_TRUE(set_clipboard_text(*editor.clipboard, "a\r\nb"));
    paste_clipboard(editor);
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"bosha", "bXoxir"}));
    EXPECT_EQ(editor.cursor, (Position{1, 1}));
    undo(editor);
    EXPECT_EQ(lines_of(editor), std::vector<std::string>{"boshXoxir"});
    EXPECT_EQ(editor.cursor, (Position{0, 4}));

    // A lone CR vanishes; a tab stays a tab; the text ends at a zero.
    ASSERT_TRUE(set_clipboard_text(*editor.clipboard, std::string("x\ry\tz\0yo'q", 10)));
    paste_clipboard(editor);
    EXPECT_EQ(lines_of(editor), std::vector<std::string>{"boshxy\tzXoxir"});
    EXPECT_EQ(editor.cursor, (Position{0, 8}));
    EXPECT_TRUE(editor.status_message.text.empty()) << "paste sets no message";

    // Over a selection: two undo steps, the paste first.
    select(editor, {0, 0}, {0, 4});
    ASSERT_TRUE(set_clipboard_text(*editor.clipboard, "Yangi"));
    paste_clipboard(editor);
    EXPECT_EQ(lines_of(editor), std::vector<std::string>{"Yangixy\tzXoxir"});
    undo(editor);
    EXPECT_EQ(lines_of(editor), std::vector<std::string>{"xy\tzXoxir"});
    undo(editor);
    EXPECT_EQ(lines_of(editor), std::vector<std::string>{"boshxy\tzXoxir"});

    // An empty text over a selection deletes it and inserts nothing.
    select(editor, {0, 4}, {0, 8});
    ASSERT_TRUE(set_clipboard_text(*editor.clipboard, ""));
    paste_clipboard(editor);
    EXPECT_EQ(lines_of(editor), std::vector<std::string>{"boshXoxir"});
    EXPECT_EQ(editor.cursor, (Position{0, 4}));
    undo(editor);
    EXPECT_EQ(lines_of(editor), std::vector<std::string>{"boshxy\tzXoxir"});

    // Bytes that are not UTF-8 arrive as U+FFFD, never into the buffer as they are.
    editor.anchor.reset();
    editor.cursor = {0, 0};
    ASSERT_TRUE(set_clipboard_text(*editor.clipboard, "\xFF"
                                                      "a\xC3"));
    paste_clipboard(editor);
    EXPECT_EQ(lines_of(editor), std::vector<std::string>{"\uFFFDa\uFFFDboshxy\tzXoxir"});
}

TEST(ClipboardOps, AnUnreachableClipboardIsSilent)
{
    Editor editor = make_editor({"kesiladigan matn"});
    editor.clipboard = std::make_unique<FlakyBackend>(1000);
    select(editor, {0, 0}, {0, 12});
    copy_selection(editor);
    EXPECT_EQ(editor.status_message.text, "Nusxa olindi");
    cut_selection(editor);
    EXPECT_EQ(editor.status_message.text, "Kesildi");
    EXPECT_EQ(lines_of(editor), std::vector<std::string>{"matn"}) << "cut deletes even when the copy failed";
    select(editor, {0, 0}, {0, 2});
    paste_clipboard(editor);
    EXPECT_EQ(lines_of(editor), std::vector<std::string>{"matn"});
    EXPECT_EQ(editor.anchor, (Position{0, 0}));
    undo(editor);
    EXPECT_EQ(lines_of(editor), std::vector<std::string>{"kesiladigan matn"});
}

TEST(ClipboardLayer, OpeningIsTriedSixTimesWithPausesBetween)
{
    for (int failures : {0, 1, 5, 6, 9}) {
        SCOPED_TRACE("failing " + std::to_string(failures) + " times");
        FlakyBackend backend(failures);
        const bool placed = set_clipboard_text(backend, "matn");
        const std::size_t expected_attempts = static_cast<std::size_t>(std::min(failures + 1, 6));
        ASSERT_EQ(backend.attempts.size(), expected_attempts);
        EXPECT_EQ(placed, failures < 6);
        EXPECT_EQ(backend.text, placed ? std::optional<std::string>("matn") : std::nullopt);
        // Closed after every successful opening, and only then.
        EXPECT_EQ(backend.closed, backend.opened);
        for (std::size_t i = 1; i < backend.attempts.size(); ++i)
            EXPECT_GE(backend.attempts[i] - backend.attempts[i - 1], 5ms) << "pause before attempt " << i + 1;
    }
    FlakyBackend late(5);
    late.text = "bor";
    EXPECT_EQ(get_clipboard_text(late), "bor");
    EXPECT_EQ(late.attempts.size(), 6u);
    FlakyBackend never(6);
    never.text = "bor";
    EXPECT_EQ(get_clipboard_text(never), std::nullopt);
    EXPECT_EQ(never.closed, 0);
}

TEST(Osc52, CopiesGoToTheTerminalAsBase64)
{
    EXPECT_EQ(osc52_sequence(""), "\x1b]52;c;\x07");
    EXPECT_EQ(osc52_sequence("f"), "\x1b]52;c;Zg==\x07");
    EXPECT_EQ(osc52_sequence("fo"), "\x1b]52;c;Zm8=\x07");
    EXPECT_EQ(osc52_sequence("foo"), "\x1b]52;c;Zm9v\x07");
    EXPECT_EQ(osc52_sequence("foobar"), "\x1b]52;c;Zm9vYmFy\x07");
    EXPECT_EQ(osc52_sequence("Salom\n\xC3\xBF\xFF"), "\x1b]52;c;U2Fsb20Kw7//\x07");

    term::Output terminal;
    Editor editor = make_editor({"bir", "ikki"});
    editor.clipboard = std::make_unique<Osc52Clipboard>(std::make_unique<InProcessClipboard>(), terminal);
    select(editor, {0, 1}, {1, 2});
    copy_selection(editor);
    EXPECT_EQ(terminal.written(), osc52_sequence("ir\nik"));
    // Pasting never asks the terminal: the text comes from the clipboard behind it.
    terminal.clear_written();
    editor.anchor.reset();
    editor.cursor = {0, 0};
    paste_clipboard(editor);
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"ir", "ikbir", "ikki"}));
    EXPECT_EQ(terminal.written(), "");
}

TEST(SystemClipboard, HelpersAreChosenFromTheSession)
{
    TempDir dir;
    const fs::path wayland = dir / "wayland";
    const fs::path x11 = dir / "x11";
    const fs::path xsel_only = dir / "xsel";
    for (const fs::path& d : {wayland, x11, xsel_only}) fs::create_directory(d);
    make_program(wayland / "wl-copy", "true");
    make_program(wayland / "wl-paste", "true");
    make_program(x11 / "xclip", "true");
    make_program(x11 / "xsel", "true");
    make_program(xsel_only / "xsel", "true");
    std::ofstream(xsel_only / "xclip") << "not executable\n";
    const std::string everything = wayland.string() + ":" + x11.string();

    auto chosen = find_clipboard_commands("wayland-0", ":0", everything);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->copy, std::vector<std::string>{(wayland / "wl-copy").string()});
    EXPECT_EQ(chosen->paste,
              (std::vector<std::string>{(wayland / "wl-paste").string(), "--no-newline", "--type", "text"}));

    chosen = find_clipboard_commands("", ":0", everything);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->copy, (std::vector<std::string>{(x11 / "xclip").string(), "-selection", "clipboard", "-in"}));
    // Wayland without its tools falls back on X11 (XWayland).
    chosen = find_clipboard_commands("wayland-0", ":0", x11.string());
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->copy.front(), (x11 / "xclip").string());

    chosen = find_clipboard_commands(nullptr, ":1", xsel_only.string() + ":/nonexistent");
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->copy, (std::vector<std::string>{(xsel_only / "xsel").string(), "--clipboard", "--input"}));
    EXPECT_EQ(chosen->paste, (std::vector<std::string>{(xsel_only / "xsel").string(), "--clipboard", "--output"}));

    EXPECT_FALSE(find_clipboard_commands(nullptr, nullptr, everything));
    EXPECT_FALSE(find_clipboard_commands("", "", everything));
    EXPECT_FALSE(find_clipboard_commands("wayland-0", nullptr, x11.string()));
    EXPECT_FALSE(find_clipboard_commands(nullptr, ":0", "/nonexistent"));
}

TEST(SystemClipboard, HelpersRunDirectlyAndCannotHangTheEditor)
{
    TempDir dir;
    const fs::path store = dir / "saqlangan";
    const fs::path server_pid = dir / "server.pid";
    // Like xclip -in: reads the text, leaves a process behind to serve it, exits.
    make_program(dir / "nusxa", "cat > '" + store.string() + "'; sleep 30 & echo $! > '" + server_pid.string() + "'");
    make_program(dir / "qoy", "cat '" + store.string() + "'");
    CommandClipboard clipboard({{(dir / "nusxa").string()}, {(dir / "qoy").string()}});

    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(set_clipboard_text(clipboard, "Salom\ndunyo\r\n"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, HELPER_TIMEOUT) << "waited for the serving process";
    EXPECT_EQ(read_bytes(store), "Salom\ndunyo\r\n");
    EXPECT_EQ(get_clipboard_text(clipboard), "Salom\ndunyo\r\n");
    const pid_t server = static_cast<pid_t>(std::stol(read_bytes(server_pid)));
    ::kill(server, SIGKILL);

    // A failing helper gives nothing.
    make_program(dir / "bosh", "exit 1");
    CommandClipboard failing({{(dir / "bosh").string()}, {(dir / "bosh").string()}});
    EXPECT_FALSE(set_clipboard_text(failing, "x"));
    EXPECT_EQ(get_clipboard_text(failing), std::nullopt);
    CommandClipboard missing({{(dir / "yo'q").string()}, {(dir / "yo'q").string()}});
    EXPECT_FALSE(set_clipboard_text(missing, "x"));
    EXPECT_EQ(get_clipboard_text(missing), std::nullopt);

    // A helper that never reads its input: the editor must not die of SIGPIPE.
    make_program(dir / "oqimaydi", "exit 0");
    EXPECT_FALSE(run_helper({(dir / "oqimaydi").string()}, std::string(1 << 20, 'x'), nullptr, HELPER_TIMEOUT));

    // A hung helper is killed at the time limit, with what it started.
    const fs::path child_pid = dir / "child.pid";
    make_program(dir / "osilgan", "sleep 30 & echo $! > '" + child_pid.string() + "'; wait");
    std::string output;
    const auto hung = std::chrono::steady_clock::now();
    EXPECT_FALSE(run_helper({(dir / "osilgan").string()}, "", &output, 1000ms));
    EXPECT_LT(std::chrono::steady_clock::now() - hung, 10s);
    ASSERT_TRUE(fs::exists(child_pid));
    EXPECT_TRUE(eventually_gone(static_cast<pid_t>(std::stol(read_bytes(child_pid)))));
    EXPECT_TRUE(no_child_left());
}

TEST(SystemClipboard, HelpersStartWithDefaultSignalsAndNothingBlocked)
{
    // The editor ignores SIGPIPE; a helper that inherited that, or a blocked
    // signal, would not end as its authors expect when its reader goes away.
    TempDir dir;
    make_program(dir / "holat", "exec grep -E '^Sig(Blk|Ign):' /proc/self/status");
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction previous_pipe {};
    ASSERT_EQ(::sigaction(SIGPIPE, &ignore, &previous_pipe), 0);
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    sigaddset(&blocked, SIGTERM);
    sigset_t previous_mask;
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &blocked, &previous_mask), 0);

    std::string output;
    const bool ran = run_helper({(dir / "holat").string()}, "", &output, HELPER_TIMEOUT);
    ::pthread_sigmask(SIG_SETMASK, &previous_mask, nullptr);
    ::sigaction(SIGPIPE, &previous_pipe, nullptr);
    ASSERT_TRUE(ran);
    ASSERT_EQ(output.size(), 2 * 25u) << output;
    EXPECT_EQ(output.substr(0, 25), "SigBlk:\t0000000000000000\n");
    // The C library itself leaves its two internal real-time signals
    // ignored in a spawned program; the classic signals 1 to 31 must all be
    // at their defaults.
    const std::uint64_t ignored = std::stoull(output.substr(33, 16), nullptr, 16);
    EXPECT_EQ(output.substr(25, 8), "SigIgn:\t");
    EXPECT_EQ(ignored & 0x7FFFFFFFu, 0u) << output;
    EXPECT_TRUE(no_child_left());
}

TEST(SystemClipboard, WithoutPathTheWorkingDirectoryIsNotSearched)
{
    TempDir dir;
    const fs::path ran = dir / "ishladi";
    for (const char* name : {"xclip", "xsel", "wl-copy", "wl-paste"})
        make_program(dir / name, ": > '" + ran.string() + "'");

    // The environment and the working directory as make_system_clipboard
    // finds them in a session without PATH; restored afterwards.
    struct Saved {
        std::optional<std::string> path, display, wayland;
        fs::path cwd = fs::current_path();
        static std::optional<std::string> get(const char* name)
        {
            const char* value = std::getenv(name);
            return value ? std::optional<std::string>(value) : std::nullopt;
        }
        static void put(const char* name, const std::optional<std::string>& value)
        {
            if (value)
                ::setenv(name, value->c_str(), 1);
            else
                ::unsetenv(name);
        }
        ~Saved()
        {
            put("PATH", path);
            put("DISPLAY", display);
            put("WAYLAND_DISPLAY", wayland);
            fs::current_path(cwd);
        }
    } saved{Saved::get("PATH"), Saved::get("DISPLAY"), Saved::get("WAYLAND_DISPLAY")};
    ::unsetenv("PATH");
    ::setenv("DISPLAY", ":987", 1);
    ::setenv("WAYLAND_DISPLAY", "wayland-987", 1);
    fs::current_path(dir.path());

    term::Output terminal;
    const std::unique_ptr<ClipboardBackend> clipboard = make_system_clipboard(terminal);
    (void)set_clipboard_text(*clipboard, "matn");
    (void)get_clipboard_text(*clipboard);
    EXPECT_FALSE(fs::exists(ran)) << "a program of the working directory was run";
    EXPECT_TRUE(no_child_left());
}
