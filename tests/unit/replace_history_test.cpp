// Replace-all and its history: the text after the run, after undoing it and
// after redoing it, and where each leaves the cursor, over many generated
// documents, against a model that replaces one occurrence at a time as the
// run is described: the last occurrence first, only characters that were in
// the line when the run began making up an occurrence.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "editor/editing.hpp"
#include "editor/search.hpp"
#include "text/utf8.hpp"

namespace {

struct ModelResult {
    std::vector<std::string> lines;
    Position first_step;  // where the first replacement was made
    Position last_end;    // after the text the last one inserted
    std::size_t steps = 0;
};

ModelResult replace_by_steps(const std::vector<std::string>& lines, const std::u32string& needle,
                             const std::u32string& replacement)
{
    ModelResult result;
    result.lines = lines;
    for (std::size_t row = lines.size(); row-- > 0;) {
        // Each character with whether it was there when the run began.
        std::vector<std::pair<char32_t, bool>> line;
        std::size_t at = 0;
        while (at < lines[row].size()) line.push_back({utf8::next(lines[row], at), true});
        for (;;) {
            std::size_t found = line.size();
            for (std::size_t start = line.size() + 1; start-- > 0;) {
                if (start + needle.size() > line.size()) continue;
                bool match = true;
                for (std::size_t k = 0; k < needle.size() && match; ++k)
                    match = line[start + k].second && line[start + k].first == needle[k];
                if (match) {
                    found = start;
                    break;
                }
            }
            if (found == line.size()) break;
            line.erase(line.begin() + static_cast<std::ptrdiff_t>(found),
                       line.begin() + static_cast<std::ptrdiff_t>(found + needle.size()));
            for (std::size_t k = 0; k < replacement.size(); ++k)
                line.insert(line.begin() + static_cast<std::ptrdiff_t>(found + k), {replacement[k], false});
            if (result.steps++ == 0) result.first_step = {row, found};
            result.last_end = {row, found + replacement.size()};
        }
        std::string text;
        for (const auto& [c, original] : line) utf8::append(text, c);
        result.lines[row] = text;
    }
    return result;
}

std::vector<std::string> lines_of(const Buffer& buffer)
{
    std::vector<std::string> lines;
    for (std::uint64_t row = 0; row < buffer.line_count(); ++row) lines.emplace_back(buffer.line(row));
    return lines;
}

std::string utf8_of(const std::u32string& text)
{
    std::string out;
    for (char32_t c : text) utf8::append(out, c);
    return out;
}

// A few letters, one beyond ASCII and one of four bytes, so that columns and
// bytes differ and occurrences often touch and overlap.
std::u32string random_text(std::mt19937& rng, std::size_t max_length)
{
    static constexpr char32_t LETTERS[] = {U'a', U'b', U'a', U'b', U'é', U'😀', U' '};
    std::u32string text(rng() % (max_length + 1), U' ');
    for (char32_t& c : text) c = LETTERS[rng() % std::size(LETTERS)];
    return text;
}

TEST(ReplaceAllHistory, RunUndoAndRedoMatchReplacingOneAtATime)
{
    for (unsigned seed = 1; seed <= 3000; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        std::vector<std::string> lines(1 + rng() % 6);
        for (std::string& line : lines) line = utf8_of(random_text(rng, 12));
        std::u32string needle = random_text(rng, 3);
        if (needle.empty()) needle = U"a";
        // Empty replacements (which can join two parts of an occurrence)
        // and replacements that hold the needle are both common.
        const std::u32string replacement = rng() % 4 == 0 ? needle + random_text(rng, 1) : random_text(rng, 3);

        Editor editor;
        editor.buffer = Buffer(lines);
        editor.cursor = {rng() % lines.size(), 0};
        editor.mode = Mode::ReplaceWith;
        editor.search_text = utf8_of(needle);
        editor.replace_text = utf8_of(replacement);
        find_matches(editor);
        const ModelResult model = replace_by_steps(lines, needle, replacement);
        const bool any = !editor.matches.empty();
        ASSERT_EQ(any, model.steps > 0);
        if (!any) continue;

        replace_all(editor);
        ASSERT_EQ(editor.buffer.check_invariant(), std::nullopt);
        ASSERT_EQ(lines_of(editor.buffer), model.lines);
        EXPECT_EQ(editor.cursor, model.last_end);

        for (int round = 0; round < 2; ++round) {
            undo(editor);
            ASSERT_EQ(editor.buffer.check_invariant(), std::nullopt);
            ASSERT_EQ(lines_of(editor.buffer), lines);
            // As undoing the first replacement's Delete leaves it: after the
            // first character it brings back.
            EXPECT_EQ(editor.cursor, (Position{model.first_step.row, model.first_step.column + 1}));
            redo(editor);
            ASSERT_EQ(editor.buffer.check_invariant(), std::nullopt);
            ASSERT_EQ(lines_of(editor.buffer), model.lines);
            EXPECT_EQ(editor.cursor, model.last_end);
        }
    }
}

}  // namespace
