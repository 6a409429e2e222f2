#include "clipboard/clipboard.hpp"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
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

using Lines = std::vector<std::string>;
using test_support::lines_of;
using test_support::read_bytes;
using test_support::select;
using test_support::TempDir;

Editor make_editor(Lines lines)
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
        opened += static_cast<int>(attempts.size()) > failures_;
        return static_cast<int>(attempts.size()) > failures_;
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
    const std::string stat = read_bytes("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    return stat.empty() || (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z');
}

bool eventually_gone(pid_t pid)
{
    for (int i = 0; i < 500 && !is_gone(pid); ++i) std::this_thread::sleep_for(10ms);
    return is_gone(pid);
}

// Every helper this process started has been waited for: none is left as a zombie.
bool no_child_left() { return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

// PATH, DISPLAY and WAYLAND_DISPLAY (null: unset) and the working directory
// as make_system_clipboard is to find them, until the guard goes.
class Session {
public:
    Session(std::array<const char*, 3> values, const fs::path& cwd)
    {
        for (std::size_t i = 0; i < NAMES.size(); ++i) {
            const char* old = std::getenv(NAMES[i]);
            saved_[i] = old ? std::optional<std::string>(old) : std::nullopt;
            set(NAMES[i], values[i]);
        }
        fs::current_path(cwd);
    }
    ~Session()
    {
        for (std::size_t i = 0; i < NAMES.size(); ++i) set(NAMES[i], saved_[i] ? saved_[i]->c_str() : nullptr);
        fs::current_path(cwd_);
    }

private:
    static constexpr std::array<const char*, 3> NAMES = {"PATH", "DISPLAY", "WAYLAND_DISPLAY"};
    static void set(const char* name, const char* value) { value ? ::setenv(name, value, 1) : ::unsetenv(name); }
    std::array<std::optional<std::string>, 3> saved_;
    fs::path cwd_ = fs::current_path();
};

}  // namespace

TEST(ClipboardOps, CopyAndCutPutTheSelectionOutWithLf)
{
    Editor editor = make_editor({"birinchi qator", "ikkinchi", "uchinchi"});
    editor.buffer.line_ending = LineEnding::CrLf;
    ASSERT_TRUE(set_clipboard_text(*editor.clipboard, "eski"));

    // Nothing selected, or an empty selection: the clipboard keeps what it
    // had, the message shows anyway.
    copy_selection(editor);
    EXPECT_EQ(editor.status_message.text, "Nusxa olindi");
    editor.anchor = editor.cursor;
    copy_selection(editor);
    EXPECT_EQ(get_clipboard_text(*editor.clipboard), "eski");

    // Two lines of a CR LF document go out with LF alone; from the middle
    // of a line to the start of the next, the rest and one LF.
    select(editor, {0, 9}, {1, 4});
    copy_selection(editor);
    EXPECT_EQ(get_clipboard_text(*editor.clipboard), "qator\nikki");
    select(editor, {1, 0}, {0, 9});
    copy_selection(editor);
    EXPECT_EQ(get_clipboard_text(*editor.clipboard), "qator\n");
    EXPECT_EQ(lines_of(editor), (Lines{"birinchi qator", "ikkinchi", "uchinchi"}));

    // Cut without a selection changes nothing but the message.
    editor.anchor.reset();
    editor.cursor = {2, 3};
    cut_selection(editor);
    EXPECT_EQ(editor.status_message.text, "Kesildi");
    EXPECT_EQ(lines_of(editor), (Lines{"birinchi qator", "ikkinchi", "uchinchi"}));
    EXPECT_EQ(get_clipboard_text(*editor.clipboard), "qator\n");

    select(editor, {1, 3}, {2, 2});
    cut_selection(editor);
    EXPECT_EQ(get_clipboard_text(*editor.clipboard), "inchi\nuc");
    EXPECT_EQ(lines_of(editor), (Lines{"birinchi qator", "ikkhinchi"}));
    EXPECT_EQ(editor.cursor, (Position{1, 3}));
    undo(editor);
    EXPECT_EQ(lines_of(editor), (Lines{"birinchi qator", "ikkinchi", "uchinchi"}));
}

