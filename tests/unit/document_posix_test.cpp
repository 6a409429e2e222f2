#include "editor/document.hpp"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

#include "encoding/codec.hpp"
#include "os/file_io.hpp"
#include "support/editor_state.hpp"
#include "support/files.hpp"
#include "support/opened.hpp"
#include "support/sample_texts.hpp"

namespace fs = std::filesystem;

using test_support::Opened;
using test_support::read_bytes;
using test_support::TempDir;
using test_support::write_bytes;
using Lines = std::vector<std::string>;
using namespace std::string_literals;

// The save's fsync and posix_fallocate come here first: the test is linked
// with --wrap for both (CMakeLists.txt), so it sees every flush, with the
// file it was of and what that file held, and can make the next flush fail
// or the next preallocation grow the file half-way and then run out of room.
namespace {

struct Flush {
    struct stat file;
    std::string bytes;
};
std::vector<Flush> flushes;
int failing_flushes = 0;
bool failing_preallocation = false;

}  // namespace

extern "C" int __real_fsync(int fd);
extern "C" int __real_posix_fallocate(int fd, off_t offset, off_t length);

extern "C" int __wrap_fsync(int fd)
{
    Flush flush{};
    ::fstat(fd, &flush.file);
    std::array<char, 65536> chunk;
    for (ssize_t n; (n = ::pread(fd, chunk.data(), chunk.size(), static_cast<off_t>(flush.bytes.size()))) > 0;)
        flush.bytes.append(chunk.data(), static_cast<std::size_t>(n));
    flushes.push_back(std::move(flush));
    if (failing_flushes > 0) {
        --failing_flushes;
        errno = EIO;
        return -1;
    }
    return __real_fsync(fd);
}

extern "C" int __wrap_posix_fallocate(int fd, off_t offset, off_t length)
{
    if (!std::exchange(failing_preallocation, false)) return __real_posix_fallocate(fd, offset, length);
    (void)::ftruncate(fd, offset + length / 2);
    return ENOSPC;
}

namespace {

void replace_text(Opened& s, std::string text)
{
    s.ed.buffer.replace_lines({std::move(text)});
    s.ed.buffer.modified = true;
}

std::string repeated(std::string_view piece, std::size_t total)
{
    std::string out;
    while (out.size() < total) out += piece;
    out.resize(total);
    return out;
}

// Saves as a user the file's permissions apply to: root ignores them.
std::string save_as_unprivileged_user(Opened& s)
{
    const bool root = ::geteuid() == 0;
    if (root && (::setegid(65534) != 0 || ::seteuid(65534) != 0)) return "could not become nobody";
    const std::string message = s.message_after("<C-s>");
    if (root && (::seteuid(0) != 0 || ::setegid(0) != 0)) std::abort();
    return message;
}

}  // namespace

TEST(Save, UnchangedFilesAreRewrittenByteForByte)
{
    TempDir dir;
    const std::string utf = "Salom, dunyo! O\u02BBzbekiston\tПривет €😀";
    const std::vector<std::pair<TextEncoding, std::string>> samples = {
        {TextEncoding::Utf8, utf},
        {TextEncoding::Utf8Bom, utf},
        {TextEncoding::Utf16Le, utf},
        {TextEncoding::Utf16Be, utf},
        {TextEncoding::Cp1251, test_support::RUSSIAN},
        {TextEncoding::Cp1252, test_support::FRENCH},
        {TextEncoding::Cp866, test_support::RUSSIAN},
    };
    for (const auto& [encoding, text] : samples) {
        // In UTF-16 the bytes 0D 0A never meet, so such a file is read as LF
        // and its CRs drop out; only the LF file comes back as it was.
        for (const std::string ending : {"\n", "\r\n"}) {
            if ((encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be) && ending == "\r\n") continue;
            SCOPED_TRACE(std::string(encoding_label(encoding)) + (ending == "\n" ? " LF" : " CR LF"));
            const std::string file =
                encode_text(text + ending + "ikkinchi qator" + ending + ending + "oxirgi", encoding).value();
            const fs::path path = dir / "sample.txt";
            Opened s(path, file);
            ASSERT_EQ(s.ed.buffer.encoding, encoding);
            EXPECT_EQ(s.message_after("<C-s>"), "Saqlandi: sample.txt");
            EXPECT_FALSE(s.ed.buffer.modified);
            EXPECT_EQ(read_bytes(path), file);
        }
    }
}

