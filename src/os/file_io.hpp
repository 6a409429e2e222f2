#pragma once
// The editor's whole use of the file system: what a path names, read a file
// whole, overwrite a file in place, and make a new file for the text of a
// run that ends without a save. One implementation per platform
// (file_io_posix.cpp, file_io_windows.cpp).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "os/expected.hpp"
#include "os/io_error.hpp"

// Which file a path names, how long it is and when it was last written. The
// editor notes it at open, reload and save, so that the next save can tell
// whether another program has changed the file meanwhile.
struct FileStamp {
    std::uint64_t volume = 0;   // the device, or the volume's serial number
    std::uint64_t index = 0;    // the inode, or the file index: with the volume, which file
    std::uint64_t size = 0;     // in bytes
    std::int64_t modified = 0;  // the last write, in the platform's finest unit
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

enum class FileKind : std::uint8_t {
    Regular,
    Directory,
    Pipe,    // a pipe or FIFO: read to its end like a file
    Device,  // a device or a socket: never a document (/dev/zero would never end)
};

struct FileStatus {
    FileKind kind = FileKind::Regular;
    FileStamp stamp;
};

// What the path names, following symbolic links, or nothing when there is
// no such file: no entry by that name, or a file where the path needs a
// directory (on Windows: file not found, path not found). Every other
// failure is an error, for the path may well name a file that we cannot
// see: a directory on the way without search permission, a share out of
// reach.
expected<std::optional<FileStatus>, IoError> file_status(const std::filesystem::path& path);

// All bytes of the file, read to its end while other programs may go on
// reading, writing and deleting it. Fails on anything that cannot be opened
// and read as a file, a directory included; a device or a socket is refused
// (NotRegular) without being read.
expected<std::string, IoError> read_file_bytes(const std::filesystem::path& path);

// Replaces the file's content with `bytes`, creating the file if needed. The
// file is overwritten in place, so it keeps its identity, owner, attributes
// and permissions. Success means the data has reached the device; the stamp
// is the file's as the write left it. A failure leaves the previous content
// in place wherever it could be read first.
expected<FileStamp, IoError> write_file_in_place(const std::filesystem::path& path, std::string_view bytes);

// A file made only where no file had its name, and written piece by piece,
// so that the text of a run ending without a save can be kept beside the
// document without ever replacing another file. Closed, and kept, when it
// goes.
class NewFile {
public:
    NewFile() = default;
    NewFile(NewFile&& other) noexcept : handle_(other.handle_) { other.handle_ = NONE; }
    NewFile& operator=(NewFile&& other) noexcept;
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    ~NewFile();

    // Nothing when a file of that name exists already; an error for any
    // other failure (a folder that cannot be written, say).
    static expected<std::optional<NewFile>, IoError> create(const std::filesystem::path& path);
    expected<void, IoError> write(std::string_view bytes);
    // Makes sure the bytes are on the device, and closes the file.
    expected<void, IoError> finish();

private:
    static constexpr std::intptr_t NONE = -1;  // a descriptor or a handle; -1 is neither
    explicit NewFile(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_ = NONE;
};

// The user's home directory, where a recovery file goes when the document's
// folder cannot take it; nothing when the system does not say.
std::optional<std::filesystem::path> home_directory();
