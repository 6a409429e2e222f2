#include "text/utf8.hpp"

#include <array>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace utf8 {

namespace {

// What a lead byte promises: how many continuation bytes follow it, and the
// range its first continuation byte must fall in. The narrowed ranges after
// E0, ED, F0 and F4 are what rule out overlong forms, surrogates and code
// points past U+10FFFF. A byte that cannot start a sequence promises nothing.
struct Lead {
    std::uint8_t continuations;
    unsigned char low;
    unsigned char high;
};

constexpr Lead lead_of(unsigned char b)
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

// Most text is ASCII: eight bytes are tested at once.
bool word_is_ascii(const char* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ULL) == 0;
}

std::uint64_t count_continuations(const char* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    // A continuation byte is 10xxxxxx: top bit set, next bit clear.
    const std::uint64_t cont = word & ~(word << 1) & 0x8080808080808080ULL;
    // Counted by a multiply that sums the eight flag bits into the top
    // byte: a processor without a population count instruction would
    // otherwise call a library function here, for every eight bytes.
    return (cont >> 7) * 0x0101010101010101ULL >> 56;
}

// Validation runs an automaton over the bytes: one table load and one shift
// per byte, no branch. Each byte's entry holds, for every state, the state
// that byte leads to, in six bits at the state's own offset, so the current
// state is the shift that picks out the next one. Unset bits lead to REJECT,
// which leads nowhere else. The states are the sequence still expected.
enum : std::uint64_t {
    REJECT = 0,
    ACCEPT = 6,
    ONE_MORE = 12,    // last continuation byte
    TWO_MORE = 18,    // two continuation bytes
    AFTER_E0 = 24,    // A0-BF, then one more: no overlong three-byte forms
    AFTER_ED = 30,    // 80-9F, then one more: no surrogates
    THREE_MORE = 36,  // three continuation bytes
    AFTER_F0 = 42,    // 90-BF, then two more: no overlong four-byte forms
    AFTER_F4 = 48,    // 80-8F, then two more: nothing past U+10FFFF
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
        } else if (const Decoded d = decode(std::string_view(reinterpret_cast<const char*>(p) + at, n - at));
                   d.status == Decoded::Status::Ok) {
            at += d.length;
        } else {
            return at;
        }
    }
    return n;
}

// Checks eight bytes at once when they hold only ASCII and two-byte
// sequences (Latin letters with marks, Cyrillic: most of what the editor
// reads) and the automaton is between sequences or waits for a last
// continuation byte. Then the bytes are valid when every continuation byte
// directly follows a lead byte C2-DF and every such lead byte is followed by
// one. True, with the state after the word, when they are; false leaves the
// word to the automaton, which also tells the errors.
bool two_byte_word(const unsigned char* p, std::uint64_t& state)
{
    constexpr std::uint64_t HIGH = 0x8080808080808080ULL;
    if (state != ACCEPT && state != ONE_MORE) return false;
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    // The first byte in the lowest bits, so that "the next byte" is a shift up.
    if constexpr (std::endian::native == std::endian::big) word = std::byteswap(word);
    // Bits 7, 6 and 5 of each byte, each moved to bit 7.
    const std::uint64_t bit7 = word & HIGH;
    const std::uint64_t bit6 = (word << 1) & HIGH;
    const std::uint64_t bit5 = (word << 2) & HIGH;
    const std::uint64_t continuation = bit7 & ~bit6;
    const std::uint64_t lead = bit7 & bit6;
    // The lead of a longer sequence, or a byte that starts none.
    if (lead & bit5) return false;
    // C0 and C1 would be overlong forms: bits 4 to 1 all clear. Adding 7E to
    // those four bits carries into bit 7 unless they are.
    const std::uint64_t overlong = lead & ~((word & 0x1E1E1E1E1E1E1E1EULL) + 0x7E7E7E7E7E7E7E7EULL);
    const std::uint64_t expected = lead << 8 | (state == ONE_MORE ? 0x80u : 0u);
    if (overlong != 0 || continuation != expected) return false;
    state = lead >> 63 ? ONE_MORE : ACCEPT;
    return true;
}

}  // namespace

Decoded decode_any(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    if (p[0] < 0x80) return {Decoded::Status::Ok, p[0], 1};
    const Lead lead = lead_of(p[0]);
    if (lead.continuations == 0) return {Decoded::Status::Malformed, REPLACEMENT, 1};
    char32_t c = p[0] & (0x3Fu >> lead.continuations);
    unsigned char low = lead.low;
    unsigned char high = lead.high;
    for (std::size_t k = 1; k <= lead.continuations; ++k) {
        // The bytes that fitted so far are the maximal subpart; the one that
        // broke the sequence starts the next.
        if (k == bytes.size()) return {Decoded::Status::Truncated, REPLACEMENT, k};
        if (p[k] < low || p[k] > high) return {Decoded::Status::Malformed, REPLACEMENT, k};
        c = c << 6 | (p[k] & 0x3Fu);
        low = 0x80;
        high = 0xBF;
    }
    return {Decoded::Status::Ok, c, lead.continuations + 1u};
}

