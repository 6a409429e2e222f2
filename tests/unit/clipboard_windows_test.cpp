// The Windows clipboard backend against the real clipboard (run under Wine
// in CI): text out and in as zero-terminated UTF-16, a clipboard another
// thread holds, content that is not text, another process reading what we
// placed, and the editor's copy, cut and paste on top of it all.

#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

#include "clipboard/clipboard.hpp"
#include "clipboard/system_clipboard.hpp"
#include "editor/clipboard_ops.hpp"
#include "editor/editing.hpp"
#include "support/editor_state.hpp"
#include "support/files.hpp"

using namespace std::chrono_literals;

namespace {

using test_support::lines_of;
using test_support::select;

// --- another process -------------------------------------------------------

// Started as `<this exe> --print-clipboard <file>`, the executable is not a
// test run: it reads the clipboard through the backend, writes the text as
// UTF-8 to the file and ends, with status 3 when there was no text. Decided
// while the program starts, before gtest's main, which the child never runs.
[[maybe_unused]] const bool child_mode = [] {
    int count = 0;
    wchar_t** args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (args == nullptr) return false;
    if (count != 3 || std::wstring_view(args[1]) != L"--print-clipboard") {
        ::LocalFree(args);
        return false;
    }
    WindowsClipboard clipboard;
    const std::optional<std::string> text = get_clipboard_text(clipboard);
    HANDLE file = ::CreateFileW(args[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ::LocalFree(args);
    if (file == INVALID_HANDLE_VALUE) ::ExitProcess(2);
    DWORD written = 0;
    if (text) ::WriteFile(file, text->data(), static_cast<DWORD>(text->size()), &written, nullptr);
    ::CloseHandle(file);
    ::ExitProcess(text ? 0 : 3);
}();

std::wstring own_path()
{
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

// Runs this executable in child mode and gives its exit status and what it
// wrote.
std::pair<DWORD, std::string> clipboard_seen_by_child()
{
    test_support::TempDir dir;
    const std::filesystem::path out = dir / "pano.txt";
    std::wstring command = L"\"" + own_path() + L"\" --print-clipboard \"" + out.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return {~DWORD{0}, "CreateProcessW failed"};
    }
    ::WaitForSingleObject(process.hProcess, 60000);
    DWORD status = ~DWORD{0};
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return {status, test_support::read_bytes(out)};
}

// --- raw Win32 access, independent of the backend ---------------------------

std::u16string units_of(const wchar_t* text, std::size_t count)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text), count);
}

// Replaces the clipboard's content with one block of `format` holding
// exactly these bytes.
bool raw_put(UINT format, const void* bytes, std::size_t size)
{
    if (!::OpenClipboard(nullptr)) return false;
    ::EmptyClipboard();
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, size);
    bool placed = false;
    if (block != nullptr) {
        std::memcpy(::GlobalLock(block), bytes, size);
        ::GlobalUnlock(block);
        placed = ::SetClipboardData(format, block) != nullptr;
        if (!placed) ::GlobalFree(block);
    }
    ::CloseClipboard();
    return placed;
}

bool raw_put_units(std::u16string_view units)
{
    return raw_put(CF_UNICODETEXT, units.data(), units.size() * sizeof(char16_t));
}

// The whole CF_UNICODETEXT block, slack and terminator included, as UTF-16
// units (an odd last byte left out); nothing without such a block.
std::optional<std::u16string> raw_block()
{
    if (!::OpenClipboard(nullptr)) return std::nullopt;
    std::optional<std::u16string> units;
    if (HANDLE handle = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const void* memory = ::GlobalLock(handle)) {
            units = units_of(static_cast<const wchar_t*>(memory), ::GlobalSize(handle) / sizeof(wchar_t));
            ::GlobalUnlock(handle);
        }
    }
    ::CloseClipboard();
    return units;
}

// The text as another program reads it: up to the first zero unit. Fails
// the test when the block has no zero unit at all.
std::u16string raw_text()
{
    const std::optional<std::u16string> block = raw_block();
    if (!block) {
        ADD_FAILURE() << "no CF_UNICODETEXT on the clipboard";
        return u"<none>";
    }
    const std::size_t end = block->find(u'\0');
    if (end == std::u16string::npos) {
        ADD_FAILURE() << "the text block has no terminating zero";
        return *block;
    }
    return block->substr(0, end);
}

