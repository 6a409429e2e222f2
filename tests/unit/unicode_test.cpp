#include <gtest/gtest.h>

#include <set>
#include <string>

#include "text/char_class.hpp"

TEST(Unicode, AsciiClasses)
{
    for (char32_t c = 0; c < 0x80; ++c) {
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool white = c == ' ' || (c >= 0x09 && c <= 0x0D);
        EXPECT_EQ(is_word_char(c), alnum) << +c;
        EXPECT_EQ(is_white_space(c), white) << +c;
        EXPECT_EQ(is_ident_char(c), alnum || c == '_') << +c;
        EXPECT_EQ(is_punct_char(c), !alnum && !white && c != '_') << +c;
        EXPECT_EQ(is_uppercase(c), c >= 'A' && c <= 'Z') << +c;
    }
}

TEST(Unicode, WhiteSpaceIsExactlyTheProperty)
{
    const std::set<char32_t> white = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,   0x1680,
                                      0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008,
                                      0x2009, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        ASSERT_EQ(is_white_space(c), white.contains(c)) << std::hex << +c;
        EXPECT_FALSE(white.contains(c) && (is_word_char(c) || is_punct_char(c))) << std::hex << +c;
    }
}

TEST(Unicode, ClassesBeyondAscii)
{
    struct Row {
        std::u32string characters;
        bool word, upper;
    };
    const Row rows[] = {
        // Uzbek's turned comma (oʻ, gʻ) is a letter; Latin, Cyrillic, Greek,
        // Arabic, Hebrew letters; a titlecase letter is not uppercase.
        {U"ʻöжқσبשǅ", true, false},
        // Digits of other scripts (Nd), letter numbers (Nl), other numbers (No).
        {U"٣३໕５〇²½①", true, false},
        // CJK ideographs and Hangul, also those the database gives only as a
        // block range, and Extension B outside the basic plane.
        {U"漢字㐀가힣\U00020000\U0002A6DF", true, false},
        {U"ЖЎÖΣⅫⒶ\U0001D400", true, true},
        // Punctuation, symbols, marks that are not Alphabetic, the zero-width
        // space, private use, unassigned and out-of-range values.
        {U"«—€©。、\u0301\u200B\uE000\u0378" + std::u32string(1, 0x110000), false, false},
    };
    for (const Row& row : rows)
        for (char32_t c : row.characters) {
            EXPECT_EQ(is_word_char(c), row.word) << std::hex << +c;
            EXPECT_EQ(is_ident_char(c), row.word) << std::hex << +c;
            EXPECT_EQ(is_punct_char(c), !row.word) << std::hex << +c;
            EXPECT_EQ(is_uppercase(c), row.upper) << std::hex << +c;
        }
}

// The columns a terminal draws a character in.
TEST(Unicode, DisplayWidths)
{
    struct Row {
        std::u32string characters;
        int width;
    };
    const Row rows[] = {
        // East Asian wide and fullwidth, emoji shown as emoji, the CJK blocks
        // also where nothing is assigned yet, and planes 2 and 3.
        {U"日本語漢字가힣ＡＢ。⌚😀👍🇦\u3400\u9FFF\U00020000\U0002FFFD\U00030000", 2},
        // Marks, the invisible format characters, and the jamo that join a
        // syllable: also where the database calls them wide.
        {U"\u0301\u20DD\u0489\u200B\u200D\u2060\uFEFF\uFE0F\u3099\u302A\u1160\u11A8\U000E0001", 0},
        // Everything else, controls (drawn as stand-ins) and the soft hyphen
        // and signs before numbers, which terminals show, included.
        {U"aé\u00ADж€─␉\uFFFD\u0600\u2764\uE000\u0378\u4DC0" + std::u32string{0x01, 0x7F, 0x85}, 1},
    };
    for (const Row& row : rows)
        for (char32_t c : row.characters) EXPECT_EQ(char_width(c), row.width) << std::hex << +c;
}
