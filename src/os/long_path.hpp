#pragma once
// Paths as the Windows file functions are given them. Windows only.

#include <filesystem>
#include <string>

// `path` as it is, or, when its full form reaches MAX_PATH (260), that full
// form with the \\?\ prefix (\\?\UNC\ for a network share): the prefix lifts
// the limit even where the system's long-path setting is off. The full form
// is what the system would make of the path itself (the current directory
// in front, / as \, . and .. resolved), since after the prefix it takes the
// path literally.
std::wstring file_api_path(const std::filesystem::path& path);
