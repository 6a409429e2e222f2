// Randomized check of editing and undo: every operation is also played on a
// plain model that records one step per character and line break and undoes
// them one at a time. The editor's compact records must give the same text,
// the same cursor and the same grouping at every step.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "editor/cursor.hpp"
#include "editor/editing.hpp"
#include "text/char_class.hpp"
#include "text/utf8.hpp"

// Readable positions in failure messages.
void PrintTo(const Position& p, std::ostream* os) { *os << '(' << p.row << ", " << p.column << ')'; }

namespace {

enum class Step { InsertChar, DeleteChar, SplitLine, MergeLines, DuplicateLine };

struct StepRecord {
    Step kind;
    char32_t character;
    Position at;
    std::string line;  // the copied line, for DuplicateLine
};

using StepGroup = std::vector<StepRecord>;

// The editing operations built from single steps on the buffer's
// one-character primitives, exactly as they were first described.
struct Model {
    Buffer buffer;
    Position cursor;
    std::optional<Position> anchor;
    std::vector<StepGroup> undo_list, redo_list;
    StepGroup open;
    bool grouping = false;

    void record(StepRecord r)
    {
        redo_list.clear();
        if (grouping)
            open.push_back(std::move(r));
        else
            undo_list.push_back({std::move(r)});
    }
    void begin()
    {
        grouping = true;
        open.clear();
    }
    void end()
    {
        if (!open.empty()) undo_list.push_back(std::move(open));
        open.clear();
        grouping = false;
    }

    void type_char(char32_t c)
    {
        record({Step::InsertChar, c, cursor, {}});
        buffer.insert_char(cursor.row, cursor.column, c);
        ++cursor.column;
    }
    void new_line()
    {
        record({Step::SplitLine, 0, cursor, {}});
        buffer.split_line(cursor.row, cursor.column);
        cursor = {cursor.row + 1, 0};
    }
    void backspace_at_cursor()
    {
        if (cursor.column > 0)
            record(
                {Step::DeleteChar, buffer.char_at(cursor.row, cursor.column - 1), {cursor.row, cursor.column - 1}, {}});
        else if (cursor.row > 0)
            record({Step::MergeLines, 0, {cursor.row - 1, buffer.line_len(cursor.row - 1)}, {}});
        else
            return;
        cursor = buffer.backspace(cursor.row, cursor.column);
    }
    void delete_at_cursor()
    {
        if (cursor.column < buffer.line_len(cursor.row))
            record({Step::DeleteChar, buffer.char_at(cursor.row, cursor.column), cursor, {}});
        else if (cursor.row + 1 < buffer.line_count())
            record({Step::MergeLines, 0, cursor, {}});
        else
            return;
        buffer.delete_char(cursor.row, cursor.column);
    }
    std::optional<std::pair<Position, Position>> selection_range()
    {
        if (!anchor) return std::nullopt;
        anchor = clamp_to_document(buffer, *anchor);
        cursor = clamp_to_document(buffer, cursor);
        if (*anchor == cursor) return std::nullopt;
        return std::minmax(*anchor, cursor);
    }
    bool delete_selection()
    {
        const auto range = selection_range();
        if (!range) return false;
        begin();
        cursor = range->second;
        while (cursor > range->first) backspace_at_cursor();
        end();
        anchor.reset();
        return true;
    }
    void delete_word_before()
    {
        if (anchor) {
            delete_selection();
            return;
        }
        if (cursor.column == 0) {
            backspace_at_cursor();
            return;
        }
        std::uint64_t k = cursor.column;
        while (k > 0 && !is_word_char(buffer.char_at(cursor.row, k - 1))) --k;
        while (k > 0 && is_word_char(buffer.char_at(cursor.row, k - 1))) --k;
        begin();
        while (cursor.column > k) backspace_at_cursor();
        end();
    }
    void delete_word_after()
    {
        if (anchor) {
            delete_selection();
            return;
        }
        const std::uint64_t len = buffer.line_len(cursor.row);
        if (cursor.column >= len) {
            delete_at_cursor();
            return;
        }
        std::uint64_t j = cursor.column;
        while (j < len && is_word_char(buffer.char_at(cursor.row, j))) ++j;
        while (j < len && !is_word_char(buffer.char_at(cursor.row, j))) ++j;
        begin();
        for (std::uint64_t n = j - cursor.column; n > 0; --n) delete_at_cursor();
        end();
    }
    void delete_to_line_end()
    {
        begin();
        while (cursor.column < buffer.line_len(cursor.row)) {
            record({Step::DeleteChar, buffer.char_at(cursor.row, cursor.column), cursor, {}});
            buffer.delete_char(cursor.row, cursor.column);
        }
        end();
    }
    void duplicate_line()
    {
        record({Step::DuplicateLine, 0, cursor, std::string(buffer.line(cursor.row))});
        buffer.insert_line(cursor.row + 1, std::string(buffer.line(cursor.row)));
        ++cursor.row;
    }
    void insert_text(std::string_view text)
    {
        begin();
        for (std::size_t at = 0; at < text.size();) {
            const char32_t c = utf8::next(text, at);
            if (c == U'\n')
                new_line();
            else if (c != U'\r')
                type_char(c);
        }
        end();
    }
    void replace_at(Position at, std::uint64_t count, std::string_view text)
    {
        const bool own = !grouping;
        if (own) begin();
        cursor = clamp_to_document(buffer, at);
        count = std::min(count, buffer.line_len(cursor.row) - cursor.column);
        for (; count > 0; --count) delete_at_cursor();
        for (std::size_t i = 0; i < text.size();) {
            const char32_t c = utf8::next(text, i);
            if (c == U'\n')
                new_line();
            else
                type_char(c);
        }
        if (own) end();
    }

