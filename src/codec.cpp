#include "codec.hpp"

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include "single_byte_tables.hpp"

namespace {

constexpr std::string_view UTF8_MARK = "\xEF\xBB\xBF";
constexpr std::string_view UTF16LE_MARK = "\xFF\xFE";
constexpr std::string_view UTF16BE_MARK = "\xFE\xFF";
constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;

const unsigned char* bytes_of(std::string_view text)
{
    return reinterpret_cast<const unsigned char*>(text.data());
}

// Most text is ASCII: eight bytes are tested at once.
bool is_ascii_word(const unsigned char* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ULL) == 0;
}

// Writes the UTF-8 form of c and returns the position after it.
char* put_utf8(char* out, char32_t c)
{
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// What a lead byte promises: how many continuation bytes follow it, and the
// range its first continuation byte must fall in. The narrowed ranges after
// E0, ED, F0 and F4 are what rule out overlong forms, surrogates and code
// points past U+10FFFF. A byte that cannot start a sequence promises nothing.
struct Lead {
    std::uint8_t continuations;
    unsigned char low;
    unsigned char high;
};

Lead lead_of(unsigned char b)
{
    if (b >= 0xC2 && b <= 0xDF) return {1, 0x80, 0xBF};
    if (b == 0xE0) return {2, 0xA0, 0xBF};
    if (b == 0xED) return {2, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF) return {2, 0x80, 0xBF};
    if (b == 0xF0) return {3, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return {3, 0x80, 0xBF};
    if (b == 0xF4) return {3, 0x80, 0x8F};
    return {0, 0, 0};
}

// Length of the well-formed multi-byte sequence at p, or 0 if there is none.
std::size_t sequence_length(const unsigned char* p, std::size_t available)
{
    const Lead lead = lead_of(p[0]);
    if (lead.continuations == 0 || lead.continuations >= available) return 0;
    if (p[1] < lead.low || p[1] > lead.high) return 0;
    for (std::size_t k = 2; k <= lead.continuations; ++k)
        if ((p[k] & 0xC0) != 0x80) return 0;
    return lead.continuations + 1u;
}

// At a place where the bytes do not form a sequence: the number of bytes one
// U+FFFD stands for. That is the lead byte and the continuation bytes that
// still fitted it (the "maximal subpart"); the byte that broke the sequence
// is left to start the next one.
std::size_t malformed_length(const unsigned char* p, std::size_t available)
{
    const Lead lead = lead_of(p[0]);
    if (lead.continuations == 0) return 1;
    std::size_t k = 1;
    unsigned char low = lead.low;
    unsigned char high = lead.high;
    while (k <= lead.continuations && k < available && p[k] >= low && p[k] <= high) {
        ++k;
        low = 0x80;
        high = 0xBF;
    }
    return k;
}

// The code point of a well-formed sequence of the given length.
char32_t sequence_value(const unsigned char* p, std::size_t length)
{
    char32_t c = p[0] & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (p[k] & 0x3F);
    return c;
}

// Validation runs an automaton over the bytes: one table load and one shift
// per byte, no branch. Each byte's entry holds, for every state, the state
// that byte leads to, in six bits at the state's own offset, so the current
// state is the shift that picks out the next one. Unset bits lead to REJECT,
// which leads nowhere else. The states are the sequence still expected.
enum : std::uint64_t {
    REJECT = 0,
    ACCEPT = 6,
    ONE_MORE = 12,     // last continuation byte
    TWO_MORE = 18,     // two continuation bytes
    AFTER_E0 = 24,     // A0-BF, then one more: no overlong three-byte forms
    AFTER_ED = 30,     // 80-9F, then one more: no surrogates
    THREE_MORE = 36,   // three continuation bytes
    AFTER_F0 = 42,     // 90-BF, then two more: no overlong four-byte forms
    AFTER_F4 = 48,     // 80-8F, then two more: nothing past U+10FFFF
};

constexpr std::array<std::uint64_t, 256> make_utf8_automaton()
{
    std::array<std::uint64_t, 256> table{};
    const auto on = [&](unsigned first, unsigned last, std::uint64_t from, std::uint64_t to) {
        for (unsigned b = first; b <= last; ++b) table[b] |= to << from;
    };
    on(0x00, 0x7F, ACCEPT, ACCEPT);
    on(0xC2, 0xDF, ACCEPT, ONE_MORE);
    on(0xE0, 0xE0, ACCEPT, AFTER_E0);
    on(0xE1, 0xEC, ACCEPT, TWO_MORE);
    on(0xED, 0xED, ACCEPT, AFTER_ED);
    on(0xEE, 0xEF, ACCEPT, TWO_MORE);
    on(0xF0, 0xF0, ACCEPT, AFTER_F0);
    on(0xF1, 0xF3, ACCEPT, THREE_MORE);
    on(0xF4, 0xF4, ACCEPT, AFTER_F4);
    on(0x80, 0xBF, ONE_MORE, ACCEPT);
    on(0x80, 0xBF, TWO_MORE, ONE_MORE);
    on(0xA0, 0xBF, AFTER_E0, ONE_MORE);
    on(0x80, 0x9F, AFTER_ED, ONE_MORE);
    on(0x80, 0xBF, THREE_MORE, TWO_MORE);
    on(0x90, 0xBF, AFTER_F0, TWO_MORE);
    on(0x80, 0x8F, AFTER_F4, TWO_MORE);
    return table;
}

constexpr std::array<std::uint64_t, 256> UTF8_AUTOMATON = make_utf8_automaton();

// Where the sequence under way at `at` began: `at` itself between
// sequences, else the lead byte among the (at most three) bytes before it.
std::size_t sequence_start(const unsigned char* p, std::size_t at, std::uint64_t state)
{
    if ((state & 63) == ACCEPT) return at;
    std::size_t start = at - 1;
    while ((p[start] & 0xC0) == 0x80) --start;
    return start;
}

// The end of the valid prefix, sequence by sequence, from a sequence start.
std::size_t valid_prefix_from(const unsigned char* p, std::size_t n, std::size_t at)
{
    while (at < n) {
        if (p[at] < 0x80) {
            ++at;
        } else if (const std::size_t length = sequence_length(p + at, n - at)) {
            at += length;
        } else {
            return at;
        }
    }
    return n;
}

// The WHATWG UTF-8 decoder proper: no mark handling.
std::string decode_utf8(std::string_view bytes)
{
    const unsigned char* p = bytes_of(bytes);
    const std::size_t n = bytes.size();
    std::string out;
    out.reserve(n);
    std::size_t at = 0;
    while (true) {
        const std::size_t valid = valid_utf8_prefix(bytes.substr(at));
        out.append(bytes.data() + at, valid);
        at += valid;
        if (at == n) return out;
        at += malformed_length(p + at, n - at);
        out.append("\xEF\xBF\xBD");
    }
}

// What to do with an odd byte left at the end of UTF-16 input: the editor's
// own decoder drops it, the WHATWG decoder (reached by mark sniffing) reports
// it as malformed.
enum class OddByte { Ignored, Malformed };

std::string decode_utf16(std::string_view bytes, bool big_endian, OddByte odd_byte)
{
    const unsigned char* p = bytes_of(bytes);
    const std::size_t units = bytes.size() / 2;
    const auto unit = [&](std::size_t k) -> char16_t {
        return big_endian ? static_cast<char16_t>(p[2 * k] << 8 | p[2 * k + 1])
                          : static_cast<char16_t>(p[2 * k] | p[2 * k + 1] << 8);
    };
    std::string out;
    // Each unit gives at most three bytes, a pair four; one more U+FFFD may end it.
    out.resize_and_overwrite(units * 3 + 3, [&](char* buffer, std::size_t) {
        char* o = buffer;
        bool lone_high_at_end = false;
        std::size_t k = 0;
        while (k < units) {
            const char16_t u = unit(k++);
            if (u < 0x80) {
                *o++ = static_cast<char>(u);
            } else if (u >= 0xD800 && u <= 0xDBFF) {
                const char16_t next = k < units ? unit(k) : char16_t{0};
                if (next >= 0xDC00 && next <= 0xDFFF) {
                    ++k;
                    o = put_utf8(o, 0x10000 + ((u - 0xD800u) << 10) + (next - 0xDC00u));
                } else {
                    lone_high_at_end = k == units;
                    o = put_utf8(o, REPLACEMENT_CHARACTER);
                }
            } else if (u >= 0xDC00 && u <= 0xDFFF) {
                o = put_utf8(o, REPLACEMENT_CHARACTER);
            } else {
                o = put_utf8(o, u);
            }
        }
        // A high surrogate still waiting and the odd byte after it end the
        // input as one malformed sequence, not two.
        if (odd_byte == OddByte::Malformed && bytes.size() % 2 == 1 && !lone_high_at_end)
            o = put_utf8(o, REPLACEMENT_CHARACTER);
        return static_cast<std::size_t>(o - buffer);
    });
    return out;
}

// A single-byte code page prepared for both directions.
struct CodePage {
    // The UTF-8 bytes of the character of every byte, padded to four so that
    // each is copied with one fixed-size store, and how many of them count.
    std::array<std::array<char, 4>, 256> utf8;
    std::array<std::uint8_t, 256> utf8_length;
    // The byte of each character of the basic plane, ASCII included; 0 where
    // it has none. Every index entry is in the basic plane.
    std::array<unsigned char, 0x10000> byte_of;
};

CodePage make_code_page(const SingleByteIndex& index)
{
    CodePage page{};
    for (std::size_t b = 0; b < 256; ++b) {
        const char32_t c = b < 0x80 ? static_cast<char32_t>(b) : index[b - 0x80];
        const char* end = put_utf8(page.utf8[b].data(), c);
        page.utf8_length[b] = static_cast<std::uint8_t>(end - page.utf8[b].data());
        page.byte_of[c] = static_cast<unsigned char>(b);
    }
    return page;
}

const CodePage& code_page(TextEncoding encoding)
{
    static const CodePage windows_1251 = make_code_page(WINDOWS_1251_INDEX);
    static const CodePage windows_1252 = make_code_page(WINDOWS_1252_INDEX);
    static const CodePage ibm866 = make_code_page(IBM866_INDEX);
    switch (encoding) {
    case TextEncoding::Cp1251: return windows_1251;
    case TextEncoding::Cp1252: return windows_1252;
    default: return ibm866;
    }
}

std::string decode_single_byte(std::string_view bytes, const CodePage& page)
{
    const unsigned char* p = bytes_of(bytes);
    const std::size_t n = bytes.size();
    std::string out;
    // Room for the worst case, three bytes for each byte, and three to spare
    // for the padding of the last store. Pages never written are never
    // touched, so the room costs address space, not memory.
    out.resize_and_overwrite(3 * n + 3, [&](char* buffer, std::size_t) {
        char* o = buffer;
        const auto put = [&](unsigned char b) {
            std::memcpy(o, page.utf8[b].data(), 4);
            o += page.utf8_length[b];
        };
        // Eight bytes at a time, copied whole when they are ASCII and else
        // through the table without a branch on each byte.
        std::size_t at = 0;
        for (; at + 8 <= n; at += 8) {
            if (is_ascii_word(p + at)) {
                std::memcpy(o, p + at, 8);
                o += 8;
                continue;
            }
            for (std::size_t k = 0; k < 8; ++k) put(p[at + k]);
        }
        for (; at < n; ++at) put(p[at]);
        return static_cast<std::size_t>(o - buffer);
    });
    return out;
}

// The WHATWG decode: a byte-order mark at the start overrides the encoding
// asked for and is removed. Without one, the text is decoded as UTF-8, or
// with the code page when there is one.
std::string decode_sniffing(std::string_view bytes, const CodePage* page)
{
    if (bytes.starts_with(UTF8_MARK)) return decode_utf8(bytes.substr(UTF8_MARK.size()));
    if (bytes.starts_with(UTF16LE_MARK))
        return decode_utf16(bytes.substr(UTF16LE_MARK.size()), false, OddByte::Malformed);
    if (bytes.starts_with(UTF16BE_MARK))
        return decode_utf16(bytes.substr(UTF16BE_MARK.size()), true, OddByte::Malformed);
    return page ? decode_single_byte(bytes, *page) : decode_utf8(bytes);
}

// Writes the byte of the character at p[i] (eight when they are all ASCII)
// and moves past it; false when the character has no byte or the UTF-8 there
// is broken. The input ends at p[limit].
bool encode_step(const unsigned char* p, std::size_t limit, std::size_t& i, char*& o, const CodePage& page)
{
    if (i + 8 <= limit && is_ascii_word(p + i)) {
        std::memcpy(o, p + i, 8);
        o += 8;
        i += 8;
        return true;
    }
    // ASCII and two-byte sequences (Cyrillic, accented Latin) take the short
    // road: their length follows from the lead byte's top bit alone, and no
    // branch depends on which of the two it is, so text that mixes them
    // does not mispredict at every space.
    const unsigned lead = p[i];
    const unsigned next = i + 1 < limit ? p[i + 1] : 0u;
    const unsigned high = lead >> 7;
    const unsigned two_bytes = 0u - high;
    std::size_t length = 1 + high;
    char32_t c = (lead & ~two_bytes) | (((lead & 0x1Fu) << 6 | (next & 0x3Fu)) & two_bytes);
    const unsigned well_formed =
        static_cast<unsigned>(lead - 0xC2u <= 0xDFu - 0xC2u) & static_cast<unsigned>((next & 0xC0u) == 0x80u);
    if (high & ~well_formed) {
        length = sequence_length(p + i, limit - i);
        // Four-byte sequences lie outside the basic plane, where no code page has anything.
        if (length == 0 || length == 4) return false;
        c = sequence_value(p + i, length);
    }
    const unsigned char byte = page.byte_of[c];
    if (byte == 0 && c != 0) return false;
    *o++ = static_cast<char>(byte);
    i += length;
    return true;
}

std::optional<std::string> encode_single_byte(std::string_view text, const CodePage& page)
{
    const unsigned char* p = bytes_of(text);
    const std::size_t n = text.size();
    bool mappable = true;
    std::string out;
    // Every character takes at least one byte of UTF-8 and gives exactly one.
    out.resize_and_overwrite(n, [&](char* buffer, std::size_t) {
        char* o = buffer;
        std::size_t i = 0;
        while (mappable && i < n) mappable = encode_step(p, n, i, o, page);
        return mappable ? static_cast<std::size_t>(o - buffer) : 0;
    });
    if (!mappable) return std::nullopt;
    return out;
}

char* put_utf16(char* out, char16_t unit, bool big_endian)
{
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    *out++ = big_endian ? high : low;
    *out++ = big_endian ? low : high;
    return out;
}

std::string encode_utf16(std::string_view text, bool big_endian)
{
    const unsigned char* p = bytes_of(text);
    const std::size_t n = text.size();
    std::string out;
    // The mark, then at most two bytes for each byte of UTF-8.
    out.resize_and_overwrite(2 + 2 * n, [&](char* buffer, std::size_t) {
        char* o = put_utf16(buffer, 0xFEFF, big_endian);
        std::size_t i = 0;
        while (i < n) {
            char32_t c;
            if (p[i] < 0x80) {
                c = p[i++];
            } else if (const std::size_t length = sequence_length(p + i, n - i)) {
                c = sequence_value(p + i, length);
                i += length;
            } else {
                // Lines hold valid UTF-8; should a broken sequence reach
                // here all the same, it is written as U+FFFD.
                c = REPLACEMENT_CHARACTER;
                i += malformed_length(p + i, n - i);
            }
            if (c < 0x10000) {
                o = put_utf16(o, static_cast<char16_t>(c), big_endian);
            } else {
                o = put_utf16(o, static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)), big_endian);
                o = put_utf16(o, static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)), big_endian);
            }
        }
        return static_cast<std::size_t>(o - buffer);
    });
    return out;
}

}  // namespace

