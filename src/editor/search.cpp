#include "editor/search.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "editor/cursor.hpp"
#include "editor/editing.hpp"
#include "editor/history.hpp"
#include "editor/messages.hpp"
#include "editor/view.hpp"
#include "text/utf8.hpp"

// Lines are valid UTF-8 and so is the search text, whose first byte is never
// a continuation byte: a byte-wise hit always starts on a character boundary
// and is exactly a code-point-wise match. So the search runs over the bytes
// and only the hits are turned into columns.

namespace {

constexpr std::size_t NOT_FOUND = std::string_view::npos;

bool is_continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// The first occurrence of `needle` (not empty) in `hay` starting at byte
// `from` or later. Sixteen candidate starts are tested at once against the
// needle's first and last bytes, which together rule out nearly every
// candidate whatever the text; only the survivors are compared in full.
std::size_t find_bytes(std::string_view hay, std::string_view needle, std::size_t from)
{
    const std::size_t n = needle.size();
    if (hay.size() < n || from > hay.size() - n) return NOT_FOUND;
#if defined(__SSE2__)
    if (n >= 2) {
        const __m128i first = _mm_set1_epi8(needle.front());
        const __m128i last = _mm_set1_epi8(needle.back());
        const char* const text = hay.data();
        const std::size_t stop = hay.size() - n + 1;  // one past the last possible start
        for (; from + 16 <= stop; from += 16) {
            const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + from));
            const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + from + n - 1));
            auto candidates = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(heads, first), _mm_cmpeq_epi8(tails, last))));
            while (candidates != 0) {
                const std::size_t at = from + static_cast<std::size_t>(std::countr_zero(candidates));
                if (std::memcmp(text + at + 1, needle.data() + 1, n - 2) == 0) return at;
                candidates &= candidates - 1;
            }
        }
    }
#endif
    return hay.find(needle, from);
}

std::uint64_t search_length(const Editor& editor) { return utf8::length(editor.search_text); }

// The first match at or after the cursor in document order, or the first of
// all when none is.
std::size_t first_match_from_cursor(const Editor& editor)
{
    const auto it = std::lower_bound(editor.matches.begin(), editor.matches.end(), editor.cursor);
    return it == editor.matches.end() ? 0 : static_cast<std::size_t>(it - editor.matches.begin());
}

// Selects a match. The list is a snapshot that later edits do not update, so
// a match may name text that has since moved or gone: both ends are kept
// inside the document.
void go_to_match(Editor& editor, std::size_t index)
{
    editor.current_match = index;
    const Position start = editor.matches[index];
    editor.anchor = clamp_to_document(editor.buffer, start);
    editor.cursor = clamp_to_document(editor.buffer, {start.row, start.column + search_length(editor)});
    keep_cursor_visible(editor);
    set_message(editor, msg::match_counter(editor.search_text, index, editor.matches.size()));
}

// A replacement leaves the anchor where it was, which may now be past the end
// of a line that got shorter.
void keep_anchor_in_document(Editor& editor)
{
    if (editor.anchor) editor.anchor = clamp_to_document(editor.buffer, *editor.anchor);
}

// What a replace-all run does to one line: the columns at which it replaces,
// in the order it replaces them (always the rightmost occurrence first, each
// column counted in the line as it stands at that step), and the line after.
//
// Only characters that were in the line when the run began make up an
// occurrence, so text the run inserts is never searched and the run ends for
// every replacement, also one that contains the search text. The line is read
// from its end, keeping the characters right of the reading point that a
// further occurrence could still use. A non-empty replacement stands between
// them and everything left of it, so after one it keeps none. An empty
// replacement brings the characters on both sides together, and they may form
// a new occurrence, as the rescan after every replacement would find.
struct LinePlan {
    std::vector<std::uint64_t> columns;
    std::string result;
};

