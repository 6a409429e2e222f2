#include "encoding/codec.hpp"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "encoding/single_byte_tables.hpp"
#include "text/utf8.hpp"

namespace {

constexpr std::string_view UTF8_MARK = "\xEF\xBB\xBF";
constexpr std::string_view UTF16LE_MARK = "\xFF\xFE";
constexpr std::string_view UTF16BE_MARK = "\xFE\xFF";

const unsigned char* bytes_of(std::string_view text) { return reinterpret_cast<const unsigned char*>(text.data()); }

// Most text is ASCII: eight bytes are tested at once.
bool is_ascii_word(const unsigned char* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ULL) == 0;
}

// The UTF-8 of every character below U+0800, one or two bytes: the bytes
// in the low half, read in memory order, their count in the high half.
const std::array<std::uint32_t, 0x800>& short_utf8()
{
    static const std::array<std::uint32_t, 0x800> table = [] {
        std::array<std::uint32_t, 0x800> entries{};
        for (char32_t c = 0; c < 0x800; ++c) {
            std::array<char, 4> bytes{};
            const char* end = utf8::put(bytes.data(), c);
            std::uint16_t pair;
            std::memcpy(&pair, bytes.data(), sizeof pair);
            entries[c] = pair | static_cast<std::uint32_t>(end - bytes.data()) << 16;
        }
        return entries;
    }();
    return table;
}

// What to do with an odd byte left at the end of UTF-16 input: the editor's
// own decoder drops it, the WHATWG decoder (reached by mark sniffing) reports
// it as malformed.
enum class OddByte { Ignored, Malformed };

// `unreadable` (when given) grows by the bytes of lone surrogates and the
// odd last byte, which become U+FFFD or nothing.
template <bool HIGH_BYTE_FIRST>
std::string decode_utf16_as(std::string_view bytes, OddByte odd_byte, std::size_t* unreadable)
{
    const unsigned char* p = bytes_of(bytes);
    const std::size_t units = bytes.size() / 2;
    const auto unit = [&](std::size_t k) -> char16_t {
        return HIGH_BYTE_FIRST ? static_cast<char16_t>(p[2 * k] << 8 | p[2 * k + 1])
                               : static_cast<char16_t>(p[2 * k] | p[2 * k + 1] << 8);
    };
    std::string out;
    std::size_t lone_units = 0;
    // Each unit gives at most three bytes, a pair four; one more U+FFFD may end it.
    out.resize_and_overwrite(units * 3 + 3, [&](char* buffer, std::size_t) {
        char* o = buffer;
        bool lone_high_at_end = false;
        // Writes the character at unit k, a surrogate pair being one, and moves past it.
        const auto put_character = [&](std::size_t& k) {
            const char16_t u = unit(k++);
            if (u < 0x80) {
                *o++ = static_cast<char>(u);
            } else if (u >= 0xD800 && u <= 0xDBFF) {
                const char16_t next = k < units ? unit(k) : char16_t{0};
                if (next >= 0xDC00 && next <= 0xDFFF) {
                    ++k;
                    o = utf8::put(o, 0x10000 + ((u - 0xD800u) << 10) + (next - 0xDC00u));
                } else {
                    lone_high_at_end = k == units;
                    ++lone_units;
                    o = utf8::put(o, utf8::REPLACEMENT);
                }
            } else if (u >= 0xDC00 && u <= 0xDFFF) {
                ++lone_units;
                o = utf8::put(o, utf8::REPLACEMENT);
            } else {
                o = utf8::put(o, u);
            }
        };
        // Most text stays below U+0800 (Latin, Cyrillic, Greek...), where a
        // unit gives one or two bytes: blocks of such units are written from
        // a table without a branch on each, which text that switches between
        // ASCII and Cyrillic at every space would mispredict. Blocks of ASCII
        // alone are narrowed at once; any other block goes a unit at a time.
        constexpr std::size_t BLOCK_UNITS = 16;
        const std::array<std::uint32_t, 0x800>& short_forms = short_utf8();
        std::size_t k = 0;
        while (units - k >= BLOCK_UNITS) {
            std::array<char16_t, BLOCK_UNITS> block;
            unsigned any = 0;
            for (std::size_t j = 0; j < BLOCK_UNITS; ++j) {
                block[j] = unit(k + j);
                any |= block[j];
            }
            if (any < 0x80) {
                for (std::size_t j = 0; j < BLOCK_UNITS; ++j) o[j] = static_cast<char>(block[j]);
                o += BLOCK_UNITS;
            } else if (any < 0x800) {
#pragma GCC unroll 16
                for (const char16_t u : block) {
                    // Two bytes written either way: after ASCII the next unit overwrites the second.
                    const std::uint32_t entry = short_forms[u];
                    const std::uint16_t pair = static_cast<std::uint16_t>(entry);
                    std::memcpy(o, &pair, sizeof pair);
                    o += entry >> 16;
                }
            } else {
                for (const std::size_t end = k + BLOCK_UNITS; k < end;) put_character(k);
                continue;
            }
            k += BLOCK_UNITS;
        }
        while (k < units) put_character(k);
        // A high surrogate still waiting and the odd byte after it end the
        // input as one malformed sequence, not two.
        if (odd_byte == OddByte::Malformed && bytes.size() % 2 == 1 && !lone_high_at_end)
            o = utf8::put(o, utf8::REPLACEMENT);
        return static_cast<std::size_t>(o - buffer);
    });
    if (unreadable) *unreadable += 2 * lone_units + bytes.size() % 2;
    return out;
}

