// zep.exe as a user starts it, in a console it shares with this program
// (under Wine: a pseudo-terminal, as tests/windows/in_console.py provides).
// This program writes the key records into the console's queue, waits for
// zep.exe to end and checks the files it saved, its exit status, and that
// the console's modes are back as they were. ZEP_EXE names the program.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/console_records.hpp"
#include "support/files.hpp"

namespace fs = std::filesystem;

namespace {

using namespace std::string_literals;

using test_support::console;
using test_support::mode_of;
using test_support::open_device;

// The program under test, as a Windows path: ctest on Linux names it by its
// Unix path, which Wine shows as drive Z:.
std::wstring zep_exe()
{
    const wchar_t* named = ::_wgetenv(L"ZEP_EXE");
    if (named == nullptr) return {};
    std::wstring path = named;
    if (!path.empty() && path[0] == L'/') {
        for (wchar_t& c : path)
            if (c == L'/') c = L'\\';
        path = L"Z:" + path;
    }
    return path;
}

// A path the file functions take as it is, however long: the test builds
// its own long paths without the code under test.
std::wstring literal(const fs::path& path) { return L"\\\\?\\" + path.native(); }

std::string read_file(const std::wstring& name)
{
    HANDLE file = ::CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(cannot open: error " + std::to_string(::GetLastError()) + ")";
    std::string bytes;
    char chunk[4096];
    DWORD n = 0;
    while (::ReadFile(file, chunk, sizeof chunk, &n, nullptr) && n > 0) bytes.append(chunk, n);
    ::CloseHandle(file);
    return bytes;
}

void write_file(const std::wstring& name, std::string_view bytes)
{
    HANDLE file = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "error " << ::GetLastError();
    DWORD n = 0;
    EXPECT_TRUE(::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr));
    ::CloseHandle(file);
}

bool exists(const std::wstring& name) { return ::GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Key records, as the console queues them for a keyboard.
class Keys {
public:
    Keys& press(WORD vk, wchar_t ch = 0, DWORD state = 0)
    {
        add(true, vk, ch, state);
        add(false, vk, ch, state);
        return *this;
    }
    Keys& type(std::wstring_view text)
    {
        for (const wchar_t c : text) {
            const bool small = c >= L'a' && c <= L'z', capital = c >= L'A' && c <= L'Z';
            // A letter key's code is its capital.
            const WORD vk = small ? static_cast<WORD>(c - L'a' + L'A') : capital ? static_cast<WORD>(c) : 0;
            press(vk, c, capital ? SHIFT_PRESSED : 0);
        }
        return *this;
    }
    // Ctrl held over a letter, which comes with its control code.
    Keys& ctrl(char letter)
    {
        add(true, VK_CONTROL, 0, LEFT_CTRL_PRESSED);
        press(static_cast<WORD>(letter - 'a' + 'A'), static_cast<wchar_t>(letter - 'a' + 1), LEFT_CTRL_PRESSED);
        add(false, VK_CONTROL, 0, 0);
        return *this;
    }
    // Every modifier and lock key pressed and released alone.
    Keys& modifiers_alone()
    {
        add(true, VK_CONTROL, 0, LEFT_CTRL_PRESSED);
        add(false, VK_CONTROL, 0, 0);
        add(true, VK_MENU, 0, LEFT_ALT_PRESSED);
        add(false, VK_MENU, 0, 0);
        add(true, VK_SHIFT, 0, SHIFT_PRESSED);
        add(false, VK_SHIFT, 0, 0);
        press(VK_LWIN, 0, ENHANCED_KEY);
        press(VK_CAPITAL, 0, CAPSLOCK_ON);
        press(VK_CAPITAL, 0, 0);
        press(VK_NUMLOCK, 0, NUMLOCK_ON | ENHANCED_KEY);
        press(VK_SCROLL, 0, SCROLLLOCK_ON);
        return *this;
    }
    const std::vector<INPUT_RECORD>& records() const { return records_; }

private:
    void add(bool down, WORD vk, wchar_t ch, DWORD state)
    {
        records_.push_back(test_support::key_record(down, vk, ch, state));
    }
    std::vector<INPUT_RECORD> records_;
};

// Cooked input as a program that set the mode without the extended flags
// leaves it: zep.exe must hand it back exactly so.
constexpr DWORD USER_INPUT_MODE = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT;

// Starts zep.exe on `argument` in this console with the keys queued for it,
// and waits for it to end. Its exit status, or nothing when it was still
// running after 30 s (it is then ended).
std::optional<DWORD> run_zep(const std::wstring& argument, const Keys& keys)
{
    const std::wstring program = zep_exe();
    EXPECT_TRUE(::SetConsoleMode(console().input, USER_INPUT_MODE));
    const DWORD output_mode = mode_of(console().screen);
    const UINT code_page = ::GetConsoleOutputCP();
    ::FlushConsoleInputBuffer(console().input);

    std::wstring command = L"\"" + program + L"\" \"" + argument + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        ADD_FAILURE() << "cannot start zep.exe: error " << ::GetLastError();
        return std::nullopt;
    }
    DWORD written = 0;
    EXPECT_TRUE(::WriteConsoleInputW(console().input, keys.records().data(), static_cast<DWORD>(keys.records().size()),
                                     &written));
    std::optional<DWORD> status;
    if (::WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
        DWORD code = 0;
        ::GetExitCodeProcess(process.hProcess, &code);
        status = code;
    } else {
        ::TerminateProcess(process.hProcess, 99);
        ::WaitForSingleObject(process.hProcess, 5000);
        // Wine's console keeps the read of a program ended this way, and
        // would give it the next test's keys: it gets a record of its own.
        INPUT_RECORD filler{};
        filler.EventType = FOCUS_EVENT;
        ::WriteConsoleInputW(console().input, &filler, 1, &written);
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);

    // The console as the user had it.
    EXPECT_EQ(mode_of(console().input), USER_INPUT_MODE);
    EXPECT_EQ(mode_of(console().screen), output_mode);
    EXPECT_EQ(::GetConsoleOutputCP(), code_page);
    return status;
}

