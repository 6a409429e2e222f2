#pragma once
// The name a path is shown under: its last component as text.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The last component of the path that names something, as UTF-8 text
// (whatever is not valid in the platform's path encoding shows as U+FFFD).
// Trailing separators and "." steps are skipped, as they name the directory
// before them. Nothing when there is no such name: a root, a drive, "..".
std::optional<std::string> display_name(const std::filesystem::path& path);

// The whole path as UTF-8 text for the screen, invalid sequences as U+FFFD.
std::string path_display_text(const std::filesystem::path& path);

// Whether `c` separates path components on this platform.
bool is_path_separator(char c);

// The length of the drive or network share a path starts with (on Windows
// `C:`, `\\server\share`, `\\?\C:`): a root, never a name. 0 where there is
// none, and on platforms without drives.
std::size_t root_prefix_length(std::string_view text);
