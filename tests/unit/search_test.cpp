#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "support/check.hpp"
#include "text/utf8.hpp"

using test_support::at;
using test_support::check;
using test_support::Check;
using test_support::Session;

namespace {

std::string counter(std::string_view text, int index, int count)
{
    return "\"" + std::string(text) + "\" \u2014 " + std::to_string(index) + "/" + std::to_string(count) +
           " topildi  Ctrl+N=keyingi  Ctrl+P=oldingi";
}

// Ctrl+H, the search text, Enter, the replacement and Ctrl+A: replace all.
std::string replace_all_keys(std::string_view search, std::string_view replacement)
{
    return "<C-h>" + std::string(search) + "<Enter>" + std::string(replacement) + "<C-a>";
}

// The start of the selected match after `keys`, then after each of `count`
// presses of `step`.
std::vector<Position> visits(Session& s, std::string_view keys, std::string_view step, int count)
{
    s.press(keys);
    std::vector<Position> starts{s.ed.anchor.value_or(at(99, 99))};
    for (int i = 0; i < count; ++i) {
        s.press(step);
        starts.push_back(s.ed.anchor.value_or(at(99, 99)));
    }
    return starts;
}

}  // namespace

TEST(Search, FindsEveryExactOccurrenceOverlapsIncluded)
{
    Session s({"xAb ab", "ab"});
    s.press("<C-f>ab<Enter>");
    EXPECT_EQ(s.marked(), "xAb [ab|]\nab");
    EXPECT_EQ(s.message(), counter("ab", 1, 2));
    s.press("<C-f>AB<Enter>");
    EXPECT_EQ(s.message(), "\"AB\" topilmadi");

    s = Session({"aaaa", "a", "", "baaab"});
    EXPECT_EQ(visits(s, "<C-f>aa<Enter>", "<C-n>", 5),
              (std::vector<Position>{at(0, 0), at(0, 1), at(0, 2), at(3, 1), at(3, 2), at(0, 0)}));
    EXPECT_EQ(s.message(), counter("aa", 1, 5));

    // Columns count characters.
    s = Session({"ёжа 😀жа", "жажа"});
    EXPECT_EQ(visits(s, "<C-f>жа<Enter>", "<C-n>", 3), (std::vector<Position>{at(0, 1), at(0, 5), at(1, 0), at(1, 2)}));
    EXPECT_EQ(s.marked(), "ёжа 😀жа\nжа[жа|]");

    // Longer lines, where sixteen starts are compared at once: a hit in every
    // position of a block, and one right at the line end.
    std::string line = std::string(40, '.') + "needle.needleneedle" + std::string(33, 'n') + "needle";
    s = Session({line});
    EXPECT_EQ(visits(s, "<C-f>needle<Enter>", "<C-n>", 4),
              (std::vector<Position>{at(0, 40), at(0, 47), at(0, 53), at(0, 92), at(0, 40)}));
    s.press("<C-f>nn<Enter>");
    EXPECT_EQ(s.message(), counter("nn", 1, 33));  // a run of 34 n's, the last one starting "needle"
}

TEST(Search, FirstMatchIsTheOneFromTheCursorThenStepsWrap)
{
    std::vector<std::string> lines(10, "....");
    lines[2] = "..key";
    lines[7] = "key.";
    Session s(lines);
    s.ed.cursor = at(5, 0);
    s.press("<C-f>key<Enter>");
    EXPECT_EQ(s.ed.mode, Mode::Normal);
    EXPECT_EQ(s.ed.anchor, at(7, 0));
    EXPECT_EQ(s.ed.cursor, at(7, 3));
    EXPECT_EQ(s.message(), counter("key", 2, 2));
    EXPECT_EQ(visits(s, "", "<C-n>", 2), (std::vector<Position>{at(7, 0), at(2, 2), at(7, 0)}));
    EXPECT_EQ(s.message(), counter("key", 2, 2));
    EXPECT_EQ(visits(s, "", "<C-p>", 2), (std::vector<Position>{at(7, 0), at(2, 2), at(7, 0)}));

    // Leaving the replace prompt keeps the matches but no current one: then
    // Ctrl+P goes to the last match wherever the cursor is, and Ctrl+N to
    // the first at or after the cursor, round to the first past the last.
    const std::pair<Position, std::string_view> starts[] = {{at(0, 0), "<C-p>"},
                                                            {at(2, 2), "<C-n>"},
                                                            {at(2, 3), "<C-n>"},
                                                            {at(9, 4), "<C-n>"}};
    const Position expected[] = {at(7, 0), at(2, 2), at(7, 0), at(2, 2)};
    for (std::size_t i = 0; i < std::size(starts); ++i) {
        s.press("<C-h>key<Enter><Esc>");
        EXPECT_EQ(s.message(), "");
        s.ed.anchor.reset();
        s.ed.cursor = starts[i].first;
        s.press(starts[i].second);
        EXPECT_EQ(s.ed.anchor, expected[i]) << i;
    }

    // With no match at all, nothing happens and nothing is said.
    s.press("<C-f>zz<Enter>");
    EXPECT_EQ(s.message(), "\"zz\" topilmadi");
    const Position before = s.ed.cursor;
    s.press("<C-n><C-p>");
    EXPECT_EQ(s.ed.cursor, before);
    EXPECT_EQ(s.message(), "\"zz\" topilmadi");
}