TEST(ClipboardOps, PasteInsertsLinesDropsCrAndIsOneUndoStep)
{
    Editor editor = make_editor({"boshXoxir"});

    // Nothing copied yet: nothing happens, the selection stays.
    select(editor, {0, 0}, {0, 4});
    paste_clipboard(editor);
    EXPECT_EQ(lines_of(editor), Lines{"boshXoxir"});
    EXPECT_EQ(editor.anchor, (Position{0, 0}));

    editor.anchor.reset();
    editor.cursor = {0, 4};
    ASSERT_TRUE(set_clipboard_text(*editor.clipboard, "a\r\nb"));
    paste_clipboard(editor);
    EXPECT_EQ(lines_of(editor), (Lines{"bosha", "bXoxir"}));
    EXPECT_EQ(editor.cursor, (Position{1, 1}));
    undo(editor);
    EXPECT_EQ(lines_of(editor), Lines{"boshXoxir"});
    EXPECT_EQ(editor.cursor, (Position{0, 4}));

    // A lone CR vanishes; a tab stays a tab; the text ends at a zero.
    ASSERT_TRUE(set_clipboard_text(*editor.clipboard, std::string("x\ry\tz\0yo'q", 10)));
    paste_clipboard(editor);
    EXPECT_EQ(lines_of(editor), Lines{"boshxy\tzXoxir"});
    EXPECT_EQ(editor.cursor, (Position{0, 8}));
    EXPECT_TRUE(editor.status_message.text.empty()) << "paste sets no message";

    // Over a selection: two undo steps, the paste first; an empty text
    // deletes the selection and inserts nothing.
    for (const std::string text : {"Yangi", ""}) {
        select(editor, {0, 0}, {0, 4});
        ASSERT_TRUE(set_clipboard_text(*editor.clipboard, text));
        paste_clipboard(editor);
        EXPECT_EQ(lines_of(editor), Lines{text + "xy\tzXoxir"});
        EXPECT_EQ(editor.cursor, (Position{0, text.size()}));
        undo(editor);
        if (!text.empty()) {
            EXPECT_EQ(lines_of(editor), Lines{"xy\tzXoxir"});
            undo(editor);
        }
        EXPECT_EQ(lines_of(editor), Lines{"boshxy\tzXoxir"});
    }

    // Bytes that are not UTF-8 arrive as U+FFFD, never into the buffer as they are.
    editor.anchor.reset();
    editor.cursor = {0, 0};
    ASSERT_TRUE(set_clipboard_text(*editor.clipboard, "\xFF\x61\xC3"));
    paste_clipboard(editor);
    EXPECT_EQ(lines_of(editor), Lines{"\uFFFDa\uFFFDboshxy\tzXoxir"});
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
    EXPECT_EQ(lines_of(editor), Lines{"matn"}) << "cut deletes even when the copy failed";
    select(editor, {0, 0}, {0, 2});
    paste_clipboard(editor);
    EXPECT_EQ(lines_of(editor), Lines{"matn"});
    EXPECT_EQ(editor.anchor, (Position{0, 0}));
    undo(editor);
    EXPECT_EQ(lines_of(editor), Lines{"kesiladigan matn"});
}

TEST(ClipboardLayer, OpeningIsTriedSixTimesWithPausesBetween)
{
    for (int failures : {0, 1, 5, 6, 9}) {
        SCOPED_TRACE("failing " + std::to_string(failures) + " times");
        FlakyBackend backend(failures);
        const bool placed = set_clipboard_text(backend, "matn");
        ASSERT_EQ(backend.attempts.size(), static_cast<std::size_t>(std::min(failures + 1, 6)));
        EXPECT_EQ(placed, failures < 6);
        EXPECT_EQ(backend.text, placed ? std::optional<std::string>("matn") : std::nullopt);
        // Closed after every successful opening, and only then.
        EXPECT_EQ(backend.closed, backend.opened);
        for (std::size_t i = 1; i < backend.attempts.size(); ++i)
            EXPECT_GE(backend.attempts[i] - backend.attempts[i - 1], 5ms) << "pause before attempt " << i + 1;
    }
    for (int failures : {5, 6}) {
        FlakyBackend backend(failures);
        backend.text = "bor";
        EXPECT_EQ(get_clipboard_text(backend), failures < 6 ? std::optional<std::string>("bor") : std::nullopt);
        EXPECT_EQ(backend.attempts.size(), 6u);
        EXPECT_EQ(backend.closed, backend.opened);
    }
}

TEST(Osc52, CopiesGoToTheTerminalAsBase64)
{
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"", ""},        {"f", "Zg=="},          {"fo", "Zm8="},
        {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}, {"Salom\n\xC3\xBF\xFF", "U2Fsb20Kw7//"},
    };
    for (const auto& [text, base64] : rows) EXPECT_EQ(osc52_sequence(text), "\x1b]52;c;" + base64 + "\x07");

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
    EXPECT_EQ(lines_of(editor), (Lines{"ir", "ikbir", "ikki"}));
    EXPECT_EQ(terminal.written(), "");
}

