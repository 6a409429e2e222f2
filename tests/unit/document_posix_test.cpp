#include "editor/document.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "editor/dispatch.hpp"
#include "encoding/encoding.hpp"
#include "support/editor_state.hpp"
#include "support/files.hpp"
#include "support/sample_texts.hpp"

namespace fs = std::filesystem;

namespace {

using test_support::FRENCH;
using test_support::RUSSIAN;

using test_support::lines_of;

using test_support::read_bytes;
using test_support::TempDir;
using test_support::write_bytes;

constexpr std::string_view MENU =
    "Encoding: [1]UTF-8  [2]UTF-8 BOM  [3]UTF-16 LE  [4]UTF-16 BE  [5]CP1251  [6]CP1252  [7]CP866   Esc=bekor";

Editor open_editor(const std::optional<fs::path>& path)
{
    Editor editor;
    auto buffer = open_document(path);
    EXPECT_TRUE(buffer.has_value()) << (buffer ? "" : buffer.error().message);
    if (buffer) editor.buffer = std::move(*buffer);
    return editor;
}

void press(Editor& editor, term::KeyCode code, term::KeyModifiers modifiers = term::NONE)
{
    handle_event(editor, term::KeyEvent{code, modifiers, term::KeyEventKind::Press}, TimePoint{});
}
void press_char(Editor& editor, char32_t c) { press(editor, term::KeyCode::character(c)); }
void ctrl(Editor& editor, char32_t c) { press(editor, term::KeyCode::character(c), term::CONTROL); }
void type(Editor& editor, std::u32string_view text)
{
    for (char32_t c : text) press_char(editor, c);
}

std::string encoded(std::string_view text, TextEncoding encoding)
{
    auto bytes = encode_document(text, encoding);
    EXPECT_TRUE(bytes.has_value());
    return bytes.value_or("");
}

std::string repeated(std::string_view piece, std::size_t total)
{
    std::string out;
    while (out.size() < total) out += piece;
    out.resize(total);
    return out;
}

// Saves `editor` in a child process and returns the status message it ended
// with, or nothing when the save has not ended within the time limit (the
// child is then killed), so that a save that hangs fails the test instead of
// the run. With `unprivileged`, the child first gives up root, so that the
// file's permissions apply to it.
std::optional<std::string> save_in_child(Editor& editor, bool unprivileged, int timeout_ms = 10000)
{
    int fds[2];
    if (::pipe(fds) != 0) return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        if (unprivileged && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        save_document(editor);
        const std::string& text = editor.status_message.text;
        const ssize_t ignored = ::write(fds[1], text.data(), text.size());
        (void)ignored;
        ::_exit(0);
    }
    ::close(fds[1]);
    std::optional<std::string> message = std::string();
    char chunk[256];
    for (;;) {
        pollfd ready{fds[0], POLLIN, 0};
        if (::poll(&ready, 1, timeout_ms) <= 0) {
            message.reset();
            ::kill(child, SIGKILL);
            break;
        }
        const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
        if (n <= 0) break;
        message->append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(!message || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << "the save in the child did not run";
    return message;
}

// Saves as a user the file's permissions apply to: root ignores them.
std::string save_as_unprivileged_user(Editor& editor)
{
    if (::geteuid() != 0) {
        save_document(editor);
        return editor.status_message.text;
    }
    return save_in_child(editor, true).value_or("the save did not end");
}


}  // namespace

TEST(Save, UnchangedFilesAreRewrittenByteForByte)
{
    TempDir dir;
    struct Sample {
        TextEncoding encoding;
        std::string text;
    };
    const std::vector<Sample> samples = {
        {TextEncoding::Utf8, "Salom, dunyo! O\u02BBzbekiston\tПривет €😀"},
        {TextEncoding::Utf8Bom, "Salom, dunyo! O\u02BBzbekiston\tПривет €😀"},
        {TextEncoding::Utf16Le, "Salom, dunyo! O\u02BBzbekiston\tПривет €😀"},
        {TextEncoding::Utf16Be, "Salom, dunyo! O\u02BBzbekiston\tПривет €😀"},
        {TextEncoding::Cp1251, RUSSIAN},
        {TextEncoding::Cp1252, FRENCH},
        {TextEncoding::Cp866, RUSSIAN},
    };
    for (const Sample& sample : samples) {
        for (const std::string_view ending : {"\r\n", "\n"}) {
            const bool utf16 = sample.encoding == TextEncoding::Utf16Le || sample.encoding == TextEncoding::Utf16Be;
            // In UTF-16 the bytes 0D 0A never meet, so such a file is read as
            // LF and its CRs drop out; only the LF file comes back as it was.
            if (utf16 && ending == "\r\n") continue;
            const std::string label(encoding_label(sample.encoding));
            SCOPED_TRACE(label + (ending == "\n" ? " LF" : " CR LF"));
            const std::string body = sample.text + std::string(ending) + "ikkinchi qator" + std::string(ending) +
                                     std::string(ending) + "oxirgi";
            const std::string file = encoded(body, sample.encoding);
            const fs::path path = dir / "sample.txt";
            write_bytes(path, file);

            Editor editor = open_editor(path);
            ASSERT_EQ(editor.buffer.encoding, sample.encoding);
            ctrl(editor, U's');
            EXPECT_EQ(editor.status_message.text, "Saqlandi: sample.txt");
            EXPECT_FALSE(editor.buffer.modified);
            EXPECT_EQ(read_bytes(path), file);
        }
    }
}

TEST(Save, NewFilesUntitledDocumentsAndRefusedCharacters)
{
    TempDir dir;

    // A path that does not exist yet: the file appears at the first save,
    // empty for an empty UTF-8 document.
    const fs::path fresh = dir / "yangi.txt";
    Editor editor = open_editor(fresh);
    EXPECT_FALSE(fs::exists(fresh));
    EXPECT_EQ(lines_of(editor), std::vector<std::string>{""});
    EXPECT_EQ(editor.buffer.encoding, TextEncoding::Utf8);
    ctrl(editor, U's');
    EXPECT_EQ(editor.status_message.text, "Saqlandi: yangi.txt");
    ASSERT_TRUE(fs::exists(fresh));
    EXPECT_EQ(fs::file_size(fresh), 0u);

    // No path at all: only the explanation.
    Editor untitled = open_editor(std::nullopt);
    type(untitled, U"matn");
    ctrl(untitled, U's');
    EXPECT_EQ(untitled.status_message.text, "Saqlash uchun fayl nomi yo'q (zep <fayl> bilan oching)");
    EXPECT_TRUE(untitled.buffer.modified);
    EXPECT_EQ(fs::directory_iterator(dir.path())->path(), fresh) << "nothing else was written";

    // CP866 has no euro sign: nothing is written and the document stays modified.
    const fs::path path = dir / "pul.txt";
    write_bytes(path, "narx: 5\n");
    Editor money = open_editor(path);
    press(money, term::KeyCode{term::Key::End});
    type(money, U" €");
    ctrl(money, U'e');
    press_char(money, U'7');
    EXPECT_EQ(money.status_message.text, "Saqlash encodingi: CP866");
    ctrl(money, U's');
    EXPECT_EQ(money.status_message.text,
              "Saqlashda xato: Matn IBM866 ga to'liq o'tkazilmadi (ba'zi belgilar qo'llab-quvvatlanmaydi)");
    EXPECT_TRUE(money.buffer.modified);
    EXPECT_EQ(read_bytes(path), "narx: 5\n");
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

    Editor editor = open_editor(path);
    type(editor, U"Yangi ");
    ctrl(editor, U's');
    EXPECT_EQ(editor.status_message.text, "Saqlandi: hujjat.txt");
    EXPECT_EQ(read_bytes(path), "Yangi birinchi\nikkinchi uzun qator\n");
    // Shorter content is cut to its own length.
    ctrl(editor, U'a');
    type(editor, U"qisqa");
    ctrl(editor, U's');
    EXPECT_EQ(read_bytes(path), "qisqa");

    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_dev, before.st_dev);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_nlink, 2u);
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
    Editor into_directory = open_editor(std::nullopt);
    into_directory.buffer.path = directory;
    type(into_directory, U"matn");
    save_document(into_directory);
    EXPECT_EQ(into_directory.status_message.text, "Saqlashda xato: Is a directory (os error 21)");
    EXPECT_TRUE(into_directory.buffer.modified);
    EXPECT_TRUE(fs::is_directory(directory));
    EXPECT_EQ(read_bytes(directory / "ichida.txt"), "tegilmaydi");

