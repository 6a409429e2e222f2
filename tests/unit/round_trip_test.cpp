// Open a file, press Ctrl+S, and the same bytes come back; or, exactly when
// decoding could not read some of them, the first Ctrl+S warns and writes
// nothing, and only a second one saves (and the warning was no false alarm:
// the bytes then differ). Over many generated files in all seven encodings,
// with LF and CR LF, with and without a final line break, ending in a CR,
// empty, only a byte-order mark, and with bytes no decoder reads.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "editor/dispatch.hpp"
#include "editor/document.hpp"
#include "editor/messages.hpp"
#include "encoding/codec.hpp"
#include "encoding/detect.hpp"
#include "support/files.hpp"
#include "text/utf8.hpp"

namespace {

using test_support::read_bytes;
using test_support::TempDir;
using test_support::write_bytes;

constexpr TextEncoding ALL[] = {TextEncoding::Utf8,    TextEncoding::Utf8Bom, TextEncoding::Utf16Le,
                                TextEncoding::Utf16Be, TextEncoding::Cp1251,  TextEncoding::Cp1252,
                                TextEncoding::Cp866};

std::string hex(std::string_view bytes)
{
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += {DIGITS[b >> 4], DIGITS[b & 15], ' '};
    }
    return out;
}

// Characters the encoding can hold: for a code page its whole upper half;
// for the UTF members a mix that includes NUL, a real U+FFFD, U+FEFF (also
// first in the text, where it looks like a mark) and a lone CR.
std::vector<std::string> repertoire(TextEncoding encoding)
{
    std::vector<std::string> chars = {"a", "z", " ", "\t", "\r", std::string(1, '\0'), "0"};
    if (info_of(encoding).code_page) {
        for (int b = 0x80; b < 0x100; ++b) chars.push_back(decode_text(std::string(1, static_cast<char>(b)), encoding));
    } else {
        for (const char* c : {"é", "Ж", "ў", "€", "😀", "\uFFFD", "\uFEFF", "\uFFFE", "\U0010FFFF"}) chars.push_back(c);
    }
    return chars;
}

struct Sample {
    std::string bytes;
    std::string description;
};

Sample make_file(std::mt19937& rng, TextEncoding encoding)
{
    const std::vector<std::string> chars = repertoire(encoding);
    const std::string separator = rng() % 2 ? "\r\n" : "\n";
    const int shape = static_cast<int>(rng() % 10);
    std::string text;
    std::string description = std::string(encoding_label(encoding)) + (separator == "\n" ? " LF" : " CR LF");
    if (shape == 0) {
        description += ", empty";
    } else if (shape == 1) {
        description += ", only the mark";
    } else {
        const std::size_t lines = 1 + rng() % 5;
        for (std::size_t row = 0; row < lines; ++row) {
            if (row > 0) text += separator;
            const std::size_t length = rng() % 8;
            std::string line;
            for (std::size_t k = 0; k < length; ++k) line += chars[rng() % chars.size()];
            // A CR before a line break would make it a CR LF.
            while (!line.empty() && line.back() == '\r') line.pop_back();
            text += line;
        }
        switch (rng() % 3) {
        case 0: description += ", no final break"; break;
        case 1:
            text += separator;
            description += ", final break";
            break;
        default:
            text += '\r';
            description += ", final CR";
            break;
        }
    }
    std::string bytes = shape == 0 ? std::string() : encode_text(text, encoding).value();
    if (shape >= 2 && rng() % 3 == 0) {
        // Bytes no decoder of the encoding reads as they are: an invalid
        // UTF-8 byte or a cut sequence, a lone surrogate, an odd last byte;
        // in a code page, anything at all (which may change the detection).
        static constexpr std::string_view BROKEN[] = {"\xFF",          "\x80",          "\xE2\x82",
                                                      {"\x00\xD8", 2}, {"\xDC\x00", 2}, "\xC3"};
        const std::string piece(BROKEN[rng() % std::size(BROKEN)]);
        const bool at_end = rng() % 2;
        const std::size_t at = at_end ? bytes.size() : rng() % (bytes.size() + 1);
        bytes.insert(at, piece);
        description += ", with " + hex(piece) + "at " + std::to_string(at);
    }
    return {bytes, description};
}

// Files mixing CR LF with bare LF are written back with CR LF throughout:
// they are outside the promise.
bool mixes_line_ends(std::string_view bytes)
{
    const TextEncoding encoding = detect_encoding(bytes);
    const std::string text = decode_text(bytes, encoding);
    bool bare = false;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        bare = bare || at == 0 || text[at - 1] != '\r';
    return bare && detect_line_ending(bytes, encoding) == LineEnding::CrLf;
}

void press_ctrl_s(Editor& editor)
{
    const term::KeyEvent ctrl_s{term::KeyCode::character(U's'), term::CONTROL, term::KeyEventKind::Press};
    handle_event(editor, ctrl_s, TimePoint{});
}

TEST(RoundTrip, AnUneditedSaveWritesTheSameBytesOrWarnsExactlyWhenBytesWereUnreadable)
{
    TempDir dir;
    const std::filesystem::path path = dir / "hujjat.txt";
    int warned = 0;
    int identical = 0;
    for (unsigned seed = 1; seed <= 1500; ++seed) {
        std::mt19937 rng(seed);
        const Sample sample = make_file(rng, ALL[rng() % std::size(ALL)]);
        if (mixes_line_ends(sample.bytes)) continue;
        SCOPED_TRACE("seed " + std::to_string(seed) + ": " + sample.description + "; file " + hex(sample.bytes));
        write_bytes(path, sample.bytes);

        Editor editor;
        auto opened = open_document(path);
        ASSERT_TRUE(opened.has_value());
        editor.buffer = std::move(*opened);
        const std::uint64_t unreadable = editor.buffer.unreadable_bytes;
        press_ctrl_s(editor);
        if (unreadable == 0) {
            ASSERT_EQ(editor.status_message.text, "Saqlandi: hujjat.txt");
            ASSERT_EQ(hex(read_bytes(path)), hex(sample.bytes));
            ++identical;
            continue;
        }
        ASSERT_EQ(editor.status_message.text, msg::unreadable_bytes(unreadable));
        ASSERT_EQ(read_bytes(path), sample.bytes);
        press_ctrl_s(editor);
        ASSERT_EQ(editor.status_message.text, "Saqlandi: hujjat.txt");
        ASSERT_NE(read_bytes(path), sample.bytes);
        ++warned;
    }
    // Both sides of the promise were tried, many times.
    EXPECT_GT(identical, 500);
    EXPECT_GT(warned, 100);
}

}  // namespace