// --- a clipboard held by another thread --------------------------------------

// Another thread opens the clipboard and keeps it until release() or the
// end of the holder's life. It opens it for a window of its own, as a
// program with a user interface does: the clipboard is then plainly someone
// else's, for Wine as for Windows.
class ClipboardHolder {
public:
    ClipboardHolder()
        : thread_([this] {
              HWND window = ::CreateWindowExW(0, L"STATIC", L"zep test", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                              nullptr);
              std::unique_lock lock(mutex_);
              opened_ = window != nullptr && ::OpenClipboard(window) != 0;
              ready_ = true;
              changed_.notify_all();
              changed_.wait(lock, [this] { return release_requested_; });
              if (opened_) ::CloseClipboard();
              if (window != nullptr) ::DestroyWindow(window);
              released_ = true;
              changed_.notify_all();
          })
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return ready_; });
    }
    ~ClipboardHolder()
    {
        release();
        thread_.join();
    }
    ClipboardHolder(const ClipboardHolder&) = delete;
    ClipboardHolder& operator=(const ClipboardHolder&) = delete;

    bool opened() const { return opened_; }
    // Returns once the other thread has closed the clipboard.
    void release()
    {
        std::unique_lock lock(mutex_);
        release_requested_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool opened_ = false;
    bool ready_ = false;
    bool release_requested_ = false;
    bool released_ = false;
    std::thread thread_;
};

// The real backend, with a count of the openings tried and an optional
// action after a given failed attempt.
class CountingClipboard final : public ClipboardBackend {
public:
    bool try_open() override
    {
        ++attempts;
        const bool opened = real_.try_open();
        if (!opened && attempts == act_after_failure && on_failure) on_failure();
        return opened;
    }
    void close() override { real_.close(); }
    bool put_text(std::string_view utf8) override { return real_.put_text(utf8); }
    std::optional<std::string> take_text() override { return real_.take_text(); }

    int attempts = 0;
    int act_after_failure = 0;
    std::function<void()> on_failure;

private:
    WindowsClipboard real_;
};

// --- the editor ----------------------------------------------------------------

Editor make_editor(std::vector<std::string> lines)
{
    Editor editor;
    editor.buffer = Buffer(std::move(lines));
    editor.clipboard = std::make_unique<WindowsClipboard>();
    return editor;
}

const std::string MIXED = "Salom, Привет мир\n漢字とかな\t😀👍🏽";
const std::u16string MIXED_UNITS = u"Salom, Привет мир\n漢字とかな\t😀👍🏽";

}  // namespace

TEST(WindowsClipboard, TextTravelsAsZeroTerminatedUtf16)
{
    WindowsClipboard clipboard;

    // Out through the backend, read back both ways.
    for (const auto& [utf8, units] : {std::pair<std::string, std::u16string>{"Привет, мир", u"Привет, мир"},
                                      {"漢字とかな", u"漢字とかな"},
                                      {"😀 👍🏽", u"😀 👍🏽"},
                                      {MIXED, MIXED_UNITS}}) {
        ASSERT_TRUE(set_clipboard_text(clipboard, utf8)) << utf8;
        EXPECT_EQ(get_clipboard_text(clipboard), utf8);
        const std::optional<std::u16string> block = raw_block();
        ASSERT_TRUE(block) << utf8;
        ASSERT_GE(block->size(), units.size() + 1) << utf8 << ": no room for the zero unit";
        EXPECT_EQ(block->substr(0, units.size()), units);
        EXPECT_EQ((*block)[units.size()], u'\0') << utf8;
    }

    // In from another program's raw calls.
    ASSERT_TRUE(raw_put_units(std::u16string(u"Ёлка 木 🎄") + u'\0'));
    EXPECT_EQ(get_clipboard_text(clipboard), "Ёлка 木 🎄");
    // An empty text is a text, not nothing.
    ASSERT_TRUE(raw_put_units(std::u16string(1, u'\0')));
    EXPECT_EQ(get_clipboard_text(clipboard), "");
    // The text ends at its first zero, whatever follows it in the block.
    ASSERT_TRUE(raw_put_units(std::u16string(u"ab\0cd\0", 6)));
    EXPECT_EQ(get_clipboard_text(clipboard), "ab");
    // A lone surrogate cannot reach the buffer as it is.
    ASSERT_TRUE(raw_put_units(std::u16string{u'a', char16_t(0xD800), u'b', u'\0'}));
    EXPECT_EQ(get_clipboard_text(clipboard), "a\uFFFDb");
}

