#include "encoding/scorer.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace {

// What a byte above 0x7F is in one code page.
enum class Kind : std::uint8_t { Control, Space, Punctuation, Symbol, Box, Cyrillic, Latin };

struct HighByte {
    Kind kind;
    bool upper;
    std::uint8_t letter;  // for a letter, its place in its script's alphabet, from 1; else 0
    // For box drawing, the line that leaves it to the left and to the right
    // (0 none, 1 single, 2 double; block elements 7 on both sides): side by
    // side, two of them join when the first's right is the second's left.
    std::uint8_t left;
    std::uint8_t right;
};

// WINDOWS_1251_BYTES, WINDOWS_1252_BYTES, IBM866_BYTES, CYRILLIC_PAIRS,
// LATIN_PAIRS and CYRILLIC_I, made from Unicode data and word lists by
// tools/gen-scorer-tables.
#include "encoding/scorer_tables.inc"

using PageBytes = std::array<HighByte, 128>;

constexpr std::array<const PageBytes*, 3> PAGES = {&WINDOWS_1251_BYTES, &WINDOWS_1252_BYTES, &IBM866_BYTES};
constexpr std::array<TextEncoding, 3> PAGE_ENCODINGS = {TextEncoding::Cp1251, TextEncoding::Cp1252,
                                                        TextEncoding::Cp866};

// What each class of letter pair adds to a letter's score; a letter is in
// two pairs (with the letter or word edge on each side) and takes half of each.
constexpr std::array<double, 4> PAIR_VALUE = {-2.0, -0.25, 0.5, 1.0};
// A letter in a word whose letters are not all lower case, all capitals, or
// a capital and then lower case.
constexpr double ODD_CASE = -1.5;
// A letter in a word that mixes Cyrillic and Latin letters, a letter three
// times in a row, or a symbol, space or box-drawing character between letters
// (punctuation there is usual: an apostrophe, a dash).
constexpr double NOT_A_WORD = -2.0;
// A control character: text never has them.
constexpr double CONTROL = -4.0;
// Box drawing among box drawing or spaces: a screen or a table.
constexpr double BOX_DRAWING = 1.0;

// A reading is taken when its mean score reaches this (windows-1251,
// windows-1252, IBM866) ... In a Cyrillic reading every letter is above
// 0x7F and well known to the tables: Russian in KOI8-R or ISO-8859-5 read as
// windows-1251 still scores up to about 0.15 where real text scores 0.8 and
// more. Latin letters above 0x7F are the rarer accented ones, whose pairs the
// word lists know less well: real text scores from about 0.3.
constexpr std::array<double, 3> PLAUSIBLE = {0.5, 0.2, 0.5};
// ... and is at least this much above the other two readings' mean scores.
constexpr double CLEARLY_BETTER = 0.75;

// A token is a run of ASCII letters and bytes above 0x7F: what could be a
// word in one reading or another. Longer runs are judged in pieces.
constexpr std::size_t LONGEST_TOKEN = 64;

