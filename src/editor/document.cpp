#include "editor/document.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "encoding.hpp"
#include "utf8.hpp"

namespace {

constexpr std::string_view MENU_TEXT =
    "Encoding: [1]UTF-8  [2]UTF-8 BOM  [3]UTF-16 LE  [4]UTF-16 BE  [5]CP1251  [6]CP1252  [7]CP866   Esc=bekor";
constexpr std::string_view UNTITLED = "[Nomsiz]";

IoError last_os_error() { return IoError::from_errno(errno); }

// Closes the file on every path that does not close it explicitly.
class File {
public:
    explicit File(int fd) : fd_(fd) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool is_open() const { return fd_ >= 0; }
    // Closes now, so that an error of the close can be reported.
    std::expected<void, IoError> close()
    {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) return std::unexpected(last_os_error());
        return {};
    }

private:
    int fd_;
};

// Everything from the start of a freshly opened file to its end, whatever
// the size said (another program may be writing to it meanwhile). Plain
// reads, not reads at an offset: a pipe or a device (zep <(command)) has no
// offsets and is still read to its end.
std::expected<std::string, IoError> read_from_start(int fd, std::size_t size_hint)
{
    std::string bytes;
    bytes.reserve(size_hint);
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::unexpected(last_os_error());
        }
        if (n == 0) return bytes;
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
}

// Writes the bytes from offset 0, repeating partial and interrupted writes.
// `written` tells how far the file has been overwritten, also on failure.
std::expected<void, IoError> write_from_start(int fd, std::string_view bytes, std::size_t& written)
{
    written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + written, bytes.size() - written, static_cast<off_t>(written));
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::unexpected(last_os_error());
        }
        // A write that accepts nothing would repeat forever.
        if (n == 0) return std::unexpected(IoError::from_errno(EIO));
        written += static_cast<std::size_t>(n);
    }
    return {};
}

// A file-size limit (RLIMIT_FSIZE) would end the editor with SIGXFSZ, and
// the unsaved document with it; ignored, the write fails with EFBIG instead
// and the save reports it.
class FileSizeSignalIgnored {
public:
    FileSizeSignalIgnored()
    {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, &previous_);
    }
    ~FileSizeSignalIgnored() { ::sigaction(SIGXFSZ, &previous_, nullptr); }
    FileSizeSignalIgnored(const FileSizeSignalIgnored&) = delete;
    FileSizeSignalIgnored& operator=(const FileSizeSignalIgnored&) = delete;

private:
    struct sigaction previous_ {};
};

// Overwrites the file in place, so that it keeps its identity, owner and
// permissions (no temporary file, no rename). A failure must not cost the
// user the previous content: the file is first grown to the new length, so
// that a full disk or a size limit stops the save before any old byte is
// touched; a failure after that puts the old bytes back.
std::expected<void, IoError> write_in_place(const std::filesystem::path& path, std::string_view bytes)
{
    FileSizeSignalIgnored no_size_signal;

    // The old bytes are read through the same descriptor; a file we may
    // write but not read is still saved, only without that safety net.
    bool can_read = true;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EACCES) {
        can_read = false;
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    }
    if (fd < 0) return std::unexpected(last_os_error());
    File file(fd);

    struct stat facts {};
    if (::fstat(file.get(), &facts) != 0) return std::unexpected(last_os_error());
    // Only a regular file has old content to keep; a pipe opened for
    // writing as well would make the read wait for ever.
    can_read = can_read && S_ISREG(facts.st_mode);
    std::string old;
    if (can_read) {
        auto read = read_from_start(file.get(), static_cast<std::size_t>(std::max<off_t>(facts.st_size, 0)));
        if (!read) return std::unexpected(read.error());
        old = std::move(*read);
    }
    const off_t old_size = can_read ? static_cast<off_t>(old.size()) : facts.st_size;
    const off_t new_size = static_cast<off_t>(bytes.size());

    if (new_size > old_size) {
        if (const int code = ::posix_fallocate(file.get(), old_size, new_size - old_size); code != 0) {
            // An allocation that stopped half-way may have grown the file.
            (void)::ftruncate(file.get(), old_size);
            return std::unexpected(IoError::from_errno(code));
        }
    }

    std::size_t written = 0;
    std::expected<void, IoError> result = write_from_start(file.get(), bytes, written);
    const bool write_failed = !result;
    if (result && ::ftruncate(file.get(), new_size) != 0) result = std::unexpected(last_os_error());
    // The message says the file is saved only once the data is on the device.
    if (result && ::fsync(file.get()) != 0) result = std::unexpected(last_os_error());

    if (!result) {
        if (can_read) {
            // A write that stopped part-way changed only the bytes before
            // that point; after a cut or a failed flush, all of them may be
            // gone.
            const std::size_t changed = write_failed ? std::min(written, old.size()) : old.size();
            std::size_t restored = 0;
            if (write_from_start(file.get(), std::string_view(old).substr(0, changed), restored)) {
                (void)::ftruncate(file.get(), old_size);
                (void)::fsync(file.get());
            }
        }
        return result;
    }
    return file.close();
}