TEST(WindowsClipboard, HeldByAnotherThreadEveryAttemptFailsQuietly)
{
    {
        WindowsClipboard clipboard;
        ASSERT_TRUE(set_clipboard_text(clipboard, "oldingi"));
    }
    {
        ClipboardHolder holder;
        ASSERT_TRUE(holder.opened());

        WindowsClipboard clipboard;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(set_clipboard_text(clipboard, "yangi"));
        const auto spent = std::chrono::steady_clock::now() - start;
        // Five pauses of at least 5 ms between the six attempts; no more than
        // that, give or take a busy machine.
        EXPECT_GE(spent, 25ms);
        EXPECT_LT(spent, 1s);

        // Six attempts, whatever the code's own constant says.
        CountingClipboard counting;
        EXPECT_EQ(get_clipboard_text(counting), std::nullopt);
        EXPECT_EQ(counting.attempts, 6);

        // The editor all the same: the messages show, cut still deletes,
        // paste leaves everything as it was.
        Editor editor = make_editor({"band qilingan"});
        select(editor, {0, 0}, {0, 5});
        copy_selection(editor);
        EXPECT_EQ(editor.status_message.text, "Nusxa olindi");
        paste_clipboard(editor);
        EXPECT_EQ(lines_of(editor), std::vector<std::string>{"band qilingan"});
        EXPECT_EQ(editor.anchor, (Position{0, 0}));
        EXPECT_EQ(editor.cursor, (Position{0, 5}));
        cut_selection(editor);
        EXPECT_EQ(editor.status_message.text, "Kesildi");
        EXPECT_EQ(lines_of(editor), std::vector<std::string>{"qilingan"});
    }
    // Nothing was placed, and the failed attempts left nothing open.
    WindowsClipboard clipboard;
    EXPECT_EQ(get_clipboard_text(clipboard), "oldingi");
    EXPECT_EQ(raw_text(), u"oldingi");

    // Released between attempts: the retries get it.
    {
        ClipboardHolder holder;
        ASSERT_TRUE(holder.opened());
        CountingClipboard counting;
        counting.act_after_failure = 3;
        counting.on_failure = [&] { holder.release(); };
        EXPECT_TRUE(set_clipboard_text(counting, "uchinchisida"));
        EXPECT_EQ(counting.attempts, 4);
    }
    EXPECT_EQ(raw_text(), u"uchinchisida");
}

TEST(WindowsClipboard, ContentThatIsNotTextIsNothingToPaste)
{
    WindowsClipboard clipboard;
    const UINT private_format = ::RegisterClipboardFormatW(L"zep.test.private");
    ASSERT_NE(private_format, 0u);
    const char payload[] = "emas matn";

    // A 1×1 device-independent bitmap, as an image program would leave it.
    struct {
        BITMAPINFOHEADER header;
        DWORD pixel;
    } dib{};
    dib.header.biSize = sizeof dib.header;
    dib.header.biWidth = 1;
    dib.header.biHeight = 1;
    dib.header.biPlanes = 1;
    dib.header.biBitCount = 32;
    dib.header.biCompression = BI_RGB;
    dib.pixel = 0x00FF8800;

    for (const auto& [format, bytes, size] :
         {std::tuple<UINT, const void*, std::size_t>{private_format, payload, sizeof payload},
          {CF_DIB, &dib, sizeof dib}}) {
        ASSERT_TRUE(raw_put(format, bytes, size)) << format;
        ASSERT_FALSE(::IsClipboardFormatAvailable(CF_UNICODETEXT)) << format;
        EXPECT_EQ(get_clipboard_text(clipboard), std::nullopt) << format;

        Editor editor = make_editor({"rasm ustida"});
        select(editor, {0, 0}, {0, 4});
        paste_clipboard(editor);
        EXPECT_EQ(lines_of(editor), std::vector<std::string>{"rasm ustida"}) << format;
        EXPECT_EQ(editor.anchor, (Position{0, 0})) << format;
        EXPECT_EQ(editor.cursor, (Position{0, 4})) << format;
        EXPECT_TRUE(editor.history.undo_list.empty()) << format;
        EXPECT_TRUE(editor.status_message.text.empty()) << format;

        // Placing text takes the whole clipboard: the other content goes.
        ASSERT_TRUE(set_clipboard_text(clipboard, "matn"));
        EXPECT_FALSE(::IsClipboardFormatAvailable(format)) << format;
        EXPECT_EQ(raw_text(), u"matn");
    }
}

