#include "encoding/codec.hpp"
#include "encoding/detect.hpp"
#include "support/text.hpp"
#include "text/lines.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>
#include <vector>

#include "text/utf8.hpp"

using test_support::encode_document;
using test_support::join_lines;

namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

constexpr std::array ALL_ENCODINGS = {
    TextEncoding::Utf8,   TextEncoding::Utf8Bom, TextEncoding::Utf16Le, TextEncoding::Utf16Be,
    TextEncoding::Cp1251, TextEncoding::Cp1252,  TextEncoding::Cp866,
};

constexpr std::array SINGLE_BYTE = {TextEncoding::Cp1251, TextEncoding::Cp1252, TextEncoding::Cp866};

std::string encoded(std::string_view text, TextEncoding encoding)
{
    auto result = encode_document(text, encoding);
    if (!result) {
        ADD_FAILURE() << encoding_label(encoding) << ": " << result.error();
        return {};
    }
    return *result;
}

std::string refusal(std::string_view name)
{
    return "Matn " + std::string(name) + " ga to'liq o'tkazilmadi (ba'zi belgilar qo'llab-quvvatlanmaydi)";
}

// Opening a file as the editor does, down to its lines.
std::vector<std::string> read_lines(std::string_view file, TextEncoding encoding)
{
    return split_lines(decode_text(file, encoding));
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(EncodingLabel, EveryMemberInMenuOrder)
{
    const std::array<std::string_view, 7> labels = {"UTF-8",  "UTF-8 BOM", "UTF-16 LE", "UTF-16 BE",
                                                    "CP1251", "CP1252",    "CP866"};
    for (std::size_t i = 0; i < ENCODINGS.size(); ++i) {
        EXPECT_EQ(encoding_label(static_cast<TextEncoding>(i)), labels[i]);
        EXPECT_EQ(encoding_for_menu_key(U'1' + static_cast<char32_t>(i)), static_cast<TextEncoding>(i));
    }
    EXPECT_EQ(encoding_for_menu_key(U'8'), std::nullopt);
    EXPECT_EQ(encoding_for_menu_key(U'0'), std::nullopt);
}

TEST(DetectEncoding, MarksWinAndValidUtf8NeverReachesTheDetector)
{
    EXPECT_EQ(detect_encoding(""), TextEncoding::Utf8);
    // The detector calls plain ASCII "ASCII", which would mean windows-1252.
    EXPECT_EQ(detect_encoding("int main() { return 0; }\r\n"), TextEncoding::Utf8);
    EXPECT_EQ(detect_encoding("Salom, dunyo! Привет, мир! 😀"), TextEncoding::Utf8);
    EXPECT_EQ(detect_encoding(bytes({0xEF, 0xBB, 0xBF, 0x61, 0x0D, 0x0A, 0x62})), TextEncoding::Utf8Bom);
    EXPECT_EQ(detect_encoding(bytes({0xEF, 0xBB, 0xBF})), TextEncoding::Utf8Bom);
    EXPECT_EQ(detect_encoding(bytes({0xFF, 0xFE, 0x61, 0x00})), TextEncoding::Utf16Le);
    EXPECT_EQ(detect_encoding(bytes({0xFF, 0xFE})), TextEncoding::Utf16Le);
    EXPECT_EQ(detect_encoding(bytes({0xFE, 0xFF, 0x00, 0x61})), TextEncoding::Utf16Be);
    // A mark counts only at the very start.
    EXPECT_EQ(detect_encoding("a\xEF\xBB\xBF"), TextEncoding::Utf8);
    // UTF-16 without a mark is never guessed: here its zero bytes are ASCII.
    const std::string utf16_body = encoded("Hello, world. This is plain text.", TextEncoding::Utf16Le).substr(2);
    EXPECT_EQ(detect_encoding(utf16_body), TextEncoding::Utf8);
}

TEST(DetectLineEnding, OnePairAnywhereInTheRawBytes)
{
    for (TextEncoding e : {TextEncoding::Utf8, TextEncoding::Cp1251}) {
        EXPECT_EQ(detect_line_ending("", e), LineEnding::Lf);
        EXPECT_EQ(detect_line_ending("a\nb\n", e), LineEnding::Lf);
        EXPECT_EQ(detect_line_ending("a\rb\r", e), LineEnding::Lf);
        EXPECT_EQ(detect_line_ending("a\r\nb\r\n", e), LineEnding::CrLf);
        EXPECT_EQ(detect_line_ending("a\nb\nc\r\nd\ne\n", e), LineEnding::CrLf);
        EXPECT_EQ(detect_line_ending("a\n\rb", e), LineEnding::Lf);
    }
    // UTF-16 is looked at in code units, in the file's byte order: CR LF is
    // 0D 00 0A 00 (LE) or 00 0D 00 0A (BE) at an even offset.
    constexpr auto le = TextEncoding::Utf16Le;
    constexpr auto be = TextEncoding::Utf16Be;
    EXPECT_EQ(detect_line_ending(bytes({0xFF, 0xFE, 0x61, 0x00, 0x0D, 0x00, 0x0A, 0x00, 0x62, 0x00}), le),
              LineEnding::CrLf);
    EXPECT_EQ(detect_line_ending(bytes({0xFE, 0xFF, 0x00, 0x61, 0x00, 0x0D, 0x00, 0x0A}), be), LineEnding::CrLf);
    EXPECT_EQ(detect_line_ending(bytes({0x61, 0x00, 0x0D, 0x00, 0x0A, 0x00}), le), LineEnding::CrLf);
    EXPECT_EQ(detect_line_ending(bytes({0xFF, 0xFE, 0x0D, 0x00, 0x62, 0x00, 0x0A, 0x00}), le), LineEnding::Lf);
    // The other byte order's units, and the same bytes at an odd offset, are
    // other characters (U+0D00 U+0A00; U+0D0D before LF).
    EXPECT_EQ(detect_line_ending(bytes({0xFF, 0xFE, 0x00, 0x0D, 0x00, 0x0A}), le), LineEnding::Lf);
    EXPECT_EQ(detect_line_ending(bytes({0xFF, 0xFE, 0x0D, 0x0D, 0x0A, 0x00}), le), LineEnding::Lf);
    EXPECT_EQ(detect_line_ending(bytes({0xFF, 0xFE, 0x41, 0x0D, 0x00, 0x0A, 0x00, 0x00}), le), LineEnding::Lf);
}

TEST(DecodeText, Utf8MarksAndMalformedSequences)
{
    for (TextEncoding e : {TextEncoding::Utf8, TextEncoding::Utf8Bom}) {
        SCOPED_TRACE(encoding_label(e));
        EXPECT_EQ(decode_text("", e), "");
        EXPECT_EQ(decode_text(bytes({0xEF, 0xBB, 0xBF}), e), "");
        EXPECT_EQ(read_lines(bytes({0xEF, 0xBB, 0xBF, 0x61, 0x0D, 0x0A, 0x62}), e), (Lines{"a", "b"}));
        // Both marks go; a third one is text.
        EXPECT_EQ(decode_text(bytes({0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF, 0x41}), e), "A");
        EXPECT_EQ(decode_text("\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBF"
                              "A",
                              e),
                  "\xEF\xBB\xBF"
                  "A");
        EXPECT_EQ(decode_text("Привет, 😀", e), "Привет, 😀");
        EXPECT_EQ(decode_text(bytes({0xC3, 0x28}), e), "\uFFFD(");
        // One U+FFFD for each maximal subpart of a broken sequence.
        EXPECT_EQ(decode_text("a\xF0\x9F\x98", e), "a\uFFFD");
        EXPECT_EQ(decode_text("\xF0\x9F\x98"
                              "b",
                              e),
                  "\uFFFD"
                  "b");
        EXPECT_EQ(decode_text("\xF0\x9F\xC3\xA9", e), "\uFFFDé");
        EXPECT_EQ(decode_text("\xE0\x80\x80", e), "\uFFFD\uFFFD\uFFFD");            // overlong
        EXPECT_EQ(decode_text("\xC0\xAF", e), "\uFFFD\uFFFD");                      // overlong
        EXPECT_EQ(decode_text("\xED\xA0\x80", e), "\uFFFD\uFFFD\uFFFD");            // surrogate
        EXPECT_EQ(decode_text("\xED\x9F\xBF", e), "\uD7FF");                        // just below them
        EXPECT_EQ(decode_text("\xF4\x90\x80\x80", e), "\uFFFD\uFFFD\uFFFD\uFFFD");  // past U+10FFFF
        EXPECT_EQ(decode_text("\xF4\x8F\xBF\xBF", e), "\U0010FFFF");
        EXPECT_EQ(decode_text("\x80\xBF"
                              "x\xFF\xFE",
                              e),
                  "\uFFFD\uFFFDx\uFFFD\uFFFD");
        EXPECT_EQ(decode_text(std::string("a\0b", 3), e), std::string("a\0b", 3));
        // A UTF-16 mark switches the decoder over, whatever was asked.
        EXPECT_EQ(decode_text(bytes({0xFF, 0xFE, 0x41, 0x00}), e), "A");
        EXPECT_EQ(decode_text(bytes({0xFE, 0xFF, 0x00, 0x41}), e), "A");
        // That decoder is the standard's: an odd byte at the end is malformed.
        EXPECT_EQ(decode_text(bytes({0xFF, 0xFE, 0x41, 0x00, 0x42}), e), "A\uFFFD");
        EXPECT_EQ(decode_text(bytes({0xFF, 0xFE, 0x3D, 0xD8, 0x42}), e), "\uFFFD");
        EXPECT_EQ(decode_text(bytes({0xFF, 0xFE, 0x3D, 0xD8, 0x41, 0x00}), e), "\uFFFDA");
    }
}

TEST(DecodeText, Utf16OwnDecoder)
{
    const TextEncoding le = TextEncoding::Utf16Le;
    const TextEncoding be = TextEncoding::Utf16Be;
    EXPECT_EQ(read_lines(bytes({0xFF, 0xFE, 0x61, 0x00, 0x0D, 0x00, 0x0A, 0x00, 0x62, 0x00}), le), (Lines{"a", "b"}));
    EXPECT_EQ(read_lines(bytes({0xFE, 0xFF, 0x00, 0x61, 0x00}), be), Lines{"a"});  // odd last byte dropped
    EXPECT_EQ(decode_text(bytes({0xFF, 0xFE}), le), "");
    EXPECT_EQ(decode_text(bytes({0xFF}), le), "");
    // No mark is needed, and no other mark is sniffed.
    EXPECT_EQ(decode_text(bytes({0x61, 0x00, 0x1A, 0x04}), le), "aК");
    EXPECT_EQ(decode_text(bytes({0x04, 0x1A, 0x00, 0x61}), be), "Кa");
    EXPECT_EQ(decode_text(bytes({0xFE, 0xFF, 0x61, 0x00}), le), "\uFFFEa");
    EXPECT_EQ(decode_text(bytes({0xFF, 0xFE, 0x00, 0x61}), be), "\uFFFEa");
    EXPECT_EQ(decode_text(bytes({0xEF, 0xBB, 0xBF, 0x00}), le), "\uBBEF\u00BF");
    EXPECT_EQ(decode_text(bytes({0x00, 0x00, 0x41, 0x00}), le), std::string("\0A", 2));
    // Surrogates.
    EXPECT_EQ(decode_text(bytes({0x3D, 0xD8, 0x00, 0xDE}), le), "😀");
    EXPECT_EQ(decode_text(bytes({0xD8, 0x3D, 0xDE, 0x00}), be), "😀");
    EXPECT_EQ(decode_text(bytes({0x41, 0x00, 0x3D, 0xD8}), le), "A\uFFFD");
    EXPECT_EQ(decode_text(bytes({0x3D, 0xD8, 0x42}), le), "\uFFFD");
    EXPECT_EQ(decode_text(bytes({0x3D, 0xD8, 0x41, 0x00}), le), "\uFFFDA");
    EXPECT_EQ(decode_text(bytes({0x3D, 0xD8, 0x3D, 0xD8, 0x00, 0xDE}), le), "\uFFFD😀");
    EXPECT_EQ(decode_text(bytes({0x00, 0xDE, 0x3D, 0xD8}), le), "\uFFFD\uFFFD");
    EXPECT_EQ(decode_text(bytes({0xFF, 0xDB, 0xFF, 0xDF}), le), "\U0010FFFF");
}

TEST(DecodeText, InPlaceGivesTheSameText)
{
    const std::vector<std::string> inputs = {
        "",
        "plain",
        "Привет 😀",
        "\xEF\xBB\xBF",
        "\xEF\xBB\xBF"
        "a\r\nb",
        "\xEF\xBB\xBF\xEF\xBB\xBF"
        "A",
        "\xEF\xBB\xBF\xFF\xFE"
        "A",
        "\xFF\xFE"
        "A",
        "\xFE\xFF",
        "\xC3\x28",
        "a\xF0\x9F\x98",
        "caf\xE9",
        bytes({0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}),
    };
    for (const std::string& input : inputs)
        for (TextEncoding e : ALL_ENCODINGS)
            EXPECT_EQ(decode_text_in_place(input, e), decode_text(input, e)) << encoding_label(e) << " " << input;
}

TEST(DecodeText, SingleByteAndMarksOverridingIt)
{
    EXPECT_EQ(decode_text("\xCF\xF0\xE8\xE2\xE5\xF2, \xA1\xA2 \xB9 \x88", TextEncoding::Cp1251), "Привет, Ўў № €");
    EXPECT_EQ(decode_text("\x8F\xE0\xA8\xA2\xA5\xE2, \xF6\xF7 \xF0 \xB0\xFF", TextEncoding::Cp866),
              "Привет, Ўў Ё ░\u00A0");
    EXPECT_EQ(decode_text("caf\xE9 \x80 \x9F \x81", TextEncoding::Cp1252), "café € Ÿ \u0081");
    EXPECT_EQ(decode_text("\x98", TextEncoding::Cp1251), "\u0098");
    for (TextEncoding e : SINGLE_BYTE) {
        SCOPED_TRACE(encoding_label(e));
        EXPECT_EQ(decode_text("", e), "");
        EXPECT_EQ(decode_text(bytes({0xFF, 0xFE, 0x41, 0x00}), e), "A");
        EXPECT_EQ(decode_text(bytes({0xFE, 0xFF, 0x00, 0x41}), e), "A");
        EXPECT_EQ(decode_text(bytes({0xEF, 0xBB, 0xBF, 0x41, 0xC3, 0x28}), e), "A\uFFFD(");
        // A mark only counts at the start.
        const std::string ff = decode_text("\xFF", e);
        EXPECT_EQ(decode_text(bytes({0x41, 0xFF, 0xFE}), e), "A" + ff + decode_text("\xFE", e));
    }
}

TEST(SingleByte, AllBytesDecodeToDistinctCharactersAndEncodeBack)
{
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    for (TextEncoding e : SINGLE_BYTE) {
        SCOPED_TRACE(encoding_label(e));
        const std::string text = decode_text(all, e);
        ASSERT_TRUE(utf8::is_valid(text));
        ASSERT_EQ(utf8::length(text), 256u);
        std::vector<char32_t> characters;
        for (std::size_t at = 0; at < text.size();) characters.push_back(utf8::next(text, at));
        for (char32_t c = 0; c < 0x80; ++c) EXPECT_EQ(characters[c], c);
        std::sort(characters.begin(), characters.end());
        EXPECT_EQ(std::adjacent_find(characters.begin(), characters.end()), characters.end());
        EXPECT_EQ(encoded(text, e), all);
    }
}

TEST(SplitLines, LfCutsAndOneCrBeforeItGoes)
{
    EXPECT_EQ(split_lines(""), Lines{""});
    EXPECT_EQ(split_lines("abc"), Lines{"abc"});
    EXPECT_EQ(split_lines("\n"), (Lines{"", ""}));
    EXPECT_EQ(split_lines("a\nb\n"), (Lines{"a", "b", ""}));
    EXPECT_EQ(split_lines("a\r\nb\r\n"), (Lines{"a", "b", ""}));
    EXPECT_EQ(split_lines("a\r\r\nb"), (Lines{"a\r", "b"}));
    EXPECT_EQ(split_lines("a\rb"), Lines{"a\rb"});
    // A CR at the very end has no LF to end: it is the last line's own.
    EXPECT_EQ(split_lines("x\r"), Lines{"x\r"});
    EXPECT_EQ(split_lines("\r"), Lines{"\r"});
    EXPECT_EQ(split_lines("a\r\nb\r"), (Lines{"a", "b\r"}));
    EXPECT_EQ(split_lines("\n\n\r\n"), (Lines{"", "", "", ""}));
    EXPECT_EQ(split_lines("é\r\n€\n😀"), (Lines{"é", "€", "😀"}));
}

TEST(JoinLines, SeparatorsBetweenLinesOnly)
{
    const Buffer three(Lines{"a", "b", ""});
    EXPECT_EQ(join_lines(three, LineEnding::CrLf), "a\r\nb\r\n");
    EXPECT_EQ(join_lines(three, LineEnding::Lf), "a\nb\n");
    EXPECT_EQ(join_lines(Buffer(Lines{"only"}), LineEnding::CrLf), "only");
    EXPECT_EQ(join_lines(Buffer(), LineEnding::CrLf), "");
    EXPECT_EQ(join_lines(Buffer(Lines{"", ""}), LineEnding::Lf), "\n");
    EXPECT_EQ(join_lines(Buffer(Lines{"a\rb ", "\r"}), LineEnding::Lf), "a\rb \n\r");
}

TEST(EncodeDocument, EmptyDocumentUtfMarksAndSurrogates)
{
    const std::string empty = join_lines(Buffer(), LineEnding::CrLf);
    EXPECT_EQ(encoded(empty, TextEncoding::Utf8), "");
    EXPECT_EQ(encoded(empty, TextEncoding::Utf8Bom), bytes({0xEF, 0xBB, 0xBF}));
    EXPECT_EQ(encoded(empty, TextEncoding::Utf16Le), bytes({0xFF, 0xFE}));
    EXPECT_EQ(encoded(empty, TextEncoding::Utf16Be), bytes({0xFE, 0xFF}));
    for (TextEncoding e : SINGLE_BYTE) EXPECT_EQ(encoded(empty, e), "");

    EXPECT_EQ(encoded(join_lines(Buffer(Lines{"a", "b", ""}), LineEnding::CrLf), TextEncoding::Utf8),
              bytes({0x61, 0x0D, 0x0A, 0x62, 0x0D, 0x0A}));
    EXPECT_EQ(encoded("a", TextEncoding::Utf16Be), bytes({0xFE, 0xFF, 0x00, 0x61}));
    EXPECT_EQ(encoded("a", TextEncoding::Utf16Le), bytes({0xFF, 0xFE, 0x61, 0x00}));
    EXPECT_EQ(encoded("😀", TextEncoding::Utf16Le), bytes({0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}));
    EXPECT_EQ(encoded("😀", TextEncoding::Utf16Be), bytes({0xFE, 0xFF, 0xD8, 0x3D, 0xDE, 0x00}));
    EXPECT_EQ(encoded("é€\U0010FFFF", TextEncoding::Utf16Be),
              bytes({0xFE, 0xFF, 0x00, 0xE9, 0x20, 0xAC, 0xDB, 0xFF, 0xDF, 0xFF}));
    // A U+FFFD left by decoding is an ordinary character.
    const std::string repaired = decode_text("x\xFFy", TextEncoding::Utf8);
    EXPECT_EQ(encoded(repaired, TextEncoding::Utf8), "x\xEF\xBF\xBDy");
    EXPECT_EQ(encoded(repaired, TextEncoding::Utf16Le), bytes({0xFF, 0xFE, 0x78, 0x00, 0xFD, 0xFF, 0x79, 0x00}));
    EXPECT_EQ(encode_document(repaired, TextEncoding::Cp1251), unexpected(refusal("windows-1251")));
}

TEST(EncodeSingleByte, EuroAndRefusalsNamingTheEncoding)
{
    EXPECT_EQ(encoded("€", TextEncoding::Cp1252), "\x80");
    EXPECT_EQ(encoded("€", TextEncoding::Cp1251), "\x88");
    EXPECT_EQ(encode_document("€", TextEncoding::Cp866), unexpected(refusal("IBM866")));
    EXPECT_EQ(encode_document("€", TextEncoding::Cp1252), "\x80");
    EXPECT_EQ(encode_document("€", TextEncoding::Cp866), unexpected(refusal("IBM866")));

    // The turned comma of Uzbek Latin is in none of them, wherever it stands.
    const std::string uzbek = "O\u02BBzbekiston";
    EXPECT_EQ(encode_document(uzbek, TextEncoding::Cp1251), unexpected(refusal("windows-1251")));
    EXPECT_EQ(encode_document(uzbek, TextEncoding::Cp1252), unexpected(refusal("windows-1252")));
    EXPECT_EQ(encode_document(uzbek, TextEncoding::Cp866), unexpected(refusal("IBM866")));
    EXPECT_EQ(encode_document("abc\u02BB", TextEncoding::Cp1251), unexpected(refusal("windows-1251")));
    EXPECT_EQ(encode_document("\u02BB", TextEncoding::Cp1252), unexpected(refusal("windows-1252")));
    EXPECT_EQ(encode_document("\U0001F600", TextEncoding::Cp1252), unexpected(refusal("windows-1252")));
    // Uzbek Cyrillic қ is in neither Cyrillic code page.
    EXPECT_EQ(encode_document("Тошкент қишлоғи", TextEncoding::Cp1251), unexpected(refusal("windows-1251")));
    EXPECT_EQ(encode_document("Тошкент қишлоғи", TextEncoding::Cp866), unexpected(refusal("IBM866")));

    for (TextEncoding e : SINGLE_BYTE) {
        const std::string ascii = "int x = 0;\r\n\tx++;\x7F";
        EXPECT_EQ(encoded(ascii, e), ascii);
    }
    EXPECT_EQ(encoded("Привет", TextEncoding::Cp1251), "\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(encoded("Привет", TextEncoding::Cp866), "\x8F\xE0\xA8\xA2\xA5\xE2");
    EXPECT_EQ(encoded("Grüße", TextEncoding::Cp1252), "Gr\xFC\xDF"
                                                      "e");
}

TEST(RoundTrip, DecodeJoinEncodeGivesTheFileBack)
{
    // What each encoding can hold: all of Unicode for the UTF members, the
    // code page's repertoire for the others. A lone CR stays inside its line.
    const std::string utf_text = "Salom, dunyo! O\u02BBzbekiston\tПривет\rмир €😀 \U0010FFFF\uFFFE x";
    std::string upper_half;
    for (int b = 0x80; b < 0x100; ++b) upper_half.push_back(static_cast<char>(b));
    for (TextEncoding e : ALL_ENCODINGS) {
        const bool single = e == TextEncoding::Cp1251 || e == TextEncoding::Cp1252 || e == TextEncoding::Cp866;
        const std::string text = single ? "Line one\r" + decode_text(upper_half, e) : utf_text;
        for (LineEnding ending : {LineEnding::CrLf, LineEnding::Lf}) {
            SCOPED_TRACE(std::string(encoding_label(e)) + (ending == LineEnding::CrLf ? " CR LF" : " LF"));
            const std::string sep = ending == LineEnding::CrLf ? "\r\n" : "\n";
            for (const std::string& body : {text + sep + "second" + sep + sep, sep, sep + text}) {
                const std::string file = encoded(body, e);
                ASSERT_EQ(detect_line_ending(file, e), ending);
                const Buffer buffer(read_lines(file, e));
                EXPECT_EQ(encoded(join_lines(buffer, ending), e), file);
            }
            // A single line without any break.
            const std::string file = encoded(text, e);
            EXPECT_EQ(encoded(join_lines(Buffer(read_lines(file, e)), detect_line_ending(file, e)), e), file);
        }
    }
}

TEST(RoundTrip, MixedLineEndsComeBackAsCrLf)
{
    const std::string file = "one\r\ntwo\nthree\r\n\nfour";
    ASSERT_EQ(detect_line_ending(file, TextEncoding::Utf8), LineEnding::CrLf);
    const Buffer buffer(read_lines(file, TextEncoding::Utf8));
    EXPECT_EQ(buffer.line_count(), 5u);
    EXPECT_EQ(encoded(join_lines(buffer, LineEnding::CrLf), TextEncoding::Utf8), "one\r\ntwo\r\nthree\r\n\r\nfour");
}

TEST(RoundTrip, Utf16CrLfComesBackAsCrLf)
{
    for (TextEncoding e : {TextEncoding::Utf16Le, TextEncoding::Utf16Be}) {
        const std::string file = encoded("a\r\nb\r\n", e);
        ASSERT_EQ(detect_line_ending(file, e), LineEnding::CrLf);
        const Buffer buffer(read_lines(file, e));
        EXPECT_EQ(join_lines(buffer, LineEnding::CrLf), "a\r\nb\r\n");
        EXPECT_EQ(encoded(join_lines(buffer, LineEnding::CrLf), e), file);
    }
}

namespace {

const std::string RUSSIAN =
    "Вчера вечером мы долго гуляли по старому парку. Листья уже пожелтели, и ветер медленно кружил их над "
    "дорожками. Бабушка рассказывала нам о том, как в молодости она работала учительницей в маленькой деревне "
    "у реки. Зимой дети приходили в школу на лыжах, а весной помогали взрослым сажать картошку и капусту.\r\n";

// Written as Uzbek Cyrillic files in these code pages usually are: қ, ғ and
// ҳ, which neither code page has, replaced by к, г and х.
const std::string UZBEK =
    "Бугун эрталаб онам билан бозорга бордик. Бозорда олма, узум, анор ва ковун сотилаётган эди. Сотувчилар ўз "
    "махсулотларини мактаб, харидорларни чакиришарди. Биз ўзимизга керакли нарсаларни олиб, уйга кайтдик. "
    "Кечкурун бутун оила дастурхон атрофида йигилиб, ширин чой ичдик ва кун бўйи кўрганларимиз хакида гаплашдик.\n";

const std::string FRENCH =
    "Le matin, nous sommes allés au marché près de la rivière. Les légumes étaient frais et les fruits très "
    "mûrs. Ma grand-mère a acheté des pêches, des poires et un gâteau à la crème. Ensuite, nous avons pris un "
    "café dans une petite brasserie où le garçon nous a raconté l'histoire du quartier. C'était une journée "
    "agréable, malgré la pluie.\r\n";

const std::string GERMAN =
    "Gestern Abend sind wir durch die Straßen der Altstadt spaziert. Die Häuser sind über dreihundert Jahre alt, "
    "und die Brücke über den Fluss wurde nach dem Krieg wieder aufgebaut. Wir haben in einem kleinen Café Kuchen "
    "gegessen und heiße Schokolade getrunken. Später erzählte uns ein älterer Herr, wie schön die Stadt früher "
    "gewesen sei.\n";

// KOI8-R puts the Cyrillic letters in this order from C0 (small) and E0 (capital).
std::string koi8r(std::u32string_view text)
{
    const std::u32string_view order = U"юабцдефгхийклмнопярстужвьызшэщчъ";
    std::string out;
    for (char32_t c : text) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c >= U'а' && c <= U'я') {
            out.push_back(static_cast<char>(0xC0 + order.find(c)));
        } else {
            out.push_back(static_cast<char>(0xE0 + order.find(static_cast<char32_t>(c + (U'а' - U'А')))));
        }
    }
    return out;
}

}  // namespace

