#pragma once
// UTF-8 checked and repaired apart from the editor's module, straight from
// the rules and a sequence at a time: slow, plain, an oracle for the fast code.

#include <cstddef>
#include <string>
#include <string_view>

namespace test_support {

inline bool is_valid_utf8(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        if (i + len > n) return false;
        if (p[i + 1] < lo || p[i + 1] > hi) return false;
        for (std::size_t k = 2; k < len; ++k)
            if ((p[i + k] & 0xC0) != 0x80) return false;
        i += len;
    }
    return true;
}

// Whether some continuation bytes after `start` make one well-formed
// sequence. Every range a continuation byte may have holds 80, 90 or A0.
inline bool can_complete(const std::string& start)
{
    if (start.size() >= 4) return false;
    for (char next : {'\x80', '\x90', '\xA0'}) {
        const std::string longer = start + next;
        if (is_valid_utf8(longer) || can_complete(longer)) return true;
    }
    return false;
}

// The bytes with each ill-formed stretch replaced by one U+FFFD for its
// maximal subpart: the longest start of a sequence that could still be
// completed, or else one byte. `replaced` counts the bytes that were.
inline std::string repaired_utf8(std::string_view bytes, std::size_t& replaced)
{
    replaced = 0;
    std::string out;
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t length = 1;
        while (length <= 4 && at + length <= bytes.size() && !is_valid_utf8(bytes.substr(at, length))) ++length;
        if (length <= 4 && at + length <= bytes.size()) {
            out += bytes.substr(at, length);
        } else {
            length = 1;
            while (length < 3 && at + length < bytes.size() && can_complete(std::string(bytes.substr(at, length + 1))))
                ++length;
            out += "\xEF\xBF\xBD";
            replaced += length;
        }
        at += length;
    }
    return out;
}

}  // namespace test_support
