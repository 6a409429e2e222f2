// Nothing is lost, with real faults rather than stand-ins: another process
// changes the file between open and save; bytes no decoder reads; a path
// behind a directory we may not search (as an ordinary user); devices,
// sockets and FIFOs; the recovery file and where it goes; and edits that run
// out of memory under RLIMIT_AS in a child process.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <grp.h>
#include <malloc.h>
#include <new>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "editor/document.hpp"
#include "editor/messages.hpp"
#include "editor/recovery.hpp"
#include "encoding/codec.hpp"
#include "os/file_io.hpp"
#include "support/files.hpp"
#include "support/opened.hpp"
#include "support/text.hpp"

namespace fs = std::filesystem;

namespace {

using test_support::Opened;
using test_support::read_bytes;
using test_support::TempDir;
using test_support::text_of;
using test_support::write_bytes;

constexpr std::string_view CHANGED = "Fayl diskda o'zgargan! Ustidan yozish uchun Ctrl+S ni yana bosing.";

// Another program at work on the file: a shell command run in its own process.
void another_process(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// Runs `body` in a child process, as an ordinary user when asked (root
// passes every permission check). Its words come back: empty when all was
// well. Nothing when the child could not become an ordinary user.
std::optional<std::string> in_child(bool ordinary_user, const std::function<std::string()>& body)
{
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipe_fds[0]);
        if (ordinary_user && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(77);
        const std::string words = body();
        [[maybe_unused]] const ssize_t n = ::write(pipe_fds[1], words.data(), words.size());
        ::_exit(0);
    }
    ::close(pipe_fds[1]);
    std::string words;
    char chunk[512];
    for (ssize_t n; (n = ::read(pipe_fds[0], chunk, sizeof chunk)) > 0;)
        words.append(chunk, static_cast<std::size_t>(n));
    ::close(pipe_fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return std::nullopt;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the child died (status " + std::to_string(status) + ")";
    return words;
}

TEST(SaveOverAnotherProgramsChange, WarnsFirstAndOverwritesOnTheNextCtrlS)
{
    TempDir dir;
    const fs::path path = dir / "eslatma.txt";
    Opened s(path, "eski\n");
    another_process("printf 'boshqa dastur\\n' > " + quoted(path));
    EXPECT_EQ(s.message_after("x<C-s>"), CHANGED);
    EXPECT_EQ(read_bytes(path), "boshqa dastur\n");
    // Any other key press in between disarms it, a Ctrl key too.
    EXPECT_EQ(s.message_after("<C-l><C-s>"), CHANGED);
    EXPECT_EQ(read_bytes(path), "boshqa dastur\n");
    EXPECT_EQ(s.message_after("<C-s>"), "Saqlandi: eslatma.txt");
    EXPECT_EQ(read_bytes(path), "xeski\n");
    // Saved, the file is as the editor knows it again.
    s.press("y<C-s>");
    EXPECT_EQ(read_bytes(path), "xyeski\n");

    // Another file put in its place, with the same size and time: only its
    // identity tells.
    another_process("cd " + quoted(dir.path()) + " && printf 'XYESKI\\n' > yangi && touch -r eslatma.txt yangi && " +
                    "mv yangi eslatma.txt");
    EXPECT_EQ(s.message_after("z<C-s>"), CHANGED);
    EXPECT_EQ(read_bytes(path), "XYESKI\n");

    // A file that has gone is simply made again.
    another_process("rm " + quoted(path));
    EXPECT_EQ(s.message_after("<C-s>"), "Saqlandi: eslatma.txt");
    EXPECT_EQ(read_bytes(path), "xyzeski\n");

    // A file another program made where there was none is its.
    const fs::path fresh = dir / "yangi.txt";
    Opened new_document(fresh);
    another_process("printf 'birinchi\\n' > " + quoted(fresh));
    EXPECT_EQ(new_document.message_after("a<C-s>"), CHANGED);
    EXPECT_EQ(read_bytes(fresh), "birinchi\n");
}

TEST(SaveOverAnotherProgramsChange, AReloadTakesTheFileAsItIsNow)
{
    TempDir dir;
    const fs::path path = dir / "eslatma.txt";
    Opened s(path, "eski\n");
    another_process("printf 'yangi\\n' > " + quoted(path));
    ASSERT_EQ(s.message_after("<C-e>1"), "Qayta o'qildi: UTF-8");
    EXPECT_EQ(s.message_after("x<C-s>"), "Saqlandi: eslatma.txt");
    EXPECT_EQ(read_bytes(path), "xyangi\n");
}

TEST(UnreadableBytes, TheFirstCtrlSWarnsWithTheirCountAndTheNextOneSaves)
{
    TempDir dir;
    const fs::path path = dir / "buzuq.txt";
    const std::string bytes = "a\xFF"
                              "b\xE2\x82\n";
    Opened s(path, bytes);
    // Read as UTF-8 (Ctrl+E 1), whatever the detector made of so few bytes.
    EXPECT_EQ(s.message_after("<C-e>1<C-s>"),
              "3 ta bayt o'qilmadi va saqlansa yo'qoladi! Saqlash uchun Ctrl+S ni yana bosing.");
    EXPECT_EQ(read_bytes(path), bytes);
    s.press("<Right><C-s>");
    EXPECT_EQ(read_bytes(path), bytes);
    EXPECT_EQ(s.message_after("<C-s>"), "Saqlandi: buzuq.txt");
    EXPECT_EQ(read_bytes(path), "a\uFFFD"
                                "b\uFFFD\n");
    // The file now holds what the editor shows: the next save just saves.
    EXPECT_EQ(s.message_after("c<C-s>"), "Saqlandi: buzuq.txt");
}

TEST(UnreadableBytes, ChoosingAnotherEncodingCountsAgain)
{
    TempDir dir;
    const fs::path path = dir / "kod.txt";
    const std::string bytes = "caf\xE9 \xE0 la cr\xE8me\n";
    Opened s(path, bytes);
    // Read as UTF-8 the three letters are unreadable; as CP1252 nothing is.
    EXPECT_EQ(s.message_after("<C-e>1<C-s>"),
              "3 ta bayt o'qilmadi va saqlansa yo'qoladi! Saqlash uchun Ctrl+S ni yana bosing.");
    EXPECT_EQ(s.message_after("<C-e>6<C-s>"), "Saqlandi: kod.txt");
    EXPECT_EQ(read_bytes(path), bytes);
}

TEST(UnreadableBytes, BothWarningsComeOneAfterTheOther)
{
    TempDir dir;
    const fs::path path = dir / "ikkala.txt";
    Opened s(path, "a\xFF\n");
    s.press("<C-e>1");
    another_process("printf 'b\\377\\n' > " + quoted(path));
    EXPECT_EQ(s.message_after("<C-s>"),
              "1 ta bayt o'qilmadi va saqlansa yo'qoladi! Saqlash uchun Ctrl+S ni yana bosing.");
    EXPECT_EQ(s.message_after("<C-s>"), CHANGED);
    EXPECT_EQ(read_bytes(path), "b\xFF\n");
    EXPECT_EQ(s.message_after("<C-s>"), "Saqlandi: ikkala.txt");
    EXPECT_EQ(read_bytes(path), "a\uFFFD\n");
}

TEST(OpenDocument, OnlyAPathThatNamesNothingIsANewDocument)
{
    TempDir dir;
    write_bytes(dir / "fayl.txt", "matn\n");
    // No entry, and a file where a directory should be: new documents.
    for (const fs::path& path : {dir / "yo'q.txt", dir / "fayl.txt" / "ichida.txt"}) {
        auto buffer = open_document(path);
        ASSERT_TRUE(buffer.has_value()) << path;
        EXPECT_EQ(buffer->path, path);
        EXPECT_FALSE(buffer->stamp.has_value());
    }

    // A file behind a directory that may not be searched exists all the
    // same: start-up fails rather than open it empty.
    const fs::path locked = dir / "yopiq";
    fs::create_directory(locked);
    write_bytes(locked / "maxfiy.txt", "sir\n");
    ASSERT_EQ(::chmod(locked.c_str(), 0600), 0);
    const auto words = in_child(true, [&]() -> std::string {
        auto buffer = open_document(locked / "maxfiy.txt");
        if (buffer) return "opened as a document";
        if (buffer.error().message != "Permission denied (os error 13)") return "error: " + buffer.error().message;
        return {};
    });
    ::chmod(locked.c_str(), 0700);
    if (!words) GTEST_SKIP() << "cannot run as an ordinary user here";
    EXPECT_EQ(*words, "");
}

TEST(OpenDocument, DevicesAndSocketsAreRefusedFifosAreRead)
{
    for (const char* device : {"/dev/zero", "/dev/null"}) {
        auto buffer = open_document(fs::path(device));
        ASSERT_FALSE(buffer.has_value()) << device;
        EXPECT_EQ(buffer.error().kind, IoError::Kind::NotRegular);
        EXPECT_EQ(msg::error_text(buffer.error()), "oddiy fayl emas");
    }

    TempDir dir;
    const fs::path socket_path = dir / "soket";
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_path.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    auto from_socket = open_document(socket_path);
    ::close(sock);
    ASSERT_FALSE(from_socket.has_value());
    EXPECT_EQ(from_socket.error().kind, IoError::Kind::NotRegular);

    // A FIFO is read to its end, as a pipe is.
    const fs::path fifo = dir / "quvur";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const pid_t writer = ::fork();
    if (writer == 0) {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        [[maybe_unused]] const ssize_t n = ::write(fd, "quvurdan\nkeldi", 14);
        ::_exit(0);
    }
    auto from_fifo = open_document(fifo);
    ::waitpid(writer, nullptr, 0);
    ASSERT_TRUE(from_fifo.has_value());
    EXPECT_EQ(from_fifo->line(0), "quvurdan");
    EXPECT_EQ(from_fifo->line(1), "keldi");
    EXPECT_FALSE(from_fifo->stamp.has_value());
}

// The bytes a save of this buffer would write.
std::string saved_bytes(const Buffer& buffer, TextEncoding encoding)
{
    return encode_text(test_support::join_lines(buffer, buffer.line_ending), encoding).value();
}

Buffer document(const fs::path& path, std::vector<std::string> lines, TextEncoding encoding, LineEnding ending)
{
    Buffer buffer(std::move(lines));
    buffer.path = path;
    buffer.encoding = encoding;
    buffer.line_ending = ending;
    buffer.modified = true;
    return buffer;
}

TEST(RecoveryFile, BesideTheDocumentAsASaveWouldWriteIt)
{
    TempDir dir;
    const fs::path path = dir / "eslatma.txt";
    // Long lines cross the stretches it is written in, some in the middle
    // of a character.
    std::string long_line;
    while (long_line.size() < 200'000) long_line += "Тошкент 😀 ";
    struct Case {
        std::vector<std::string> lines;
        TextEncoding encoding;
        LineEnding ending;
        TextEncoding written;
    };
    const Case cases[] = {
        {{"Salom", "dunyo", ""}, TextEncoding::Utf8, LineEnding::Lf, TextEncoding::Utf8},
        {{"Salom", long_line, long_line, "oxiri\r"}, TextEncoding::Utf16Le, LineEnding::CrLf, TextEncoding::Utf16Le},
        {{long_line, "b"}, TextEncoding::Utf8Bom, LineEnding::CrLf, TextEncoding::Utf8Bom},
        {{"Привет", "мир", ""}, TextEncoding::Cp1251, LineEnding::CrLf, TextEncoding::Cp1251},
        // Uzbek қ is not in CP1251: the text is kept in UTF-8.
        {{"Тошкент", "қишлоқ"}, TextEncoding::Cp1251, LineEnding::Lf, TextEncoding::Utf8},
    };
    for (const Case& c : cases) {
        const Buffer buffer = document(path, c.lines, c.encoding, c.ending);
        const auto written = write_recovery_file(buffer);
        ASSERT_EQ(written, fs::path(path.string() + ".zep-save"));
        EXPECT_TRUE(read_bytes(*written) == saved_bytes(buffer, c.written)) << encoding_label(c.encoding);
        fs::remove(*written);
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST(RecoveryFile, NumberedWhenTakenThenInTheHomeDirectory)
{
    TempDir dir;
    TempDir home;
    const fs::path path = dir / "eslatma.txt";
    const Buffer buffer = document(path, {"matn"}, TextEncoding::Utf8, LineEnding::Lf);
    write_bytes(dir / "eslatma.txt.zep-save", "birinchi");
    write_bytes(dir / "eslatma.txt.zep-save.1", "ikkinchi");
    EXPECT_EQ(write_recovery_file(buffer), fs::path(path.string() + ".zep-save.2"));
    EXPECT_EQ(read_bytes(dir / "eslatma.txt.zep-save"), "birinchi");
    EXPECT_EQ(read_bytes(dir / "eslatma.txt.zep-save.1"), "ikkinchi");
    EXPECT_EQ(read_bytes(dir / "eslatma.txt.zep-save.2"), "matn");

    // An untitled document's goes to the working directory.
    const fs::path was = fs::current_path();
    fs::current_path(dir.path());
    Buffer untitled(std::vector<std::string>{"nomsiz"});
    untitled.modified = true;
    EXPECT_EQ(write_recovery_file(untitled), fs::path("zep-save.txt"));
    EXPECT_EQ(write_recovery_file(untitled), fs::path("zep-save.txt.1"));
    fs::current_path(was);
    EXPECT_EQ(read_bytes(dir / "zep-save.txt"), "nomsiz");

    // A folder that has gone, and one that may not be written (as an
    // ordinary user): the home directory.
    const char* old_home = std::getenv("HOME");
    const std::string saved_home = old_home ? old_home : "";
    ::setenv("HOME", home.path().c_str(), 1);
    const Buffer orphan = document(dir / "yo'q" / "eslatma.txt", {"uyda"}, TextEncoding::Utf8, LineEnding::Lf);
    EXPECT_EQ(write_recovery_file(orphan), home / "eslatma.txt.zep-save");
    EXPECT_EQ(read_bytes(home / "eslatma.txt.zep-save"), "uyda");

    const fs::path shut = dir / "faqat-o'qish";
    fs::create_directory(shut);
    ASSERT_EQ(::chmod(shut.c_str(), 0555), 0);
    ASSERT_EQ(::chmod(home.path().c_str(), 0777), 0);
    const Buffer in_shut = document(shut / "eslatma.txt", {"yopiq"}, TextEncoding::Utf8, LineEnding::Lf);
    const auto words = in_child(true, [&]() -> std::string {
        const auto written = write_recovery_file(in_shut);
        if (written != home / "eslatma.txt.zep-save.1")
            return "written to " + (written ? written->string() : "nowhere");
        // With the home directory shut as well, there is nowhere to go.
        ::setenv("HOME", shut.c_str(), 1);
        if (auto nowhere = write_recovery_file(in_shut)) return "written to " + nowhere->string();
        return {};
    });
    if (old_home)
        ::setenv("HOME", saved_home.c_str(), 1);
    else
        ::unsetenv("HOME");
    if (!words) GTEST_SKIP() << "cannot run as an ordinary user here";
    EXPECT_EQ(*words, "");
    EXPECT_EQ(read_bytes(home / "eslatma.txt.zep-save.1"), "yopiq");
}

// The bytes of address space the process has now.
std::size_t address_space()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool ADDRESS_SANITIZER = true;
#elif defined(__has_feature)
constexpr bool ADDRESS_SANITIZER = __has_feature(address_sanitizer);
#else
constexpr bool ADDRESS_SANITIZER = false;
#endif

TEST(OutOfMemory, AnEditThatFailsLeavesTheTextAsItWas)
{
    if (ADDRESS_SANITIZER) GTEST_SKIP() << "AddressSanitizer ends the process where an allocation would fail";
    // Large edits of every kind, each tried under address-space limits a
    // little apart, so that the allocation that fails falls at every step of
    // the edit in turn. Whatever fails, the buffer is whole and its text is
    // exactly the text before the edit.
    //
    // Every block but the smallest is mapped on its own, so that the limit
    // is met where the edit asks for memory, not where a heap with room left
    // over from before happens to end.
    ::mallopt(M_MMAP_THRESHOLD, 4096);
    std::string many_lines;
    for (int k = 0; k < 20000; ++k) many_lines += "qator " + std::to_string(k) + "\n";
    // Two buffers as edits leave them: half its lines owning their text and
    // half still stretches of the file's; and every line owned, with no room
    // to spare in the lists that hold them.
    Buffer opened = Buffer::from_text(many_lines + many_lines);
    for (std::uint64_t row = 0; row < 20000; ++row) opened.insert_text({row, 0}, "*");
    std::vector<std::string> lines = test_support::lines_of(opened);
    lines.shrink_to_fit();
    const Buffer owned(std::move(lines));
    const std::string before = text_of(opened);

    const std::vector<std::pair<const char*, std::function<void(Buffer&)>>> edits = {
        {"paste",
         [&](Buffer& b) {
             b.insert_text({5, 3}, many_lines);
         }},
        {"join many lines",
         [](Buffer& b) {
             b.erase_range({3, 2}, {15000, 4});
         }},
        {"split",
         [](Buffer& b) {
             b.insert_text({7, 3}, "\n");
         }},
        {"join two",
         [](Buffer& b) {
             b.erase_range({9, b.line_len(9)}, {10, 0});
         }},

        {"insert a line", [](Buffer& b) { b.insert_line(4, std::string(1 << 16, 'x')); }},
        {"replace in a line", [](Buffer& b) { b.replace_in_line(2, 1, 3, std::string(1 << 16, 'y')); }},
    };
    int failed = 0;
    for (const Buffer* start : std::initializer_list<const Buffer*>{&opened, &owned}) {
        for (const auto& [name, edit_of_name] : edits) {
            // A lambda below uses it, which a structured binding cannot be for every compiler.
            const std::function<void(Buffer&)>& edit = edit_of_name;
            for (std::size_t slack = 0; slack <= (6u << 20); slack += 48u << 10) {
                const auto words = in_child(false, [&]() -> std::string {
                    Buffer buffer = *start;
                    rlimit limit{address_space() + slack, RLIM_INFINITY};
                    ::setrlimit(RLIMIT_AS, &limit);
                    try {
                        edit(buffer);
                    } catch (const std::bad_alloc&) {
                        limit.rlim_cur = RLIM_INFINITY;
                        ::setrlimit(RLIMIT_AS, &limit);
                        if (auto broken = buffer.check_invariant()) return "broken: " + *broken;
                        if (text_of(buffer) != before) return "the text changed";
                        return "failed";
                    }
                    return {};
                });
                ASSERT_TRUE(words.has_value());
                if (*words == "failed") {
                    ++failed;
                    continue;
                }
                ASSERT_EQ(*words, "") << name << ", " << slack << " bytes to spare"
                                      << (start == &owned ? ", every line owned" : "");
            }
        }
    }
    ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    // The limits were tight enough to make edits fail, and often.
    EXPECT_GT(failed, 30);
}

}  // namespace
