#pragma once
// UTF-8 and the UTF-16 of the Windows interfaces, converted by the system
// (code page 65001). Windows only.

#include <string>
#include <string_view>

// Invalid UTF-8 becomes U+FFFD.
std::wstring to_wide(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string to_utf8(std::wstring_view wide);
