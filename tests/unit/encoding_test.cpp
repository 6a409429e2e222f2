#include "encoding/codec.hpp"
#include "encoding/detect.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/sample_texts.hpp"
#include "text/lines.hpp"
#include "text/utf8.hpp"

using namespace std::string_literals;

namespace {

using Lines = std::vector<std::string>;

bool is_code_page(TextEncoding e) { return info_of(e).code_page != nullptr; }
bool is_utf16(TextEncoding e) { return e == TextEncoding::Utf16Le || e == TextEncoding::Utf16Be; }

std::string encoded(std::string_view text, TextEncoding e)
{
    auto file = encode_text(text, e);
    if (!file) ADD_FAILURE() << encoding_label(e) << " refused " << text;
    return file.value_or("");
}

std::string joined(const Lines& lines, LineEnding ending)
{
    return join_lines(
        lines.size(), [&](std::uint64_t row) { return std::string_view(lines[row]); }, ending);
}

unexpected<Unmappable> refused(TextEncoding e) { return unexpected(Unmappable{e}); }

// The characters of bytes 80-FF of each code page as tests/data/code_pages.txt
// gives them: data made apart from the editor's tables, by other software.
std::array<char32_t, 128> reference_upper_half(TextEncoding e)
{
    std::array<char32_t, 128> upper{};
    std::ifstream in(ZEP_TEST_DATA "/code_pages.txt");
    std::size_t found = 0;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string name;
        unsigned start = 0;
        if (!(fields >> name >> std::hex >> start) || name != info_of(e).whatwg_name) continue;
        unsigned c = 0;
        for (unsigned b = start; b < start + 16 && fields >> std::hex >> c; ++b, ++found) upper[b - 0x80] = c;
    }
    EXPECT_EQ(found, 128u) << "tests/data/code_pages.txt lacks " << info_of(e).whatwg_name;
    return upper;
}

// Documents made up from a seed: lines of runs of ASCII and of other
// characters, so that every kind of character lands at every place of the
// blocks the codecs work in. A CR never ends a line: no file can say that.
struct Generator {
    std::mt19937 rng;
    std::u32string others;  // what may stand between the ASCII runs

    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); }
    char32_t ascii() { return below(20) == 0 ? U'\t' : static_cast<char32_t>(U' ' + below(95)); }
    std::string line()
    {
        std::string text;
        for (std::size_t runs = below(4); runs-- > 0;) {
            const bool plain = below(2) == 0;
            for (std::size_t n = below(40); n-- > 0;)
                utf8::append(text, plain ? ascii() : others[below(others.size())]);
            if (below(8) == 0) text += '\r';
        }
        while (text.ends_with('\r')) text.pop_back();
        return text;
    }
    Lines lines()
    {
        Lines out(1 + below(4));
        for (std::string& l : out) l = line();
        return out;
    }
};

// Every character UTF can carry, a sample of each length; U+FEFF is left out
// as a leading one is a byte-order mark.
std::u32string unicode_sample()
{
    std::u32string out = U"éжЎʻ€—漢\uFFFD\uFFFE\uD7FF\uE000😀\U0010FFFF\u0080\u07FF\u0800";
    for (char32_t c = 0x10000; c < 0x10FFFF; c += 0x1234) out += c;
    return out;
}

std::u32string code_page_sample(TextEncoding e)
{
    std::u32string out;
    for (char16_t c : *info_of(e).code_page) out += c;
    return out;
}

}  // namespace

TEST(EncodingTable, MenuKeysLabelsAndNames)
{
    const std::array<std::string_view, 7> labels = {"UTF-8",  "UTF-8 BOM", "UTF-16 LE", "UTF-16 BE",
                                                    "CP1251", "CP1252",    "CP866"};
    const std::array<std::string_view, 7> names = {"UTF-8",        "UTF-8",        "UTF-16LE", "UTF-16BE",
                                                   "windows-1251", "windows-1252", "IBM866"};
    // The members are in menu order.
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const TextEncoding e = static_cast<TextEncoding>(i);
        EXPECT_EQ(encoding_for_menu_key(U'1' + static_cast<char32_t>(i)), e);
        EXPECT_EQ(encoding_label(e), labels[i]);
        EXPECT_EQ(info_of(e).whatwg_name, names[i]);
    }
    EXPECT_EQ(encoding_for_menu_key(U'8'), std::nullopt);
    EXPECT_EQ(encoding_for_menu_key(U'0'), std::nullopt);
}

