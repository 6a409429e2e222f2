// Files on Windows, against real files (run under Wine in CI): saving in
// place, reloading, the share modes other programs rely on, paths in any
// script, the system's error texts and the UTF-8/UTF-16 conversions.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/document.hpp"
#include "encoding/codec.hpp"
#include "encoding/detect.hpp"
#include "os/display_name.hpp"
#include "os/file_io.hpp"
#include "os/io_error.hpp"
#include "os/long_path.hpp"
#include "os/wide_text.hpp"
#include "support/files.hpp"
#include "support/opened.hpp"
#include "support/sample_texts.hpp"
#include "support/session.hpp"
#include "support/text.hpp"
#include "text/lines.hpp"

namespace fs = std::filesystem;

using test_support::encode_document;
using test_support::join_lines;

namespace {

using test_support::FRENCH;
using test_support::RUSSIAN;

using test_support::Opened;
using test_support::read_bytes;
using test_support::Session;
using test_support::TempDir;
using test_support::write_bytes;

std::string encoded(std::string_view text, TextEncoding encoding)
{
    auto bytes = encode_document(text, encoding);
    EXPECT_TRUE(bytes.has_value());
    return bytes.value_or("");
}

std::string from_u8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

// What the system itself says for a code, read without the editor's code:
// the text as FormatMessageW gives it, without the line break at its end.
std::string system_text(DWORD code)
{
    wchar_t text[1024];
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                    1024, nullptr);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ')) --length;
    char out[4096];
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out, sizeof out, nullptr,
                                            nullptr);
    return std::string(out, static_cast<std::size_t>(std::max(bytes, 0)));
}

