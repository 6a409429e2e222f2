// Files on POSIX systems: open(2), read(2) and pwrite(2) on descriptors.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "os/fd.hpp"
#include "os/file_io.hpp"

namespace {

IoError last_os_error() { return IoError::from_errno(errno); }

FileKind kind_of(const struct stat& facts)
{
    if (S_ISREG(facts.st_mode)) return FileKind::Regular;
    if (S_ISDIR(facts.st_mode)) return FileKind::Directory;
    if (S_ISFIFO(facts.st_mode)) return FileKind::Pipe;
    return FileKind::Device;
}

FileStamp stamp_of(const struct stat& facts)
{
    return {static_cast<std::uint64_t>(facts.st_dev), static_cast<std::uint64_t>(facts.st_ino),
            static_cast<std::uint64_t>(std::max<off_t>(facts.st_size, 0)),
            static_cast<std::int64_t>(facts.st_mtim.tv_sec) * 1'000'000'000 + facts.st_mtim.tv_nsec};
}

// Everything from the start of a freshly opened file to its end, whatever
// the size said (another program may be writing to it meanwhile). Plain
// reads, not reads at an offset: a pipe or a device (zep <(command)) has no
// offsets and is still read to its end.
expected<std::string, IoError> read_from_start(int fd, std::size_t size_hint)
{
    // Read straight into the string's own memory, a file of known size in
    // one go: the bytes are copied once, from the system, and a large file
    // costs its size once. A file that turns out longer (or has no size,
    // like a pipe) grows the room by half again each time.
    std::string bytes;
    std::size_t used = 0;
    std::size_t room = std::max<std::size_t>(size_hint + 1, 65536);
    for (;;) {
        bool at_end = false;
        std::optional<IoError> failure;
        bytes.resize_and_overwrite(room, [&](char* buffer, std::size_t size) {
            while (used < size) {
                const ssize_t n = ::read(fd, buffer + used, size - used);
                if (n < 0) {
                    if (errno == EINTR) continue;
                    failure = last_os_error();
                    break;
                }
                if (n == 0) {
                    at_end = true;
                    break;
                }
                used += static_cast<std::size_t>(n);
            }
            return used;
        });
        if (failure) return unexpected(*failure);
        if (at_end) {
            // Room asked for but not used goes back only when it is much.
            if (bytes.capacity() - bytes.size() > bytes.size() / 8 + 65536) bytes.shrink_to_fit();
            return bytes;
        }
        room = room + room / 2;
    }
}

// Writes the bytes from offset 0, repeating partial and interrupted writes.
// `written` tells how far the file has been overwritten, also on failure.
expected<void, IoError> write_from_start(int fd, std::string_view bytes, std::size_t& written)
{
    written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + written, bytes.size() - written, static_cast<off_t>(written));
        if (n < 0) {
            if (errno == EINTR) continue;
            return unexpected(last_os_error());
        }
        // A write that accepts nothing would repeat forever.
        if (n == 0) return unexpected(IoError::from_errno(EIO));
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
expected<FileStamp, IoError> overwrite(const std::filesystem::path& path, std::string_view bytes)
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
    if (fd < 0) return unexpected(last_os_error());
    Fd file(fd);

    struct stat facts {};
    if (::fstat(file.get(), &facts) != 0) return unexpected(last_os_error());
    // Only a regular file has old content to keep; a pipe opened for
    // writing as well would make the read wait for ever.
    can_read = can_read && S_ISREG(facts.st_mode);
    std::string old;
    if (can_read) {
        auto read = read_from_start(file.get(), static_cast<std::size_t>(std::max<off_t>(facts.st_size, 0)));
        if (!read) return unexpected(read.error());
        old = std::move(*read);
    }
    const off_t old_size = can_read ? static_cast<off_t>(old.size()) : facts.st_size;
    const off_t new_size = static_cast<off_t>(bytes.size());

    if (new_size > old_size) {
        if (const int code = ::posix_fallocate(file.get(), old_size, new_size - old_size); code != 0) {
            // An allocation that stopped half-way may have grown the file.
            (void)::ftruncate(file.get(), old_size);
            return unexpected(IoError::from_errno(code));
        }
    }

    std::size_t written = 0;
    expected<void, IoError> result = write_from_start(file.get(), bytes, written);
    const bool write_failed = !result;
    if (result && ::ftruncate(file.get(), new_size) != 0) result = unexpected(last_os_error());
    // The message says the file is saved only once the data is on the device.
    if (result && ::fsync(file.get()) != 0) result = unexpected(last_os_error());

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
        return unexpected(result.error());
    }
    // What the file is now, for the next save to compare. Should the system
    // not say, the stamp matches no file, and the next save asks first.
    const FileStamp stamp = ::fstat(file.get(), &facts) == 0 ? stamp_of(facts) : FileStamp{};
    if (auto closed = file.close(); !closed) return unexpected(closed.error());
    return stamp;
}

}  // namespace