TEST(CodePages, EveryByteReadsAndWritesAsTheReferenceSays)
{
    for (TextEncoding e : {TextEncoding::Cp1251, TextEncoding::Cp1252, TextEncoding::Cp866}) {
        SCOPED_TRACE(encoding_label(e));
        const std::array<char32_t, 128> upper = reference_upper_half(e);
        std::string all_bytes, all_text;
        for (unsigned b = 0; b < 256; ++b) {
            const std::string byte(1, static_cast<char>(b));
            const std::string text = utf8::encode(b < 0x80 ? b : upper[b - 0x80]);
            EXPECT_EQ(decode_text(byte, e), text) << std::hex << "byte " << b;
            EXPECT_EQ(encode_text(text, e), byte) << std::hex << "byte " << b;
            all_bytes += byte;
            all_text += text;
        }
        // All at once, through the codecs' blocks.
        EXPECT_EQ(decode_text(all_bytes, e), all_text);
        EXPECT_EQ(encode_text(all_text, e), all_bytes);
    }
}

TEST(DetectEncoding, MarksFirstThenValidUtf8NeverReachesTheDetector)
{
    const std::vector<std::pair<std::string, TextEncoding>> rows = {
        {"", TextEncoding::Utf8},
        // The detector would call plain ASCII "ASCII", which means windows-1252.
        {"int main() { return 0; }\r\n", TextEncoding::Utf8},
        {"Salom, dunyo! Привет, мир! 😀", TextEncoding::Utf8},
        {"\xEF\xBB\xBF", TextEncoding::Utf8Bom},
        {"\xEF\xBB\xBF\x61\xFF", TextEncoding::Utf8Bom},
        {"\xFF\xFE", TextEncoding::Utf16Le},
        {"\xFE\xFF\x00\x61"s, TextEncoding::Utf16Be},
        // A mark counts only at the very start.
        {"a\xEF\xBB\xBF", TextEncoding::Utf8},
        // UTF-16 without a mark is never guessed: here its zero bytes are ASCII.
        {encoded("Hello, world. This is plain text.", TextEncoding::Utf16Le).substr(2), TextEncoding::Utf8},
    };
    for (const auto& [file, encoding] : rows) EXPECT_EQ(detect_encoding(file), encoding) << file;
}

namespace {

// Uzbek Cyrillic as files in these code pages usually hold it: қ, ғ and ҳ,
// which neither code page has, written as к, г and х.
const std::string UZBEK =
    "Бугун эрталаб онам билан бозорга бордик. Бозорда олма, узум, анор ва ковун сотилаётган эди. Сотувчилар ўз "
    "махсулотларини мактаб, харидорларни чакиришарди. Биз ўзимизга керакли нарсаларни олиб, уйга кайтдик.\n";

// KOI8-R puts the Cyrillic letters in this order from C0 (small) and E0 (capital).
std::string koi8r(std::u32string_view text)
{
    const std::u32string_view order = U"юабцдефгхийклмнопярстужвьызшэщчъ";
    std::string out;
    for (char32_t c : text) {
        if (c < 0x80)
            out.push_back(static_cast<char>(c));
        else if (c >= U'а' && c <= U'я')
            out.push_back(static_cast<char>(0xC0 + order.find(c)));
        else
            out.push_back(static_cast<char>(0xE0 + order.find(static_cast<char32_t>(c + (U'а' - U'А')))));
    }
    return out;
}

}  // namespace

TEST(DetectEncoding, RealisticText)
{
    for (const std::string& text : {test_support::RUSSIAN, UZBEK}) {
        const std::string cp866 = encoded(text, TextEncoding::Cp866);
        EXPECT_EQ(detect_encoding(encoded(text, TextEncoding::Cp1251)), TextEncoding::Cp1251);
        EXPECT_EQ(detect_encoding(cp866), TextEncoding::Cp866);
        EXPECT_EQ(decode_text(cp866, detect_encoding(cp866)), text);
        EXPECT_EQ(detect_encoding(encoded(text, TextEncoding::Utf8Bom)), TextEncoding::Utf8Bom);
    }
    const std::string cp1252 = encoded(test_support::FRENCH, TextEncoding::Cp1252);
    EXPECT_EQ(detect_encoding(cp1252), TextEncoding::Cp1252);
    EXPECT_EQ(decode_text(cp1252, detect_encoding(cp1252)), test_support::FRENCH);
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
    EXPECT_EQ(decode_text(koi, TextEncoding::Utf8).substr(0, 6), "\uFFFD\uFFFD");
}

