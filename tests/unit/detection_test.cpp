// Encoding detection on texts as people write them: a set of real-looking
// files in the languages and code pages zep is used with (tests/data/detection,
// each stored in the encoding it tests, the expected answer in its name),
// large ASCII files with a few non-ASCII lines deep inside, and the sample a
// large file is judged on. zep's answers are compared with what the
// statistical detector alone answers.

#include "encoding/codec.hpp"
#include "encoding/detect.hpp"
#include "encoding/scorer.hpp"
#include "support/files.hpp"

#include <gtest/gtest.h>

#include <uchardet.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "text/utf8.hpp"

namespace {

namespace fs = std::filesystem;

const fs::path DATA = fs::path(ZEP_TEST_DATA) / "detection";

struct Sample {
    std::string name;
    std::string bytes;
    TextEncoding expected;
};

// "ru-letter.cp1251.txt" expects windows-1251: the part after the first dot.
std::optional<TextEncoding> expected_of(const std::string& name)
{
    const std::size_t dot = name.find('.');
    const std::string tag = name.substr(dot + 1, name.find('.', dot + 1) - dot - 1);
    if (tag == "utf8") return TextEncoding::Utf8;
    if (tag == "cp1251") return TextEncoding::Cp1251;
    if (tag == "cp1252") return TextEncoding::Cp1252;
    if (tag == "cp866") return TextEncoding::Cp866;
    return std::nullopt;
}

std::vector<Sample> stored_samples()
{
    std::vector<Sample> samples;
    for (const fs::directory_entry& entry : fs::directory_iterator(DATA)) {
        const std::string name = entry.path().filename().string();
        if (name == "README") continue;
        const std::optional<TextEncoding> expected = expected_of(name);
        if (!expected) {
            ADD_FAILURE() << name << ": the name does not say which encoding it is in";
            continue;
        }
        samples.push_back({name, test_support::read_bytes(entry.path()), *expected});
    }
    std::ranges::sort(samples, {}, &Sample::name);
    return samples;
}

const std::string& stored(const std::vector<Sample>& samples, std::string_view name)
{
    const auto found = std::ranges::find(samples, name, &Sample::name);
    if (found == samples.end()) throw std::runtime_error("no sample " + std::string(name));
    return found->bytes;
}

// A line of an ASCII server log; no two alike.
std::string log_line(std::size_t n)
{
    std::array<char, 128> line;
    const int length = std::snprintf(
        line.data(), line.size(), "2024-03-%02zu 12:%02zu:%02zu INFO worker-%zu request %08zx took %zu ms status=200\n",
        n % 28 + 1, n / 60 % 60, n % 60, n % 8, n * 2654435761u % 0xFFFFFFFFu, n % 997);
    return std::string(line.data(), static_cast<std::size_t>(length));
}

// An ASCII log of about `size` bytes with the non-ASCII lines of `snippet`
// placed one by one, a line of them every `every` lines, between the
// fractions `from` and `to` of the file.
std::string log_with(std::string_view snippet, std::size_t size, double from, double to, std::size_t every = 300)
{
    std::vector<std::string_view> lines;
    for (std::size_t at = 0; at < snippet.size();) {
        const std::size_t end = std::min(snippet.find('\n', at), snippet.size());
        const std::string_view line = snippet.substr(at, end - at);
        if (std::ranges::any_of(line, [](char c) { return (c & 0x80) != 0; })) lines.push_back(line);
        at = end + 1;
    }
    std::string file;
    file.reserve(size + 4096);
    std::size_t next = 0;
    for (std::size_t n = 0; file.size() < size; ++n) {
        file += log_line(n);
        const double place = static_cast<double>(file.size()) / static_cast<double>(size);
        if (place >= from && place < to && n % every == 0 && !lines.empty()) {
            file += lines[next++ % lines.size()];
            file += '\n';
        }
    }
    return file;
}

// The files whose only non-ASCII lines sit deep inside a large ASCII file,
// made from stored samples.
std::vector<Sample> deep_samples(const std::vector<Sample>& samples)
{
    constexpr std::size_t MB = 1000 * 1000;
    return {
        {"(12 MB log, Russian lines at 75-85%)", log_with(stored(samples, "ru-letter.cp1251.txt"), 12 * MB, 0.75, 0.85),
         TextEncoding::Cp1251},
        {"(10 MB log, DOS readme lines at 90%)", log_with(stored(samples, "ru-readme.cp866.txt"), 10 * MB, 0.9, 0.92),
         TextEncoding::Cp866},
        {"(9 MB log, Icelandic lines at its start)", log_with(stored(samples, "is-saga.cp1252.txt"), 9 * MB, 0.0, 0.02),
         TextEncoding::Cp1252},
        {"(6 MB log, a Belarusian letter near its end)",
         log_with(stored(samples, "be-letter.cp1251.txt"), 6 * MB, 0.9, 1.0), TextEncoding::Cp1251},
        {"(9 MB log, a German report all through)",
         log_with(stored(samples, "de-bericht.cp1252.txt"), 9 * MB, 0.0, 1.0, 5000), TextEncoding::Cp1252},
    };
}

// What zep answered before it had a sample and a scorer: the marks, valid
// UTF-8, then the detector given the whole file in one call.
TextEncoding detector_alone(std::string_view bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF")) return TextEncoding::Utf8Bom;
    if (bytes.starts_with("\xFF\xFE")) return TextEncoding::Utf16Le;
    if (bytes.starts_with("\xFE\xFF")) return TextEncoding::Utf16Be;
    if (utf8::is_valid(bytes)) return TextEncoding::Utf8;
    uchardet_t detector = uchardet_new();
    (void)uchardet_handle_data(detector, bytes.data(), bytes.size());
    uchardet_data_end(detector);
    const TextEncoding answer = encoding_of_label(uchardet_get_charset(detector));
    uchardet_delete(detector);
    return answer;
}

// Texts both get wrong, and why. The detector calls this table ISO-8859-1,
// which is windows-1252, one of the answers zep takes as it is.
const std::set<std::string, std::less<>> KNOWN_MISSES = {"ru-table.cp866.txt"};

std::string label(TextEncoding encoding) { return std::string(encoding_label(encoding)); }

}  // namespace