bool ends_with(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// What identifies a file on its volume, and its attributes.
struct FileFacts {
    DWORD volume = 0;
    ULONGLONG index = 0;
    DWORD attributes = 0;
    DWORD links = 0;
};

FileFacts facts_of(const fs::path& path)
{
    FileFacts facts;
    HANDLE file = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << "cannot open " << path.string();
    if (file == INVALID_HANDLE_VALUE) return facts;
    BY_HANDLE_FILE_INFORMATION info{};
    EXPECT_TRUE(::GetFileInformationByHandle(file, &info));
    ::CloseHandle(file);
    facts.volume = info.dwVolumeSerialNumber;
    facts.index = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    facts.attributes = info.dwFileAttributes;
    facts.links = info.nNumberOfLinks;
    return facts;
}

// A handle another program holds on the file, closed at the end of scope.
class OtherProgram {
public:
    OtherProgram(const fs::path& path, DWORD access, DWORD share)
        : handle_(::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
        EXPECT_NE(handle_, INVALID_HANDLE_VALUE) << "error " << ::GetLastError();
    }
    ~OtherProgram() { close(); }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;
    void close()
    {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
    HANDLE get() const { return handle_; }
    // The whole file as this handle reads it now.
    std::string read_all()
    {
        std::string bytes;
        if (::SetFilePointer(handle_, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return "(seek failed)";
        char chunk[4096];
        DWORD n = 0;
        while (::ReadFile(handle_, chunk, sizeof chunk, &n, nullptr) && n > 0) bytes.append(chunk, n);
        return bytes;
    }

private:
    HANDLE handle_;
};

constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;


}  // namespace

TEST(WindowsSave, UnchangedFilesAreRewrittenByteForByte)
{
    TempDir dir;
    const std::string mixed = "Salom, dunyo! O\u02BBzbekiston\tПривет 你好 €😀";
    const std::vector<std::pair<TextEncoding, std::string>> samples = {
        {TextEncoding::Utf8, mixed},    {TextEncoding::Utf8Bom, mixed},  {TextEncoding::Utf16Le, mixed},
        {TextEncoding::Utf16Be, mixed}, {TextEncoding::Cp1251, RUSSIAN}, {TextEncoding::Cp1252, FRENCH},
        {TextEncoding::Cp866, RUSSIAN},
    };
    for (const auto& [encoding, text] : samples) {
        for (const std::string_view ending : {"\r\n", "\n"}) {
            SCOPED_TRACE(std::string(encoding_label(encoding)) + (ending == "\n" ? " LF" : " CR LF"));
            const std::string e(ending);
            const std::string file = encoded(text + e + "ikkinchi qator" + e + e + "oxirgi", encoding);
            const fs::path path = dir / "namuna.txt";
            Opened session(path, file);
            ASSERT_EQ(session.ed.buffer.encoding, encoding);
            EXPECT_EQ(session.ed.buffer.line_ending, ending == "\n" ? LineEnding::Lf : LineEnding::CrLf);
            EXPECT_EQ(session.message_after("<C-s>"), "Saqlandi: namuna.txt");
            EXPECT_FALSE(session.ed.buffer.modified);
            EXPECT_EQ(read_bytes(path), file);
        }
    }
}

TEST(WindowsSave, CreatesANewFileOnTheFirstSave)
{
    TempDir dir;
    const fs::path fresh = dir / "yangi.txt";
    Opened session(fresh);
    EXPECT_FALSE(fs::exists(fresh)) << "opening must not create the file";
    EXPECT_EQ(session.lines(), std::vector<std::string>{""});
    EXPECT_EQ(session.ed.buffer.path, fresh);

    EXPECT_EQ(session.message_after("<C-s>"), "Saqlandi: yangi.txt");
    ASSERT_TRUE(fs::exists(fresh));
    EXPECT_EQ(read_bytes(fresh), "");

    // A new document ends its lines in CR LF on every platform.
    EXPECT_EQ(session.message_after("birinchi<Enter>ikkinchi<C-s>"), "Saqlandi: yangi.txt");
    EXPECT_EQ(read_bytes(fresh), "birinchi\r\nikkinchi");
}

TEST(WindowsSave, OverwritesTheSameFileInPlaceKeepingItsAttributes)
{
    TempDir dir;
    const fs::path path = dir / "hujjat.txt";
    write_bytes(path, "birinchi\r\nikkinchi uzun qator\r\n");
    const fs::path other_name = dir / "boshqa-nom.txt";
    ASSERT_TRUE(::CreateHardLinkW(other_name.c_str(), path.c_str(), nullptr)) << "error " << ::GetLastError();
    // A hidden file is what CREATE_ALWAYS with normal attributes refuses to
    // overwrite; saving in place must keep it hidden.
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    const FileFacts before = facts_of(path);
    const bool hidden_kept_by_volume = (before.attributes & FILE_ATTRIBUTE_HIDDEN) != 0;

    Opened session(path);
    EXPECT_EQ(session.message_after("Yangi va uzunroq <C-s>"), "Saqlandi: hujjat.txt");
    EXPECT_EQ(read_bytes(path), "Yangi va uzunroq birinchi\r\nikkinchi uzun qator\r\n");

    // Shorter content is cut to its own length.
    EXPECT_EQ(session.message_after("<C-a>qisqa<C-s>"), "Saqlandi: hujjat.txt");
    EXPECT_EQ(read_bytes(path), "qisqa");

    const FileFacts after = facts_of(path);
    EXPECT_EQ(after.volume, before.volume);
    EXPECT_EQ(after.index, before.index) << "the save replaced the file instead of overwriting it";
    EXPECT_EQ(after.links, 2u);
    EXPECT_EQ(after.attributes, before.attributes);
    // The other name of the same file sees the saved text.
    EXPECT_EQ(read_bytes(other_name), "qisqa");
    if (!hidden_kept_by_volume) {
        std::cout << "[  NOTE    ] this volume keeps no hidden attribute; only the index and links were compared\n";
    }
}

TEST(WindowsSave, ADirectoryOrAReadOnlyFileIsRefusedAndLeftAsItWas)
{
    TempDir dir;

    // A directory where the file should be: refused, and left alone.
    const fs::path directory = dir / "papka";
    fs::create_directory(directory);
    write_bytes(directory / "ichida.txt", "tegilmaydi");
    Session into_directory({"matn"});
    into_directory.ed.buffer.path = directory;
    into_directory.ed.buffer.modified = true;
    save_document(into_directory.ed);
    EXPECT_EQ(into_directory.message(), "Saqlashda xato: " + system_text(ERROR_ACCESS_DENIED) + " (os error 5)");
    EXPECT_TRUE(into_directory.ed.buffer.modified);
    EXPECT_TRUE(fs::is_directory(directory));
    EXPECT_EQ(read_bytes(directory / "ichida.txt"), "tegilmaydi");

    const fs::path path = dir / "faqat-oqish.txt";
    Opened session(path, "eski matn\r\n");
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_NE(facts_of(path).attributes & FILE_ATTRIBUTE_READONLY, 0u);
    // Wine keeps the flag as the file's Unix write bits, which do not stop
    // root: there the system itself lets anyone write the file.
    HANDLE probe = ::CreateFileW(path.c_str(), GENERIC_WRITE, SHARE_ALL, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        ::CloseHandle(probe);
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        GTEST_SKIP() << "this system lets the read-only file be opened for writing (Wine run as root); "
                        "the refused save is not tested here";
    }
    EXPECT_EQ(session.message_after("yangi <C-s>"),
              "Saqlashda xato: " + system_text(ERROR_ACCESS_DENIED) + " (os error 5)");
    EXPECT_TRUE(session.ed.buffer.modified);
    EXPECT_EQ(read_bytes(path), "eski matn\r\n");
    EXPECT_EQ(session.lines(), (std::vector<std::string>{"yangi eski matn", ""}));
    EXPECT_NE(facts_of(path).attributes & FILE_ATTRIBUTE_READONLY, 0u);

    // Once the user lifts the flag, the same document saves.
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(session.message_after("<C-s>"), "Saqlandi: faqat-oqish.txt");
    EXPECT_EQ(read_bytes(path), "yangi eski matn\r\n");
}

TEST(WindowsSave, AFailedSaveLeavesTheOldContent)
{
    TempDir dir;
    const fs::path path = dir / "eski.txt";
    std::string old;
    for (int row = 0; row < 100; ++row) old += "eski qator " + std::to_string(row) + "\r\n";
    Opened session(path, old);

    // Another program has a view of the file mapped: the system refuses to
    // cut the file below it, after the new bytes went in. The old ones are
    // put back.
    {
        OtherProgram viewer(path, GENERIC_READ, SHARE_ALL);
        HANDLE mapping = ::CreateFileMappingW(viewer.get(), nullptr, PAGE_READONLY, 0, 0, nullptr);
        ASSERT_NE(mapping, nullptr) << "error " << ::GetLastError();
        const void* view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
        ASSERT_NE(view, nullptr) << "error " << ::GetLastError();
        session.press("<C-a>qisqa<C-s>");
        ::UnmapViewOfFile(view);
        ::CloseHandle(mapping);
        EXPECT_EQ(session.message(), "Saqlashda xato: " + system_text(ERROR_USER_MAPPED_FILE) + " (os error 1224)");
        EXPECT_TRUE(session.ed.buffer.modified);
        EXPECT_EQ(read_bytes(path), old);
    }
    EXPECT_EQ(session.message_after("<C-s>"), "Saqlandi: eski.txt");
    EXPECT_EQ(read_bytes(path), "qisqa");

    // A range another program has locked cannot be written: a longer text
    // is refused and the file keeps what it had.
    Opened locked(path, old);
    {
        OtherProgram holder(path, GENERIC_READ | GENERIC_WRITE, SHARE_ALL);
        OVERLAPPED at{};
        at.Offset = 1000;
        ASSERT_TRUE(::LockFileEx(holder.get(), LOCKFILE_FAIL_IMMEDIATELY, 0, 10, 0, &at)) << ::GetLastError();
        // Wine keeps such locks from other locks only, not from writes.
        OtherProgram writer(path, GENERIC_WRITE, SHARE_ALL);
        DWORD n = 0;
        ::SetFilePointer(writer.get(), 1000, nullptr, FILE_BEGIN);
        // The same bytes as are there, so that nothing changes if it works.
        if (::WriteFile(writer.get(), old.data() + 1000, 4, &n, nullptr)) {
            std::cout << "[  NOTE    ] this system lets locked ranges be written; the locked save is not tested\n";
            return;
        }
        locked.press("<End> va yana bir oz<C-s>");
        ::UnlockFileEx(holder.get(), 0, 10, 0, &at);
        EXPECT_EQ(locked.message(), "Saqlashda xato: " + system_text(ERROR_LOCK_VIOLATION) + " (os error 33)");
        EXPECT_TRUE(locked.ed.buffer.modified);
        EXPECT_EQ(read_bytes(path), old);
    }
    EXPECT_EQ(locked.message_after("<C-s>"), "Saqlandi: eski.txt");
    EXPECT_EQ(read_bytes(path), "eski qator 0 va yana bir oz\r\n" + old.substr(old.find('\n') + 1));
}

// A write that fails part-way, as on a full disk: the limit on file sizes
// that tests/windows/file_size_limit.py sets for this process makes every
// write past it fail, and that script makes the file, larger than the limit.
// Every old byte comes back, and the file keeps its length.
TEST(WindowsSaveLimit, AWriteStoppedPartWayPutsTheOldBytesBack)
{
    const wchar_t* file = ::_wgetenv(L"ZEP_OVERSIZED_FILE");
    const wchar_t* limit_text = ::_wgetenv(L"ZEP_FILE_SIZE_LIMIT");
    if (file == nullptr || limit_text == nullptr)
        GTEST_SKIP() << "needs the file-size limit that tests/windows/file_size_limit.py sets";
    const fs::path path(file);
    const std::size_t limit = std::stoul(to_utf8(limit_text));
    const std::string old = read_bytes(path);
    ASSERT_GT(old.size(), limit + 1000);

    Opened session(path);
    // Shorter than the file, so that nothing needs to grow, and longer than
    // the limit, so that the writing stops at it.
    std::string text;
    for (int row = 0; text.size() < limit + 1000; ++row) text += "yangi qator " + std::to_string(row) + "\n";
    ASSERT_TRUE(session.ed.clipboard->put_text(text));
    session.press("<C-a><C-v><C-s>");
    EXPECT_TRUE(session.message().starts_with("Saqlashda xato: ")) << session.message();
    EXPECT_TRUE(session.ed.buffer.modified);
    EXPECT_EQ(read_bytes(path), old);
}

TEST(WindowsReload, AnotherEncodingThenADeletedFile)
{
    TempDir dir;
    const fs::path path = dir / "matn.txt";
    // Valid UTF-8, so it opens as UTF-8; as CP1251 the same bytes say more.
    Opened session(path, "caf\xC3\xA9\r\nX\r\n");
    ASSERT_EQ(session.ed.buffer.encoding, TextEncoding::Utf8);
    EXPECT_EQ(session.lines(), (std::vector<std::string>{"caf\u00E9", "X", ""}));
    session.ed.cursor = test_support::at(1, 1);

    session.choose(U'5');
    EXPECT_EQ(session.message(), "Qayta o'qildi: CP1251");
    EXPECT_EQ(session.lines(), (std::vector<std::string>{"caf\u0413\u00A9", "X", ""}));
    EXPECT_EQ(session.ed.buffer.encoding, TextEncoding::Cp1251);
    EXPECT_EQ(session.ed.buffer.line_ending, LineEnding::CrLf);
    EXPECT_FALSE(session.ed.buffer.modified);
    EXPECT_EQ(session.ed.cursor, test_support::at(0, 0));

    // What another program wrote meanwhile comes in with the reload, in
    // whatever line ending it has now.
    write_bytes(path, "boshqa\nmatn");
    session.choose(U'1');
    EXPECT_EQ(session.message(), "Qayta o'qildi: UTF-8");
    EXPECT_EQ(session.lines(), (std::vector<std::string>{"boshqa", "matn"}));
    EXPECT_EQ(session.ed.buffer.line_ending, LineEnding::Lf);

    // The file is gone: the system's not-found text, and nothing changes.
    ASSERT_TRUE(::DeleteFileW(path.c_str()));
    session.choose(U'6');
    EXPECT_FALSE(session.ed.encoding_menu_open);
    EXPECT_EQ(session.message(), "Xato: " + system_text(ERROR_FILE_NOT_FOUND) + " (os error 2)");
    EXPECT_EQ(session.lines(), (std::vector<std::string>{"boshqa", "matn"}));
    EXPECT_EQ(session.ed.buffer.encoding, TextEncoding::Utf8);
    EXPECT_EQ(session.ed.buffer.line_ending, LineEnding::Lf);
    EXPECT_FALSE(fs::exists(path)) << "a failed reload must not create the file";
}

TEST(WindowsSharing, FilesOthersHoldOpenWithSharingAreReadAndSaved)
{
    TempDir dir;
    const fs::path path = dir / "umumiy.txt";
    write_bytes(path, "boshlang'ich\r\n");

    // Another program reads and writes the file and lets others do the
    // same, deletion included (as editors and log viewers do).
    {
        OtherProgram other(path, GENERIC_READ | GENERIC_WRITE, SHARE_ALL);
        auto bytes = read_file_bytes(path);
        ASSERT_TRUE(bytes.has_value()) << bytes.error().message;
        EXPECT_EQ(*bytes, "boshlang'ich\r\n");

        Opened session(path);
        EXPECT_EQ(session.message_after("yangi <C-s>"), "Saqlandi: umumiy.txt");
        EXPECT_EQ(other.read_all(), "yangi boshlang'ich\r\n");
    }

    // A handle that may delete the file: the editor's own handles must
    // share deletion for the file to open at all.
    {
        OtherProgram deleter(path, GENERIC_READ | DELETE, SHARE_ALL);
        auto bytes = read_file_bytes(path);
        ASSERT_TRUE(bytes.has_value()) << bytes.error().message;
        EXPECT_EQ(*bytes, "yangi boshlang'ich\r\n");
        ASSERT_TRUE(write_file_in_place(path, "o'chirishga tayyor\r\n").has_value());
        EXPECT_EQ(deleter.read_all(), "o'chirishga tayyor\r\n");
    }

    // Another program holding the file for reading only, without sharing
    // writes: reading still works, the save says why it cannot write.
    {
        OtherProgram reader(path, GENERIC_READ, FILE_SHARE_READ);
        EXPECT_EQ(read_file_bytes(path).value_or("(failed)"), "o'chirishga tayyor\r\n");
        auto written = write_file_in_place(path, "boshqa");
        ASSERT_FALSE(written.has_value());
        EXPECT_EQ(written.error().message, system_text(ERROR_SHARING_VIOLATION) + " (os error 32)");
    }
    EXPECT_EQ(read_bytes(path), "o'chirishga tayyor\r\n");

    // The editor keeps no handle once a read or a save is over: the file
    // goes at once when deleted, and a new one can take its name.
    ASSERT_TRUE(read_file_bytes(path).has_value());
    ASSERT_TRUE(write_file_in_place(path, "oxirgi").has_value());
    ASSERT_TRUE(::DeleteFileW(path.c_str())) << "error " << ::GetLastError();
    HANDLE fresh = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(fresh, INVALID_HANDLE_VALUE) << "the deleted file lingers: error " << ::GetLastError();
    if (fresh != INVALID_HANDLE_VALUE) ::CloseHandle(fresh);
}

TEST(WindowsSharing, AFileHeldExclusivelyCannotBeReadOrSaved)
{
    TempDir dir;
    const fs::path path = dir / "band.txt";
    write_bytes(path, "band qilingan\r\n");
    const std::string violation = system_text(ERROR_SHARING_VIOLATION) + " (os error 32)";

    Opened session(path);
    {
        OtherProgram exclusive(path, GENERIC_READ, 0);
        auto bytes = read_file_bytes(path);
        ASSERT_FALSE(bytes.has_value());
        EXPECT_EQ(bytes.error().message, violation);
        EXPECT_TRUE(ends_with(bytes.error().message, "(os error 32)"));

        // It exists all the same: start-up reports it rather than opening
        // an empty new document in its place.
        auto opened = open_document(path);
        ASSERT_FALSE(opened.has_value());
        EXPECT_EQ(opened.error().message, violation);

        EXPECT_EQ(session.message_after("o'zgarish <C-s>"), "Saqlashda xato: " + violation);
        EXPECT_TRUE(session.ed.buffer.modified);

        // A reload is refused the same way; the edited text stays.
        session.ed.buffer.modified = false;
        session.choose(U'5');
        EXPECT_EQ(session.message(), "Xato: " + violation);
        EXPECT_EQ(session.lines(), (std::vector<std::string>{"o'zgarish band qilingan", ""}));
        EXPECT_EQ(session.ed.buffer.encoding, TextEncoding::Utf8);
    }
    EXPECT_EQ(read_bytes(path), "band qilingan\r\n");
    EXPECT_EQ(session.message_after("<C-s>"), "Saqlandi: band.txt");
    EXPECT_EQ(read_bytes(path), "o'zgarish band qilingan\r\n");
}

TEST(WindowsPaths, NamesInAnyScriptOpenSaveAndReload)
{
    TempDir dir;
    const fs::path folder = dir.path() / fs::path(u8"Ҳужжатлар 文档 📁");
    ASSERT_TRUE(fs::create_directory(folder));
    const std::u8string name = u8"эслатма_笔记_😀.txt";
    const fs::path path = folder / fs::path(name);
    Opened session(path, "Привет\r\nмир\r\n");
    EXPECT_EQ(session.lines(), (std::vector<std::string>{"Привет", "мир", ""}));
    EXPECT_EQ(file_display_name(session.ed.buffer), from_u8(name));

    EXPECT_EQ(session.message_after("你好 <C-s>"), "Saqlandi: " + from_u8(name));
    EXPECT_EQ(read_bytes(path), "你好 Привет\r\nмир\r\n");
    // The one file, under its own name: no second file with a mangled one.
    std::vector<std::u8string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().u8string());
    EXPECT_EQ(names, std::vector<std::u8string>{name});

    // Saved in CP1251 and read back as such.
    EXPECT_EQ(session.message_after("<C-a>Здравствуй<C-e>5"), "Saqlash encodingi: CP1251");
    session.press("<C-s>");
    EXPECT_EQ(read_bytes(path), "\xC7\xE4\xF0\xE0\xE2\xF1\xF2\xE2\xF3\xE9");
    EXPECT_EQ(session.message_after("<C-e>5"), "Qayta o'qildi: CP1251");
    EXPECT_EQ(session.lines(), std::vector<std::string>{"Здравствуй"});

    // A new file under such a name appears at the first save.
    const fs::path fresh = folder / fs::path(u8"новый_新しい_🎉.txt");
    Opened created(fresh);
    EXPECT_EQ(created.message_after("salom<C-s>"), "Saqlandi: " + from_u8(u8"новый_新しい_🎉.txt"));
    EXPECT_EQ(read_bytes(fresh), "salom");

    // The path as UTF-8 text and back, the way the command line hands it over.
    const std::string as_text = path_display_text(path);
    auto reopened = open_document(fs::path(std::u8string(as_text.begin(), as_text.end())));
    ASSERT_TRUE(reopened.has_value()) << reopened.error().message;
    EXPECT_EQ(reopened->line(0), "Здравствуй");
}

// Wine opens paths of any length, Windows only with the \\?\ prefix (or
// the long-path setting): what the file functions are given is checked
// here, and zep.exe opening and saving such paths in tests/windows.
TEST(WindowsPaths, PathsOverTheLimitGetTheLiteralPrefix)
{
    const std::wstring deep = L"C:\\" + std::wstring(100, L'a') + L"\\" + std::wstring(100, L'b') + L"\\" +
                              std::wstring(60, L'c') + L".txt";
    ASSERT_GE(deep.size(), 260u);
    struct Case {
        std::wstring given;
        std::wstring expected;
    };
    const Case cases[] = {
        // Short paths go as they are, relative ones and device names too.
        {L"C:\\dir\\notes.txt", L"C:\\dir\\notes.txt"},
        {L"C:/dir/./notes.txt", L"C:/dir/./notes.txt"},
        {L"notes.txt", L"notes.txt"},
        {L"\\\\.\\NUL", L"\\\\.\\NUL"},
        // Long ones in full, with the prefix.
        {deep, L"\\\\?\\" + deep},
        // The separators and dot components as the system resolves them.
        {L"C:/" + std::wstring(100, L'a') + L"/x/../" + std::wstring(100, L'b') + L"/./" + std::wstring(60, L'c') +
             L".txt",
         L"\\\\?\\" + deep},
        // A share takes the UNC form of the prefix.
        {L"\\\\server\\share" + deep.substr(2), L"\\\\?\\UNC\\server\\share" + deep.substr(2)},
        // Already literal: left alone, however long.
        {L"\\\\?\\" + deep, L"\\\\?\\" + deep},
    };
    for (const Case& c : cases) EXPECT_EQ(file_api_path(fs::path(c.given)), c.expected) << to_utf8(c.given);

    // A relative path is long when the current directory makes it so.
    TempDir dir;
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    const std::wstring relative = std::wstring(120, L'x') + L"\\" + std::wstring(120, L'y');
    EXPECT_EQ(file_api_path(fs::path(relative)), L"\\\\?\\" + dir.path().native() + L"\\" + relative);
    fs::current_path(before);
}

TEST(WindowsPaths, DisplayNamesOfWindowsForms)
{
    const auto name = [](std::u8string_view path) {
        Buffer buffer;
        buffer.path = fs::path(path);
        return file_display_name(buffer);
    };
    EXPECT_EQ(name(u8"C:\\dir\\notes.txt"), "notes.txt");
    EXPECT_EQ(name(u8"C:/dir/notes.txt"), "notes.txt");
    EXPECT_EQ(name(u8"C:\\dir/mixed\\notes.txt"), "notes.txt");
    EXPECT_EQ(name(u8"C:notes.txt"), "notes.txt");
    EXPECT_EQ(name(u8"dir\\sub\\"), "sub");
    EXPECT_EQ(name(u8"dir\\sub\\\\"), "sub");
    EXPECT_EQ(name(u8"dir\\sub\\."), "sub");
    EXPECT_EQ(name(u8"notes.txt"), "notes.txt");
    EXPECT_EQ(name(u8"Ҳужжат\\文档\\😀.txt"), from_u8(u8"😀.txt"));
    EXPECT_EQ(name(u8"C:"), "[Nomsiz]");
    EXPECT_EQ(name(u8"c:"), "[Nomsiz]");
    EXPECT_EQ(name(u8"C:\\"), "[Nomsiz]");
    EXPECT_EQ(name(u8"C:/"), "[Nomsiz]");
    EXPECT_EQ(name(u8"\\"), "[Nomsiz]");
    EXPECT_EQ(name(u8".."), "[Nomsiz]");
    EXPECT_EQ(name(u8"dir\\.."), "[Nomsiz]");
    EXPECT_EQ(name(u8"C:\\dir\\..\\"), "[Nomsiz]");
    // A network share and the long-path forms name roots as well.
    EXPECT_EQ(name(u8"\\\\server\\share"), "[Nomsiz]");
    EXPECT_EQ(name(u8"\\\\server\\share\\"), "[Nomsiz]");
    EXPECT_EQ(name(u8"//server/share/notes.txt"), "notes.txt");
    EXPECT_EQ(name(u8"\\\\?\\C:\\"), "[Nomsiz]");
    EXPECT_EQ(name(u8"\\\\?\\C:\\dir\\notes.txt"), "notes.txt");
    EXPECT_EQ(name(u8"\\\\?\\UNC\\server\\share"), "[Nomsiz]");
    EXPECT_EQ(name(u8"\\\\?\\UNC\\server\\share\\notes.txt"), "notes.txt");
    // A name that merely contains a colon further on is still a name.
    EXPECT_EQ(name(u8"ab:c"), "ab:c");

    // An unpaired surrogate in a name shows as U+FFFD.
    Buffer broken;
    broken.path = fs::path(std::wstring(L"dir\\a") + wchar_t(0xD800) + L"b.txt");
    EXPECT_EQ(file_display_name(broken), "a\uFFFDb.txt");
}

TEST(WindowsErrors, SystemTextsOnOneLineWithTheirCode)
{
    for (const DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
        const std::string message = IoError::from_windows(code).message;
        SCOPED_TRACE(message);
        const std::string suffix = " (os error " + std::to_string(code) + ")";
        ASSERT_TRUE(ends_with(message, suffix));
        const std::string text = message.substr(0, message.size() - suffix.size());
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(text, system_text(code));
        EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos);
        EXPECT_NE(text.back(), ' ');
    }
    // GetLastError as the failing call left it.
    ::SetLastError(ERROR_SHARING_VIOLATION);
    EXPECT_EQ(IoError::last_windows_error().message, IoError::from_windows(ERROR_SHARING_VIOLATION).message);

    // A code the system has no text for still says something, and its code.
    const DWORD unknown = 0x2000FFFF;
    const std::string message = IoError::from_windows(unknown).message;
    EXPECT_TRUE(ends_with(message, " (os error 536936447)")) << message;
    EXPECT_GT(message.size(), std::string_view(" (os error 536936447)").size());
    EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos);

    // Every system text, however many lines the system gives it, is one.
    for (DWORD code = 0; code < 16000; ++code) {
        const std::string text = IoError::from_windows(code).message;
        ASSERT_EQ(text.find_first_of("\r\n"), std::string::npos) << "code " << code << ": " << text;
    }

    TempDir dir;
    auto directory = read_file_bytes(dir.path());
    ASSERT_FALSE(directory.has_value());
    EXPECT_TRUE(ends_with(directory.error().message, "(os error 5)")) << directory.error().message;
    auto start = open_document(dir.path());
    ASSERT_FALSE(start.has_value());
    EXPECT_EQ(start.error().message, directory.error().message);

    auto missing = read_file_bytes(dir / "yo'q.txt");
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error().message, system_text(ERROR_FILE_NOT_FOUND) + " (os error 2)");
    auto no_folder = read_file_bytes(dir / "yo'q" / "fayl.txt");
    ASSERT_FALSE(no_folder.has_value());
    EXPECT_EQ(no_folder.error().message, system_text(ERROR_PATH_NOT_FOUND) + " (os error 3)");
}