std::string decode_utf16(std::string_view bytes, bool big_endian, OddByte odd_byte, std::size_t* unreadable)
{
    return big_endian ? decode_utf16_as<true>(bytes, odd_byte, unreadable)
                      : decode_utf16_as<false>(bytes, odd_byte, unreadable);
}

// Encoding from UTF-8 mostly meets ASCII and two-byte sequences (Cyrillic,
// accented Latin), and in text made of those alone every byte can be handled
// by itself, knowing only the byte before it: ASCII gives its own unit, a lead
// byte gives nothing, and a continuation byte gives the character it ends.
// One lookup per byte, indexed by the byte and the one before it, gives that
// unit and how far the output moves past it, and nothing branches on the
// text, which in Cyrillic prose switches between ASCII and letters at every
// space. Anything else (a longer sequence, a broken one, a character the
// target lacks) sends its block the careful way, a character at a time.

// What the text is encoded into: code page bytes or UTF-16 units.
enum class Unit { Byte, Utf16Le, Utf16Be };

template <Unit U>
constexpr std::size_t UNIT_BYTES = U == Unit::Byte ? 1 : 2;

constexpr std::size_t BLOCK = 32;

// An entry holds the unit's bytes in its two low bytes, in the order they are
// written, and above them how far the output moves after writing them.
using PairTable = std::array<std::uint32_t, 0x10000>;

template <Unit U>
constexpr std::uint32_t MOVE_ONE_UNIT = UNIT_BYTES<U> << 16;

// An entry the block cannot take moves the output further than a whole block
// of units would, which the block sees at its end, sparing every byte a test.
template <Unit U>
constexpr std::uint32_t MOVE_PAST_BLOCK = (BLOCK * UNIT_BYTES<U> + 1) << 16;

// The room behind the output that such moves may cross, writing nothing that
// is kept.
template <Unit U>
constexpr std::size_t BLOCK_SLACK = (UNIT_BYTES<U> * BLOCK + 1) * BLOCK;

// The index is the two bytes read as one 16-bit number, in the machine's
// own byte order, so that one load gives it.
std::uint16_t pair_at(const unsigned char* p)
{
    std::uint16_t pair;
    std::memcpy(&pair, p, sizeof pair);
    return pair;
}