TEST(DetectionSet, ZepGetsRightEveryTextTheDetectorAloneGetsRight)
{
    const std::vector<Sample> stored = stored_samples();
    ASSERT_GE(stored.size(), 40u);
    std::vector<Sample> all = stored;
    std::ranges::move(deep_samples(stored), std::back_inserter(all));

    std::size_t alone_right = 0;
    std::size_t zep_right = 0;
    for (const Sample& sample : all) {
        const TextEncoding alone = detector_alone(sample.bytes);
        const TextEncoding zep = detect_encoding(sample.bytes);
        alone_right += alone == sample.expected;
        zep_right += zep == sample.expected;
        if (alone == sample.expected) {
            EXPECT_EQ(label(zep), label(sample.expected)) << sample.name << ": the detector alone gets it right";
        } else if (!KNOWN_MISSES.contains(sample.name)) {
            EXPECT_EQ(label(zep), label(sample.expected)) << sample.name;
        }
        if (zep != sample.expected || alone != sample.expected)
            std::cout << "  " << sample.name << ": expected " << label(sample.expected) << ", detector alone "
                      << label(alone) << ", zep " << label(zep) << '\n';
    }
    std::cout << "detection set: " << all.size() << " texts; right: detector alone " << alone_right << ", zep "
              << zep_right << '\n';
    RecordProperty("texts", static_cast<int>(all.size()));
    RecordProperty("detector_alone_right", static_cast<int>(alone_right));
    RecordProperty("zep_right", static_cast<int>(zep_right));
    for (const std::string& miss : KNOWN_MISSES)
        EXPECT_TRUE(std::ranges::any_of(stored, [&](const Sample& s) { return s.name == miss; })) << miss;
}

