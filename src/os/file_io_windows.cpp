// Files on Windows: CreateFileW, ReadFile and WriteFile on handles, with
// share modes that let other programs read, write and delete the file
// while the editor has it open.

#include <windows.h>

#include <algorithm>

#include "os/display_name.hpp"
#include "os/file_io.hpp"
#include "os/long_path.hpp"
#include "os/wide_text.hpp"

namespace {

constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Closes the handle on every path that does not close it explicitly.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle()
    {
        if (is_open()) ::CloseHandle(handle_);
    }
    HANDLE get() const { return handle_; }
    bool is_open() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Closes now, so that an error of the close can be reported.
    expected<void, IoError> close()
    {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        if (!::CloseHandle(handle)) return unexpected(IoError::last_windows_error());
        return {};
    }

private:
    HANDLE handle_;
};

expected<void, IoError> seek(HANDLE file, std::uint64_t offset)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return unexpected(IoError::last_windows_error());
    return {};
}

// Sets the file's length; growing it reserves the space on the volume.
expected<void, IoError> set_length(HANDLE file, std::uint64_t length)
{
    if (auto moved = seek(file, length); !moved) return moved;
    if (!::SetEndOfFile(file)) return unexpected(IoError::last_windows_error());
    return {};
}

// Everything from the current position to the end, whatever the size said:
// another program may be writing to the file meanwhile.
expected<std::string, IoError> read_to_end(HANDLE file, std::size_t size_hint)
{
    std::string bytes;
    bytes.reserve(size_hint);
    char chunk[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file, chunk, sizeof chunk, &n, nullptr)) {
            const DWORD code = ::GetLastError();
            // The writer of a pipe has finished: that is its end.
            if (code == ERROR_BROKEN_PIPE) return bytes;
            return unexpected(IoError::from_windows(code));
        }
        if (n == 0) return bytes;
        bytes.append(chunk, n);
    }
}

// Writes the bytes from offset 0, repeating partial writes. `reached` tells
// how far the file may have been overwritten, also on failure: a write call
// that fails may still have put some of its bytes in, and does not say how
// many, so its whole range counts.
expected<void, IoError> write_from_start(HANDLE file, std::string_view bytes, std::size_t& reached)
{
    reached = 0;
    if (auto moved = seek(file, 0); !moved) return moved;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 30));
        reached = written + piece;
        DWORD n = 0;
        if (!::WriteFile(file, bytes.data() + written, piece, &n, nullptr))
            return unexpected(IoError::last_windows_error());
        // A write that accepts nothing would repeat forever.
        if (n == 0) return unexpected(IoError::from_windows(ERROR_WRITE_FAULT));
        written += n;
        reached = written;
    }
    return {};
}

std::uint64_t size_of(HANDLE file)
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size) || size.QuadPart < 0) return 0;
    return static_cast<std::uint64_t>(size.QuadPart);
}

}  // namespace

bool path_exists(const std::filesystem::path& path)
{
    // Opening for no access at all follows links and reaches directories
    // (backup semantics) without asking for any right on the file.
    const std::wstring name = file_api_path(path);
    Handle probe(
        ::CreateFileW(name.c_str(), 0, SHARE_ALL, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (probe.is_open()) return true;
    // A file another program holds without sharing exists all the same; the
    // read that follows reports why it cannot be opened.
    return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

expected<std::string, IoError> read_file_bytes(const std::filesystem::path& path)
{
    // Without backup semantics a directory does not open: it is an error,
    // as it should be.
    const std::wstring name = file_api_path(path);
    Handle file(
        ::CreateFileW(name.c_str(), GENERIC_READ, SHARE_ALL, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.is_open()) return unexpected(IoError::last_windows_error());
    const std::size_t size_hint = ::GetFileType(file.get()) == FILE_TYPE_DISK ? size_of(file.get()) : 0;
    return read_to_end(file.get(), size_hint);
}

// The same safe overwrite as on every platform: the file is first grown to
// the new length, so that a full volume stops the save before any old byte
// is touched, and a failure after that puts the old bytes back.
expected<void, IoError> write_file_in_place(const std::filesystem::path& path, std::string_view bytes)
{
    // The old bytes are read through the same handle; a file we may write
    // but not read is still saved, only without that safety net.
    bool can_read = true;
    const std::wstring name = file_api_path(path);
    HANDLE opened = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, SHARE_ALL, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED) {
        can_read = false;
        opened = ::CreateFileW(name.c_str(), GENERIC_WRITE, SHARE_ALL, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
    }
    if (opened == INVALID_HANDLE_VALUE) return unexpected(IoError::last_windows_error());
    Handle file(opened);

    // Only a file on a volume has old content to keep and a length to set.
    const bool on_disk = ::GetFileType(file.get()) == FILE_TYPE_DISK;
    can_read = can_read && on_disk;
    std::string old;
    if (can_read) {
        auto read = read_to_end(file.get(), size_of(file.get()));
        if (!read) return unexpected(read.error());
        old = std::move(*read);
    }
    const std::uint64_t old_size = can_read ? old.size() : (on_disk ? size_of(file.get()) : 0);
    const std::uint64_t new_size = bytes.size();

    if (on_disk && new_size > old_size) {
        if (auto grown = set_length(file.get(), new_size); !grown) {
            (void)set_length(file.get(), old_size);
            return grown;
        }
    }

    std::size_t reached = 0;
    expected<void, IoError> result = write_from_start(file.get(), bytes, reached);
    const bool write_failed = !result;
    if (result && on_disk) result = set_length(file.get(), new_size);
    // The message says the file is saved only once the data is on the device.
    if (result && !::FlushFileBuffers(file.get()) && on_disk) result = unexpected(IoError::last_windows_error());

    if (!result) {
        if (can_read) {
            // A write that stopped part-way changed only the bytes before
            // the end of its last call; after a failed cut or flush, all of
            // them may be gone.
            const std::size_t changed = write_failed ? std::min(reached, old.size()) : old.size();
            // Whatever of it goes back, the file gets its old length again.
            std::size_t restored = 0;
            (void)write_from_start(file.get(), std::string_view(old).substr(0, changed), restored);
            (void)set_length(file.get(), old_size);
            (void)::FlushFileBuffers(file.get());
        }
        return result;
    }
    return file.close();
}

std::string path_display_text(const std::filesystem::path& path) { return to_utf8(path.native()); }

bool is_path_separator(char c) { return c == '/' || c == '\\'; }

namespace {

bool is_drive(std::string_view text)
{
    return text.size() >= 2 && text[1] == ':' &&
           ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
}

// The end of the component that starts at `at`.
std::size_t component_end(std::string_view text, std::size_t at)
{
    while (at < text.size() && !is_path_separator(text[at])) ++at;
    return at;
}

}  // namespace

std::size_t root_prefix_length(std::string_view text)
{
    if (is_drive(text)) return 2;
    if (text.size() < 2 || !is_path_separator(text[0]) || !is_path_separator(text[1])) return 0;
    // \\?\ and \\.\ paths name a drive, a share (UNC\server\share) or a
    // device after their marker; \\server\share is a share.
    std::size_t at = 2;
    if (text.size() >= 4 && (text[2] == '?' || text[2] == '.') && is_path_separator(text[3])) {
        at = 4;
        if (is_drive(text.substr(at))) return at + 2;
        const std::size_t end = component_end(text, at);
        if (text.substr(at, end - at) != "UNC") return end;
        at = std::min(end + 1, text.size());
    }
    const std::size_t server = component_end(text, at);
    return server < text.size() ? component_end(text, server + 1) : server;
}
