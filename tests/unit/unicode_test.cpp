#include <gtest/gtest.h>

#include <set>

#include "text/char_class.hpp"

TEST(Unicode, AsciiClasses)
{
    for (char32_t c = 0; c < 0x80; ++c) {
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool white = c == ' ' || (c >= 0x09 && c <= 0x0D);
        EXPECT_EQ(is_word_char(c), alnum) << static_cast<unsigned>(c);
        EXPECT_EQ(is_white_space(c), white) << static_cast<unsigned>(c);
        EXPECT_EQ(is_ident_char(c), alnum || c == '_') << static_cast<unsigned>(c);
        EXPECT_EQ(is_punct_char(c), !alnum && !white && c != '_') << static_cast<unsigned>(c);
        EXPECT_EQ(is_uppercase(c), c >= 'A' && c <= 'Z') << static_cast<unsigned>(c);
    }
}

TEST(Unicode, WhiteSpaceIsExactlyTheProperty)
{
    const std::set<char32_t> white = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,   0x1680,
                                      0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008,
                                      0x2009, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        ASSERT_EQ(is_white_space(c), white.contains(c)) << std::hex << static_cast<unsigned>(c);
        if (white.contains(c)) {
            EXPECT_FALSE(is_word_char(c));
            EXPECT_FALSE(is_punct_char(c));
        }
    }
}

TEST(Unicode, WordCharactersBeyondAscii)
{
    // Uzbek: the modifier letter turned comma of oʻ and gʻ is a letter.
    EXPECT_TRUE(is_word_char(U'ʻ'));
    EXPECT_TRUE(is_word_char(U'ö'));
    // Cyrillic, Greek, Arabic, Hebrew letters.
    for (char32_t c : {U'ж', U'Ў', U'қ', U'λ', U'ب', U'ש'}) EXPECT_TRUE(is_word_char(c));
    // Digits of other scripts (Nd), letter numbers (Nl), other numbers (No).
    for (char32_t c : {U'٣', U'३', U'໕', U'５', U'Ⅻ', U'〇', U'²', U'½', U'①'})
        EXPECT_TRUE(is_word_char(c)) << std::hex << static_cast<unsigned>(c);
    // CJK ideographs and Hangul syllables, also those given only as a block
    // range in the database, and Extension B outside the basic plane.
    for (char32_t c : {U'漢', U'字', U'㐀', U'가', U'힣', char32_t{0x20000}, char32_t{0x2A6DF}})
        EXPECT_TRUE(is_word_char(c)) << std::hex << static_cast<unsigned>(c);

    // Not words: punctuation, symbols, marks that are not Alphabetic, the
    // zero-width space, private use, unassigned and out-of-range values.
    for (char32_t c : {U'«', U'—', U'€', U'©', U'。', U'、', char32_t{0x0301}, char32_t{0x200B}, char32_t{0xE000},
                       char32_t{0x0378}, char32_t{0x110000}}) {
        EXPECT_FALSE(is_word_char(c)) << std::hex << static_cast<unsigned>(c);
        EXPECT_FALSE(is_ident_char(c));
        EXPECT_TRUE(is_punct_char(c)) << std::hex << static_cast<unsigned>(c);
    }
}

TEST(Unicode, Uppercase)
{
    for (char32_t c : {U'Ж', U'Ў', U'Ö', U'Σ', U'Ⅻ', U'Ⓐ', char32_t{0x1D400}})
        EXPECT_TRUE(is_uppercase(c)) << std::hex << static_cast<unsigned>(c);
    for (char32_t c : {U'ж', U'ö', U'σ', U'ʻ', U'漢', U'1', U'ǅ'})
        EXPECT_FALSE(is_uppercase(c)) << std::hex << static_cast<unsigned>(c);
}