TEST(WideText, RoundTripsAndReplacementOfBrokenText)
{
    const std::string mixed = "Salom Привет 你好 안녕 مرحبا é 😀👍🏽 𝄞 \t end";
    const std::wstring wide = to_wide(mixed);
    // The emoji and the clef are pairs of UTF-16 units.
    EXPECT_EQ(wide, L"Salom Привет 你好 안녕 مرحبا é 😀👍🏽 𝄞 \t end");
    EXPECT_EQ(wide.substr(wide.find(wchar_t(0xD83D)), 2), std::wstring({wchar_t(0xD83D), wchar_t(0xDE00)}));
    EXPECT_EQ(to_utf8(wide), mixed);
    EXPECT_EQ(to_wide(""), L"");
    EXPECT_EQ(to_utf8(L""), "");
    EXPECT_EQ(to_utf8(std::wstring(L"a\0b", 3)), std::string("a\0b", 3));

    // Invalid UTF-8 becomes U+FFFD and the rest survives.
    EXPECT_EQ(to_wide("a\xFF"
                      "b"),
              L"a\xFFFD"
              L"b");
    EXPECT_EQ(to_wide("\xC3"), L"\xFFFD");
    const std::wstring truncated = to_wide("x\xE2\x82 y");
    EXPECT_EQ(truncated.front(), L'x');
    EXPECT_NE(truncated.find(wchar_t(0xFFFD)), std::wstring::npos);
    EXPECT_EQ(truncated.substr(truncated.size() - 2), L" y");
    // An encoded surrogate is not UTF-8 either.
    EXPECT_EQ(to_wide("\xED\xA0\x80").find_first_not_of(wchar_t(0xFFFD)), std::wstring::npos);

    // Unpaired surrogates, high or low, at either end or inside.
    EXPECT_EQ(to_utf8(std::wstring{L'a', wchar_t(0xD800), L'z'}), "a\uFFFDz");
    EXPECT_EQ(to_utf8(std::wstring{wchar_t(0xDC00), L'z'}), "\uFFFDz");
    EXPECT_EQ(to_utf8(std::wstring{L'a', wchar_t(0xD83D)}), "a\uFFFD");
    // A low before a high is two strays, not a pair.
    EXPECT_EQ(to_utf8(std::wstring{wchar_t(0xDE00), wchar_t(0xD83D)}), "\uFFFD\uFFFD");
    EXPECT_EQ(to_utf8(std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}), "😀");
}