TEST(Save, ANewFileIsCreatedWithTheModeTheUmaskAllows)
{
    TempDir dir;
    // A path that does not exist yet: the file appears at the first save,
    // empty for an empty UTF-8 document.
    for (const auto& [mask, mode] : {std::pair<mode_t, mode_t>{022, 0644}, {077, 0600}, {002, 0664}}) {
        const fs::path fresh = dir / ("yangi-" + std::to_string(mask) + ".txt");
        Opened s(fresh);
        EXPECT_FALSE(fs::exists(fresh));
        EXPECT_EQ(s.lines(), Lines{""});
        EXPECT_EQ(s.ed.buffer.encoding, TextEncoding::Utf8);
        const mode_t previous = ::umask(mask);
        EXPECT_EQ(s.message_after("<C-s>"), "Saqlandi: " + fresh.filename().string());
        ::umask(previous);
        struct stat created {};
        ASSERT_EQ(::stat(fresh.c_str(), &created), 0);
        EXPECT_EQ(created.st_size, 0);
        EXPECT_EQ(created.st_mode & 07777, mode) << "under umask " << std::oct << mask;
    }
}

TEST(Save, UntitledDocumentsAndRefusedCharactersWriteNothing)
{
    TempDir dir;
    // No path at all: only the explanation.
    Opened untitled(std::nullopt);
    EXPECT_EQ(untitled.message_after("matn<C-s>"), "Saqlash uchun fayl nomi yo'q (zep <fayl> bilan oching)");
    EXPECT_TRUE(untitled.ed.buffer.modified);
    EXPECT_TRUE(fs::is_empty(dir.path()));

    // CP866 has no euro sign: nothing is written and the document stays modified.
    const fs::path path = dir / "pul.txt";
    Opened money(path, "narx: 5\n");
    EXPECT_EQ(money.message_after("<End> €<C-e>7"), "Saqlash encodingi: CP866");
    EXPECT_EQ(money.message_after("<C-s>"),
              "Saqlashda xato: Matn IBM866 ga to'liq o'tkazilmadi (ba'zi belgilar qo'llab-quvvatlanmaydi)");
    EXPECT_TRUE(money.ed.buffer.modified);
    EXPECT_EQ(read_bytes(path), "narx: 5\n");
}

TEST(Save, SaqlandiOnlyOnceTheFileItselfIsFlushed)
{
    TempDir dir;
    const fs::path path = dir / "hujjat.txt";
    Opened s(path, "eski\n");
    s.press("yangi ");
    flushes.clear();
    EXPECT_EQ(s.message_after("<C-s>"), "Saqlandi: hujjat.txt");
    struct stat saved {};
    ASSERT_EQ(::stat(path.c_str(), &saved), 0);
    ASSERT_FALSE(flushes.empty()) << "reported saved without a flush";
    EXPECT_EQ(flushes.back().file.st_ino, saved.st_ino);
    EXPECT_EQ(flushes.back().file.st_dev, saved.st_dev);
    EXPECT_EQ(flushes.back().bytes, "yangi eski\n");

    // A flush that fails is a save that failed: the old bytes go back.
    failing_flushes = 1;
    EXPECT_EQ(s.message_after("!<C-s>"), "Saqlashda xato: Input/output error (os error 5)");
    EXPECT_TRUE(s.ed.buffer.modified);
    EXPECT_EQ(read_bytes(path), "yangi eski\n");
}

TEST(Save, KeepsTheFileItselfItsInodeOwnerAndPermissions)
{
    TempDir dir;
    const fs::path path = dir / "hujjat.txt";
    write_bytes(path, "birinchi\nikkinchi uzun qator\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), 1234, 5678), 0);
    }
    const fs::path other_name = dir / "boshqa-nom.txt";
    fs::create_hard_link(path, other_name);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);

    Opened s(path);
    EXPECT_EQ(s.message_after("Yangi <C-s>"), "Saqlandi: hujjat.txt");
    EXPECT_EQ(read_bytes(path), "Yangi birinchi\nikkinchi uzun qator\n");
    // Shorter content is cut to its own length.
    s.press("<C-a>qisqa<C-s>");
    EXPECT_EQ(read_bytes(path), "qisqa");

    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(std::tie(after.st_ino, after.st_dev, after.st_mode, after.st_uid, after.st_gid, after.st_nlink),
              std::tie(before.st_ino, before.st_dev, before.st_mode, before.st_uid, before.st_gid, before.st_nlink));
    // The other name of the same file sees the saved text.
    EXPECT_EQ(read_bytes(other_name), "qisqa");
}