std::uint16_t pair_index(unsigned before, unsigned byte)
{
    const std::array<unsigned char, 2> pair = {static_cast<unsigned char>(before), static_cast<unsigned char>(byte)};
    return pair_at(pair.data());
}

// unit_of gives a character's unit (below U+0800), its bytes in the order
// they are written, or nothing when the target has none.
template <Unit U, class UnitOf>
std::unique_ptr<const PairTable> make_pair_table(UnitOf unit_of)
{
    const auto entry_of = [&](char32_t c) {
        const std::optional<std::uint16_t> unit = unit_of(c);
        return unit ? MOVE_ONE_UNIT<U> | *unit : MOVE_PAST_BLOCK<U>;
    };
    auto table = std::make_unique<PairTable>();
    for (unsigned before = 0; before < 256; ++before) {
        // C0, C1 and F5-FF lead nothing valid; nothing may follow them here either.
        const bool after_lead = before >= 0xC0;
        const bool after_two_byte_lead = before >= 0xC2 && before <= 0xDF;
        for (unsigned byte = 0; byte < 256; ++byte) {
            std::uint32_t entry = MOVE_PAST_BLOCK<U>;
            if (byte < 0x80) {
                if (!after_lead) entry = entry_of(byte);
            } else if (byte < 0xC0) {
                if (after_two_byte_lead) entry = entry_of((before & 0x1Fu) << 6 | (byte & 0x3Fu));
            } else if (byte >= 0xC2 && byte <= 0xDF) {
                if (!after_lead) entry = 0;
            }
            (*table)[pair_index(before, byte)] = entry;
        }
    }
    return table;
}

// What a block holds, from the top bits of its bytes: only ASCII, or a
// byte from E0 up, the lead of a longer sequence (or no lead at all).
struct BlockBytes {
    bool ascii_only;
    bool long_lead;
};

BlockBytes block_bytes(const unsigned char* p)
{
    std::uint64_t any = 0;
    std::uint64_t long_leads = 0;
    for (std::size_t k = 0; k < BLOCK; k += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + k, sizeof word);
        any |= word;
        // Bits 7, 6 and 5 of each byte, all moved to bit 7: a shift this
        // small never carries a bit into the next byte's bit 7.
        long_leads |= word & word << 1 & word << 2;
    }
    constexpr std::uint64_t HIGH = 0x8080808080808080ULL;
    return {(any & HIGH) == 0, (long_leads & HIGH) != 0};
}

// Writes the units of a block that starts a character and moves o past
// them; false, leaving o alone, when the block holds more than ASCII and
// two-byte sequences the target has. A lead byte at the end writes nothing.
template <Unit U>
bool put_pair_block(const unsigned char* p, const PairTable& table, char*& o)
{
    char* out = o;
    const auto put = [&](std::uint32_t entry) {
        // Written whether it counts or not: a unit that does not count is
        // overwritten by the next.
        out[0] = static_cast<char>(entry);
        if constexpr (UNIT_BYTES<U> == 2) out[1] = static_cast<char>(entry >> 8);
        out += entry >> 16;
    };
    // The block starts a character, so the byte before it counts as no lead.
    put(table[pair_index(0, p[0])]);
#pragma GCC unroll 16
    for (std::size_t k = 1; k < BLOCK; ++k) put(table[pair_at(p + k - 1)]);
    if (static_cast<std::size_t>(out - o) > BLOCK * UNIT_BYTES<U>) return false;
    o = out;
    return true;
}