TEST(DetectLineEnding, OnePairAnywhereInTheFilesOwnUnits)
{
    for (TextEncoding e : {TextEncoding::Utf8, TextEncoding::Cp1251}) {
        for (const char* lf : {"", "a\nb\n", "a\rb\r", "a\n\rb"}) EXPECT_EQ(detect_line_ending(lf, e), LineEnding::Lf);
        for (const char* crlf : {"a\r\nb\r\n", "a\nb\nc\r\nd\n"})
            EXPECT_EQ(detect_line_ending(crlf, e), LineEnding::CrLf);
    }
    // UTF-16 is looked at in code units, in the file's byte order: CR LF is
    // 0D 00 0A 00 (LE) or 00 0D 00 0A (BE) at an even offset.
    constexpr auto le = TextEncoding::Utf16Le;
    constexpr auto be = TextEncoding::Utf16Be;
    const std::vector<std::tuple<std::string, TextEncoding, LineEnding>> rows = {
        {"\xFF\xFE\x61\x00\x0D\x00\x0A\x00\x62\x00"s, le, LineEnding::CrLf},
        {"\xFE\xFF\x00\x61\x00\x0D\x00\x0A"s, be, LineEnding::CrLf},
        {"\x61\x00\x0D\x00\x0A\x00"s, le, LineEnding::CrLf},
        {"\xFF\xFE\x0D\x00\x62\x00\x0A\x00"s, le, LineEnding::Lf},
        // The other byte order's units, and the same bytes at an odd offset,
        // are other characters (U+0D00 U+0A00; U+0D0D before LF).
        {"\xFF\xFE\x00\x0D\x00\x0A"s, le, LineEnding::Lf},
        {"\xFF\xFE\x0D\x0D\x0A\x00"s, le, LineEnding::Lf},
        {"\xFF\xFE\x41\x0D\x00\x0A\x00\x00"s, le, LineEnding::Lf},
    };
    for (const auto& [file, e, ending] : rows) EXPECT_EQ(detect_line_ending(file, e), ending);
}

TEST(DecodeText, MarksAndMalformedSequences)
{
    // Read as UTF-8, with or without its mark, and in place.
    const std::vector<std::pair<std::string, std::string>> utf8_rows = {
        {"", ""},
        {"\xEF\xBB\xBF", ""},
        {"\xEF\xBB\xBF\x61\r\nb", "a\r\nb"},
        // The file's mark goes, then the decoder sniffs a second one; a third is text.
        {"\xEF\xBB\xBF\xEF\xBB\xBF\x41", "A"},
        {"\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBF\x41", "\uFEFFA"},
        {"Привет, 😀", "Привет, 😀"},
        {"a\0b"s, "a\0b"s},
        // One U+FFFD for each maximal subpart.
        {"\xC3\x28", "\uFFFD("},
        {"a\xF0\x9F\x98", "a\uFFFD"},
        {"\xF0\x9F\xC3\xA9", "\uFFFDé"},
        {"\xE0\x80\x80", "\uFFFD\uFFFD\uFFFD"},
        {"\x80\xBFx\xFF\xFE", "\uFFFD\uFFFDx\uFFFD\uFFFD"},
        // A UTF-16 mark switches to the standard's decoder, where an odd last
        // byte is malformed, after a lone high surrogate only with it.
        {"\xFF\xFE\x41\x00"s, "A"},
        {"\xFE\xFF\x00\x41"s, "A"},
        {"\xEF\xBB\xBF\xFF\xFE\x41\x00"s, "A"},
        {"\xFF\xFE\x41\x00\x42"s, "A\uFFFD"},
        {"\xFF\xFE\x3D\xD8\x42", "\uFFFD"},
        {"\xFF\xFE\x3D\xD8\x41\x00"s, "\uFFFDA"},
    };
    for (const auto& [file, text] : utf8_rows) {
        for (TextEncoding e : {TextEncoding::Utf8, TextEncoding::Utf8Bom}) {
            EXPECT_EQ(decode_text(file, e), text) << file;
            EXPECT_EQ(decode_text_in_place(file, e), text) << file;
        }
        for (const EncodingInfo& info : ENCODINGS)
            EXPECT_EQ(decode_text_in_place(file, info.encoding), decode_text(file, info.encoding)) << file;
    }
    // A mark overrides a code page too, but only at the start.
    for (TextEncoding e : {TextEncoding::Cp1251, TextEncoding::Cp1252, TextEncoding::Cp866}) {
        EXPECT_EQ(decode_text("\xFF\xFE\x41\x00"s, e), "A");
        EXPECT_EQ(decode_text("\xFE\xFF\x00\x41"s, e), "A");
        EXPECT_EQ(decode_text("\xEF\xBB\xBF\x41\xC3\x28", e), "A\uFFFD(");
        EXPECT_EQ(decode_text("A\xFF\xFE", e), "A" + decode_text("\xFF", e) + decode_text("\xFE", e));
    }
}