    // A read-only file, saved by a user the permissions apply to.
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const fs::path locked = dir / "faqat-oqish.txt";
    write_bytes(locked, "eski matn\n");
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    Editor read_only = open_editor(locked);
    type(read_only, U"yangi ");
    EXPECT_EQ(save_as_unprivileged_user(read_only), "Saqlashda xato: Permission denied (os error 13)");
    EXPECT_EQ(read_bytes(locked), "eski matn\n");
    EXPECT_TRUE(read_only.buffer.modified);

    // A file that may be written but not read still saves.
    const fs::path write_only = dir / "faqat-yozish.txt";
    write_bytes(write_only, "eski matn, uzunroq\n");
    Editor writer = open_editor(write_only);
    ASSERT_EQ(::chmod(write_only.c_str(), 0222), 0);
    writer.buffer.replace_lines({"yangi"});
    EXPECT_EQ(save_as_unprivileged_user(writer), "Saqlandi: faqat-yozish.txt");
    EXPECT_EQ(read_bytes(write_only), "yangi");

    // A named pipe (as zep <(command) gives one) holds no old content to
    // keep: the save reports the error instead of waiting on the pipe.
    const fs::path fifo = dir / "quvur";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    Editor piped = open_editor(std::nullopt);
    piped.buffer.path = fifo;
    type(piped, U"matn");
    EXPECT_EQ(save_in_child(piped, false, 5000), "Saqlashda xato: Illegal seek (os error 29)");
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

