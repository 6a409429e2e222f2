#include "os/wide_text.hpp"

#include <climits>
#include <windows.h>

namespace {

// The interfaces count in int; longer texts are converted in pieces that
// end on a whole character.
constexpr std::size_t PIECE = INT_MAX / 4;

}  // namespace

std::wstring to_wide(std::string_view utf8)
{
    std::wstring out;
    while (!utf8.empty()) {
        std::size_t length = std::min(utf8.size(), PIECE);
        // Do not cut a multi-byte sequence: back up over continuation bytes.
        while (length < utf8.size() && length > 0 && (static_cast<unsigned char>(utf8[length]) & 0xC0) == 0x80)
            --length;
        const int n = static_cast<int>(length);
        const int units = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), n, nullptr, 0);
        if (units <= 0) break;
        const std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(units));
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), n, out.data() + at, units);
        utf8.remove_prefix(length);
    }
    return out;
}

std::string to_utf8(std::wstring_view wide)
{
    std::string out;
    while (!wide.empty()) {
        std::size_t length = std::min(wide.size(), PIECE);
        // Keep a surrogate pair together.
        if (length < wide.size() && wide[length - 1] >= 0xD800 && wide[length - 1] <= 0xDBFF) --length;
        const int n = static_cast<int>(length);
        const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
        if (bytes <= 0) break;
        const std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(bytes));
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, out.data() + at, bytes, nullptr, nullptr);
        wide.remove_prefix(length);
    }
    return out;
}