bool in_token(unsigned char b) { return b >= 0x80 || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z'); }

struct Unit {
    Kind kind;
    bool upper;
    bool high;  // a byte above 0x7F: only those are scored
    std::uint8_t letter;
    std::uint8_t left;
    std::uint8_t right;
};

bool is_letter(const Unit& u) { return u.kind == Kind::Cyrillic || u.kind == Kind::Latin; }

Unit unit_of(unsigned char b, const PageBytes& page)
{
    if (b >= 0x80) {
        const HighByte& h = page[b - 0x80];
        return {h.kind, h.upper, true, h.letter, h.left, h.right};
    }
    // The Latin alphabet of the tables starts with a-z.
    if (b >= 'a' && b <= 'z') return {Kind::Latin, false, false, static_cast<std::uint8_t>(b - 'a' + 1), 0, 0};
    return {Kind::Latin, true, false, static_cast<std::uint8_t>(b - 'A' + 1), 0, 0};
}

int pair_class(Kind script, std::uint8_t first, std::uint8_t second)
{
    const std::string_view row = script == Kind::Cyrillic ? CYRILLIC_PAIRS[first] : LATIN_PAIRS[first];
    return row[second] - '0';
}

// The scores of the bytes above 0x7F in a run of letters.
double word_score(std::span<Unit> word)
{
    const bool cyrillic = std::ranges::any_of(word, [](const Unit& u) { return u.kind == Kind::Cyrillic; });
    if (cyrillic) {
        for (Unit& u : word)
            if (u.kind == Kind::Latin && !u.high && u.letter == 'i' - 'a' + 1) {
                u.kind = Kind::Cyrillic;
                u.letter = CYRILLIC_I;
            }
    }
    const auto high = static_cast<double>(std::ranges::count_if(word, [](const Unit& u) { return u.high; }));
    if (high == 0) return 0;
    const Kind script = word.front().kind;
    if (std::ranges::any_of(word, [script](const Unit& u) { return u.kind != script; })) return high * NOT_A_WORD;

    const auto capitals = std::ranges::count_if(word, [](const Unit& u) { return u.upper; });
    const bool usual_case = capitals == 0 || static_cast<std::size_t>(capitals) == word.size() ||
                            (capitals == 1 && word.front().upper);
    double total = 0;
    for (std::size_t k = 0; k < word.size(); ++k) {
        if (!word[k].high) continue;
        const std::uint8_t before = k == 0 ? 0 : word[k - 1].letter;
        const std::uint8_t after = k + 1 == word.size() ? 0 : word[k + 1].letter;
        const std::uint8_t letter = word[k].letter;
        double score = (PAIR_VALUE[pair_class(script, before, letter)] +
                        PAIR_VALUE[pair_class(script, letter, after)]) /
                       2;
        if (!usual_case) score += ODD_CASE;
        if (k >= 2 && word[k - 1].letter == letter && word[k - 2].letter == letter) score += NOT_A_WORD;
        total += score;
    }
    return total;
}

// The score of a byte above 0x7F that is not a letter, at `at` in the token.
double non_letter_score(std::span<const Unit> units, std::size_t at)
{
    const bool letter_before = at > 0 && is_letter(units[at - 1]);
    const bool letter_after = at + 1 < units.size() && is_letter(units[at + 1]);
    switch (units[at].kind) {
    case Kind::Control: return CONTROL;
    case Kind::Box: {
        // Lines join up on a screen; the same bytes read wrongly give box
        // drawing that does not.
        const Unit& box = units[at];
        const bool joins_before = at == 0 || units[at - 1].kind != Kind::Box || units[at - 1].right == box.left;
        const bool joins_after = at + 1 == units.size() || units[at + 1].kind != Kind::Box ||
                                 box.right == units[at + 1].left;
        return !letter_before && !letter_after && joins_before && joins_after ? BOX_DRAWING : NOT_A_WORD;
    }
    case Kind::Punctuation: return 0;
    default: return letter_before && letter_after ? NOT_A_WORD : 0;
    }
}

double token_score(std::span<const unsigned char> token, const PageBytes& page)
{
    std::array<Unit, LONGEST_TOKEN> storage;
    const std::span<Unit> units(storage.data(), token.size());
    std::ranges::transform(token, units.begin(), [&page](unsigned char b) { return unit_of(b, page); });
    double total = 0;
    for (std::size_t at = 0; at < units.size();) {
        if (!is_letter(units[at])) {
            if (units[at].high) total += non_letter_score(units, at);
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < units.size() && is_letter(units[end])) ++end;
        total += word_score(units.subspan(at, end - at));
        at = end;
    }
    return total;
}

}  // namespace

std::array<double, 3> code_page_scores(std::string_view bytes)
{
    std::array<double, 3> totals{};
    std::size_t high = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    for (std::size_t at = 0; at < n;) {
        while (at < n && !in_token(p[at])) ++at;
        const std::size_t start = at;
        std::size_t token_high = 0;
        while (at < n && at - start < LONGEST_TOKEN && in_token(p[at])) token_high += p[at++] >= 0x80;
        if (token_high == 0) continue;
        high += token_high;
        const std::span<const unsigned char> token(p + start, at - start);
        for (std::size_t k = 0; k < PAGES.size(); ++k) totals[k] += token_score(token, *PAGES[k]);
    }
    if (high == 0) return totals;
    for (double& total : totals) total /= static_cast<double>(high);
    return totals;
}

std::optional<TextEncoding> code_page_by_reading(std::string_view bytes)
{
    const std::array<double, 3> scores = code_page_scores(bytes);
    const auto best = static_cast<std::size_t>(std::ranges::max_element(scores) - scores.begin());
    if (scores[best] < PLAUSIBLE[best]) return std::nullopt;
    for (std::size_t k = 0; k < scores.size(); ++k)
        if (k != best && scores[best] - scores[k] < CLEARLY_BETTER) return std::nullopt;
    return PAGE_ENCODINGS[best];
}
