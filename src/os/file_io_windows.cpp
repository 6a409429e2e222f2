// Files on Windows: CreateFileW, ReadFile and WriteFile on handles, with
// share modes that let other programs read, write and delete the file
// while the editor has it open.

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

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

std::uint64_t joined(DWORD high, DWORD low) { return static_cast<std::uint64_t>(high) << 32 | low; }

// What an open handle is: a console or another device (NUL, COM1) is no
// document; a file on a volume is known by its volume and index.
expected<FileStatus, IoError> facts_of(HANDLE file)
{
    switch (::GetFileType(file)) {
    case FILE_TYPE_PIPE: return FileStatus{FileKind::Pipe, {}};
    case FILE_TYPE_DISK: break;
    default: return FileStatus{FileKind::Device, {}};
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) return unexpected(IoError::last_windows_error());
    const FileKind kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Directory
                                                                                  : FileKind::Regular;
    return FileStatus{kind,
                      {info.dwVolumeSerialNumber, joined(info.nFileIndexHigh, info.nFileIndexLow),
                       joined(info.nFileSizeHigh, info.nFileSizeLow),
                       static_cast<std::int64_t>(
                           joined(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime))}};
}

}  // namespace

expected<std::optional<FileStatus>, IoError> file_status(const std::filesystem::path& path)
{
    // Opening for no access at all follows links and reaches directories
    // (backup semantics) without asking for any right on the file.
    const std::wstring name = file_api_path(path);
    Handle probe(
        ::CreateFileW(name.c_str(), 0, SHARE_ALL, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!probe.is_open()) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return std::nullopt;
        // A file another program holds without sharing exists all the same;
        // the read that follows reports why it cannot be opened.
        if (code == ERROR_SHARING_VIOLATION) return FileStatus{};
        return unexpected(IoError::from_windows(code));
    }
    auto facts = facts_of(probe.get());
    if (!facts) return unexpected(facts.error());
    return *facts;
}

expected<std::string, IoError> read_file_bytes(const std::filesystem::path& path)
{
    // Without backup semantics a directory does not open: it is an error,
    // as it should be.
    const std::wstring name = file_api_path(path);
    Handle file(
        ::CreateFileW(name.c_str(), GENERIC_READ, SHARE_ALL, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.is_open()) return unexpected(IoError::last_windows_error());
    const DWORD type = ::GetFileType(file.get());
    if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE) return unexpected(IoError::not_regular());
    const std::size_t size_hint = type == FILE_TYPE_DISK ? size_of(file.get()) : 0;
    return read_to_end(file.get(), size_hint);
}

// The same safe overwrite as on every platform: the file is first grown to
// the new length, so that a full volume stops the save before any old byte
// is touched, and a failure after that puts the old bytes back.
expected<FileStamp, IoError> write_file_in_place(const std::filesystem::path& path, std::string_view bytes)
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
            return unexpected(grown.error());
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
        return unexpected(result.error());
    }
    // What the file is now, for the next save to compare. Should the system
    // not say, the stamp matches no file, and the next save asks first.
    auto facts = facts_of(file.get());
    const FileStamp stamp = facts ? facts->stamp : FileStamp{};
    if (auto closed = file.close(); !closed) return unexpected(closed.error());
    return stamp;
}

NewFile& NewFile::operator=(NewFile&& other) noexcept
{
    if (this != &other) {
        if (handle_ != NONE) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
        handle_ = std::exchange(other.handle_, NONE);
    }
    return *this;
}

NewFile::~NewFile()
{
    if (handle_ != NONE) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

expected<std::optional<NewFile>, IoError> NewFile::create(const std::filesystem::path& path)
{
    const std::wstring name = file_api_path(path);
    const HANDLE file = ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) return std::nullopt;
        return unexpected(IoError::from_windows(code));
    }
    return NewFile(reinterpret_cast<std::intptr_t>(file));
}

expected<void, IoError> NewFile::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD n = 0;
        if (!::WriteFile(reinterpret_cast<HANDLE>(handle_), bytes.data(), piece, &n, nullptr))
            return unexpected(IoError::last_windows_error());
        if (n == 0) return unexpected(IoError::from_windows(ERROR_WRITE_FAULT));
        bytes.remove_prefix(n);
    }
    return {};
}

expected<void, IoError> NewFile::finish()
{
    Handle file(reinterpret_cast<HANDLE>(std::exchange(handle_, NONE)));
    if (!::FlushFileBuffers(file.get())) return unexpected(IoError::last_windows_error());
    return file.close();
}

std::optional<std::filesystem::path> home_directory()
{
    const wchar_t* profile = ::_wgetenv(L"USERPROFILE");
    if (profile == nullptr || *profile == L'\0') return std::nullopt;
    return std::filesystem::path(profile);
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