TEST(Search, MatchesLeftBehindByEditsStayInsideTheDocument)
{
    Session s({"one abc", "two", "abc abc"});
    s.press("<C-f>abc<Enter><Home><Right><Right><C-k><C-End><S-Up><S-End><BS>");
    EXPECT_EQ(s.marked(), "on\ntwo|");
    // Each end of a match that is gone is pulled back to the nearest text.
    const std::pair<std::string_view, std::string_view> steps[] = {{"<C-p>", "on\ntwo[|]"},
                                                                   {"<C-n>", "on[|]\ntwo"},
                                                                   {"<C-n>", "on\n[two|]"},
                                                                   {"<C-n>", "on\ntwo[|]"}};
    for (const auto& [keys, after] : steps) {
        s.press(keys);
        EXPECT_FALSE(test_support::unsound(s.ed)) << keys;
        EXPECT_EQ(s.marked(), after);
    }
    EXPECT_EQ(s.message(), counter("abc", 3, 3));
    s.press("!");
    EXPECT_EQ(s.marked(), "on\ntwo!|");
}

TEST(Search, TypingOverAMatchReplacesIt)
{
    check({"|ёжа 😀жа\nжажа", "<C-f>жа<Enter><C-n>Z", "ёжа 😀Z|\nжажа", 2, "ёжа 😀жа|\nжажа"});
}

TEST(Search, ReplaceOneStepsFromTheCursor)
{
    Session s({"x x x"});
    s.press("<C-h>x<Enter>");
    EXPECT_EQ(s.ed.mode, Mode::ReplaceWith);
    s.press("yy");
    EXPECT_EQ(s.message(), "Almashtirish: x -> yy  (3 ta)  Enter=keyingi  Ctrl+A=hammasi  Esc=bekor");
    s.press("<Enter>");
    EXPECT_EQ(s.marked(), "yy| x x");
    EXPECT_EQ(s.message(), "Almashtirish: x -> yy  (2 ta)  Enter=keyingi  Ctrl+A=hammasi  Esc=bekor");
    s.press("<Enter><Enter>");
    EXPECT_EQ(s.marked(), "yy yy yy|");
    EXPECT_EQ(s.ed.mode, Mode::Normal);
    EXPECT_EQ(s.message(), "Almashtirish tugadi");
    // Each replacement is one undo step.
    s.press("<C-z>");
    EXPECT_EQ(s.text(), "yy yy x");
    s.press("<C-z><C-z>");
    EXPECT_EQ(s.text(), "x x x");

    // After the last occurrence the next Enter wraps to the first; Backspace
    // edits the replacement a character at a time.
    s = Session({"ab", "ab"});
    s.ed.cursor = at(1, 1);
    s.press("<C-h>ab<Enter>zqж<BS><BS>");
    EXPECT_EQ(s.message(), "Almashtirish: ab -> z  (2 ta)  Enter=keyingi  Ctrl+A=hammasi  Esc=bekor");
    s.press("<Enter>");
    EXPECT_EQ(s.marked(), "z|\nab");
    // A click chooses where the next Enter replaces; the anchor the click
    // left stays where it was.
    s.press("<Press:3,2><Enter>");
    EXPECT_EQ(s.marked(), "z\n[z|]");
    EXPECT_EQ(s.message(), "Almashtirish tugadi");
}