std::size_t valid_utf8_prefix(std::string_view bytes)
{
    const unsigned char* p = bytes_of(bytes);
    const std::size_t n = bytes.size();
    // Blocks of ASCII are skipped whole; any other block goes through the
    // automaton, which only needs looking at once the block is done, since an
    // error never leaves. On an error, or input that ends inside a sequence,
    // the exact place is found from the start of the block's first sequence.
    std::uint64_t state = ACCEPT;
    std::size_t at = 0;
    for (; at + 16 <= n; at += 16) {
        if ((state & 63) == ACCEPT && is_ascii_word(p + at) && is_ascii_word(p + at + 8)) continue;
        std::uint64_t next = state;
        for (std::size_t k = 0; k < 16; ++k) next = UTF8_AUTOMATON[p[at + k]] >> (next & 63);
        if ((next & 63) == REJECT) return valid_prefix_from(p, n, sequence_start(p, at, state));
        state = next;
    }
    const std::size_t tail = at;
    const std::uint64_t tail_state = state;
    for (; at < n; ++at) state = UTF8_AUTOMATON[p[at]] >> (state & 63);
    if ((state & 63) == ACCEPT) return n;
    return valid_prefix_from(p, n, sequence_start(p, tail, tail_state));
}

std::string decode_text(std::string_view bytes, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
        // The file's own mark goes first; the decoder then sniffs what follows
        // it, so a second mark goes too.
        if (bytes.starts_with(UTF8_MARK)) bytes.remove_prefix(UTF8_MARK.size());
        return decode_sniffing(bytes, nullptr);
    case TextEncoding::Utf16Le:
        if (bytes.starts_with(UTF16LE_MARK)) bytes.remove_prefix(UTF16LE_MARK.size());
        return decode_utf16(bytes, false, OddByte::Ignored);
    case TextEncoding::Utf16Be:
        if (bytes.starts_with(UTF16BE_MARK)) bytes.remove_prefix(UTF16BE_MARK.size());
        return decode_utf16(bytes, true, OddByte::Ignored);
    case TextEncoding::Cp1251:
    case TextEncoding::Cp1252:
    case TextEncoding::Cp866:
        return decode_sniffing(bytes, &code_page(encoding));
    }
    std::unreachable();
}

