#include "text/utf8.hpp"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "support/utf8_oracle.hpp"

using namespace std::string_literals;

namespace {

// The byte values where the rules change.
constexpr std::array<unsigned char, 25> EDGES = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                                 0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE,
                                                 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF};

std::size_t encoded_length(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

// Text made up from a seed: runs of ASCII (which the module takes eight
// bytes at a time) and of characters of every other length; where each
// character starts is kept.
struct Sample {
    std::string text;
    std::u32string characters;
    std::vector<std::size_t> starts;
};

Sample generated(std::mt19937& rng)
{
    const std::array<std::pair<char32_t, char32_t>, 4> lengths = {
        {{0x20, 0x7E}, {0x80, 0x7FF}, {0xE000, 0xFFFF}, {0x10000, 0x10FFFF}}};
    Sample sample;
    for (int runs = rng() % 8; runs-- > 0;) {
        const auto [low, high] = lengths[rng() % (runs % 2 ? 4 : 1)];
        for (unsigned n = rng() % 20; n-- > 0;) {
            const char32_t c = low + rng() % (high - low + 1);
            sample.starts.push_back(sample.text.size());
            sample.characters += c;
            utf8::append(sample.text, c);
        }
    }
    return sample;
}

// The longest prefix the oracle accepts.
std::size_t longest_valid_prefix(std::string_view text)
{
    std::size_t length = text.size();
    while (length > 0 && !test_support::is_valid_utf8(text.substr(0, length))) --length;
    return length;
}

}  // namespace

TEST(Utf8, EveryScalarValueEncodesAndDecodesBack)
{
    const std::vector<std::pair<char32_t, std::string>> edges = {
        {0x00, "\0"s},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& [c, bytes] : edges) EXPECT_EQ(utf8::encode(c), bytes);
    for (char32_t c = 0; c <= 0x10FFFF; c = c == 0xD7FF ? 0xE000 : c + 1) {
        const std::string bytes = utf8::encode(c);
        ASSERT_EQ(bytes.size(), encoded_length(c)) << std::hex << +c;
        ASSERT_TRUE(test_support::is_valid_utf8(bytes)) << std::hex << +c;
        ASSERT_EQ(utf8::sequence_length(static_cast<unsigned char>(bytes[0])), bytes.size());
        const utf8::Decoded d = utf8::decode(bytes);
        ASSERT_EQ(d.status, utf8::Decoded::Status::Ok) << std::hex << +c;
        ASSERT_EQ(d.c, c);
        ASSERT_EQ(d.length, bytes.size());
        // Cut short, it is a sequence still under way.
        for (std::size_t cut = 1; cut < bytes.size(); ++cut)
            ASSERT_EQ(utf8::decode(bytes.substr(0, cut)).status, utf8::Decoded::Status::Truncated);
    }
}

TEST(Utf8, WalkingCountingAndCuttingGeneratedText)
{
    for (unsigned seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        const Sample s = generated(rng);
        const std::size_t count = s.characters.size();
        ASSERT_EQ(utf8::length(s.text), count);
        std::size_t at = 0;
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_EQ(utf8::byte_offset(s.text, i), s.starts[i]) << "column " << i;
            ASSERT_EQ(utf8::next(s.text, at), s.characters[i]);
        }
        ASSERT_EQ(at, s.text.size());
        ASSERT_EQ(utf8::byte_offset(s.text, count + rng() % 20), s.text.size());
        for (std::size_t i = count; i-- > 0;) {
            ASSERT_EQ(utf8::previous(s.text, at), s.characters[i]);
            ASSERT_EQ(at, s.starts[i]);
        }
        const std::size_t from = rng() % (count + 2), length = rng() % (count + 2);
        const std::size_t begin = from < count ? s.starts[from] : s.text.size();
        const std::size_t end = from + length < count ? s.starts[from + length] : s.text.size();
        ASSERT_EQ(utf8::substr(s.text, from, length), s.text.substr(begin, end - begin));
    }
    // A sequence cut short by the end of the text is not read past it.
    std::size_t at = 1;
    utf8::next("a\xE2\x82", at);
    EXPECT_EQ(at, 3u);
}

TEST(Utf8, ValidatorAgreesWithTheOracleOnEveryFourBytesOfEdges)
{
    std::size_t valid = 0;
    for (unsigned char a : EDGES)
        for (unsigned char b : EDGES)
            for (unsigned char c : EDGES)
                for (unsigned char d : EDGES) {
                    const std::string text = {static_cast<char>(a), static_cast<char>(b), static_cast<char>(c),
                                              static_cast<char>(d)};
                    const bool is_valid = test_support::is_valid_utf8(text);
                    ASSERT_EQ(utf8::is_valid(text), is_valid) << std::hex << +a << ' ' << +b << ' ' << +c << ' ' << +d;
                    valid += is_valid;
                }
    EXPECT_GT(valid, 0u);
}

// The validator checks eight bytes at once where they hold ASCII and
// two-byte sequences, and a byte at a time elsewhere: the rules must hold
// wherever a sequence falls against those words.
TEST(Utf8, ValidPrefixOfEveryThreeBytesOfEdgesAtEveryPlaceInAWord)
{
    for (const std::string before : {"", "abcd", "abcdefg", "abcdefgh", "abcdeж", "abcdefж", "жжжж"})
        for (unsigned char a : EDGES)
            for (unsigned char b : EDGES)
                for (unsigned char c : EDGES) {
                    const std::string text = before + static_cast<char>(a) + static_cast<char>(b) +
                                             static_cast<char>(c) + "жжжж";
                    ASSERT_EQ(utf8::valid_prefix(text), longest_valid_prefix(text))
                        << before << std::hex << ' ' << +a << ' ' << +b << ' ' << +c;
                }
}

// Every broken sequence becomes one U+FFFD for its maximal subpart, the
// rule the codecs, the clipboard and file names share.
TEST(Utf8, RepairAndValidPrefixOfDamagedTextAgreeWithTheOracle)
{
    for (unsigned seed = 1; seed <= 3000; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        std::string text = generated(rng).text;
        for (unsigned damage = 1 + rng() % 3; damage-- > 0;) {
            const std::size_t at = rng() % (text.size() + 1);
            text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), static_cast<char>(EDGES[rng() % EDGES.size()]));
            if (rng() % 2 && at + 1 < text.size()) text.erase(at + 1, 1);
        }
        ASSERT_EQ(utf8::valid_prefix(text), longest_valid_prefix(text));
        std::size_t replaced = 0, unreadable = 0;
        ASSERT_EQ(utf8::repair(text, &unreadable), test_support::repaired_utf8(text, replaced));
        ASSERT_EQ(unreadable, replaced);
    }
    EXPECT_EQ(utf8::repair("\xF0\x9F\x98\xE0\x80\x80x\xC3"), "\uFFFD\uFFFD\uFFFD\uFFFDx\uFFFD");
}
