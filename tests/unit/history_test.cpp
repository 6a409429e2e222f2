// Randomized check of editing and undo: every operation is also played on a
// plain model that records one step per character or line break and undoes
// them one at a time. The editor's compact records must give the same text,
// cursor and selection at every step, through any undo and redo.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "editor/editing.hpp"
#include "support/editor_state.hpp"
#include "text/char_class.hpp"
#include "text/utf8.hpp"

namespace {

// One step: a character (LF for a line break) typed at `at`, or deleted
// forwards from it; or line `at.row` copied below itself.
struct Step {
    enum Kind { Insert, Delete, Duplicate } kind;
    Position at;
    char32_t c = 0;
    std::u32string line;
};

// The editing operations as they were first described: single steps on lines
// of code points, each recorded and undone on its own. Its functions carry the
// editor's names, so one generic action drives both.
struct Model {
    std::vector<std::u32string> lines{U""};
    Position cursor;
    std::optional<Position> anchor;
    std::vector<std::vector<Step>> undo_list, redo_list;
    std::vector<Step> open;
    bool grouping = false;

    std::uint64_t len(std::uint64_t row) const { return lines[row].size(); }
    Position clamp(Position p) const
    {
        p.row = std::min<std::uint64_t>(p.row, lines.size() - 1);
        return {p.row, std::min(p.column, len(p.row))};
    }
    void put(Position p, char32_t c)
    {
        std::u32string& line = lines[p.row];
        if (c != U'\n') {
            line.insert(p.column, 1, c);
            return;
        }
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(p.row) + 1, line.substr(p.column));
        lines[p.row].erase(p.column);
    }
    char32_t take(Position p)
    {
        std::u32string& line = lines[p.row];
        if (p.column < line.size()) {
            const char32_t c = line[p.column];
            line.erase(p.column, 1);
            return c;
        }
        line += lines[p.row + 1];
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(p.row) + 1);
        return U'\n';
    }
    static Position after(Position p, char32_t c)
    {
        return c == U'\n' ? Position{p.row + 1, 0} : Position{p.row, p.column + 1};
    }
    void record(Step step)
    {
        redo_list.clear();
        if (grouping)
            open.push_back(std::move(step));
        else
            undo_list.push_back({std::move(step)});
    }
    void erase_forward(Position p) { record({Step::Delete, p, take(p), {}}); }
};

void begin(Model& m)
{
    m.grouping = true;
    m.open.clear();
}
void end(Model& m)
{
    if (!m.open.empty()) m.undo_list.push_back(std::move(m.open));
    m.open.clear();
    m.grouping = false;
}
void begin(Editor& ed) { begin_group(ed.history); }
void end(Editor& ed) { end_group(ed.history); }