std::string decode_text_in_place(std::string bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8 || encoding == TextEncoding::Utf8Bom) {
        const std::size_t mark = bytes.starts_with(UTF8_MARK) ? UTF8_MARK.size() : 0;
        const std::string_view text = std::string_view(bytes).substr(mark);
        // A second mark is sniffed and removed, so that text is not the bytes.
        const bool sniffed = text.starts_with(UTF8_MARK) || text.starts_with(UTF16LE_MARK) ||
                             text.starts_with(UTF16BE_MARK);
        if (!sniffed && valid_utf8_prefix(text) == text.size()) {
            bytes.erase(0, mark);
            return bytes;
        }
    }
    return decode_text(bytes, encoding);
}

std::optional<std::string> encode_text(std::string_view text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return std::string(text);
    case TextEncoding::Utf8Bom: {
        std::string out;
        out.reserve(UTF8_MARK.size() + text.size());
        out.append(UTF8_MARK).append(text);
        return out;
    }
    case TextEncoding::Utf16Le:
        return encode_utf16(text, false);
    case TextEncoding::Utf16Be:
        return encode_utf16(text, true);
    case TextEncoding::Cp1251:
    case TextEncoding::Cp1252:
    case TextEncoding::Cp866:
        return encode_single_byte(text, code_page(encoding));
    }
    std::unreachable();
}