    Editor editor = open_editor(path);
    const std::string longer = repeated("yangi va ancha uzunroq matn, ", 40000);
    editor.buffer.replace_lines({longer});
    editor.buffer.modified = true;
    ctrl(editor, U's');
    EXPECT_EQ(editor.status_message.text, "Saqlashda xato: No space left on device (os error 28)");
    EXPECT_TRUE(editor.buffer.modified);
    EXPECT_EQ(read_bytes(path), old);

    // With room made, the same document saves.
    fs::remove(mount_point / "to'ldiruvchi");
    ctrl(editor, U's');
    EXPECT_EQ(editor.status_message.text, "Saqlandi: hujjat.txt");
    EXPECT_EQ(read_bytes(path), longer);
}

TEST(Save, AFileSizeLimitMidWayPutsTheOldContentBack)
{
    TempDir dir;
    const fs::path path = dir / "katta.txt";
    const std::string old = repeated("0123456789 eski qator\n", 64 * 1024);
    write_bytes(path, old);
    Editor editor = open_editor(path);

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
    // SIGXFSZ that comes with the failure.
    const std::string shorter = repeated("yangi ", 48 * 1024);
    editor.buffer.replace_lines({shorter});
    editor.buffer.modified = true;
    save_document(editor);
    EXPECT_EQ(editor.status_message.text, "Saqlashda xato: File too large (os error 27)");
    EXPECT_TRUE(editor.buffer.modified);
    EXPECT_EQ(read_bytes(path), old);

    // Longer than the file: refused before the first byte is written.
    const std::string longer = repeated("yangi ", 96 * 1024);
    editor.buffer.replace_lines({longer});
    save_document(editor);
    EXPECT_EQ(editor.status_message.text, "Saqlashda xato: File too large (os error 27)");
    EXPECT_EQ(read_bytes(path), old);

    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &previous), 0);
    save_document(editor);
    EXPECT_EQ(editor.status_message.text, "Saqlandi: katta.txt");
    EXPECT_EQ(read_bytes(path), longer);
}

TEST(EncodingMenu, OpensStaysOpenForOtherKeysAndClosesWithEsc)
{
    TempDir dir;
    const fs::path path = dir / "matn.txt";
    write_bytes(path, "salom\n");
    Editor editor = open_editor(path);
    editor.cursor = Position{0, 3};
    editor.anchor = Position{0, 1};

    ctrl(editor, U'e');
    EXPECT_TRUE(editor.encoding_menu_open);
    EXPECT_EQ(editor.status_message.text, MENU);
    EXPECT_EQ(editor.status_message.text.size(), 104u);
    EXPECT_EQ(editor.cursor, (Position{0, 3}));
    EXPECT_EQ(editor.anchor, (Position{0, 1}));

    for (char32_t key : {U'9', U'8', U'0', U'a', U'Z'}) press_char(editor, key);
    press(editor, term::KeyCode{term::Key::Enter});
    EXPECT_TRUE(editor.encoding_menu_open);
    EXPECT_EQ(editor.status_message.text, MENU);
    EXPECT_EQ(editor.buffer.encoding, TextEncoding::Utf8);
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"salom", ""}));

    press(editor, term::KeyCode{term::Key::Esc});
    EXPECT_FALSE(editor.encoding_menu_open);
    EXPECT_EQ(editor.status_message.text, "");
    EXPECT_EQ(editor.buffer.encoding, TextEncoding::Utf8);
}