void type_char(Model& m, char32_t c)
{
    m.record({Step::Insert, m.cursor, c, {}});
    m.put(m.cursor, c);
    m.cursor = Model::after(m.cursor, c);
}
void backspace_at_cursor(Model& m)
{
    const Position c = m.cursor;
    if (c.column == 0 && c.row == 0) return;
    m.cursor = c.column > 0 ? Position{c.row, c.column - 1} : Position{c.row - 1, m.len(c.row - 1)};
    m.erase_forward(m.cursor);
}
void delete_at_cursor(Model& m)
{
    if (m.cursor.column < m.len(m.cursor.row) || m.cursor.row + 1 < m.lines.size()) m.erase_forward(m.cursor);
}
bool delete_selection(Model& m)
{
    if (!m.anchor) return false;
    m.anchor = m.clamp(*m.anchor);
    m.cursor = m.clamp(m.cursor);
    if (*m.anchor == m.cursor) return false;
    const std::pair<Position, Position> range = std::minmax(*m.anchor, m.cursor);
    const auto [from, to] = range;
    begin(m);
    for (m.cursor = to; m.cursor > from;) backspace_at_cursor(m);
    end(m);
    m.anchor.reset();
    return true;
}
void delete_word_before(Model& m)
{
    if (m.anchor || m.cursor.column == 0) {
        if (!m.anchor) backspace_at_cursor(m);
        delete_selection(m);
        return;
    }
    const std::u32string& line = m.lines[m.cursor.row];
    std::uint64_t k = m.cursor.column;
    while (k > 0 && !is_word_char(line[k - 1])) --k;
    while (k > 0 && is_word_char(line[k - 1])) --k;
    begin(m);
    while (m.cursor.column > k) backspace_at_cursor(m);
    end(m);
}
void delete_word_after(Model& m)
{
    if (m.anchor || m.cursor.column == m.len(m.cursor.row)) {
        if (!m.anchor) delete_at_cursor(m);
        delete_selection(m);
        return;
    }
    const std::u32string& line = m.lines[m.cursor.row];
    std::uint64_t j = m.cursor.column;
    while (j < line.size() && is_word_char(line[j])) ++j;
    while (j < line.size() && !is_word_char(line[j])) ++j;
    begin(m);
    for (j -= m.cursor.column; j > 0; --j) m.erase_forward(m.cursor);
    end(m);
}
void delete_to_line_end(Model& m)
{
    begin(m);
    while (m.cursor.column < m.len(m.cursor.row)) m.erase_forward(m.cursor);
    end(m);
}
void duplicate_line(Model& m)
{
    m.record({Step::Duplicate, m.cursor, 0, m.lines[m.cursor.row]});
    m.lines.insert(m.lines.begin() + static_cast<std::ptrdiff_t>(m.cursor.row) + 1, m.lines[m.cursor.row]);
    ++m.cursor.row;
}
void type_text(Model& m, std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) type_char(m, utf8::next(text, at));
}
void insert_text(Model& m, std::string_view text)
{
    std::string kept(text);
    std::erase(kept, '\r');
    begin(m);
    type_text(m, kept);
    end(m);
}
void replace_at(Model& m, Position at, std::uint64_t count, std::string_view text)
{
    const bool own = !m.grouping;
    if (own) begin(m);
    m.cursor = m.clamp(at);
    for (count = std::min(count, m.len(m.cursor.row) - m.cursor.column); count > 0; --count) m.erase_forward(m.cursor);
    type_text(m, text);
    if (own) end(m);
}
void undo(Model& m)
{
    if (m.grouping) end(m);
    if (m.undo_list.empty()) return;
    m.redo_list.push_back(std::move(m.undo_list.back()));
    m.undo_list.pop_back();
    const auto& group = m.redo_list.back();
    for (auto s = group.rbegin(); s != group.rend(); ++s) {
        m.cursor = s->at;
        if (s->kind == Step::Insert) {
            m.take(s->at);
        } else if (s->kind == Step::Delete) {
            m.put(s->at, s->c);
            m.cursor = Model::after(s->at, s->c);
        } else {
            m.lines.erase(m.lines.begin() + static_cast<std::ptrdiff_t>(s->at.row) + 1);
        }
    }
}
void redo(Model& m)
{
    if (m.redo_list.empty()) return;
    m.undo_list.push_back(std::move(m.redo_list.back()));
    m.redo_list.pop_back();
    for (const Step& s : m.undo_list.back()) {
        m.cursor = s.at;
        if (s.kind == Step::Insert) {
            m.put(s.at, s.c);
            m.cursor = Model::after(s.at, s.c);
        } else if (s.kind == Step::Delete) {
            m.take(s.at);
        } else {
            m.lines.insert(m.lines.begin() + static_cast<std::ptrdiff_t>(s.at.row) + 1, s.line);
            m.cursor = {s.at.row + 1, s.at.column};
        }
    }
}

std::vector<std::string> lines_of(const Model& m)
{
    std::vector<std::string> lines;
    for (const std::u32string& line : m.lines) {
        lines.emplace_back();
        for (char32_t c : line) utf8::append(lines.back(), c);
    }
    return lines;
}