// Encodes the n bytes of UTF-8 at p into o, which has BLOCK_SLACK bytes of
// room beyond the result: blocks of ASCII and two-byte sequences through the
// pair table, every other block and the short tail by step(i, o), which moves
// both past one character and returns false to give up.
template <Unit U, class Step>
bool encode_blocks(const unsigned char* p, std::size_t n, const PairTable& table, char*& o, Step step)
{
    std::size_t i = 0;
    while (n - i >= BLOCK) {
        const BlockBytes holds = block_bytes(p + i);
        if (U == Unit::Byte && holds.ascii_only) {
            // A code page keeps ASCII as it is. (To UTF-16 the pair table
            // is as fast: writing twice the bytes is what costs there.)
            std::memcpy(o, p + i, BLOCK);
            o += BLOCK;
            i += BLOCK;
        } else if (!holds.long_lead && put_pair_block<U>(p + i, table, o)) {
            // A lead byte at the end goes again with the next block, which
            // holds the rest of its character. No branch: whether the block
            // ends in a lead byte is a coin toss in Cyrillic text.
            i += BLOCK - ((p[i + BLOCK - 1] + 0x40u) >> 8);
        } else {
            for (const std::size_t end = i + BLOCK; i < end;)
                if (!step(i, o)) return false;
        }
    }
    while (i < n)
        if (!step(i, o)) return false;
    return true;
}

// A single-byte code page prepared for both directions.
struct CodePage {
    // The UTF-8 of the character of every byte: in the low half its bytes,
    // padded to four so that each is copied with one fixed-size store and
    // read in memory order; in the high half how many of them count.
    std::array<std::uint64_t, 256> utf8;
    // The byte of each character of the basic plane, ASCII included; 0 where
    // it has none. Every index entry is in the basic plane.
    std::array<unsigned char, 0x10000> byte_of;
    std::unique_ptr<const PairTable> pairs;
};

CodePage make_code_page(const SingleByteIndex& index)
{
    CodePage page{};
    for (std::size_t b = 0; b < 256; ++b) {
        const char32_t c = b < 0x80 ? static_cast<char32_t>(b) : index[b - 0x80];
        std::array<char, 4> bytes{};
        const char* end = utf8::put(bytes.data(), c);
        std::uint32_t padded;
        std::memcpy(&padded, bytes.data(), sizeof padded);
        page.utf8[b] = padded | static_cast<std::uint64_t>(end - bytes.data()) << 32;
        page.byte_of[c] = static_cast<unsigned char>(b);
    }
    page.pairs = make_pair_table<Unit::Byte>([&](char32_t c) -> std::optional<std::uint16_t> {
        const unsigned char byte = page.byte_of[c];
        if (byte == 0 && c != 0) return std::nullopt;
        return byte;
    });
    return page;
}

// Each page is built the first time it is needed, from the table's index.
const CodePage& code_page(TextEncoding encoding)
{
    static std::array<std::unique_ptr<const CodePage>, ENCODINGS.size()> pages;
    std::unique_ptr<const CodePage>& page = pages[static_cast<std::size_t>(encoding)];
    if (!page) page = std::make_unique<const CodePage>(make_code_page(*info_of(encoding).code_page));
    return *page;
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
            const std::uint64_t entry = page.utf8[b];
            const std::uint32_t padded = static_cast<std::uint32_t>(entry);
            std::memcpy(o, &padded, sizeof padded);
            o += entry >> 32;
        };
        // Sixteen bytes at a time, copied whole when they are ASCII and else
        // through the table without a branch on each byte.
        std::size_t at = 0;
        for (; at + 16 <= n; at += 16) {
            if (is_ascii_word(p + at) && is_ascii_word(p + at + 8)) {
                std::memcpy(o, p + at, 16);
                o += 16;
                continue;
            }
#pragma GCC unroll 16
            for (std::size_t k = 0; k < 16; ++k) put(p[at + k]);
        }
        for (; at < n; ++at) put(p[at]);
        return static_cast<std::size_t>(o - buffer);
    });
    return out;
}

// The length of the byte-order mark the bytes start with; 0 for none.
std::size_t mark_length(std::string_view bytes)
{
    if (bytes.starts_with(UTF8_MARK)) return UTF8_MARK.size();
    if (bytes.starts_with(UTF16LE_MARK) || bytes.starts_with(UTF16BE_MARK)) return 2;
    return 0;
}

