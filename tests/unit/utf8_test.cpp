#include "text/utf8.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "encoding/codec.hpp"

namespace {

// A text built character by character, remembering where each one starts.
struct Sample {
    std::string text;
    std::vector<std::size_t> starts;
    std::vector<char32_t> characters;
};

Sample build(const std::vector<char32_t>& characters)
{
    Sample sample;
    for (char32_t c : characters) {
        sample.starts.push_back(sample.text.size());
        sample.characters.push_back(c);
        utf8::append(sample.text, c);
    }
    return sample;
}

// Long ASCII runs (taken eight bytes at a time) broken by characters of every length.
std::vector<char32_t> mixed_characters()
{
    std::vector<char32_t> out;
    const std::array<char32_t, 5> others = {U'é', U'€', U'😀', U'ж', U'\U0010FFFF'};
    for (int i = 0; i < 200; ++i) {
        out.push_back(static_cast<char32_t>('a' + i % 26));
        if (i % 17 == 3 || i % 29 == 0 || (i > 100 && i % 3 == 0)) out.push_back(others[i % others.size()]);
    }
    return out;
}

}  // namespace

TEST(Utf8, EncodeAtEveryLengthBoundary)
{
    EXPECT_EQ(utf8::encode(0x00), std::string(1, '\0'));
    EXPECT_EQ(utf8::encode(0x7F), "\x7F");
    EXPECT_EQ(utf8::encode(0x80), "\xC2\x80");
    EXPECT_EQ(utf8::encode(0x7FF), "\xDF\xBF");
    EXPECT_EQ(utf8::encode(0x800), "\xE0\xA0\x80");
    EXPECT_EQ(utf8::encode(0xFFFF), "\xEF\xBF\xBF");
    EXPECT_EQ(utf8::encode(0x10000), "\xF0\x90\x80\x80");
    EXPECT_EQ(utf8::encode(0x10FFFF), "\xF4\x8F\xBF\xBF");
    for (char32_t c : {0x00u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFFu, 0x10000u, 0x10FFFFu})
        EXPECT_EQ(utf8::sequence_length(static_cast<unsigned char>(utf8::encode(c)[0])), utf8::encode(c).size());
}

TEST(Utf8, WalkingForwardAndBackward)
{
    const Sample sample = build(mixed_characters());
    std::size_t at = 0;
    for (std::size_t i = 0; i < sample.characters.size(); ++i) {
        ASSERT_EQ(at, sample.starts[i]);
        EXPECT_EQ(utf8::next(sample.text, at), sample.characters[i]);
    }
    EXPECT_EQ(at, sample.text.size());
    for (std::size_t i = sample.characters.size(); i-- > 0;) {
        EXPECT_EQ(utf8::previous(sample.text, at), sample.characters[i]);
        ASSERT_EQ(at, sample.starts[i]);
    }
    // A sequence cut short by the end of the text does not read past it.
    std::string cut = "a\xE2\x82";
    std::size_t end = 1;
    utf8::next(cut, end);
    EXPECT_EQ(end, cut.size());
}

TEST(Utf8, LengthAndOffsetsCountCharacters)
{
    const Sample sample = build(mixed_characters());
    const std::uint64_t count = sample.characters.size();
    EXPECT_EQ(utf8::length(sample.text), count);
    for (std::uint64_t column = 0; column < count; ++column)
        ASSERT_EQ(utf8::byte_offset(sample.text, column), sample.starts[column]) << "column " << column;
    EXPECT_EQ(utf8::byte_offset(sample.text, count), sample.text.size());
    EXPECT_EQ(utf8::byte_offset(sample.text, count + 100), sample.text.size());
    EXPECT_EQ(utf8::length(""), 0u);
    EXPECT_EQ(utf8::byte_offset("", 3), 0u);
    EXPECT_EQ(utf8::length("😀😀😀😀😀😀😀😀😀"), 9u);

    EXPECT_EQ(utf8::substr("aé€😀b", 1, 3), "é€😀");
    EXPECT_EQ(utf8::substr("aé€😀b", 3, 10), "😀b");
    EXPECT_EQ(utf8::substr("aé€😀b", 9, 2), "");
    EXPECT_EQ(utf8::substr(sample.text, 100, 50),
              sample.text.substr(sample.starts[100], sample.starts[150] - sample.starts[100]));
}

TEST(Utf8, IsValidRejectsEveryMalformedForm)
{
    EXPECT_TRUE(utf8::is_valid(""));
    EXPECT_TRUE(utf8::is_valid(build(mixed_characters()).text));
    EXPECT_TRUE(utf8::is_valid("\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF"));
    for (const char* bad : {"\x80", "\xBF", "\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF0\x8F\xBF\xBF",
                            "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xC3", "\xE2\x82", "\xF0\x9F\x98",
                            "\xE2\x28\xAC", "\xC3\x28"}) {
        EXPECT_FALSE(utf8::is_valid(bad)) << bad;
        EXPECT_FALSE(utf8::is_valid(std::string("0123456789abcdef") + bad)) << bad;
        EXPECT_FALSE(utf8::is_valid(std::string(bad) + "0123456789abcdef")) << bad;
    }

    // Two checks written apart (this one and the decoder's) agree on every
    // string of up to four bytes drawn from the values where the rules change.
    const std::array<unsigned char, 25> values = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                                  0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE,
                                                  0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF};
    std::size_t valid = 0;
    std::string text(4, '\0');
    for (unsigned char a : values)
        for (unsigned char b : values)
            for (unsigned char c : values)
                for (unsigned char d : values) {
                    text = {static_cast<char>(a), static_cast<char>(b), static_cast<char>(c), static_cast<char>(d)};
                    const bool is_valid = utf8::is_valid(text);
                    ASSERT_EQ(is_valid, valid_utf8_prefix(text) == text.size())
                        << std::hex << +a << ' ' << +b << ' ' << +c << ' ' << +d;
                    valid += is_valid;
                }
    EXPECT_GT(valid, 0u);
}