namespace {

// A UTF-16 decoder written apart, a unit at a time: a surrogate pair is one
// character, any other surrogate U+FFFD.
std::string reference_utf16(const std::u16string& units)
{
    std::string out;
    for (std::size_t k = 0; k < units.size(); ++k) {
        char32_t c = units[k];
        const bool pair = c >= 0xD800 && c <= 0xDBFF && k + 1 < units.size() && units[k + 1] >= 0xDC00 &&
                          units[k + 1] <= 0xDFFF;
        if (pair)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++k] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        utf8::append(out, c);
    }
    return out;
}

std::string utf16_bytes(const std::u16string& units, bool big_endian)
{
    std::string out;
    for (char16_t u : units) {
        const std::array<char, 2> b = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        out += big_endian ? std::string{b[1], b[0]} : std::string{b[0], b[1]};
    }
    return out;
}

}  // namespace

TEST(DecodeText, Utf16AgreesWithAReferenceDecoder)
{
    // Runs of units of one kind, so that the decoder's blocks of ASCII, of
    // short forms and of anything else all meet their edges and surrogates.
    const std::array<std::pair<char16_t, char16_t>, 6> kinds = {
        {{0x20, 0x7E}, {0x80, 0xFF}, {0x100, 0x7FF}, {0x800, 0xFFFF}, {0xD800, 0xDBFF}, {0xDC00, 0xDFFF}}};
    for (unsigned seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        std::u16string units;
        for (int runs = 0; runs < 6; ++runs) {
            const auto [low, high] = kinds[rng() % kinds.size()];
            for (unsigned n = rng() % 24; n-- > 0;) units += static_cast<char16_t>(low + rng() % (high - low + 1u));
        }
        const std::string odd = rng() % 2 ? "\x42" : "";
        // Its own decoders take the file's own mark and drop an odd last byte.
        std::u16string own = units;
        if (!own.empty() && own.front() == 0xFEFF) own.erase(0, 1);
        for (bool big : {false, true}) {
            const TextEncoding e = big ? TextEncoding::Utf16Be : TextEncoding::Utf16Le;
            ASSERT_EQ(decode_text(utf16_bytes(units, big) + odd, e), reference_utf16(own)) << encoding_label(e);
        }
        // Sniffed from a mark, the standard's: an odd last byte is one more
        // U+FFFD, unless it ends a lone high surrogate's sequence.
        const bool lone_high_last = !units.empty() && units.back() >= 0xD800 && units.back() <= 0xDBFF;
        const std::string tail = !odd.empty() && !lone_high_last ? "\uFFFD" : "";
        for (bool big : {false, true})
            ASSERT_EQ(decode_text(utf16_bytes(u"\uFEFF" + units, big) + odd, TextEncoding::Utf8),
                      reference_utf16(units) + tail);
    }
}

TEST(EncodeText, MarksAndUtf16Forms)
{
    const std::array<std::string, 7> empty = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF", "", "", ""};
    for (const EncodingInfo& info : ENCODINGS)
        EXPECT_EQ(encoded("", info.encoding), empty[static_cast<std::size_t>(info.encoding)]);
    EXPECT_EQ(encoded("a😀", TextEncoding::Utf16Le), "\xFF\xFE\x61\x00\x3D\xD8\x00\xDE"s);
    EXPECT_EQ(encoded("é€\U0010FFFF", TextEncoding::Utf16Be), "\xFE\xFF\x00\xE9\x20\xAC\xDB\xFF\xDF\xFF"s);
}

