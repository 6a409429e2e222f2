#include "encoding/detect.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <uchardet.h>

#include "encoding/scorer.hpp"
#include "text/utf8.hpp"

namespace {

constexpr std::string_view UTF8_MARK = "\xEF\xBB\xBF";
constexpr std::string_view UTF16LE_MARK = "\xFF\xFE";
constexpr std::string_view UTF16BE_MARK = "\xFE\xFF";

// The WHATWG labels of the three code pages, which is how the detector's
// answer is read. ISO-8859-15 joins windows-1252: the detector tells the
// Western European code pages apart by the few characters in which they
// differ, where the editor only knows windows-1252 for all of them.
struct Label {
    std::string_view name;
    TextEncoding encoding;
};

constexpr std::array LABELS = {
    Label{"cp1251", TextEncoding::Cp1251},
    Label{"windows-1251", TextEncoding::Cp1251},
    Label{"x-cp1251", TextEncoding::Cp1251},
    Label{"ansi_x3.4-1968", TextEncoding::Cp1252},
    Label{"ascii", TextEncoding::Cp1252},
    Label{"cp1252", TextEncoding::Cp1252},
    Label{"cp819", TextEncoding::Cp1252},
    Label{"csisolatin1", TextEncoding::Cp1252},
    Label{"ibm819", TextEncoding::Cp1252},
    Label{"iso-8859-1", TextEncoding::Cp1252},
    Label{"iso-ir-100", TextEncoding::Cp1252},
    Label{"iso8859-1", TextEncoding::Cp1252},
    Label{"iso88591", TextEncoding::Cp1252},
    Label{"iso_8859-1", TextEncoding::Cp1252},
    Label{"iso_8859-1:1987", TextEncoding::Cp1252},
    Label{"l1", TextEncoding::Cp1252},
    Label{"latin1", TextEncoding::Cp1252},
    Label{"us-ascii", TextEncoding::Cp1252},
    Label{"windows-1252", TextEncoding::Cp1252},
    Label{"x-cp1252", TextEncoding::Cp1252},
    Label{"iso-8859-15", TextEncoding::Cp1252},
    Label{"866", TextEncoding::Cp866},
    Label{"cp866", TextEncoding::Cp866},
    Label{"csibm866", TextEncoding::Cp866},
    Label{"ibm866", TextEncoding::Cp866},
};

bool is_label_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

TextEncoding encoding_of_label(std::string_view answer)
{
    while (!answer.empty() && is_label_space(answer.front())) answer.remove_prefix(1);
    while (!answer.empty() && is_label_space(answer.back())) answer.remove_suffix(1);
    for (const Label& label : LABELS) {
        if (label.name.size() != answer.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < answer.size() && same; ++i) same = ascii_lower(answer[i]) == label.name[i];
        if (same) return label.encoding;
    }
    return TextEncoding::Utf8;
}

namespace {

struct DetectorDeleter {
    void operator()(uchardet* detector) const { uchardet_delete(detector); }
};

// The detector is fed in pieces: given a whole large file in one call it
// runs several times slower. When it makes up its mind early it ignores what
// follows, so the remaining pieces cost little; on Cyrillic text it rarely
// does, and reads about 12 MB a second, which is why a large file is sampled.
constexpr std::size_t PIECE = std::size_t{64} << 10;

std::string ask_detector(std::string_view bytes)
{
    const std::unique_ptr<uchardet, DetectorDeleter> detector(uchardet_new());
    if (!detector) return {};
    for (std::size_t at = 0; at < bytes.size(); at += PIECE) {
        // A failure to take the data (out of memory) leaves the answer
        // empty, which means UTF-8.
        if (uchardet_handle_data(detector.get(), bytes.data() + at, std::min(PIECE, bytes.size() - at)) != 0) return {};
    }
    uchardet_data_end(detector.get());
    const char* answer = uchardet_get_charset(detector.get());
    return answer ? answer : "";
}

constexpr std::size_t STRETCHES = 64;
constexpr std::size_t LONGEST_LINE = std::size_t{64} << 10;

// The first byte above 0x7F in [from, to), or `to`: eight bytes at a time,
// since a large file is mostly ASCII.
std::size_t find_non_ascii(std::string_view bytes, std::size_t from, std::size_t to)
{
    constexpr std::uint64_t HIGH = 0x8080808080808080ULL;
    for (; from + 8 <= to; from += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + from, sizeof word);
        if (const std::uint64_t high = word & HIGH) {
            const int bit = std::endian::native == std::endian::big ? std::countl_zero(high) : std::countr_zero(high);
            return from + static_cast<std::size_t>(bit) / 8;
        }
    }
    while (from < to && static_cast<unsigned char>(bytes[from]) < 0x80) ++from;
    return from;
}

// The end of the line that holds `at` (past its LF), looking no further
// than `limit`.
std::size_t line_end(std::string_view bytes, std::size_t at, std::size_t limit)
{
    const void* lf = std::memchr(bytes.data() + at, '\n', limit - at);
    return lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - bytes.data()) + 1 : limit;
}