TEST(EncodingMenu, ChoiceOnAnUnchangedFileReloadsIt)
{
    TempDir dir;
    const fs::path path = dir / "kafe.txt";
    write_bytes(path, "caf\xC3\xA9\r\nikki\r\n");
    Editor editor = open_editor(path);
    ASSERT_EQ(editor.buffer.encoding, TextEncoding::Utf8);

    // An edit, saved: the document is unchanged but has a history.
    press(editor, term::KeyCode{term::Key::Down});
    type(editor, U"X");
    ctrl(editor, U's');
    ASSERT_EQ(read_bytes(path), "caf\xC3\xA9\r\nXikki\r\n");
    editor.anchor = Position{1, 0};
    editor.matches = {Position{1, 1}};
    editor.current_match = 0;
    editor.top_line = 1;
    editor.left_column = 2;

    ctrl(editor, U'e');
    press_char(editor, U'5');
    EXPECT_FALSE(editor.encoding_menu_open);
    EXPECT_EQ(editor.status_message.text, "Qayta o'qildi: CP1251");
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"caf\u0413\u00A9", "Xikki", ""}));
    EXPECT_EQ(editor.buffer.encoding, TextEncoding::Cp1251);
    EXPECT_EQ(editor.buffer.line_ending, LineEnding::CrLf);
    EXPECT_FALSE(editor.buffer.modified);
    EXPECT_EQ(editor.cursor, (Position{0, 0}));
    EXPECT_EQ(editor.top_line, 0u);
    EXPECT_EQ(editor.left_column, 0u);
    // What described the old text is gone: no selection, no matches, and
    // undo has nothing to take back.
    EXPECT_FALSE(editor.anchor.has_value());
    EXPECT_TRUE(editor.matches.empty());
    EXPECT_FALSE(editor.current_match.has_value());
    ctrl(editor, U'z');
    ctrl(editor, U'y');
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"caf\u0413\u00A9", "Xikki", ""}));
    EXPECT_FALSE(editor.buffer.modified);

    // The same encoding again picks up what another program wrote.
    write_bytes(path, "boshqa\n");
    ctrl(editor, U'e');
    press_char(editor, U'5');
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"boshqa", ""}));
    EXPECT_EQ(editor.buffer.line_ending, LineEnding::Lf);

    // 2 on a file without a mark: the text stays, the next save adds it.
    ctrl(editor, U'e');
    press_char(editor, U'2');
    EXPECT_EQ(editor.status_message.text, "Qayta o'qildi: UTF-8 BOM");
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"boshqa", ""}));
    ctrl(editor, U's');
    EXPECT_EQ(read_bytes(path), "\xEF\xBB\xBF"
                                "boshqa\n");

    // A deleted file cannot be read again: the document stays as it was.
    fs::remove(path);
    ctrl(editor, U'e');
    press_char(editor, U'6');
    EXPECT_FALSE(editor.encoding_menu_open);
    EXPECT_EQ(editor.status_message.text, "Xato: No such file or directory (os error 2)");
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"boshqa", ""}));
    EXPECT_EQ(editor.buffer.encoding, TextEncoding::Utf8Bom);
}