TEST(Save, FailuresLeaveTheOldContentAndSayWhy)
{
    TempDir dir;

    // A directory where the file should be.
    const fs::path directory = dir / "papka";
    fs::create_directory(directory);
    write_bytes(directory / "ichida.txt", "tegilmaydi");
    Opened into_directory(std::nullopt);
    into_directory.ed.buffer.path = directory;
    EXPECT_EQ(into_directory.message_after("matn<C-s>"), "Saqlashda xato: Is a directory (os error 21)");
    EXPECT_TRUE(into_directory.ed.buffer.modified);
    EXPECT_EQ(read_bytes(directory / "ichida.txt"), "tegilmaydi");

    // A read-only file, saved by a user the permissions apply to.
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const fs::path locked = dir / "faqat-oqish.txt";
    write_bytes(locked, "eski matn\n");
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    Opened read_only(locked);
    read_only.press("yangi ");
    EXPECT_EQ(save_as_unprivileged_user(read_only), "Saqlashda xato: Permission denied (os error 13)");
    EXPECT_EQ(read_bytes(locked), "eski matn\n");
    EXPECT_TRUE(read_only.ed.buffer.modified);

    // A file that may be written but not read still saves.
    const fs::path write_only = dir / "faqat-yozish.txt";
    Opened writer(write_only, "eski matn, uzunroq\n");
    ASSERT_EQ(::chmod(write_only.c_str(), 0222), 0);
    replace_text(writer, "yangi");
    EXPECT_EQ(save_as_unprivileged_user(writer), "Saqlandi: faqat-yozish.txt");
    EXPECT_EQ(read_bytes(write_only), "yangi");

    // A named pipe (as zep <(command) gives one) holds no old content to
    // keep: the save reports the error instead of waiting on the pipe.
    const fs::path fifo = dir / "quvur";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    Opened piped(std::nullopt);
    piped.ed.buffer.path = fifo;
    ::alarm(10);  // a save that waits on the pipe ends the test
    EXPECT_EQ(piped.message_after("matn<C-s>"), "Saqlashda xato: Illegal seek (os error 29)");
    ::alarm(0);
}

// A preallocation that runs out of room half-way (a small tmpfs hides this,
// failing before it grows anything) must leave the file as it was.
TEST(Save, APreallocationThatFailsHalfWayLeavesTheFileAsItWas)
{
    TempDir dir;
    const fs::path grown = dir / "kattalashgan.txt";
    Opened longer(grown, "qisqa\n");
    replace_text(longer, repeated("ancha uzunroq matn, ", 100000));
    failing_preallocation = true;
    EXPECT_EQ(longer.message_after("<C-s>"), "Saqlashda xato: No space left on device (os error 28)");
    EXPECT_FALSE(failing_preallocation) << "the save did not preallocate";
    EXPECT_TRUE(longer.ed.buffer.modified);
    EXPECT_EQ(read_bytes(grown), "qisqa\n");
}

TEST(Save, AFullFileSystemStopsTheSaveBeforeAnyOldByteIsLost)
{
    TempDir dir;
    const fs::path mount_point = dir / "kichik";
    fs::create_directory(mount_point);
    if (::mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno)
                     << "); the full-disk save is not tested";
    }
    struct Unmount {
        const fs::path& at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{mount_point};

    const fs::path path = mount_point / "hujjat.txt";
    const std::string old = repeated("eski matn, ", 8000);
    write_bytes(path, old);
    // Fill the rest of the file system.
    {
        const int fd = ::open((mount_point / "to'ldiruvchi").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        const std::string block(4096, 'x');
        while (::write(fd, block.data(), block.size()) > 0) {}
        ::close(fd);
    }

    Opened s(path);
    const std::string longer = repeated("yangi va ancha uzunroq matn, ", 40000);
    replace_text(s, longer);
    EXPECT_EQ(s.message_after("<C-s>"), "Saqlashda xato: No space left on device (os error 28)");
    EXPECT_TRUE(s.ed.buffer.modified);
    EXPECT_EQ(read_bytes(path), old);

    // With room made, the same document saves.
    fs::remove(mount_point / "to'ldiruvchi");
    EXPECT_EQ(s.message_after("<C-s>"), "Saqlandi: hujjat.txt");
    EXPECT_EQ(read_bytes(path), longer);
}

TEST(Save, AFileSizeLimitMidWayPutsTheOldContentBack)
{
    TempDir dir;
    const fs::path path = dir / "katta.txt";
    const std::string old = repeated("0123456789 eski qator\n", 64 * 1024);
    Opened s(path, old);

    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    struct Restore {
        rlimit limit;
        ~Restore() { ::setrlimit(RLIMIT_FSIZE, &limit); }
    } restore{previous};
    rlimit small = previous;
    small.rlim_cur = 16 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

    // Shorter than the file but past the limit: the writing starts, fails at
    // the limit, and what it overwrote is put back. The editor outlives the
    // SIGXFSZ that comes with the failure. Longer than the file: refused
    // before the first byte is written.
    for (std::size_t size : {48 * 1024, 96 * 1024}) {
        replace_text(s, repeated("yangi ", size));
        EXPECT_EQ(s.message_after("<C-s>"), "Saqlashda xato: File too large (os error 27)");
        EXPECT_TRUE(s.ed.buffer.modified);
        EXPECT_EQ(read_bytes(path), old);
    }
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &previous), 0);
    EXPECT_EQ(s.message_after("<C-s>"), "Saqlandi: katta.txt");
    EXPECT_EQ(read_bytes(path), repeated("yangi ", 96 * 1024));
}