struct Span {
    std::size_t begin;
    std::size_t end;
};

// The line that holds the byte at `at`, within [from, to) and at most
// LONGEST_LINE long.
Span line_around(std::string_view bytes, std::size_t at, std::size_t from, std::size_t to)
{
    const std::size_t reach = LONGEST_LINE / 2;
    const std::size_t back = at - from > reach ? at - reach : from;
    std::size_t begin = at;
    while (begin > back && bytes[begin - 1] != '\n') --begin;
    return {begin, line_end(bytes, at, std::min(to, at + reach))};
}

}  // namespace

std::string detection_sample(std::string_view bytes)
{
    // The file cut into stretches at line starts. Each round takes the next
    // non-ASCII line of every stretch in turn, so the lines come evenly from
    // all over the file, and a stretch with few of them leaves its share to
    // the others.
    struct Stretch {
        std::size_t next;
        std::size_t end;
        std::vector<Span> taken;
    };
    if (bytes.empty()) return {};
    std::vector<Stretch> stretches(STRETCHES);
    std::size_t start = 0;
    for (std::size_t k = 0; k < STRETCHES; ++k) {
        const std::size_t cut = (k + 1) * (bytes.size() / STRETCHES);
        const std::size_t end = k + 1 == STRETCHES
                                    ? bytes.size()
                                    : std::max(start, line_end(bytes, cut, std::min(bytes.size(), cut + LONGEST_LINE)));
        stretches[k] = {start, end, {}};
        start = end;
    }
    std::size_t total = 0;
    for (bool took = true; took && total < DETECTOR_LIMIT;) {
        took = false;
        for (Stretch& stretch : stretches) {
            if (total >= DETECTOR_LIMIT) break;
            const std::size_t at = find_non_ascii(bytes, stretch.next, stretch.end);
            if (at == stretch.end) {
                stretch.next = stretch.end;
                continue;
            }
            const Span line = line_around(bytes, at, stretch.next, stretch.end);
            stretch.taken.push_back(line);
            stretch.next = line.end;
            total += line.end - line.begin;
            took = true;
        }
    }
    std::string sample;
    sample.reserve(total);
    for (const Stretch& stretch : stretches)
        for (const Span& line : stretch.taken) sample.append(bytes.substr(line.begin, line.end - line.begin));
    return sample;
}

bool has_byte_order_mark(std::string_view bytes)
{
    return bytes.starts_with(UTF8_MARK) || bytes.starts_with(UTF16LE_MARK) || bytes.starts_with(UTF16BE_MARK);
}

TextEncoding detect_encoding(std::string_view bytes)
{
    if (bytes.starts_with(UTF8_MARK)) return TextEncoding::Utf8Bom;
    if (bytes.starts_with(UTF16LE_MARK)) return TextEncoding::Utf16Le;
    if (bytes.starts_with(UTF16BE_MARK)) return TextEncoding::Utf16Be;
    // Valid UTF-8, empty and pure ASCII input included, is UTF-8 whatever a
    // statistical guess might say about it.
    if (utf8::is_valid(bytes)) return TextEncoding::Utf8;
    // A large file is judged on a sample, which bounds the time to open it.
    std::string sample;
    if (bytes.size() > DETECTOR_LIMIT) sample = detection_sample(bytes);
    const std::string_view seen = bytes.size() > DETECTOR_LIMIT ? std::string_view(sample) : bytes;
    const TextEncoding answer = encoding_of_label(ask_detector(seen));
    if (answer != TextEncoding::Utf8) return answer;
    // The detector said UTF-8 of bytes that are not, or named an encoding
    // the editor does not have, or nothing: the bytes may still read clearly
    // as one of the code pages (a confident pick also keeps every byte on a
    // save, as these code pages map all 256).
    return code_page_by_reading(seen).value_or(TextEncoding::Utf8);
}

LineEnding detect_line_ending(std::string_view bytes, TextEncoding encoding)
{
    // A UTF-16 file never holds the byte pair 0D 0A for its line ends, and
    // may hold it inside other characters (U+0Dxx before an LF): its units
    // are what count, taken in pairs from the first byte. A mark at the start
    // is a unit like any other and matches neither.
    if (encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be) {
        const std::string_view crlf = encoding == TextEncoding::Utf16Le ? std::string_view("\r\0\n\0", 4)
                                                                        : std::string_view("\0\r\0\n", 4);
        for (std::size_t at = bytes.find(crlf); at != std::string_view::npos; at = bytes.find(crlf, at + 1))
            if (at % 2 == 0) return LineEnding::CrLf;
        return LineEnding::Lf;
    }
    return bytes.find("\r\n") != std::string_view::npos ? LineEnding::CrLf : LineEnding::Lf;
}