TEST(DetectEncoding, RealisticText)
{
    for (const std::string* text : {&RUSSIAN, &UZBEK}) {
        const std::string cp1251 = encoded(*text, TextEncoding::Cp1251);
        const std::string cp866 = encoded(*text, TextEncoding::Cp866);
        ASSERT_GT(cp1251.size(), 300u);
        EXPECT_EQ(detect_encoding(cp1251), TextEncoding::Cp1251);
        EXPECT_EQ(detect_encoding(cp866), TextEncoding::Cp866);
        EXPECT_EQ(decode_text(cp866, detect_encoding(cp866)), *text);
    }
    for (const std::string* text : {&FRENCH, &GERMAN}) {
        const std::string cp1252 = encoded(*text, TextEncoding::Cp1252);
        ASSERT_GT(cp1252.size(), 300u);
        EXPECT_EQ(detect_encoding(cp1252), TextEncoding::Cp1252);
        EXPECT_EQ(decode_text(cp1252, detect_encoding(cp1252)), *text);
        EXPECT_EQ(detect_encoding(*text), TextEncoding::Utf8);
        EXPECT_EQ(detect_encoding(encoded(*text, TextEncoding::Utf8Bom)), TextEncoding::Utf8Bom);
    }
    EXPECT_EQ(detect_encoding(RUSSIAN + UZBEK), TextEncoding::Utf8);
    EXPECT_EQ(detect_encoding(encoded(UZBEK, TextEncoding::Utf8Bom)), TextEncoding::Utf8Bom);

    // The detector answers ISO-8859-15 for this (€ and œ sit where
    // windows-1252 has ¤ and ½); the editor reads it as windows-1252.
    const std::string latin9 = encoded("Le prix est de 20 ¤ pour ½uvre et c½ur, à la fête. Ça coûte 5 ¤ de plus.",
                                       TextEncoding::Cp1252);
    EXPECT_EQ(detect_encoding(latin9), TextEncoding::Cp1252);

    // KOI8-R is outside the editor's encodings: UTF-8, every byte malformed.
    const std::string koi = koi8r(U"Вчера вечером мы долго гуляли по старому парку. Листья уже пожелтели, и ветер "
                                  U"медленно кружил их над дорожками. Бабушка рассказывала нам о том, как в молодости "
                                  U"она работала учительницей в маленькой деревне у реки.");
    EXPECT_EQ(detect_encoding(koi), TextEncoding::Utf8);
    const std::string shown = decode_text(koi, TextEncoding::Utf8);
    EXPECT_EQ(shown.substr(0, 15), "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
}

namespace {

std::string times(std::size_t count, std::string_view piece)
{
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += piece;
    return out;
}

std::string utf16le(std::initializer_list<char16_t> units)
{
    std::string out;
    for (char16_t u : units) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    }
    return out;
}

}  // namespace