// Text that may not be valid UTF-8 (a file name is any bytes), with every
// invalid sequence shown as one U+FFFD, as the UTF-8 decoder replaces them.
std::string displayable(std::string_view bytes)
{
    if (utf8::is_valid(bytes)) return std::string(bytes);
    // The slash in front, which no name contains, keeps the decoder from
    // taking the name's first bytes for a byte-order mark.
    return decode_text("/" + std::string(bytes), TextEncoding::Utf8).substr(1);
}

}  // namespace

std::expected<std::string, IoError> read_file_bytes(const std::filesystem::path& path)
{
    File file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.is_open()) return std::unexpected(last_os_error());
    struct stat facts {};
    std::size_t size_hint = 0;
    if (::fstat(file.get(), &facts) == 0 && S_ISREG(facts.st_mode)) size_hint = static_cast<std::size_t>(facts.st_size);
    // A directory opens but cannot be read: the read reports it.
    return read_from_start(file.get(), size_hint);
}

std::expected<Buffer, IoError> open_document(const std::optional<std::filesystem::path>& path)
{
    if (!path) return Buffer();

    // Whatever keeps us from seeing the file makes it a new one; the first
    // save creates it (or reports why it cannot).
    struct stat facts {};
    if (::stat(path->c_str(), &facts) != 0) {
        Buffer buffer;
        buffer.path = path;
        return buffer;
    }

    auto bytes = read_file_bytes(*path);
    if (!bytes) return std::unexpected(bytes.error());
    const TextEncoding encoding = detect_encoding(*bytes);
    const LineEnding line_ending = detect_line_ending(*bytes);
    // The bytes are given up: valid UTF-8 becomes the buffer's text as it
    // is, so a large file is held once, not three times.
    Buffer buffer = Buffer::from_text(decode_text_in_place(std::move(*bytes), encoding));
    buffer.path = path;
    buffer.encoding = encoding;
    buffer.line_ending = line_ending;
    buffer.modified = false;
    return buffer;
}

void save_document(Editor& editor)
{
    Buffer& buffer = editor.buffer;
    if (!buffer.path) {
        set_message(editor, "Saqlash uchun fayl nomi yo'q (zep <fayl> bilan oching)");
        return;
    }
    auto bytes = encode_document(join_lines(buffer, buffer.line_ending), buffer.encoding);
    if (!bytes) {
        set_message(editor, "Saqlashda xato: " + bytes.error());
        return;
    }
    if (auto written = write_in_place(*buffer.path, *bytes); !written) {
        set_message(editor, "Saqlashda xato: " + written.error().message);
        return;
    }
    buffer.modified = false;
    set_message(editor, "Saqlandi: " + file_display_name(buffer));
}

void open_encoding_menu(Editor& editor)
{
    editor.encoding_menu_open = true;
    set_message(editor, std::string(MENU_TEXT));
}

void choose_encoding(Editor& editor, TextEncoding encoding)
{
    // Whatever the choice leads to, the menu has done its work.
    editor.encoding_menu_open = false;
    Buffer& buffer = editor.buffer;
    const std::string label(encoding_label(encoding));

    // Unsaved changes must not be thrown away by a reload, and an untitled
    // document has nothing to reload: the choice is for the next save.
    if (buffer.modified || !buffer.path) {
        buffer.encoding = encoding;
        set_message(editor, "Saqlash encodingi: " + label);
        return;
    }

    auto bytes = read_file_bytes(*buffer.path);
    if (!bytes) {
        set_message(editor, "Xato: " + bytes.error().message);
        return;
    }
    const LineEnding line_ending = detect_line_ending(*bytes);
    Buffer reloaded = Buffer::from_text(decode_text_in_place(std::move(*bytes), encoding));
    reloaded.path = std::move(buffer.path);
    reloaded.encoding = encoding;
    reloaded.line_ending = line_ending;
    buffer = std::move(reloaded);
    editor.cursor = Position{};
    editor.top_line = 0;
    editor.left_column = 0;
    // These describe rows and columns of the text that is gone.
    editor.anchor.reset();
    editor.history = History{};
    editor.matches.clear();
    editor.current_match.reset();
    set_message(editor, "Qayta o'qildi: " + label);
}

std::string file_display_name(const Buffer& buffer)
{
    if (!buffer.path) return std::string(UNTITLED);
    // The last component that names something: trailing separators and "."
    // steps are skipped, as they name the directory before them.
    std::string_view rest = buffer.path->native();
    for (;;) {
        while (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
        const std::size_t slash = rest.rfind('/');
        const std::string_view last = slash == std::string_view::npos ? rest : rest.substr(slash + 1);
        if (last == "." && slash != std::string_view::npos) {
            rest = rest.substr(0, slash);
            continue;
        }
        if (last.empty() || last == "." || last == "..") return std::string(UNTITLED);
        return displayable(last);
    }
}