TEST(EncodingMenu, Utf8OnAMarkedUtf16FileAndChoicesForTheNextSave)
{
    TempDir dir;
    // "Salom\nдунё" in UTF-16 LE with its mark.
    const fs::path wide = dir / "keng.txt";
    write_bytes(wide, std::string("\xFF\xFES\0a\0l\0o\0m\0\n\0\x34\x04\x43\x04\x3D\x04\x51\x04", 22));
    Editor editor = open_editor(wide);
    ASSERT_EQ(editor.buffer.encoding, TextEncoding::Utf16Le);
    ctrl(editor, U'e');
    press_char(editor, U'1');
    EXPECT_EQ(editor.status_message.text, "Qayta o'qildi: UTF-8");
    EXPECT_EQ(lines_of(editor), (std::vector<std::string>{"Salom", "дунё"}));
    EXPECT_EQ(editor.buffer.encoding, TextEncoding::Utf8);
    ctrl(editor, U's');
    EXPECT_EQ(read_bytes(wide), "Salom\nдунё");

    // After an edit only the encoding of the next save changes.
    const fs::path path = dir / "rus.txt";
    write_bytes(path, "Привет\nмир");
    Editor edited = open_editor(path);
    press(edited, term::KeyCode{term::Key::End});
    type(edited, U"!");
    ctrl(edited, U'e');
    press_char(edited, U'5');
    EXPECT_FALSE(edited.encoding_menu_open);
    EXPECT_EQ(edited.status_message.text, "Saqlash encodingi: CP1251");
    EXPECT_EQ(lines_of(edited), (std::vector<std::string>{"Привет!", "мир"}));
    EXPECT_TRUE(edited.buffer.modified);
    EXPECT_EQ(read_bytes(path), "Привет\nмир");
    ctrl(edited, U's');
    EXPECT_EQ(read_bytes(path), "\xCF\xF0\xE8\xE2\xE5\xF2!\n\xEC\xE8\xF0");

    // An untitled document has nothing to reload either.
    Editor untitled = open_editor(std::nullopt);
    ctrl(untitled, U'e');
    press_char(untitled, U'4');
    EXPECT_EQ(untitled.status_message.text, "Saqlash encodingi: UTF-16 BE");
    EXPECT_EQ(untitled.buffer.encoding, TextEncoding::Utf16Be);
    EXPECT_FALSE(untitled.buffer.modified);
}

TEST(OpenDocument, MissingFilesDirectoriesAndEmptyFiles)
{
    TempDir dir;
    Editor untitled = open_editor(std::nullopt);
    EXPECT_FALSE(untitled.buffer.path.has_value());
    EXPECT_EQ(untitled.buffer.line_ending, LineEnding::CrLf);

    const fs::path empty = dir / "bo'sh.txt";
    write_bytes(empty, "");
    Editor editor = open_editor(empty);
    EXPECT_EQ(lines_of(editor), std::vector<std::string>{""});
    EXPECT_EQ(editor.buffer.path, empty);
    EXPECT_FALSE(editor.buffer.modified);

    auto directory = open_document(dir.path());
    ASSERT_FALSE(directory.has_value());
    EXPECT_EQ(directory.error().message, "Is a directory (os error 21)");
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
    auto from_pipe = open_document(fs::path("/proc/self/fd") / std::to_string(fds[0]));
    ::close(fds[0]);
    ASSERT_TRUE(from_pipe.has_value()) << from_pipe.error().message;
    Editor reader;
    reader.buffer = std::move(*from_pipe);
    EXPECT_EQ(lines_of(reader), (std::vector<std::string>{"salom", "dunyo"}));
    EXPECT_EQ(reader.buffer.line_ending, LineEnding::CrLf);
}

TEST(FileDisplayName, LastPlainComponentOrUntitled)
{
    const auto name = [](std::optional<std::string> path) {
        Buffer buffer;
        if (path) buffer.path = fs::path(*path);
        return file_display_name(buffer);
    };
    EXPECT_EQ(name(std::nullopt), "[Nomsiz]");
    EXPECT_EQ(name("matn.txt"), "matn.txt");
    EXPECT_EQ(name("papka/ichki/matn.txt"), "matn.txt");
    EXPECT_EQ(name("/home/user/papka/"), "papka");
    EXPECT_EQ(name("papka//"), "papka");
    EXPECT_EQ(name("papka/."), "papka");
    EXPECT_EQ(name("/"), "[Nomsiz]");
    EXPECT_EQ(name("//"), "[Nomsiz]");
    EXPECT_EQ(name(".."), "[Nomsiz]");
    EXPECT_EQ(name("papka/.."), "[Nomsiz]");
    EXPECT_EQ(name("../"), "[Nomsiz]");
    EXPECT_EQ(name("."), "[Nomsiz]");
    EXPECT_EQ(name("..."), "...");
    EXPECT_EQ(name(".yashirin"), ".yashirin");
    EXPECT_EQ(name("o\xCA\xBBzbek \xFF\xC3.txt"), "o\u02BBzbek \uFFFD\uFFFD.txt");
    // One U+FFFD for each broken sequence, however many bytes it has; the
    // bytes of a byte-order mark at the start are only a name.
    EXPECT_EQ(name("papka/\xE2\x82.txt"), "\uFFFD.txt");
    EXPECT_EQ(name("\xF0\x9F\x98"), "\uFFFD");
    EXPECT_EQ(name("\xFF\xFE"
                   "ab"),
              "\uFFFD\uFFFDab");
}
