#include "text/utf8.hpp"

#include <cstring>

namespace utf8 {

char32_t next(std::string_view text, std::size_t& at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t len = sequence_length(lead);
    if (len == 1) {
        ++at;
        return lead;
    }
    char32_t c = lead & (0x7F >> len);
    for (std::size_t i = 1; i < len && at + i < text.size(); ++i)
        c = (c << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    at += len;
    if (at > text.size()) at = text.size();
    return c;
}

char32_t previous(std::string_view text, std::size_t& at)
{
    std::size_t start = at - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    std::size_t cursor = start;
    const char32_t c = next(text, cursor);
    at = start;
    return c;
}

void append(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string encode(char32_t c)
{
    std::string out;
    append(out, c);
    return out;
}

namespace {

// Eight bytes at a time: lines are mostly ASCII, and a long line must not
// cost a byte-by-byte walk when the cursor sits at its end.
bool word_is_ascii(const char* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ULL) == 0;
}

std::uint64_t count_continuations(const char* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    // A continuation byte is 10xxxxxx: top bit set, next bit clear.
    const std::uint64_t cont = word & ~(word << 1) & 0x8080808080808080ULL;
    return static_cast<std::uint64_t>(__builtin_popcountll(cont));
}

}  // namespace

std::uint64_t length(std::string_view text)
{
    std::uint64_t count = 0;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) count += 8 - count_continuations(text.data() + i);
    for (; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++count;
    return count;
}

std::size_t byte_offset(std::string_view text, std::uint64_t column)
{
    std::size_t at = 0;
    while (column >= 8 && at + 8 <= text.size() && word_is_ascii(text.data() + at)) {
        at += 8;
        column -= 8;
    }
    while (column > 0 && at < text.size()) {
        at += sequence_length(static_cast<unsigned char>(text[at]));
        --column;
        while (column >= 8 && at + 8 <= text.size() && word_is_ascii(text.data() + at)) {
            at += 8;
            column -= 8;
        }
    }
    return at < text.size() ? at : text.size();
}

std::string_view substr(std::string_view text, std::uint64_t from, std::uint64_t count)
{
    const std::size_t begin = byte_offset(text, from);
    const std::string_view rest = text.substr(begin);
    return rest.substr(0, byte_offset(rest, count));
}

bool is_valid(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        if (i + 8 <= n && word_is_ascii(bytes.data() + i)) {
            i += 8;
            continue;
        }
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

}  // namespace utf8
