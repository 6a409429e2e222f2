#include "os/long_path.hpp"

#include <windows.h>

namespace {

bool starts_with(std::wstring_view text, std::wstring_view start) { return text.substr(0, start.size()) == start; }

// The system's own full form of the path; empty where it has none.
std::wstring full_path(const std::wstring& path)
{
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return {};
        // Too small: the length asked for counts the terminating zero.
        if (length >= full.size()) {
            full.resize(length);
            continue;
        }
        full.resize(length);
        return full;
    }
}

}  // namespace

std::wstring file_api_path(const std::filesystem::path& path)
{
    const std::wstring& given = path.native();
    // Already literal (\\?\) or a device (\\.\): the caller meant it so.
    if (starts_with(given, L"\\\\?\\") || starts_with(given, L"\\\\.\\")) return given;
    std::wstring full = full_path(given);
    if (full.size() < MAX_PATH) return given;
    if (starts_with(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}