// A user action, drawn at random and then played on the editor and on the
// model alike.
struct Action {
    enum Kind {
        Type,
        Backspace,
        Delete,
        Select,
        WordBefore,
        WordAfter,
        ToLineEnd,
        Duplicate,
        Paste,
        Undo,
        Redo,
        Replace,
        Steps
    };
    Kind kind = Type;
    std::string text = {};  // typed, pasted or put in; for Steps \b is Backspace and \x7f Delete
    std::optional<Position> anchor = {};
    Position cursor = {};
    std::vector<Position> spots = {};  // replaced, last first
    std::uint64_t count = 0;           // characters replaced at each spot
};

const char* const NAMES[] = {"type",   "backspace", "delete", "select", "ctrl+backspace", "ctrl+delete",  "ctrl+k",
                             "ctrl+d", "paste",     "undo",   "redo",   "replace",        "grouped steps"};

template <class E>
void steps(E& e, std::string_view keys)
{
    for (std::size_t at = 0; at < keys.size();) {
        const char32_t c = utf8::next(keys, at);
        if (c == U'\b')
            backspace_at_cursor(e);
        else if (c == U'\x7f')
            delete_at_cursor(e);
        else
            type_char(e, c);
    }
}

template <class E>
void play(E& e, const Action& a)
{
    switch (a.kind) {
    case Action::Type:
        delete_selection(e);
        steps(e, a.text);
        break;
    case Action::Backspace:
        if (!delete_selection(e)) backspace_at_cursor(e);
        break;
    case Action::Delete:
        if (!delete_selection(e)) delete_at_cursor(e);
        break;
    case Action::Select:
        e.anchor = a.anchor;
        e.cursor = a.cursor;
        break;
    case Action::WordBefore: delete_word_before(e); break;
    case Action::WordAfter: delete_word_after(e); break;
    case Action::ToLineEnd: delete_to_line_end(e); break;
    case Action::Duplicate: duplicate_line(e); break;
    case Action::Paste:
        delete_selection(e);
        insert_text(e, a.text);
        break;
    case Action::Undo: undo(e); break;
    case Action::Redo: redo(e); break;
    case Action::Replace:
        // One spot on its own, or many in one group, as replace-all does.
        if (a.spots.size() > 1) begin(e);
        for (const Position p : a.spots) replace_at(e, p, a.count, a.text);
        if (a.spots.size() > 1) end(e);
        break;
    case Action::Steps:
        // Single steps gathered in one group, as a replacement made
        // character by character is: runs of them get joined.
        begin(e);
        steps(e, a.text);
        end(e);
        break;
    }
}

// Characters of one to four bytes, word characters, separators and the underscore.
const std::u32string ALPHABET = U"abx7  _.(\té€日😀٣ж";

struct Fuzz {
    std::mt19937_64 rng;
    Editor ed;
    Model model;

    std::uint64_t below(std::uint64_t n) { return std::uniform_int_distribution<std::uint64_t>(0, n - 1)(rng); }
    Position position()
    {
        const std::uint64_t row = below(model.lines.size());
        return {row, below(model.len(row) + 1)};
    }
    // Up to `max` characters of `extra` and the alphabet.
    std::string text(std::size_t max, std::u32string_view extra = U"\n")
    {
        std::string text;
        for (std::size_t n = below(max + 1); n > 0; --n) {
            const std::uint64_t pick = below(ALPHABET.size() + extra.size());
            utf8::append(text, pick < ALPHABET.size() ? ALPHABET[pick] : extra[pick - ALPHABET.size()]);
        }
        return text;
    }