// The WHATWG decode: a byte-order mark at the start overrides the encoding
// asked for and is removed. Without one, the text is decoded as UTF-8, or
// with the code page when there is one (every byte of which is a character).
std::string decode_sniffing(std::string_view bytes, const CodePage* page, std::size_t* unreadable)
{
    if (bytes.starts_with(UTF8_MARK)) return utf8::repair(bytes.substr(UTF8_MARK.size()), unreadable);
    if (bytes.starts_with(UTF16LE_MARK))
        return decode_utf16(bytes.substr(UTF16LE_MARK.size()), false, OddByte::Malformed, unreadable);
    if (bytes.starts_with(UTF16BE_MARK))
        return decode_utf16(bytes.substr(UTF16BE_MARK.size()), true, OddByte::Malformed, unreadable);
    return page ? decode_single_byte(bytes, *page) : utf8::repair(bytes, unreadable);
}

// The length of the well-formed sequence at p[i], the input ending at p[n],
// and its character; 0 when there is none. The two- and three-byte forms
// whose continuation bytes may take any value go first, without the
// general check: most of what the blocks leave to this is those.
std::size_t read_sequence(const unsigned char* p, std::size_t n, std::size_t i, char32_t& c)
{
    const unsigned lead = p[i];
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    const auto continues = [&](std::size_t k) { return i + k < n && (p[i + k] & 0xC0) == 0x80; };
    if (lead >= 0xC2 && lead <= 0xDF && continues(1)) {
        c = (lead & 0x1Fu) << 6 | (p[i + 1] & 0x3Fu);
        return 2;
    }
    if (lead >= 0xE1 && lead <= 0xEF && lead != 0xED && continues(1) && continues(2)) {
        c = (lead & 0x0Fu) << 12 | (p[i + 1] & 0x3Fu) << 6 | (p[i + 2] & 0x3Fu);
        return 3;
    }
    const utf8::Decoded d = utf8::decode(std::string_view(reinterpret_cast<const char*>(p) + i, n - i));
    if (d.status != utf8::Decoded::Status::Ok) return 0;
    c = d.c;
    return d.length;
}

// Writes the byte of the character at p[i] and moves past it; false when the
// character has no byte or the UTF-8 there is broken. The input ends at p[n].
bool encode_character(const unsigned char* p, std::size_t n, std::size_t& i, char*& o, const CodePage& page)
{
    char32_t c;
    const std::size_t length = read_sequence(p, n, i, c);
    // Four-byte sequences lie outside the basic plane, where no code page has anything.
    if (length == 0 || length == 4) return false;
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
    // Every character takes at least one byte of UTF-8 and gives exactly
    // one; the blocks' slack comes on top.
    out.resize_and_overwrite(n + BLOCK_SLACK<Unit::Byte>, [&](char* buffer, std::size_t) {
        char* o = buffer;
        mappable = encode_blocks<Unit::Byte>(p, n, *page.pairs, o, [&](std::size_t& i, char*& at) {
            return encode_character(p, n, i, at, page);
        });
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

// Writes the UTF-16 of the character at p[i] and moves past it. The input
// ends at p[n]. Never gives up.
bool encode_utf16_character(const unsigned char* p, std::size_t n, std::size_t& i, char*& o, bool big_endian)
{
    char32_t c;
    if (const std::size_t length = read_sequence(p, n, i, c)) {
        i += length;
    } else {
        // Lines hold valid UTF-8; should a broken sequence reach here all
        // the same, it is written as U+FFFD.
        c = utf8::REPLACEMENT;
        i += utf8::decode(std::string_view(reinterpret_cast<const char*>(p) + i, n - i)).length;
    }
    if (c < 0x10000) {
        o = put_utf16(o, static_cast<char16_t>(c), big_endian);
    } else {
        o = put_utf16(o, static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)), big_endian);
        o = put_utf16(o, static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)), big_endian);
    }
    return true;
}