    void remove_line(std::uint64_t row)
    {
        std::vector<std::string> lines;
        for (std::uint64_t r = 0; r < buffer.line_count(); ++r)
            if (r != row) lines.emplace_back(buffer.line(r));
        buffer.replace_lines(std::move(lines));
    }
    void undo()
    {
        if (grouping) end();
        if (undo_list.empty()) return;
        StepGroup group = undo_list.back();
        undo_list.pop_back();
        redo_list.push_back(group);
        for (auto r = group.rbegin(); r != group.rend(); ++r) {
            const Position p = r->at;
            switch (r->kind) {
            case Step::InsertChar:
                buffer.delete_char(p.row, p.column);
                cursor = p;
                break;
            case Step::DeleteChar:
                buffer.insert_char(p.row, p.column, r->character);
                cursor = {p.row, p.column + 1};
                break;
            case Step::SplitLine:
                buffer.backspace(p.row + 1, 0);
                cursor = p;
                break;
            case Step::MergeLines:
                buffer.split_line(p.row, p.column);
                cursor = {p.row + 1, 0};
                break;
            case Step::DuplicateLine:
                remove_line(p.row + 1);
                cursor = p;
                break;
            }
        }
    }
    void redo()
    {
        if (redo_list.empty()) return;
        StepGroup group = redo_list.back();
        redo_list.pop_back();
        undo_list.push_back(group);
        for (const StepRecord& r : group) {
            const Position p = r.at;
            switch (r.kind) {
            case Step::InsertChar:
                buffer.insert_char(p.row, p.column, r.character);
                cursor = {p.row, p.column + 1};
                break;
            case Step::DeleteChar:
                buffer.delete_char(p.row, p.column);
                cursor = p;
                break;
            case Step::SplitLine:
                buffer.split_line(p.row, p.column);
                cursor = {p.row + 1, 0};
                break;
            case Step::MergeLines:
                buffer.backspace(p.row + 1, 0);
                cursor = p;
                break;
            case Step::DuplicateLine:
                buffer.insert_line(p.row + 1, r.line);
                cursor = {p.row + 1, p.column};
                break;
            }
        }
    }
};

std::vector<std::string> lines_of(const Buffer& buffer)
{
    std::vector<std::string> lines;
    for (std::uint64_t r = 0; r < buffer.line_count(); ++r) lines.emplace_back(buffer.line(r));
    return lines;
}

void expect_same(const Editor& ed, const Model& model, const std::string& context)
{
    ASSERT_EQ(lines_of(ed.buffer), lines_of(model.buffer)) << context;
    ASSERT_EQ(ed.cursor, model.cursor) << context;
    ASSERT_EQ(ed.anchor, model.anchor) << context;
    ASSERT_LT(ed.cursor.row, ed.buffer.line_count()) << context;
    ASSERT_LE(ed.cursor.column, ed.buffer.line_len(ed.cursor.row)) << context;
}

// Characters of one to four bytes, word characters, separators and the underscore.
const std::vector<char32_t> ALPHABET = {U'a', U'b',  U'x', U'7', U' ', U' ',  U'_', U'.',
                                        U'(', U'\t', U'é', U'ж', U'€', U'日', U'😀', U'٣'};

struct Fuzz {
    std::mt19937_64 rng;
    Editor ed;
    Model model;