    Action draw()
    {
        switch (below(20)) {
        case 0:
        case 1:
        case 2: return {.kind = Action::Type, .text = text(1, U"")};
        case 3: return {.kind = Action::Type, .text = "\n"};
        case 4: return {.kind = Action::Type, .text = "    "};  // Tab: four steps
        case 5: return {.kind = Action::Backspace};
        case 6: return {.kind = Action::Delete};
        case 7: return {.kind = Action::Select, .anchor = position(), .cursor = position()};
        case 8: return {.kind = Action::Select, .cursor = position()};
        case 9: return {.kind = Action::WordBefore};
        case 10: return {.kind = Action::WordAfter};
        case 11: return {.kind = Action::ToLineEnd};
        case 12: return {.kind = Action::Duplicate};
        case 13: return {.kind = Action::Paste, .text = text(12, U"\n\r\n\r")};
        case 14:
        case 15: return {.kind = Action::Undo};
        case 16: return {.kind = Action::Redo};
        case 17: {
            std::vector<Position> spots;
            for (std::uint64_t n = below(4) + 1; n > 0; --n) spots.push_back(position());
            std::sort(spots.rbegin(), spots.rend());
            return {.kind = Action::Replace, .text = text(3), .spots = spots, .count = below(3)};
        }
        case 18: {
            // Sometimes past a line end or past the last line, as a stale
            // match would be.
            Position p = position();
            if (below(3) == 0) p = {p.row + below(2), p.column + below(3)};
            return {.kind = Action::Replace, .text = text(3), .spots = {p}, .count = below(4)};
        }
        default: return {.kind = Action::Steps, .text = text(8, U"\b\x7f\n\b\x7f\n")};
        }
    }

    void expect_same(const std::string& context)
    {
        ASSERT_EQ(test_support::lines_of(ed), lines_of(model)) << context;
        ASSERT_EQ(ed.cursor, model.cursor) << context;
        ASSERT_EQ(ed.anchor, model.anchor) << context;
        const auto wrong = ed.buffer.check_invariant();
        ASSERT_FALSE(wrong) << context << ": " << *wrong;
    }
    void both(const Action& action, const std::string& context)
    {
        play(ed, action);
        play(model, action);
        expect_same(context + " " + NAMES[action.kind]);
    }
};

}  // namespace

TEST(HistoryRandom, CompactRecordsUndoAndRedoLikeSingleSteps)
{
    for (std::uint64_t seed = 1; seed <= 12; ++seed) {
        Fuzz fuzz{std::mt19937_64(seed), Editor(), Model()};
        const std::vector<std::string> start = {"foo bar_baz", "", "  (x) é€😀 ж7", "last line"};
        fuzz.ed.buffer = Buffer(start);
        fuzz.model.lines = {U"foo bar_baz", U"", U"  (x) é€😀 ж7", U"last line"};
        const std::string at_seed = "seed " + std::to_string(seed) + ", ";
        for (int n = 0; n < 600; ++n)
            ASSERT_NO_FATAL_FAILURE(fuzz.both(fuzz.draw(), at_seed + "action " + std::to_string(n)));
        const std::vector<std::string> final_text = test_support::lines_of(fuzz.ed);

        // All the way back reaches the start; a further undo changes nothing.
        std::size_t undone = 0;
        for (; !fuzz.model.undo_list.empty(); ++undone)
            ASSERT_NO_FATAL_FAILURE(fuzz.both({.kind = Action::Undo}, at_seed + std::to_string(undone)));
        EXPECT_EQ(test_support::lines_of(fuzz.ed), start);
        ASSERT_NO_FATAL_FAILURE(fuzz.both({.kind = Action::Undo}, at_seed + "nothing left:"));
        // As many redos come back to the text the actions left; the steps
        // they had undone last come after, then nothing.
        for (std::size_t redone = 0; !fuzz.model.redo_list.empty(); ++redone) {
            if (redone == undone) {
                EXPECT_EQ(test_support::lines_of(fuzz.ed), final_text);
            }
            ASSERT_NO_FATAL_FAILURE(fuzz.both({.kind = Action::Redo}, at_seed + std::to_string(redone)));
        }
        ASSERT_NO_FATAL_FAILURE(fuzz.both({.kind = Action::Redo}, at_seed + "nothing left:"));
    }
}