template <Unit U>
std::string encode_utf16(std::string_view text)
{
    constexpr bool big_endian = U == Unit::Utf16Be;
    static const std::unique_ptr<const PairTable> pairs = make_pair_table<U>(
        [](char32_t c) -> std::optional<std::uint16_t> {
            std::array<char, 2> unit;
            put_utf16(unit.data(), static_cast<char16_t>(c), big_endian);
            return pair_at(reinterpret_cast<const unsigned char*>(unit.data()));
        });
    const unsigned char* p = bytes_of(text);
    const std::size_t n = text.size();
    std::string out;
    // The mark, then at most two bytes for each byte of UTF-8, and the
    // blocks' slack.
    out.resize_and_overwrite(2 + 2 * n + BLOCK_SLACK<U>, [&](char* buffer, std::size_t) {
        char* o = put_utf16(buffer, 0xFEFF, big_endian);
        encode_blocks<U>(p, n, *pairs, o,
                         [&](std::size_t& i, char*& at) { return encode_utf16_character(p, n, i, at, big_endian); });
        return static_cast<std::size_t>(o - buffer);
    });
    return out;
}

}  // namespace

std::string decode_text(std::string_view bytes, TextEncoding encoding, std::size_t* unreadable)
{
    switch (encoding) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
        // The file's own mark goes first; the decoder then sniffs what follows
        // it, so a second mark goes too, and saving would not write it back.
        if (bytes.starts_with(UTF8_MARK)) {
            bytes.remove_prefix(UTF8_MARK.size());
            if (unreadable) *unreadable += mark_length(bytes);
        }
        return decode_sniffing(bytes, nullptr, unreadable);
    case TextEncoding::Utf16Le:
        if (bytes.starts_with(UTF16LE_MARK)) bytes.remove_prefix(UTF16LE_MARK.size());
        return decode_utf16(bytes, false, OddByte::Ignored, unreadable);
    case TextEncoding::Utf16Be:
        if (bytes.starts_with(UTF16BE_MARK)) bytes.remove_prefix(UTF16BE_MARK.size());
        return decode_utf16(bytes, true, OddByte::Ignored, unreadable);
    case TextEncoding::Cp1251:
    case TextEncoding::Cp1252:
    case TextEncoding::Cp866: return decode_sniffing(bytes, &code_page(encoding), unreadable);
    }
    std::unreachable();
}

std::string decode_text_in_place(std::string bytes, TextEncoding encoding, std::size_t* unreadable)
{
    if (encoding == TextEncoding::Utf8 || encoding == TextEncoding::Utf8Bom) {
        const std::size_t mark = bytes.starts_with(UTF8_MARK) ? UTF8_MARK.size() : 0;
        const std::string_view text = std::string_view(bytes).substr(mark);
        // A second mark is sniffed and removed, so that text is not the bytes.
        if (mark_length(text) == 0 && utf8::valid_prefix(text) == text.size()) {
            bytes.erase(0, mark);
            return bytes;
        }
    }
    return decode_text(bytes, encoding, unreadable);
}

expected<std::string, Unmappable> encode_text(std::string_view text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8: return std::string(text);
    case TextEncoding::Utf8Bom: {
        std::string out;
        out.reserve(UTF8_MARK.size() + text.size());
        out.append(UTF8_MARK).append(text);
        return out;
    }
    case TextEncoding::Utf16Le: return encode_utf16<Unit::Utf16Le>(text);
    case TextEncoding::Utf16Be: return encode_utf16<Unit::Utf16Be>(text);
    case TextEncoding::Cp1251:
    case TextEncoding::Cp1252:
    case TextEncoding::Cp866: {
        std::optional<std::string> bytes = encode_single_byte(text, code_page(encoding));
        if (!bytes) return unexpected(Unmappable{encoding});
        return std::move(*bytes);
    }
    }
    std::unreachable();
}