LinePlan plan_line(std::string_view line, std::string_view needle, std::string_view replacement)
{
    LinePlan plan;
    if (find_bytes(line, needle, 0) == NOT_FOUND) return plan;
    const std::string reversed_needle(needle.rbegin(), needle.rend());
    const std::string reversed_replacement(replacement.rbegin(), replacement.rend());
    // The line from the reading point on, reversed; its last `open` bytes are
    // the characters an occurrence may still use.
    std::string reversed;
    reversed.reserve(line.size());
    std::size_t open = 0;
    std::uint64_t chars_before = utf8::length(line);
    for (std::size_t at = line.size(); at-- > 0;) {
        const char byte = line[at];
        if (!is_continuation(byte)) --chars_before;
        reversed.push_back(byte);
        ++open;
        if (byte != needle.front() || open < needle.size()) continue;
        if (!std::equal(reversed_needle.begin(), reversed_needle.end(),
                        reversed.end() - static_cast<std::ptrdiff_t>(needle.size())))
            continue;
        plan.columns.push_back(chars_before);
        reversed.resize(reversed.size() - needle.size());
        open -= needle.size();
        if (!replacement.empty()) {
            reversed += reversed_replacement;
            open = 0;
        }
    }
    plan.result.assign(reversed.rbegin(), reversed.rend());
    return plan;
}

// Makes the planned replacements of one line in a few splices of the whole
// changed stretch rather than one per occurrence, so that a long line with
// many occurrences (and undoing them) costs the length of the line, not that
// times their number. Undo and redo still leave the cursor where they would
// after single replacements: undoing the run ends with undoing its first
// replacement, made here on its own, and redoing it ends with the last
// (leftmost) replacement's own step, done last.
void apply_line(Editor& editor, std::uint64_t row, const LinePlan& plan, std::uint64_t length,
                std::string_view replacement)
{
    replace_at(editor, {row, plan.columns.front()}, length, replacement);
    if (plan.columns.size() == 1) return;

    // Left of the leftmost occurrence nothing changes; at the end, the two
    // texts share a tail, cut where a character starts.
    const std::uint64_t leftmost = plan.columns.back();
    const std::string_view now = editor.buffer.line(row);
    const std::string_view after = plan.result;
    const std::size_t from = utf8::byte_offset(now, leftmost);
    const std::size_t longest_tail = std::min(now.size() - from, after.size() - from - replacement.size());
    std::size_t tail = 0;
    while (tail < longest_tail && now[now.size() - 1 - tail] == after[after.size() - 1 - tail]) ++tail;
    while (tail > 0 && is_continuation(now[now.size() - tail])) --tail;

    const std::uint64_t changed = utf8::length(now.substr(from, now.size() - tail - from));
    const std::string middle(after.substr(from + replacement.size(), after.size() - tail - from - replacement.size()));
    if (replacement.empty()) {
        // Redoing then ends with a deletion at the leftmost occurrence.
        replace_at(editor, {row, leftmost + changed}, 0, middle);
        replace_at(editor, {row, leftmost}, changed, {});
    } else {
        replace_at(editor, {row, leftmost}, changed, middle);
        replace_at(editor, {row, leftmost}, 0, replacement);
    }
}

// Whether each replacement of a line's plan lies wholly left of the one
// before it, as it always does unless an empty replacement brought two
// parts of an occurrence together: the columns are then all columns of the
// line as it was, and a Replace record can hold them.
bool stand_apart(const std::vector<std::uint64_t>& columns, std::uint64_t length)
{
    for (std::size_t k = 1; k < columns.size(); ++k)
        if (columns[k] + length > columns[k - 1]) return false;
    return true;
}

}  // namespace