// Replace all is one undo step. It replaces the last occurrence first and
// never searches the text it puts in; undoing it ends where undoing its
// first replacement's first character would, redoing it after its last
// (the leftmost) replacement.
TEST(Search, ReplaceAll)
{
    struct Case {
        std::string_view before, search, replacement, after, undone;
        int count;  // the occurrences replaced
    };
    const Case cases[] = {
        {"x x| x\n\nxx", "x", "yy", "yy| yy yy\n\nyyyy", "x x x\n\nxx|", 5},
        {"|aaa", "a", "ab", "ab|abab", "aaa|", 3},
        {"|aaa", "a", "aa", "aa|aaaa", "aaa|", 3},
        {"|aXa\na", "a", "bab", "bab|Xbab\nbab", "aXa\na|", 3},
        {"|abab", "ab", "xaby", "xaby|xaby", "aba|b", 2},
        // An occurrence destroyed by the replacement of a later one is dropped.
        {"|aaa", "aa", "b", "ab|", "aa|a", 2},
        {"|aaaa", "aa", "b", "b|b", "aaa|a", 3},
        // With nothing put in, the text on both sides meets and may form a
        // new occurrence, which is replaced too.
        {"|aabb", "ab", "", "|", "aa|bb", 1},
        {"|aabcbc\nxabcy", "abc", "", "|\nxy", "aabcbc\nxa|bcy", 2},
        // A line break in the replacement splits the lines.
        {"|a-a\nb", "a", "x\ny", "x\ny|-x\ny\nb", "a-a|\nb", 2},
        // A line that gets shorter pulls a selection end past it back.
        {"[|xxxxxx]", "xx", "", "[|]", "xxxxx|x", 5},
    };
    for (const Case& c : cases) {
        const std::string message = std::to_string(c.count) + " ta almashtirildi";
        check({c.before, replace_all_keys(c.search, c.replacement), c.after, 1, c.undone, message.c_str()});
    }
    // Nothing is left for Ctrl+N to visit afterwards.
    check({"|x x", replace_all_keys("x", "y") + "<C-n>", "y| y", 1, "x x|", "2 ta almashtirildi"});
    // Esc in the replacement prompt keeps the matches for Ctrl+N.
    check({"x|x x", "<C-h>x<Enter><Esc><C-n>", "x[x|] x", 0, {}, counter("x", 2, 3).c_str()});
}

namespace {

// The replace-all loop in its plainest form: rescan the whole text after every
// replacement and replace the last occurrence, until none is left. Nothing
// when it has not ended after many rounds.
struct Rescanned {
    std::vector<std::u32string> lines;
    Position cursor;
    std::optional<Position> first;  // where the first replacement was made
};

std::optional<Rescanned> rescanning_replace_all(std::vector<std::u32string> lines, const std::u32string& search,
                                                const std::u32string& replacement)
{
    Rescanned result{lines, {}, {}};
    for (int round = 0; round < 1000; ++round) {
        std::optional<Position> last;
        for (std::uint64_t row = 0; row < result.lines.size(); ++row) {
            const std::u32string& line = result.lines[row];
            for (std::size_t col = 0; col + search.size() <= line.size(); ++col)
                if (line.compare(col, search.size(), search) == 0) last = at(row, col);
        }
        if (!last) return result;
        if (round == 0) result.first = *last;
        result.lines[last->row].replace(last->column, search.size(), replacement);
        result.cursor = at(last->row, last->column + replacement.size());
    }
    return std::nullopt;
}

std::string to_utf8(std::u32string_view text)
{
    std::string out;
    for (char32_t c : text) utf8::append(out, c);
    return out;
}

std::string marked(const std::vector<std::u32string>& lines, Position cursor)
{
    test_support::Marked m{{}, cursor, {}};
    for (const auto& line : lines) m.lines.push_back(to_utf8(line));
    return test_support::format_marked(m);
}

}  // namespace

// Wherever the rescanning loop cannot meet the text it put in (an empty
// replacement, or one made of characters the search text lacks), the one-pass
// replacement gives exactly its text and cursor, as one undo step. (ƶ ends in
// the same byte as ж, so a line's old and new texts can share a part of a
// character at their ends.)
TEST(Search, ReplaceAllAgreesWithRescanningAfterEveryReplacement)
{
    const unsigned seed = 20261208;
    std::mt19937 rng(seed);
    auto pick = [&](std::u32string_view letters, std::size_t max_length, std::size_t min_length) {
        std::u32string s(min_length + rng() % (max_length - min_length + 1), U' ');
        for (char32_t& c : s) c = letters[rng() % letters.size()];
        return s;
    };
    int compared = 0;
    for (int round = 0; round < 3000 && !testing::Test::HasFailure(); ++round) {
        std::vector<std::u32string> lines(1 + rng() % 3);
        for (auto& line : lines) line = pick(U"abж", 9, 0);
        const std::u32string search = pick(U"abж", 3, 1);
        const std::u32string replacement = rng() % 2 ? std::u32string() : pick(U"xyƶ😀", 3, 1);
        const auto expected = rescanning_replace_all(lines, search, replacement);
        ASSERT_TRUE(expected.has_value());
        if (!expected->first) continue;
        SCOPED_TRACE("seed " + std::to_string(seed) + ", round " + std::to_string(round));
        const Position undone{expected->first->row, expected->first->column + 1};
        check({marked(lines, {}), replace_all_keys(to_utf8(search), to_utf8(replacement)),
               marked(expected->lines, expected->cursor), 1, marked(lines, undone)});
        ++compared;
    }
    EXPECT_GT(compared, 1000);
}