namespace {

// Cyrillic text (UTF-8) in KOI8-R or ISO-8859-5, two code pages zep does
// not have; what they lack becomes '?'.
std::string in_foreign_code_page(std::string_view text, bool koi8)
{
    const std::u32string_view koi8_order = U"юабцдефгхийклмнопярстужвьызшэщчъ";
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const char32_t c = utf8::next(text, at);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (koi8 && c >= U'а' && c <= U'я') {
            out += static_cast<char>(0xC0 + koi8_order.find(c));
        } else if (koi8 && c >= U'А' && c <= U'Я') {
            out += static_cast<char>(0xE0 + koi8_order.find(static_cast<char32_t>(c + (U'а' - U'А'))));
        } else if (!koi8 && c >= 0x401 && c <= 0x45F && c != 0x40D && c != 0x450 && c != 0x45D) {
            out += static_cast<char>(c - 0x360);
        } else {
            out += '?';
        }
    }
    return out;
}

}  // namespace

// The scorer on its own, for every text of the set and the same text in
// every code page that can hold it: it may abstain, but never names another
// code page; and text in UTF-8 (valid or not), KOI8-R or ISO-8859-5 never
// reads as one.
TEST(CodePageScorer, NeverNamesTheWrongCodePage)
{
    std::size_t named = 0;
    std::size_t asked = 0;
    for (const Sample& sample : stored_samples()) {
        if (sample.expected == TextEncoding::Utf8) {
            EXPECT_EQ(code_page_by_reading(sample.bytes), std::nullopt) << sample.name;
            continue;
        }
        const std::string text = decode_text(sample.bytes, sample.expected);
        EXPECT_EQ(code_page_by_reading(text), std::nullopt) << sample.name << " in UTF-8";
        if (sample.expected != TextEncoding::Cp1252) {
            EXPECT_EQ(code_page_by_reading(in_foreign_code_page(text, true)), std::nullopt)
                << sample.name << " in KOI8-R";
            EXPECT_EQ(code_page_by_reading(in_foreign_code_page(text, false)), std::nullopt)
                << sample.name << " in ISO-8859-5";
        }
        for (const TextEncoding page : {TextEncoding::Cp1251, TextEncoding::Cp1252, TextEncoding::Cp866}) {
            const auto bytes = encode_text(text, page);
            if (!bytes) continue;
            const std::optional<TextEncoding> answer = code_page_by_reading(*bytes);
            ++asked;
            named += answer.has_value();
            if (answer) {
                EXPECT_EQ(label(*answer), label(page)) << sample.name << " in " << label(page);
            }
        }
    }
    std::cout << "scorer: named the code page of " << named << " of " << asked << " texts, never a wrong one\n";
    // Abstaining is allowed, but a scorer that always abstains is no scorer.
    EXPECT_GE(named * 10, asked * 9);
}

// Each thing text does not do lowers a reading's score: the same bytes
// read better without it.
TEST(CodePageScorer, WhatTextDoesNotDoReadsWorse)
{
    struct Case {
        const char* what;
        std::string_view better;
        std::string_view worse;
        std::size_t page;  // 0 windows-1251, 1 windows-1252, 2 IBM866
    };
    const Case cases[] = {
        {"odd case pattern", "\xEF\xF0\xE8\xE2\xE5\xF2 \xEC\xE8\xF0", "\xEF\xD0\xE8\xC2\xE5\xD2 \xEC\xC8\xF0", 0},
        {"Cyrillic inside a Latin word", "Caf\xE9 au lait", "Caf\xE9 au lait", 1},
        {"unusual letter pairs", "\xEF\xF0\xE8\xE2\xE5\xF2", "\xFB\xFA\xFC\xF9\xFB\xE9", 0},
        {"a symbol between letters", "r\xE9sum\xE9", "r\xA4sum\xA4", 1},
        {"a control character", "na\xEFve", "na\x81ve", 1},
        {"box drawing that does not join", "\xC9\xCD\xCD\xCD\xBB", "\xC9\xB5\xD0\xBE\xBB", 2},
        {"box drawing against a letter", "\xB3 \xA0\xA1\xA2 \xB3", "\xB3\xA0\xA1\xA2\xB3", 2},
    };
    for (const Case& c : cases) {
        const double better = code_page_scores(c.better)[c.page];
        // The Cyrillic-inside-Latin case compares two readings of one text.
        const double worse = std::string_view(c.what).starts_with("Cyrillic") ? code_page_scores(c.worse)[0]
                                                                              : code_page_scores(c.worse)[c.page];
        EXPECT_GT(better, worse + 0.5) << c.what;
        EXPECT_LT(worse, 0) << c.what;
    }
    EXPECT_EQ(code_page_scores("plain ASCII"), (std::array<double, 3>{}));
    // A lone letter that is a word in every reading (French à, Russian а)
    // decides nothing.
    EXPECT_EQ(code_page_by_reading("Voir \xE0 la page 3, \xE0 droite."), std::nullopt);
}