void append(std::string& out, char32_t c)
{
    char bytes[4];
    out.append(bytes, static_cast<std::size_t>(put(bytes, c) - bytes));
}

std::string encode(char32_t c)
{
    std::string out;
    append(out, c);
    return out;
}

#if defined(__SSE2__)
// The same check as two_byte_word for sixteen bytes at once.
bool two_byte_block(const unsigned char* p, std::uint64_t& state)
{
    if (state != ACCEPT && state != ONE_MORE) return false;
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // As signed bytes: 80-BF are below -64, C2-DF between -63 and -32
    // (exclusive), ASCII at 0 or above.
    const __m128i high = _mm_cmplt_epi8(x, _mm_setzero_si128());
    const __m128i continuation = _mm_cmplt_epi8(x, _mm_set1_epi8(-64));
    const __m128i lead = _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(-63)), _mm_cmplt_epi8(x, _mm_set1_epi8(-32)));
    const auto high_bits = static_cast<unsigned>(_mm_movemask_epi8(high));
    const auto continuation_bits = static_cast<unsigned>(_mm_movemask_epi8(continuation));
    const auto lead_bits = static_cast<unsigned>(_mm_movemask_epi8(lead));
    // Any other byte above 0x7F (C0, C1, a longer sequence's lead) is left
    // to the automaton; so is a continuation byte without its lead.
    if ((high_bits & ~(continuation_bits | lead_bits)) != 0) return false;
    if (continuation_bits != ((lead_bits << 1 | (state == ONE_MORE ? 1u : 0u)) & 0xFFFF)) return false;
    state = lead_bits >> 15 ? ONE_MORE : ACCEPT;
    return true;
}
#endif

std::size_t valid_prefix(std::string_view bytes)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    // Eight bytes at a time: checked whole when they allow it, else through
    // the automaton, which only needs looking at once the word is done, since
    // an error never leaves. On an error, or input that ends inside a
    // sequence, the exact place is found from the start of the word's first
    // sequence.
    std::uint64_t state = ACCEPT;
    std::size_t at = 0;
    for (; at + 8 <= n; at += 8) {
#if defined(__SSE2__)
        // Sixteen at once while the text is ASCII and two-byte sequences.
        while (at + 16 <= n && two_byte_block(p + at, state)) at += 16;
        if (at + 8 > n) break;
#endif
        if (two_byte_word(p + at, state)) continue;
        std::uint64_t next = state;
        for (std::size_t k = 0; k < 8; ++k) next = UTF8_AUTOMATON[p[at + k]] >> (next & 63);
        if ((next & 63) == REJECT) return valid_prefix_from(p, n, sequence_start(p, at, state));
        state = next & 63;
    }
    const std::size_t tail = at;
    const std::uint64_t tail_state = state;
    for (; at < n; ++at) state = UTF8_AUTOMATON[p[at]] >> (state & 63);
    if ((state & 63) == ACCEPT) return n;
    return valid_prefix_from(p, n, sequence_start(p, tail, tail_state));
}

std::string repair(std::string_view bytes, std::size_t* unreadable)
{
    std::string out;
    out.reserve(bytes.size());
    std::size_t at = 0;
    for (;;) {
        const std::size_t valid = valid_prefix(bytes.substr(at));
        out.append(bytes.substr(at, valid));
        at += valid;
        if (at == bytes.size()) return out;
        // Input that ends inside a sequence ends with one U+FFFD for it.
        const std::size_t bad = decode(bytes.substr(at)).length;
        if (unreadable) *unreadable += bad;
        at += bad;
        append(out, REPLACEMENT);
    }
}

char32_t next(std::string_view text, std::size_t& at)
{
    const Decoded d = decode(text.substr(at));
    at += d.length;
    return d.c;
}

char32_t previous(std::string_view text, std::size_t& at)
{
    std::size_t start = at - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    const char32_t c = decode(text.substr(start, at - start)).c;
    at = start;
    return c;
}

std::uint64_t length(std::string_view text)
{
    std::uint64_t count = 0;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) count += 8 - count_continuations(text.data() + i);
    for (; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++count;
    return count;
}

std::size_t byte_offset(std::string_view text, std::uint64_t column)
{
    std::size_t at = 0;
    while (column >= 8 && at + 8 <= text.size() && word_is_ascii(text.data() + at)) {
        at += 8;
        column -= 8;
    }
    while (column > 0 && at < text.size()) {
        at += sequence_length(static_cast<unsigned char>(text[at]));
        --column;
        while (column >= 8 && at + 8 <= text.size() && word_is_ascii(text.data() + at)) {
            at += 8;
            column -= 8;
        }
    }
    return at < text.size() ? at : text.size();
}

std::string_view substr(std::string_view text, std::uint64_t from, std::uint64_t count)
{
    const std::size_t begin = byte_offset(text, from);
    const std::string_view rest = text.substr(begin);
    return rest.substr(0, byte_offset(rest, count));
}

}  // namespace utf8
