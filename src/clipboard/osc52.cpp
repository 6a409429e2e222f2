#include "clipboard/osc52.hpp"

std::string osc52_sequence(std::string_view utf8)
{
    static constexpr char DIGITS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out = "\x1b]52;c;";
    out.reserve(out.size() + (utf8.size() + 2) / 3 * 4 + 1);
    std::size_t at = 0;
    for (; at + 3 <= utf8.size(); at += 3) {
        const unsigned v = static_cast<unsigned char>(utf8[at]) << 16 | static_cast<unsigned char>(utf8[at + 1]) << 8 |
                           static_cast<unsigned char>(utf8[at + 2]);
        out += DIGITS[v >> 18 & 63];
        out += DIGITS[v >> 12 & 63];
        out += DIGITS[v >> 6 & 63];
        out += DIGITS[v & 63];
    }
    const std::size_t rest = utf8.size() - at;
    if (rest > 0) {
        unsigned v = static_cast<unsigned char>(utf8[at]) << 16;
        if (rest == 2) v |= static_cast<unsigned char>(utf8[at + 1]) << 8;
        out += DIGITS[v >> 18 & 63];
        out += DIGITS[v >> 12 & 63];
        out += rest == 2 ? DIGITS[v >> 6 & 63] : '=';
        out += '=';
    }
    out += '\x07';
    return out;
}

bool Osc52Clipboard::put_text(std::string_view utf8)
{
    // Sent at once rather than with the next frame, so that the copy does
    // not depend on anything being redrawn. A terminal that cannot be
    // written shows up as an error at the next frame anyway.
    terminal_.raw(osc52_sequence(utf8));
    (void)terminal_.flush();
    return inner_->put_text(utf8);
}
