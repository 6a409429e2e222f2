#include "encoding/detect.hpp"

#include <array>
#include <memory>

#include <uchardet.h>

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

// Any answer that is not one of the three code pages, UTF-8 itself
// included, means UTF-8.
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

struct DetectorDeleter {
    void operator()(uchardet* detector) const { uchardet_delete(detector); }
};

// The detector is given the whole file in one call, marked as all there is.
// Handing it over in pieces would be quicker, but after any piece it may
// settle on an answer and ignore the rest, so it would no longer judge the
// whole file.
TextEncoding ask_detector(std::string_view bytes)
{
    const std::unique_ptr<uchardet, DetectorDeleter> detector(uchardet_new());
    if (!detector) return TextEncoding::Utf8;
    // A failure to take the data (out of memory) leaves the answer empty, which means UTF-8.
    (void)uchardet_handle_data(detector.get(), bytes.data(), bytes.size());
    uchardet_data_end(detector.get());
    const char* answer = uchardet_get_charset(detector.get());
    return encoding_of_label(answer ? answer : "");
}

}  // namespace

TextEncoding detect_encoding(std::string_view bytes)
{
    if (bytes.starts_with(UTF8_MARK)) return TextEncoding::Utf8Bom;
    if (bytes.starts_with(UTF16LE_MARK)) return TextEncoding::Utf16Le;
    if (bytes.starts_with(UTF16BE_MARK)) return TextEncoding::Utf16Be;
    // Valid UTF-8, empty and pure ASCII input included, is UTF-8 whatever a
    // statistical guess might say about it.
    if (utf8::is_valid(bytes)) return TextEncoding::Utf8;
    return ask_detector(bytes);
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