    std::uint64_t below(std::uint64_t n) { return std::uniform_int_distribution<std::uint64_t>(0, n - 1)(rng); }
    Position random_position()
    {
        const std::uint64_t row = below(ed.buffer.line_count());
        return {row, below(ed.buffer.line_len(row) + 1)};
    }
    std::string random_text(std::size_t max)
    {
        std::string text;
        for (std::size_t n = below(max + 1); n > 0; --n) {
            const std::uint64_t pick = below(ALPHABET.size() + 3);
            if (pick == ALPHABET.size())
                text += '\n';
            else if (pick == ALPHABET.size() + 1)
                text += "\r\n";
            else if (pick == ALPHABET.size() + 2)
                text += '\r';
            else
                utf8::append(text, ALPHABET[pick]);
        }
        return text;
    }

    // One random user action on both; returns its name for failure messages.
    std::string act()
    {
        const std::uint64_t kind = below(20);
        switch (kind) {
        case 0:
        case 1:
        case 2: {
            const char32_t c = ALPHABET[below(ALPHABET.size())];
            delete_selection(ed);
            type_char(ed, c);
            model.delete_selection();
            model.type_char(c);
            return "type";
        }
        case 3:
            delete_selection(ed);
            new_line(ed);
            model.delete_selection();
            model.new_line();
            return "enter";
        case 4:
            if (!delete_selection(ed)) backspace_at_cursor(ed);
            if (!model.delete_selection()) model.backspace_at_cursor();
            return "backspace";
        case 5:
            if (!delete_selection(ed)) delete_at_cursor(ed);
            if (!model.delete_selection()) model.delete_at_cursor();
            return "delete";
        case 6: {
            const Position a = random_position(), c = random_position();
            ed.anchor = model.anchor = a;
            ed.cursor = model.cursor = c;
            return "select";
        }
        case 7: {
            const Position c = random_position();
            ed.cursor = model.cursor = c;
            ed.anchor.reset();
            model.anchor.reset();
            return "move";
        }
        case 8:
            delete_word_before(ed);
            model.delete_word_before();
            return "ctrl+backspace";
        case 9:
            delete_word_after(ed);
            model.delete_word_after();
            return "ctrl+delete";
        case 10:
            delete_to_line_end(ed);
            model.delete_to_line_end();
            return "ctrl+k";
        case 11:
            duplicate_line(ed);
            model.duplicate_line();
            return "ctrl+d";
        case 12: {
            const std::string text = random_text(12);
            delete_selection(ed);
            insert_text(ed, text);
            model.delete_selection();
            model.insert_text(text);
            return "paste";
        }
        case 13:
        case 14:
            undo(ed);
            model.undo();
            return "undo";
        case 15:
            redo(ed);
            model.redo();
            return "redo";
        case 16: {
            // A run of replacements in one group, last position first.
            std::vector<Position> spots;
            for (std::uint64_t n = below(4) + 1; n > 0; --n) spots.push_back(random_position());
            std::sort(spots.rbegin(), spots.rend());
            const std::uint64_t count = below(3);
            const std::string text = random_text(3);
            begin_group(ed);
            model.begin();
            for (const Position p : spots) {
                replace_at(ed, p, count, text);
                model.replace_at(p, count, text);
            }
            end_group(ed);
            model.end();
            return "replace all";
        }
        case 17: {
            // Sometimes past a line end or past the last line, as a stale
            // match would be.
            Position p = random_position();
            if (below(3) == 0) p = {p.row + below(2), p.column + below(3)};
            const std::uint64_t count = below(4);
            const std::string text = random_text(3);
            replace_at(ed, p, count, text);
            model.replace_at(p, count, text);
            return "replace one";
        }
        case 18: {
            // Single steps gathered in one group, as a replacement made
            // character by character is: runs of them get joined.
            begin_group(ed);
            model.begin();
            for (std::uint64_t n = below(8); n > 0; --n) {
                switch (below(4)) {
                case 0:
                    backspace_at_cursor(ed);
                    model.backspace_at_cursor();
                    break;
                case 1:
                    delete_at_cursor(ed);
                    model.delete_at_cursor();
                    break;
                case 2:
                    new_line(ed);
                    model.new_line();
                    break;
                default: {
                    const char32_t c = ALPHABET[below(ALPHABET.size())];
                    type_char(ed, c);
                    model.type_char(c);
                }
                }
            }
            end_group(ed);
            model.end();
            return "grouped steps";
        }
        default:
            // Tab: four spaces, four steps.
            delete_selection(ed);
            model.delete_selection();
            for (int n = 0; n < 4; ++n) {
                type_char(ed, U' ');
                model.type_char(U' ');
            }
            return "tab";
        }
    }
};

}  // namespace