TEST(WindowsClipboard, EditorCopiesCutsAndPastesThroughTheSystemClipboard)
{
    Editor editor = make_editor({"birinchi qator", "ikkinchi", "uchinchi"});
    editor.buffer.line_ending = LineEnding::CrLf;
    ASSERT_TRUE(raw_put_units(std::u16string(u"begona\0", 7)));

    // Nothing selected: the clipboard keeps another program's text.
    copy_selection(editor);
    EXPECT_EQ(editor.status_message.text, "Nusxa olindi");
    EXPECT_EQ(raw_text(), u"begona");
    editor.cursor = {2, 3};
    cut_selection(editor);
    EXPECT_EQ(editor.status_message.text, "Kesildi");
    EXPECT_EQ(raw_text(), u"begona");
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"birinchi qator", "ikkinchi", "uchinchi"}));

    // Two lines of a CR LF document leave with LF alone.
    select(editor, {0, 9}, {1, 4});
    copy_selection(editor);
    EXPECT_EQ(editor.status_message.text, "Nusxa olindi");
    EXPECT_EQ(raw_text(), u"qator\nikki");

    // Cut places the text and deletes it as one undo step.
    select(editor, {2, 2}, {1, 3});
    cut_selection(editor);
    EXPECT_EQ(raw_text(), u"inchi\nuc");
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"birinchi qator", "ikkhinchi"}));
    undo(editor);
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"birinchi qator", "ikkinchi", "uchinchi"}));

    // Paste over a selection: CR LF becomes a line break, a lone CR vanishes,
    // a tab stays, the text ends at its zero. Two undo steps, the paste first.
    ASSERT_TRUE(raw_put_units(std::u16string(u"Я\r\nx\ry\t😀\0yo'q", 13)));
    select(editor, {0, 0}, {0, 8});
    const std::string message_before = editor.status_message.text;
    paste_clipboard(editor);
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"Я", "xy\t😀 qator", "ikkinchi", "uchinchi"}));
    EXPECT_EQ(editor.cursor, (Position{1, 4}));
    EXPECT_FALSE(editor.anchor && *editor.anchor != editor.cursor);
    EXPECT_EQ(editor.status_message.text, message_before) << "paste sets no message of its own";
    undo(editor);
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{" qator", "ikkinchi", "uchinchi"}));
    undo(editor);
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"birinchi qator", "ikkinchi", "uchinchi"}));

    // An empty text over a selection deletes the selection only.
    ASSERT_TRUE(raw_put_units(std::u16string(1, u'\0')));
    select(editor, {1, 0}, {1, 3});
    paste_clipboard(editor);
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"birinchi qator", "inchi", "uchinchi"}));

    // What the editor placed, it pastes back unchanged.
    select(editor, {0, 0}, {2, 8});
    copy_selection(editor);
    editor.anchor.reset();
    paste_clipboard(editor);
    EXPECT_EQ(lines_of(editor),
              (std::vector<std::string>{"birinchi qator", "inchi", "uchinchibirinchi qator", "inchi", "uchinchi"}));
}

TEST(WindowsClipboard, AnotherProcessReadsWhatWasPlaced)
{
    WindowsClipboard clipboard;
    ASSERT_TRUE(set_clipboard_text(clipboard, MIXED));
    const auto [status, seen] = clipboard_seen_by_child();
    EXPECT_EQ(status, 0u) << seen;
    EXPECT_EQ(seen, MIXED);

    // And finds nothing when there is no text.
    const char payload[] = "rasm";
    ASSERT_TRUE(raw_put(CF_DIB, payload, sizeof payload));
    EXPECT_EQ(clipboard_seen_by_child().first, 3u);
}