// Long texts go through the codecs in blocks, a character of two bytes may
// straddle two of them, and a block holding anything unusual is done again
// character by character: every character must come out the same wherever
// it stands, first, last or across a block's edge.
TEST(EncodeDocument, EveryPlaceInALongText)
{
    for (std::size_t k = 0; k < 80; ++k) {
        SCOPED_TRACE(k);
        const std::string a(k, 'a');
        EXPECT_EQ(encoded(a + "Привет мир" + a, TextEncoding::Cp1251), a + "\xCF\xF0\xE8\xE2\xE5\xF2 \xEC\xE8\xF0" + a);
        EXPECT_EQ(encoded(a + "€—Жж", TextEncoding::Cp1251), a + "\x88\x97\xC6\xE6");
        EXPECT_EQ(encoded(times(k, "Ж") + "░", TextEncoding::Cp866), std::string(k, '\x86') + "\xB0");
        EXPECT_EQ(encoded(times(k, "é") + a, TextEncoding::Cp1252), std::string(k, '\xE9') + a);

        // One character the code page lacks refuses the whole text, wherever it is.
        EXPECT_EQ(encode_document(a + "\u02BB" + a, TextEncoding::Cp1252), unexpected(refusal("windows-1252")));
        EXPECT_EQ(encode_document(a + "\u02BB", TextEncoding::Cp1252), unexpected(refusal("windows-1252")));
        EXPECT_EQ(encode_document(times(k, "ж") + "қж", TextEncoding::Cp1251), unexpected(refusal("windows-1251")));
        EXPECT_EQ(encode_document(a + "€" + a, TextEncoding::Cp866), unexpected(refusal("IBM866")));
        EXPECT_EQ(encode_document(a + "😀", TextEncoding::Cp1251), unexpected(refusal("windows-1251")));
        // So does broken UTF-8: a continuation byte alone, a lead byte without
        // one, an overlong form of ASCII.
        EXPECT_EQ(encode_document(a + "\x80" + a, TextEncoding::Cp1251), unexpected(refusal("windows-1251")));
        EXPECT_EQ(encode_document(a + "\xC1\xBF" + a, TextEncoding::Cp1252), unexpected(refusal("windows-1252")));
        EXPECT_EQ(encode_document(a + "\xD0" + a, TextEncoding::Cp1251), unexpected(refusal("windows-1251")));
        EXPECT_EQ(encode_document(a + "\xD0", TextEncoding::Cp1251), unexpected(refusal("windows-1251")));

        const std::string a16 = times(k, bytes({0x61, 0x00}));
        EXPECT_EQ(encoded(a + "😀Ж", TextEncoding::Utf16Le),
                  "\xFF\xFE" + a16 + bytes({0x3D, 0xD8, 0x00, 0xDE, 0x16, 0x04}));
        EXPECT_EQ(encoded(times(k, "Ж") + "€😀", TextEncoding::Utf16Be),
                  "\xFE\xFF" + times(k, "\x04\x16") + bytes({0x20, 0xAC, 0xD8, 0x3D, 0xDE, 0x00}));
        EXPECT_EQ(encoded(a + "\xC3(", TextEncoding::Utf16Le), "\xFF\xFE" + a16 + bytes({0xFD, 0xFF, 0x28, 0x00}));
    }
}