TEST(HistoryRandom, CompactRecordsUndoAndRedoLikeSingleSteps)
{
    for (std::uint64_t seed = 1; seed <= 12; ++seed) {
        Fuzz fuzz{std::mt19937_64(seed), Editor(), Model()};
        const std::vector<std::string> start = {"foo bar_baz", "", "  (x) é€😀 ж7", "last line"};
        fuzz.ed.buffer = Buffer(start);
        fuzz.model.buffer = Buffer(start);
        // Anything already undone or redone by the random actions stays in
        // the lists, so going all the way back must reach the start.
        for (int n = 0; n < 600; ++n) {
            const std::string what = fuzz.act();
            expect_same(fuzz.ed, fuzz.model,
                        "seed " + std::to_string(seed) + " action " + std::to_string(n) + " " + what);
            if (HasFatalFailure()) return;
        }
        const std::vector<std::string> final_text = lines_of(fuzz.ed.buffer);

        std::size_t undone = 0;
        while (!fuzz.model.undo_list.empty()) {
            undo(fuzz.ed);
            fuzz.model.undo();
            ++undone;
            expect_same(fuzz.ed, fuzz.model, "seed " + std::to_string(seed) + " undo " + std::to_string(undone));
            if (HasFatalFailure()) return;
        }
        EXPECT_EQ(lines_of(fuzz.ed.buffer), start);
        // Nothing left: a further undo changes nothing.
        const Position before = fuzz.ed.cursor;
        undo(fuzz.ed);
        EXPECT_EQ(lines_of(fuzz.ed.buffer), start);
        EXPECT_EQ(fuzz.ed.cursor, before);

        // Redoing as many steps as were undone comes back to the text the
        // actions left; steps those actions had undone last come after.
        for (std::size_t redone = 1; redone <= undone; ++redone) {
            redo(fuzz.ed);
            fuzz.model.redo();
            expect_same(fuzz.ed, fuzz.model, "seed " + std::to_string(seed) + " redo " + std::to_string(redone));
            if (HasFatalFailure()) return;
        }
        EXPECT_EQ(lines_of(fuzz.ed.buffer), final_text);
        while (!fuzz.model.redo_list.empty()) {
            redo(fuzz.ed);
            fuzz.model.redo();
            expect_same(fuzz.ed, fuzz.model, "seed " + std::to_string(seed) + " pending redo");
            if (HasFatalFailure()) return;
        }
        const auto done = lines_of(fuzz.ed.buffer);
        redo(fuzz.ed);
        EXPECT_EQ(lines_of(fuzz.ed.buffer), done);
    }
}