class ZepExe : public testing::Test {
protected:
    void SetUp() override
    {
        DWORD mode = 0;
        if (!::GetConsoleMode(console().input, &mode)) GTEST_SKIP() << "no console attached to this process";
        if (zep_exe().empty()) GTEST_SKIP() << "ZEP_EXE does not name zep.exe";
        saved_mode_ = mode;
    }
    void TearDown() override
    {
        if (saved_mode_) ::SetConsoleMode(console().input, *saved_mode_);
    }

    test_support::TempDir dir_;

private:
    std::optional<DWORD> saved_mode_;
};

}  // namespace

// Ctrl, Alt, Shift, the Windows key and the lock keys pressed alone reach
// zep.exe as key records of their own: with help open they leave it open
// (so the next key only closes it), and they leave a quit armed.
TEST_F(ZepExe, ModifierKeysAloneNeitherCloseHelpNorDisarmAQuit)
{
    const fs::path path = dir_ / "matn.txt";
    write_file(path.native(), "abc");
    Keys keys;
    keys.press(VK_F1).modifiers_alone().type(L"x").type(L"y").ctrl('s');
    keys.type(L"z").ctrl('q').modifiers_alone().ctrl('q');
    EXPECT_EQ(run_zep(path.native(), keys), 0u) << "the second Ctrl+Q did not end zep.exe";
    // "x" only closed help; "z" was never saved.
    EXPECT_EQ(read_file(path.native()), "yabc");
}

// A file name with a surrogate that has no other half is no text, but it is
// a name: the argument reaches the file functions as it was given, and the
// file named with U+FFFD in its place is not touched.
TEST_F(ZepExe, AnArgumentWithALoneSurrogateNamesThatFileAndNoOther)
{
    const std::wstring lone = dir_.path().native() + L"\\x" + wchar_t(0xD800) + L"y.txt";
    const std::wstring replaced = dir_.path().native() + L"\\x" + wchar_t(0xFFFD) + L"y.txt";
    write_file(replaced, "begona\r\n");
    Keys keys;
    keys.type(L"yangi").ctrl('s').ctrl('q').ctrl('q');
    EXPECT_EQ(run_zep(lone, keys), 0u);
    EXPECT_EQ(read_file(replaced), "begona\r\n");
    // Where the file system takes such a name (NTFS does, Wine does not),
    // the text went there.
    if (exists(lone)) {
        EXPECT_EQ(read_file(lone), "yangi");
    }
}