TEST(EncodingMenu, OpensStaysOpenForOtherKeysAndClosesWithEsc)
{
    test_support::Session s;
    s.load("s[al|]om\n");
    const std::string menu = "Encoding: [1]UTF-8  [2]UTF-8 BOM  [3]UTF-16 LE  [4]UTF-16 BE  [5]CP1251  [6]CP1252  "
                             "[7]CP866   Esc=bekor";
    EXPECT_EQ(s.message_after("<C-e>980aZ<Enter>"), menu);
    EXPECT_TRUE(s.ed.encoding_menu_open);
    EXPECT_EQ(s.marked(), "s[al|]om\n");
    EXPECT_EQ(s.ed.buffer.encoding, TextEncoding::Utf8);

    EXPECT_EQ(s.message_after("<Esc>"), "");
    EXPECT_FALSE(s.ed.encoding_menu_open);
    EXPECT_EQ(s.ed.buffer.encoding, TextEncoding::Utf8);
}

// A choice reloads an unchanged file in the encoding chosen; after an edit,
// or without a file, it only sets the encoding of the next save.
TEST(EncodingMenu, AChoiceReloadsOrSetsTheNextSavesEncoding)
{
    struct Row {
        std::optional<std::string> file;  // nothing: untitled
        std::u32string typed;             // at the end of the first line, before the choice
        std::optional<std::string> now;   // what another program wrote meanwhile
        char32_t digit;
        std::string message;
        Lines lines;
        std::string saved;  // the file after Ctrl+S
    };
    // clang-format off
    const std::vector<Row> rows = {
        {"eski\r\n", U"", "boshqa\n", U'5', "Qayta o'qildi: CP1251", {"boshqa", ""}, "boshqa\n"},
        // A mark the file lacks is added by the next save.
        {"boshqa\n", U"", {}, U'2', "Qayta o'qildi: UTF-8 BOM", {"boshqa", ""}, "\xEF\xBB\xBF\x62oshqa\n"},
        // UTF-16 LE with its mark, read as UTF-8: the mark still counts.
        {"\xFF\xFES\0a\0l\0o\0m\0\n\0\x34\x04\x43\x04\x3D\x04\x51\x04"s, U"", {}, U'1', "Qayta o'qildi: UTF-8",
         {"Salom", "дунё"}, "Salom\nдунё"},
        {"Привет\nмир", U"!", {}, U'5', "Saqlash encodingi: CP1251", {"Привет!", "мир"},
         "\xCF\xF0\xE8\xE2\xE5\xF2!\n\xEC\xE8\xF0"},
        {std::nullopt, U"", {}, U'4', "Saqlash encodingi: UTF-16 BE", {""}, ""},
    };
    // clang-format on
    TempDir dir;
    const fs::path path = dir / "matn.txt";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        if (row.file) write_bytes(path, *row.file);
        Opened s(row.file ? std::optional(path) : std::nullopt);
        s.press("<End>");
        s.type(row.typed);
        if (row.now) write_bytes(path, *row.now);
        s.choose(row.digit);
        EXPECT_FALSE(s.ed.encoding_menu_open);
        EXPECT_EQ(s.message(), row.message);
        EXPECT_EQ(s.lines(), row.lines);
        EXPECT_EQ(s.ed.buffer.encoding, encoding_for_menu_key(row.digit));
        EXPECT_EQ(s.ed.buffer.modified, !row.typed.empty());
        if (!row.file) continue;
        EXPECT_EQ(read_bytes(path), row.now.value_or(*row.file)) << "the choice wrote the file";
        s.press("<C-s>");
        EXPECT_EQ(read_bytes(path), row.saved);
    }
}

