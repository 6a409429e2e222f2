#include <windows.h>

#include <shellapi.h>

#include "os/command_line.hpp"

// The path comes from the wide command line, split by the system's own
// rules, and stays UTF-16 all the way to the file functions. A name may hold
// a surrogate without its other half, which no UTF-8 text can carry: turned
// into text, it would become U+FFFD and name another file. Only the name
// shown on screen goes through that replacement.
std::optional<std::filesystem::path> document_path_argument(int, char**)
{
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (arguments == nullptr) return std::nullopt;
    std::optional<std::filesystem::path> path;
    if (count >= 2) path = std::filesystem::path(std::wstring(arguments[1]));
    ::LocalFree(arguments);
    return path;
}