// Every document a file can hold comes back from it byte for byte, in every
// encoding; a character the code page lacks, or a broken sequence, anywhere
// in a text keeps the whole text from being written.
TEST(RoundTrip, GeneratedDocuments)
{
    const std::array<std::string, 7> broken = {"\x80",         "\xC1\xBF", "\xD0",        "\xE2\x82",
                                               "\xF0\x9F\x98", "\xFF",     "\xED\xA0\x80"};
    for (const EncodingInfo& info : ENCODINGS) {
        const TextEncoding e = info.encoding;
        const std::u32string repertoire = is_code_page(e) ? code_page_sample(e) : unicode_sample();
        Generator generate{std::mt19937(static_cast<unsigned>(e)), repertoire};
        for (int n = 0; n < 400; ++n) {
            const LineEnding ending = n % 2 ? LineEnding::CrLf : LineEnding::Lf;
            SCOPED_TRACE(std::string(info.label) + ", document " + std::to_string(n));
            const Lines lines = generate.lines();
            const std::string text = joined(lines, ending);
            const std::string file = encoded(text, e);
            // A code page's text may start with the bytes of a mark, which wins.
            const bool marked = file.starts_with("\xEF\xBB\xBF") || file.starts_with("\xFF\xFE") ||
                                file.starts_with("\xFE\xFF");
            if (is_code_page(e) && marked) continue;
            if (!is_code_page(e)) {
                ASSERT_EQ(detect_encoding(file), e);
            }
            ASSERT_EQ(detect_line_ending(file, e), lines.size() > 1 ? ending : LineEnding::Lf);
            ASSERT_EQ(decode_text(file, e), text);
            ASSERT_EQ(decode_text_in_place(file, e), text);
            ASSERT_EQ(split_lines(text), lines);

            std::size_t at = generate.below(text.size() + 1);
            while (at < text.size() && (text[at] & 0xC0) == 0x80) ++at;
            const auto with = [&](std::string_view piece) {
                return text.substr(0, at) + std::string(piece) + text.substr(at);
            };
            const std::string damaged = with(broken[generate.below(broken.size())]);
            if (is_code_page(e)) {
                char32_t foreign;
                do {
                    foreign = unicode_sample()[generate.below(unicode_sample().size())];
                } while (repertoire.find(foreign) != std::u32string::npos);
                ASSERT_EQ(encode_text(with(utf8::encode(foreign)), e), refused(e)) << std::hex << +foreign;
                ASSERT_EQ(encode_text(damaged, e), refused(e)) << damaged;
            } else if (is_utf16(e)) {
                // Lines hold valid UTF-8; should a broken sequence reach the
                // encoder all the same, it writes U+FFFD as the decoder would.
                ASSERT_EQ(encoded(damaged, e), encoded(utf8::repair(damaged), e));
            }
        }
    }
}

TEST(SplitLines, LfCutsAndOneCrBeforeItGoes)
{
    const std::vector<std::pair<std::string, Lines>> rows = {
        {"", {""}},
        {"abc", {"abc"}},
        {"a\nb\n", {"a", "b", ""}},
        {"a\r\nb\r\n", {"a", "b", ""}},
        {"a\r\r\nb", {"a\r", "b"}},
        {"a\rb", {"a\rb"}},
        // A CR at the very end has no LF to end: it is the last line's own.
        {"x\r", {"x\r"}},
        {"\r", {"\r"}},
        {"a\r\nb\r", {"a", "b\r"}},
        {"\n\n\r\n", {"", "", "", ""}},
        {"é\r\n€\n😀", {"é", "€", "😀"}},
        {"one\r\ntwo\nthree\r\n\nfour", {"one", "two", "three", "", "four"}},
    };
    for (const auto& [text, lines] : rows) {
        EXPECT_EQ(split_lines(text), lines) << text;
        EXPECT_EQ(count_lines(text), lines.size()) << text;
    }
    EXPECT_EQ(joined({"a", "b", ""}, LineEnding::CrLf), "a\r\nb\r\n");
    EXPECT_EQ(joined({"a", "b", ""}, LineEnding::Lf), "a\nb\n");
    EXPECT_EQ(joined({"a"}, LineEnding::CrLf), "a");
}

// Counted many bytes at a time: at every length and density of line feeds,
// one more line than line feeds, and as many as splitting gives.
TEST(CountLines, OneMoreThanTheLineFeedsAtAnyLength)
{
    std::mt19937 random(7);
    for (std::size_t size : {0u, 1u, 15u, 16u, 17u, 4079u, 4080u, 4081u, 70000u}) {
        for (int density : {1, 3, 50, 1000}) {
            std::string text(size, 'x');
            for (char& c : text)
                if (static_cast<int>(random() % static_cast<unsigned>(density)) == 0) c = '\n';
            const auto feeds = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
            ASSERT_EQ(count_lines(text), feeds + 1) << size << " bytes, density " << density;
            ASSERT_EQ(split_lines(text).size(), feeds + 1);
        }
    }
}