TEST(EncodingMenu, AReloadForgetsWhatDescribedTheOldText)
{
    TempDir dir;
    const fs::path path = dir / "kafe.txt";
    Opened s(path, "caf\xC3\xA9\r\nikki\r\n");
    // An edit, saved: the document is unchanged but has a history.
    s.press("<Down>X<C-s>");
    s.ed.anchor = Position{1, 0};
    s.ed.matches = {Position{1, 1}};
    s.ed.current_match = 0;
    s.ed.top_line = 1;
    s.ed.left_column = 2;

    s.choose(U'5');
    EXPECT_EQ(s.marked(), "|caf\u0413\u00A9\nXikki\n");
    EXPECT_EQ(s.ed.top_line, 0u);
    EXPECT_EQ(s.ed.left_column, 0u);
    EXPECT_TRUE(s.ed.matches.empty());
    EXPECT_FALSE(s.ed.current_match.has_value());
    // Undo has nothing to take back.
    s.press("<C-z><C-y>");
    EXPECT_EQ(s.lines(), (Lines{"caf\u0413\u00A9", "Xikki", ""}));
    EXPECT_FALSE(s.ed.buffer.modified);

    // A deleted file cannot be read again: the document stays as it was.
    fs::remove(path);
    s.choose(U'6');
    EXPECT_FALSE(s.ed.encoding_menu_open);
    EXPECT_EQ(s.message(), "Xato: No such file or directory (os error 2)");
    EXPECT_EQ(s.lines(), (Lines{"caf\u0413\u00A9", "Xikki", ""}));
    EXPECT_EQ(s.ed.buffer.encoding, TextEncoding::Cp1251);
}

TEST(OpenDocument, MissingFilesDirectoriesEmptyFilesAndPipes)
{
    TempDir dir;
    Opened untitled(std::nullopt);
    EXPECT_FALSE(untitled.ed.buffer.path.has_value());
    EXPECT_EQ(untitled.ed.buffer.line_ending, LineEnding::CrLf);

    const fs::path empty = dir / "bo'sh.txt";
    Opened s(empty, "");
    EXPECT_EQ(s.lines(), Lines{""});
    EXPECT_EQ(s.ed.buffer.path, empty);
    EXPECT_FALSE(s.ed.buffer.modified);

    EXPECT_EQ(open_document(dir.path()).error().message, "Is a directory (os error 21)");
    EXPECT_EQ(read_file_bytes(dir / "yo'q").error().message, "No such file or directory (os error 2)");

    // The whole file, however it is split into reads.
    const std::string big = repeated("qator\r\n", 300000);
    write_bytes(dir / "katta.txt", big);
    EXPECT_EQ(read_file_bytes(dir / "katta.txt").value(), big);

    // A pipe, as zep <(command) gives it, is read to its end too.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const std::string piped = "salom\r\ndunyo";
    ASSERT_EQ(::write(fds[1], piped.data(), piped.size()), static_cast<ssize_t>(piped.size()));
    ::close(fds[1]);
    Opened reader(fs::path("/proc/self/fd") / std::to_string(fds[0]));
    ::close(fds[0]);
    EXPECT_EQ(reader.lines(), (Lines{"salom", "dunyo"}));
    EXPECT_EQ(reader.ed.buffer.line_ending, LineEnding::CrLf);
}

TEST(FileDisplayName, LastPlainComponentOrUntitled)
{
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"matn.txt", "matn.txt"},
        {"papka/ichki/matn.txt", "matn.txt"},
        {"/home/user/papka/", "papka"},
        {"papka//", "papka"},
        {"papka/.", "papka"},
        {"...", "..."},
        {".yashirin", ".yashirin"},
        // One U+FFFD for each broken sequence, however many bytes it has; the
        // bytes of a byte-order mark at the start are only a name.
        {"o\xCA\xBBzbek \xFF\xC3.txt", "o\u02BBzbek \uFFFD\uFFFD.txt"},
        {"papka/\xE2\x82.txt", "\uFFFD.txt"},
        {"\xFF\xFE\x61", "\uFFFD\uFFFDa"},
    };
    Buffer buffer;
    EXPECT_EQ(file_display_name(buffer), "[Nomsiz]");
    for (const auto& [path, name] : rows) {
        buffer.path = fs::path(path);
        EXPECT_EQ(file_display_name(buffer), name) << path;
    }
    for (const char* root : {"/", "//", "..", "papka/..", "../", "."}) {
        buffer.path = fs::path(root);
        EXPECT_EQ(file_display_name(buffer), "[Nomsiz]") << root;
    }
}