void find_matches(Editor& editor)
{
    editor.matches.clear();
    editor.current_match.reset();
    const std::string_view needle = editor.search_text;
    if (needle.empty()) return;
    const Buffer& buffer = editor.buffer;
    const std::uint64_t rows = buffer.line_count();
    for (std::uint64_t row = 0; row < rows; ++row) {
        const std::string_view line = buffer.line(row);
        std::size_t at = find_bytes(line, needle, 0);
        std::uint64_t column = 0;
        std::size_t counted = 0;  // bytes already turned into `column`
        while (at != NOT_FOUND) {
            column += utf8::length(line.substr(counted, at - counted));
            counted = at;
            editor.matches.push_back({row, column});
            // Every start is tried, so overlapping occurrences are all listed.
            at = find_bytes(line, needle, at + 1);
        }
    }
}

void next_match(Editor& editor)
{
    if (editor.matches.empty()) return;
    std::size_t index = 0;
    if (editor.current_match) {
        index = *editor.current_match + 1 < editor.matches.size() ? *editor.current_match + 1 : 0;
    } else {
        index = first_match_from_cursor(editor);
    }
    go_to_match(editor, index);
}

void previous_match(Editor& editor)
{
    if (editor.matches.empty()) return;
    // With no current match the cursor plays no part: the last match it is.
    const std::size_t index = editor.current_match && *editor.current_match > 0 ? *editor.current_match - 1
                                                                                : editor.matches.size() - 1;
    go_to_match(editor, index);
}

void show_replace_prompt(Editor& editor)
{
    set_message(editor, msg::replace_prompt(editor.search_text, editor.replace_text, editor.matches.size()));
}

void replace_one(Editor& editor)
{
    if (editor.matches.empty()) {
        set_message(editor, msg::NOTHING_FOUND);
        editor.mode = Mode::Normal;
        return;
    }
    // The next occurrence from the cursor, which stands after the previous
    // replacement (or where a click put it).
    const Position at = editor.matches[first_match_from_cursor(editor)];
    replace_at(editor, at, search_length(editor), editor.replace_text);
    keep_anchor_in_document(editor);
    find_matches(editor);
    if (editor.matches.empty()) {
        set_message(editor, msg::REPLACING_DONE);
        editor.mode = Mode::Normal;
    } else {
        show_replace_prompt(editor);
    }
}

void replace_all(Editor& editor)
{
    const std::size_t count = editor.matches.size();
    if (count == 0) {
        editor.mode = Mode::Normal;
        return;
    }
    const std::uint64_t length = search_length(editor);
    // Last line first and, within a line, right to left: every replacement
    // then leaves the text before it, and so the columns still to come, as
    // they were.
    const std::string_view replacement = editor.replace_text;
    // A line break in the replacement (only a terminal that reports LF as a
    // character can put one there) splits the line, so the line cannot be
    // changed as a whole: each occurrence is then replaced on its own.
    const bool splits_lines = replacement.find('\n') != std::string_view::npos;
    begin_group(editor.history);
    // The lines whose occurrences stand apart are made and recorded together,
    // in one compact record for as many of them as follow each other.
    ReplacePlaces places(editor.search_text, replacement);
    const auto make_places = [&] {
        if (!places.empty())
            editor.cursor = apply_edit(editor.buffer, editor.history, EditKind::Replace, {}, {}, places.take());
    };
    std::vector<std::uint64_t> ascending;
    for (std::uint64_t row = editor.buffer.line_count(); row-- > 0;) {
        const LinePlan plan = plan_line(editor.buffer.line(row), editor.search_text, replacement);
        if (plan.columns.empty()) continue;
        if (splits_lines) {
            for (const std::uint64_t column : plan.columns) replace_at(editor, {row, column}, length, replacement);
        } else if (stand_apart(plan.columns, length)) {
            ascending.assign(plan.columns.rbegin(), plan.columns.rend());
            places.add_line(row, ascending);
        } else {
            make_places();
            apply_line(editor, row, plan, length, replacement);
        }
    }
    make_places();
    end_group(editor.history);
    // The run stops once nothing is left for it to replace, and so the list
    // it leaves is empty.
    editor.matches.clear();
    editor.current_match.reset();
    keep_anchor_in_document(editor);
    set_message(editor, msg::replaced_all(count));
    editor.mode = Mode::Normal;
}
