#include <windows.h>

#include <shellapi.h>

#include "os/command_line.hpp"
#include "os/wide_text.hpp"

// The path comes from the wide command line, split by the system's own
// rules; as UTF-8 text it then reaches the file functions as UTF-16 again.
std::optional<std::filesystem::path> document_path_argument(int, char**)
{
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (arguments == nullptr) return std::nullopt;
    std::optional<std::filesystem::path> path;
    if (count >= 2) {
        const std::string utf8 = to_utf8(arguments[1]);
        path = std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
    }
    ::LocalFree(arguments);
    return path;
}