// Absolute paths of 300 characters open and save, given with either
// separator and with a ".." on the way, and a new file is made at one.
TEST_F(ZepExe, PathsOverTheLengthLimitOpenAndSave)
{
    // Folders of 60 Cyrillic letters until the file's path is 300 long.
    fs::path folder = dir_.path();
    std::vector<fs::path> folders;
    while (folder.native().size() < 300 - 70) {
        folder /= fs::path(std::wstring(60, L'д'));
        folders.push_back(folder);
        ASSERT_TRUE(::CreateDirectoryW(literal(folder).c_str(), nullptr)) << ::GetLastError();
    }
    const std::wstring stem = L"\\" + std::wstring(300 - folder.native().size() - 5, L'ф');
    const fs::path file = folder.native() + stem + L".txt";
    const fs::path fresh = folder.native() + stem + L".new";
    ASSERT_EQ(file.native().size(), 300u);
    write_file(literal(file), "eski");

    EXPECT_EQ(run_zep(file.native(), Keys().press(VK_END).type(L"!").ctrl('s').ctrl('q')), 0u);
    EXPECT_EQ(read_file(literal(file)), "eski!");

    // The same file through "/" and "..": the system resolves them as it
    // would for a short path.
    std::wstring roundabout = folder.native() + L"\\..\\" + folder.filename().native() + stem + L".txt";
    for (wchar_t& c : roundabout)
        if (c == L'\\') c = L'/';
    EXPECT_EQ(run_zep(roundabout, Keys().press(VK_END).type(L"?").ctrl('s').ctrl('q')), 0u);
    EXPECT_EQ(read_file(literal(file)), "eski!?");

    EXPECT_EQ(run_zep(fresh.native(), Keys().type(L"yangi").ctrl('s').ctrl('q')), 0u);
    EXPECT_EQ(read_file(literal(fresh)), "yangi");

    // The temporary folder's removal may not reach this deep on its own.
    ::DeleteFileW(literal(file).c_str());
    ::DeleteFileW(literal(fresh).c_str());
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) ::RemoveDirectoryW(literal(*it).c_str());
}

// Asked to draw through the console's functions (as where the console has no
// VT sequences), zep.exe draws in a screen buffer of its own: when it ends,
// the user's buffer is the active one again, its text, colours and cursor
// as they were.
TEST_F(ZepExe, DrawnThroughTheConsolesFunctionsItGivesTheUsersScreenBackUntouched)
{
    const fs::path path = dir_ / "matn.txt";
    write_file(path.native(), "abc");
    const std::wstring mine = L"foydalanuvchi matni";
    DWORD n = 0;
    for (SHORT row = 0; row < 2; ++row) {
        ASSERT_TRUE(::WriteConsoleOutputCharacterW(console().screen, mine.data(), static_cast<DWORD>(mine.size()),
                                                   COORD{0, row}, &n));
        ASSERT_TRUE(::FillConsoleOutputAttribute(console().screen, BACKGROUND_RED | FOREGROUND_GREEN,
                                                 static_cast<DWORD>(mine.size()), COORD{0, row}, &n));
    }
    ASSERT_TRUE(::SetConsoleCursorPosition(console().screen, COORD{7, 1}));
    const auto shown = [] {
        // CONOUT$ is the active screen buffer, whichever it is.
        const HANDLE active = open_device(L"CONOUT$");
        CONSOLE_SCREEN_BUFFER_INFO info{};
        ::GetConsoleScreenBufferInfo(active, &info);
        std::vector<CHAR_INFO> cells(static_cast<std::size_t>(info.dwSize.X) * 2);
        SMALL_RECT region{0, 0, static_cast<SHORT>(info.dwSize.X - 1), 1};
        EXPECT_TRUE(::ReadConsoleOutputW(active, cells.data(), COORD{info.dwSize.X, 2}, COORD{0, 0}, &region));
        ::CloseHandle(active);
        std::wstring text = std::to_wstring(info.dwCursorPosition.X) + L"," + std::to_wstring(info.dwCursorPosition.Y);
        for (const CHAR_INFO& cell : cells) text += {cell.Char.UnicodeChar, static_cast<wchar_t>(cell.Attributes)};
        return text;
    };
    const std::wstring before = shown();

    ::SetEnvironmentVariableW(L"ZEP_LEGACY_CONSOLE", L"1");
    const auto status = run_zep(path.native(), Keys().type(L"yangi ").ctrl('s').ctrl('q'));
    ::SetEnvironmentVariableW(L"ZEP_LEGACY_CONSOLE", nullptr);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(read_file(path.native()), "yangi abc");
    EXPECT_TRUE(shown() == before) << "the user's screen buffer is not back as it was";
}

// The manifest the loader reads from zep.exe: well formed (an activation
// context can be made of it), and asking for long paths and UTF-8.
TEST_F(ZepExe, CarriesItsApplicationManifest)
{
    const std::wstring program = zep_exe();
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = program.c_str();
    context.lpResourceName = MAKEINTRESOURCEW(1);
    const HANDLE activation = ::CreateActCtxW(&context);
    ASSERT_NE(activation, INVALID_HANDLE_VALUE) << "error " << ::GetLastError();
    ::ReleaseActCtx(activation);

    const HMODULE image = ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    const HRSRC found = ::FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const char*>(::LockResource(::LoadResource(image, found)));
    const std::string manifest(bytes, ::SizeofResource(image, found));
    ::FreeLibrary(image);
    for (const std::string& wanted : {">true</longPathAware>"s, ">UTF-8</activeCodePage>"s,
                                      "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"s})
        EXPECT_NE(manifest.find(wanted), std::string::npos) << wanted;
}