expected<std::optional<FileStatus>, IoError> file_status(const std::filesystem::path& path)
{
    struct stat facts {};
    if (::stat(path.c_str(), &facts) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
        return unexpected(last_os_error());
    }
    return FileStatus{kind_of(facts), stamp_of(facts)};
}

expected<std::string, IoError> read_file_bytes(const std::filesystem::path& path)
{
    // A device is refused before it is opened: opening one may already do
    // something (a tape rewinds, a serial line waits for a carrier).
    struct stat facts {};
    if (::stat(path.c_str(), &facts) == 0 && kind_of(facts) == FileKind::Device)
        return unexpected(IoError::not_regular());
    Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.is_open()) return unexpected(last_os_error());
    std::size_t size_hint = 0;
    if (::fstat(file.get(), &facts) == 0) {
        // The name may have been given to a device since it was looked at.
        if (kind_of(facts) == FileKind::Device) return unexpected(IoError::not_regular());
        if (S_ISREG(facts.st_mode)) size_hint = static_cast<std::size_t>(facts.st_size);
    }
    // A directory opens but cannot be read: the read reports it.
    return read_from_start(file.get(), size_hint);
}

expected<FileStamp, IoError> write_file_in_place(const std::filesystem::path& path, std::string_view bytes)
{
    return overwrite(path, bytes);
}

NewFile& NewFile::operator=(NewFile&& other) noexcept
{
    if (this != &other) {
        if (handle_ != NONE) ::close(static_cast<int>(handle_));
        handle_ = other.handle_;
        other.handle_ = NONE;
    }
    return *this;
}

NewFile::~NewFile()
{
    if (handle_ != NONE) ::close(static_cast<int>(handle_));
}

expected<std::optional<NewFile>, IoError> NewFile::create(const std::filesystem::path& path)
{
    // Readable by the user alone: the text may be private, and the folder
    // shared.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST) return std::nullopt;
        return unexpected(last_os_error());
    }
    return NewFile(fd);
}

expected<void, IoError> NewFile::write(std::string_view bytes)
{
    FileSizeSignalIgnored no_size_signal;
    while (!bytes.empty()) {
        const ssize_t n = ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return unexpected(last_os_error());
        }
        if (n == 0) return unexpected(IoError::from_errno(EIO));
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

expected<void, IoError> NewFile::finish()
{
    Fd file(static_cast<int>(std::exchange(handle_, NONE)));
    if (::fsync(file.get()) != 0) return unexpected(last_os_error());
    return file.close();
}

std::optional<std::filesystem::path> home_directory()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return std::filesystem::path(home);
    // Without HOME (a service, a bare `env -i`), the account database says.
    if (const passwd* account = ::getpwuid(::getuid()); account != nullptr && account->pw_dir != nullptr)
        return std::filesystem::path(account->pw_dir);
    return std::nullopt;
}
