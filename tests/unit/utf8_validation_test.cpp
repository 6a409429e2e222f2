#include "encoding/codec.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "text/utf8.hpp"

namespace {

// The longest prefix utf8::is_valid, a check written apart, accepts.
std::size_t longest_valid_prefix(const std::string& text)
{
    std::size_t length = text.size();
    while (length > 0 && !utf8::is_valid(std::string_view(text).substr(0, length))) --length;
    return length;
}

}  // namespace

// The validator checks eight bytes at once where they hold ASCII and
// two-byte sequences, and falls back to a byte at a time elsewhere; the
// rules must hold wherever a sequence falls against those words.
TEST(ValidUtf8Prefix, EveryThreeByteStringAtEveryPlaceInAWord)
{
    const std::array<unsigned char, 25> values = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                                  0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE,
                                                  0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF};
    // Before them ASCII or a Cyrillic letter ending just before them; after
    // them more Cyrillic, so that the words around are two-byte ones.
    for (const std::string before : {"", "abcd", "abcdefg", "abcdefgh", "abcdeж", "abcdefж", "жжжж"}) {
        for (unsigned char a : values)
            for (unsigned char b : values)
                for (unsigned char c : values) {
                    const std::string text = before + static_cast<char>(a) + static_cast<char>(b) +
                                             static_cast<char>(c) + "жжжж";
                    ASSERT_EQ(valid_utf8_prefix(text), longest_valid_prefix(text))
                        << before << std::hex << ' ' << +a << ' ' << +b << ' ' << +c;
                }
    }
}

TEST(ValidUtf8Prefix, OneBrokenByteAnywhereInMixedText)
{
    std::string text;
    while (text.size() < 120) text += "matn о‘zbek текст € line 😀 ";
    EXPECT_EQ(valid_utf8_prefix(text), text.size());
    for (std::size_t at = 0; at < text.size(); ++at)
        for (char broken : {'\x80', '\xC0', '\xC3', '\xE2', '\xF0', '\xFF', 'x'}) {
            std::string damaged = text;
            damaged[at] = broken;
            ASSERT_EQ(valid_utf8_prefix(damaged), longest_valid_prefix(damaged)) << at << ' ' << +broken;
        }
}