TEST(DecodeText, EveryPlaceInALongText)
{
    for (std::size_t k = 0; k < 40; ++k) {
        SCOPED_TRACE(k);
        const std::string a(k, 'a');
        const std::string a16 = times(k, utf16le({u'a'}));
        EXPECT_EQ(decode_text(a16 + utf16le({0xD83D, 0xDE00, u'b'}), TextEncoding::Utf16Le), a + "😀b");
        EXPECT_EQ(decode_text(a16 + utf16le({0xD83D, u'b'}), TextEncoding::Utf16Le), a + "\uFFFDb");
        EXPECT_EQ(decode_text(a16 + utf16le({0xD83D}), TextEncoding::Utf16Le), a + "\uFFFD");
        EXPECT_EQ(decode_text(a16 + utf16le({0xDE00, u'b'}), TextEncoding::Utf16Le), a + "\uFFFDb");
        EXPECT_EQ(decode_text(times(k, utf16le({u'Ж'})) + utf16le({u'€', u'a'}), TextEncoding::Utf16Le),
                  times(k, "Ж") + "€a");
        EXPECT_EQ(decode_text(times(k, "\x04\x16") + bytes({0xD8, 0x3D, 0xDE, 0x00, 0x00}), TextEncoding::Utf16Be),
                  times(k, "Ж") + "😀");
        EXPECT_EQ(decode_text(a + "\xCF\xF0\x88", TextEncoding::Cp1251), a + "Пр€");
        EXPECT_EQ(decode_text(std::string(k, '\xB0') + a, TextEncoding::Cp866), times(k, "░") + a);
    }
}