TEST(DetectionSample, ThirtyMegabytesOfAsciiWithCp1251LinesNearTheEnd)
{
    const std::vector<Sample> samples = stored_samples();
    const std::string file = log_with(stored(samples, "ru-mail.cp1251.eml"), 30 * 1000 * 1000, 0.97, 0.98, 2000);
    ASSERT_GT(file.size(), 30u * 1000 * 1000);
    EXPECT_EQ(label(detect_encoding(file)), "CP1251");
}

namespace {

// Line n of a file where two lines in three are Russian in windows-1251,
// the line's number at its end. The lines have every length; some Russian
// ones start with a letter, others after some ASCII: a line start falls at
// every place of an eight-byte word, after an ASCII line or a Russian one.
std::string numbered_line(std::size_t n)
{
    const std::string_view russian = "\xC2\xF7\xE5\xF0\xE0 \xEC\xFB \xE4\xEE\xEB\xE3\xEE \xE3\xF3\xEB\xFF\xEB\xE8 ";
    std::string line = n % 3 == 1 ? std::string(russian) : "";
    line += std::string(n % 23, 'x');
    if (n % 3 == 2) line += russian;
    std::array<char, 32> number;
    std::snprintf(number.data(), number.size(), " %08zu\n", n);
    return line + number.data();
}

}  // namespace

// Above the limit the detector sees whole non-ASCII lines, in the file's
// order, from the start, the middle and the end alike, and no more than it
// should.
TEST(DetectionSample, WholeNonAsciiLinesEvenlyFromAllOverTheFile)
{
    std::string file;
    std::size_t lines = 0;
    while (file.size() < 3 * DETECTOR_LIMIT) file += numbered_line(lines++);
    const std::string sample = detection_sample(file);
    EXPECT_LE(sample.size(), DETECTOR_LIMIT + 64 * 1024);
    EXPECT_GE(sample.size(), DETECTOR_LIMIT - 64 * 1024);

    std::array<std::size_t, 10> per_tenth{};
    std::size_t previous = 0;
    bool first = true;
    for (std::size_t at = 0; at < sample.size();) {
        const std::size_t end = sample.find('\n', at);
        ASSERT_NE(end, std::string::npos) << "the sample ends inside a line";
        const std::string_view line = std::string_view(sample).substr(at, end + 1 - at);
        ASSERT_GE(line.size(), 9u);
        const std::size_t n = std::stoul(std::string(line.substr(line.size() - 9, 8)));
        ASSERT_EQ(line, numbered_line(n)) << "not a whole line of the file at " << at;
        ASSERT_NE(n % 3, 0u) << "an ASCII line in the sample";
        ASSERT_TRUE(first || n > previous) << "line " << n << " after " << previous;
        first = false;
        previous = n;
        ++per_tenth[n * 10 / lines];
        at = end + 1;
    }
    const auto [fewest, most] = std::ranges::minmax(per_tenth);
    EXPECT_GT(fewest, 0u);
    EXPECT_LE(most, fewest + fewest / 4) << "the lines are not taken evenly";
}

// A file of one enormous line (no line ends at all) still gives a bounded
// sample made of the text around its non-ASCII bytes.
TEST(DetectionSample, OneEnormousLine)
{
    std::string file(3 * DETECTOR_LIMIT, 'a');
    for (std::size_t at = 1000; at < file.size(); at += 1000 * 1000) file.replace(at, 6, "\xEF\xF0\xE8\xE2\xE5\xF2");
    const std::string sample = detection_sample(file);
    EXPECT_LE(sample.size(), DETECTOR_LIMIT + 64 * 1024);
    EXPECT_GE(std::ranges::count(sample, '\xEF'), std::ranges::count(file, '\xEF'));
    const std::string empty_sample = detection_sample(std::string(3 * DETECTOR_LIMIT, '\n'));
    EXPECT_EQ(empty_sample, "");
}
