#pragma once
// The editor's whole use of the file system: does a path name something,
// read a file whole, and overwrite a file in place. One implementation per
// platform (file_io_posix.cpp, file_io_windows.cpp).

#include <filesystem>
#include <string>
#include <string_view>

#include "os/expected.hpp"
#include "os/io_error.hpp"

// Whether the path's metadata can be had, following symbolic links. Anything
// that keeps us from seeing it (no entry, no permission on a directory on
// the way) counts as "no".
bool path_exists(const std::filesystem::path& path);

// All bytes of the file, read to its end while other programs may go on
// reading, writing and deleting it. Fails on anything that cannot be opened
// and read as a file, a directory included.
expected<std::string, IoError> read_file_bytes(const std::filesystem::path& path);

// Replaces the file's content with `bytes`, creating the file if needed. The
// file is overwritten in place, so it keeps its identity, owner, attributes
// and permissions. Success means the data has reached the device. A failure
// leaves the previous content in place wherever it could be read first.
expected<void, IoError> write_file_in_place(const std::filesystem::path& path, std::string_view bytes);