TEST(SystemClipboard, HelpersAreChosenFromTheSession)
{
    TempDir dir;
    for (const char* d : {"wayland", "x11", "xsel"}) fs::create_directory(dir / d);
    for (const char* program : {"wayland/wl-copy", "wayland/wl-paste", "x11/xclip", "x11/xsel", "xsel/xsel"})
        make_program(dir / program, "true");
    std::ofstream(dir / "xsel/xclip") << "not executable\n";
    const std::string wayland = (dir / "wayland").string(), x11 = (dir / "x11").string();
    const std::string xsel = (dir / "xsel").string(), both = wayland + ":" + x11;
    const Lines wl_copy = {wayland + "/wl-copy"};
    const Lines wl_paste = {wayland + "/wl-paste", "--no-newline", "--type", "text"};
    const Lines xclip_copy = {x11 + "/xclip", "-selection", "clipboard", "-in"};
    const Lines xclip_paste = {x11 + "/xclip", "-selection", "clipboard", "-out", "-target", "UTF8_STRING"};
    const Lines xsel_copy = {xsel + "/xsel", "--clipboard", "--input"};
    const Lines xsel_paste = {xsel + "/xsel", "--clipboard", "--output"};

    struct Row {
        const char *wayland_display, *display;
        std::string path;
        Lines copy, paste;  // empty: no helpers
    };
    const std::vector<Row> rows = {
        {"wayland-0", ":0", both, wl_copy, wl_paste},
        // A Wayland session need not have DISPLAY at all.
        {"wayland-0", nullptr, both, wl_copy, wl_paste},
        {"wayland-0", "", wayland, wl_copy, wl_paste},
        {"", ":0", both, xclip_copy, xclip_paste},
        // Wayland without its tools falls back on X11 (XWayland).
        {"wayland-0", ":0", x11, xclip_copy, xclip_paste},
        // xsel where xclip is missing or cannot be run.
        {nullptr, ":1", xsel + ":/nonexistent", xsel_copy, xsel_paste},
        {nullptr, nullptr, both, {}, {}},
        {"", "", both, {}, {}},
        {"wayland-0", nullptr, x11, {}, {}},
        {nullptr, ":0", "/nonexistent", {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.wayland_display ? row.wayland_display : "(unset)") + " " +
                     (row.display ? row.display : "(unset)") + " " + row.path);
        const auto chosen = find_clipboard_commands(row.wayland_display, row.display, row.path);
        EXPECT_EQ(chosen ? chosen->copy : Lines{}, row.copy);
        EXPECT_EQ(chosen ? chosen->paste : Lines{}, row.paste);
    }
}

TEST(SystemClipboard, AWaylandSessionWithoutDisplayCopiesThroughWlCopy)
{
    TempDir dir;
    const fs::path store = dir / "saqlangan", calls = dir / "chaqiruvlar";
    make_program(dir / "wl-copy", "echo \"wl-copy $*\" >> '" + calls.string() + "'; cat > '" + store.string() + "'");
    make_program(dir / "wl-paste", "echo \"wl-paste $*\" >> '" + calls.string() + "'; cat '" + store.string() + "'");
    const std::string path = dir.path().string() + ":/usr/bin:/bin";
    const Session wayland({path.c_str(), nullptr, "wayland-0"}, dir.path());

    term::Output terminal;
    const std::unique_ptr<ClipboardBackend> clipboard = make_system_clipboard(terminal);
    ASSERT_TRUE(set_clipboard_text(*clipboard, "Salom, Wayland"));
    EXPECT_EQ(read_bytes(store), "Salom, Wayland");
    EXPECT_EQ(get_clipboard_text(*clipboard), "Salom, Wayland");
    EXPECT_EQ(read_bytes(calls), "wl-copy \nwl-paste --no-newline --type text\n");
    // Every copy also goes to the terminal.
    EXPECT_EQ(terminal.written(), osc52_sequence("Salom, Wayland"));
    EXPECT_TRUE(no_child_left());
}

TEST(SystemClipboard, WithoutPathTheWorkingDirectoryIsNotSearched)
{
    TempDir dir;
    const fs::path ran = dir / "ishladi";
    for (const char* name : {"xclip", "xsel", "wl-copy", "wl-paste"})
        make_program(dir / name, ": > '" + ran.string() + "'");
    const Session no_path({nullptr, ":987", "wayland-987"}, dir.path());

    term::Output terminal;
    const std::unique_ptr<ClipboardBackend> clipboard = make_system_clipboard(terminal);
    (void)set_clipboard_text(*clipboard, "matn");
    (void)get_clipboard_text(*clipboard);
    EXPECT_FALSE(fs::exists(ran)) << "a program of the working directory was run";
    EXPECT_TRUE(no_child_left());
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
    ::kill(static_cast<pid_t>(std::stol(read_bytes(server_pid))), SIGKILL);

    // A failing or missing helper gives nothing.
    make_program(dir / "bosh", "exit 1");
    for (const char* name : {"bosh", "yo'q"}) {
        CommandClipboard failing({{(dir / name).string()}, {(dir / name).string()}});
        EXPECT_FALSE(set_clipboard_text(failing, "x"));
        EXPECT_EQ(get_clipboard_text(failing), std::nullopt);
    }

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
    EXPECT_EQ(output.substr(0, 33), "SigBlk:\t0000000000000000\nSigIgn:\t");
    // The C library itself leaves its two internal real-time signals
    // ignored in a spawned program; the classic signals 1 to 31 must all be
    // at their defaults.
    EXPECT_EQ(std::stoull(output.substr(33, 16), nullptr, 16) & 0x7FFFFFFFu, 0u) << output;
    EXPECT_TRUE(no_child_left());
}
