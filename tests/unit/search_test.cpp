#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "clipboard/clipboard.hpp"
#include "editor/dispatch.hpp"
#include "editor/search.hpp"
#include "support/session.hpp"
#include "text/utf8.hpp"

namespace {

using namespace std::chrono_literals;
using term::Key;
using term::KeyCode;

using test_support::at;

// A session with the two prompts that lead to searching.
struct Session : test_support::Session {
    using test_support::Session::Session;

    // Ctrl+F, the text, Enter.
    void search(std::u32string_view text)
    {
        ctrl(U'f');
        type(text);
        key(Key::Enter);
    }
    // Ctrl+H, the text, Enter: the replacement prompt when something matched.
    void replace(std::u32string_view text)
    {
        ctrl(U'h');
        type(text);
        key(Key::Enter);
    }
};

std::string counter(std::string_view text, int index, int count)
{
    return "\"" + std::string(text) + "\" \u2014 " + std::to_string(index) + "/" + std::to_string(count) +
           " topildi  Ctrl+N=keyingi  Ctrl+P=oldingi";
}

// The cursor and the anchor name existing text.
void expect_inside_document(const Editor& ed)
{
    ASSERT_LT(ed.cursor.row, ed.buffer.line_count());
    EXPECT_LE(ed.cursor.column, ed.buffer.line_len(ed.cursor.row));
    if (ed.anchor) {
        ASSERT_LT(ed.anchor->row, ed.buffer.line_count());
        EXPECT_LE(ed.anchor->column, ed.buffer.line_len(ed.anchor->row));
    }
}

}  // namespace

TEST(Search, MatchesAreExactAndOverlapping)
{
    Session s({"xAb ab", "ab"});
    s.ed.search_text = "ab";
    find_matches(s.ed);
    EXPECT_EQ(s.ed.matches, (std::vector<Position>{at(0, 4), at(1, 0)}));
    s.ed.search_text = "AB";
    find_matches(s.ed);
    EXPECT_TRUE(s.ed.matches.empty());

    Session t({"aaaa", "a", "", "baaab"});
    t.search(U"aa");
    EXPECT_EQ(t.ed.matches, (std::vector<Position>{at(0, 0), at(0, 1), at(0, 2), at(3, 1), at(3, 2)}));
    EXPECT_EQ(t.message(), counter("aa", 1, 5));
    EXPECT_EQ(t.ed.anchor, at(0, 0));
    EXPECT_EQ(t.ed.cursor, at(0, 2));

    // Longer lines, where the fast path compares sixteen starts at once: a
    // hit in every position of a block, and one right at the line end.
    std::string line(40, '.');
    line += "needle.needleneedle";
    line += std::string(33, 'n');
    line += "needle";
    Session u({line});
    u.ed.search_text = "needle";
    find_matches(u.ed);
    EXPECT_EQ(u.ed.matches, (std::vector<Position>{at(0, 40), at(0, 47), at(0, 53), at(0, 92)}));
    u.ed.search_text = "nn";
    find_matches(u.ed);
    EXPECT_EQ(u.ed.matches.size(), 33u);  // a run of 34 n's, the last one starting "needle"
}

TEST(Search, NonAsciiMatchesCountInCharacters)
{
    Session s({"ёжа 😀жа", "жажа"});
    s.search(U"жа");
    EXPECT_EQ(s.ed.matches, (std::vector<Position>{at(0, 1), at(0, 5), at(1, 0), at(1, 2)}));
    EXPECT_EQ(s.ed.anchor, at(0, 1));
    EXPECT_EQ(s.ed.cursor, at(0, 3));
    s.ctrl(U'n');
    EXPECT_EQ(s.ed.anchor, at(0, 5));
    EXPECT_EQ(s.ed.cursor, at(0, 7));
    EXPECT_EQ(s.message(), counter("жа", 2, 4));
    // Typing over the selected match replaces it.
    s.ch(U'Z');
    EXPECT_EQ(s.lines()[0], "ёжа 😀Z");
    EXPECT_FALSE(s.ed.anchor.has_value());
}

TEST(Search, FirstMatchIsTheOneFromTheCursorThenStepsWrap)
{
    std::vector<std::string> lines(10, "....");
    lines[2] = "..key";
    lines[7] = "key.";
    Session s(lines);
    s.ed.cursor = at(5, 0);
    s.search(U"key");
    EXPECT_EQ(s.ed.mode, Mode::Normal);
    EXPECT_EQ(s.ed.anchor, at(7, 0));
    EXPECT_EQ(s.ed.cursor, at(7, 3));
    EXPECT_EQ(s.message(), counter("key", 2, 2));
    s.ctrl(U'n');
    EXPECT_EQ(s.ed.anchor, at(2, 2));
    EXPECT_EQ(s.ed.cursor, at(2, 5));
    EXPECT_EQ(s.message(), counter("key", 1, 2));
    s.ctrl(U'p');  // from the first back round to the last
    EXPECT_EQ(s.ed.anchor, at(7, 0));
    EXPECT_EQ(s.message(), counter("key", 2, 2));

    // With no current match, Ctrl+P goes to the last match wherever the
    // cursor is, and Ctrl+N to the first at or after the cursor.
    s.ed.search_text = "key";
    find_matches(s.ed);
    s.ed.cursor = at(0, 0);
    s.ctrl(U'p');
    EXPECT_EQ(s.ed.anchor, at(7, 0));
    find_matches(s.ed);
    s.ed.anchor.reset();
    s.ed.cursor = at(2, 2);
    s.ctrl(U'n');
    EXPECT_EQ(s.ed.anchor, at(2, 2));
    find_matches(s.ed);
    s.ed.cursor = at(9, 4);  // past the last match: wraps to the first
    s.ctrl(U'n');
    EXPECT_EQ(s.ed.anchor, at(2, 2));

    // An empty list: nothing happens and nothing is said.
    s.ed.matches.clear();
    s.ed.current_match.reset();
    s.ed.status_message.text = "kept";
    const Position before = s.ed.cursor;
    s.ctrl(U'n');
    s.ctrl(U'p');
    EXPECT_EQ(s.ed.cursor, before);
    EXPECT_EQ(s.message(), "kept");
}

TEST(Search, StaleMatchesStayInsideTheDocument)
{
    Session s({"one abc", "two", "abc abc"});
    s.search(U"abc");
    EXPECT_EQ(s.ed.matches.size(), 3u);
    // Shorten the first line and delete the last one.
    s.ed.cursor = at(0, 2);
    s.ed.anchor.reset();
    s.ctrl(U'k');
    s.ctrl(U'a');
    s.key(Key::End, term::CONTROL);
    s.key(Key::Up, term::SHIFT);
    s.key(Key::End, term::SHIFT);
    s.key(Key::Backspace);
    EXPECT_EQ(s.lines(), (std::vector<std::string>{"on", "two"}));
    for (int i = 0; i < 4; ++i) {
        s.ctrl(U'n');
        expect_inside_document(s.ed);
        s.ctrl(U'p');
        expect_inside_document(s.ed);
        s.ctrl(U'p');
        expect_inside_document(s.ed);
    }
    // The match past the last line lands at the end of the document.
    s.ed.current_match.reset();
    s.ctrl(U'p');
    EXPECT_EQ(s.ed.anchor, at(1, 3));
    EXPECT_EQ(s.ed.cursor, at(1, 3));
    EXPECT_EQ(s.message(), counter("abc", 3, 3));
    // Typing over it does not fail.
    s.ch(U'!');
    EXPECT_EQ(s.lines(), (std::vector<std::string>{"on", "two!"}));
}

TEST(Search, ReplaceOneStepsFromTheCursor)
{
    Session s({"x x x"});
    s.replace(U"x");
    EXPECT_EQ(s.ed.mode, Mode::ReplaceWith);
    s.type(U"yy");
    EXPECT_EQ(s.message(), "Almashtirish: x -> yy  (3 ta)  Enter=keyingi  Ctrl+A=hammasi  Esc=bekor");
    s.key(Key::Enter);
    EXPECT_EQ(s.lines()[0], "yy x x");
    EXPECT_EQ(s.ed.cursor, at(0, 2));
    EXPECT_EQ(s.ed.mode, Mode::ReplaceWith);
    EXPECT_EQ(s.message(), "Almashtirish: x -> yy  (2 ta)  Enter=keyingi  Ctrl+A=hammasi  Esc=bekor");
    s.key(Key::Enter);
    s.key(Key::Enter);
    EXPECT_EQ(s.lines()[0], "yy yy yy");
    EXPECT_EQ(s.ed.mode, Mode::Normal);
    EXPECT_EQ(s.message(), "Almashtirish tugadi");
    // Each replacement is one undo step.
    s.ctrl(U'z');
    EXPECT_EQ(s.lines()[0], "yy yy x");
    s.ctrl(U'z');
    s.ctrl(U'z');
    EXPECT_EQ(s.lines()[0], "x x x");

    // After the last occurrence the next Enter wraps to the first; Backspace
    // edits the replacement.
    Session t({"ab", "ab"});
    t.ed.cursor = at(1, 1);
    t.replace(U"ab");
    t.type(U"zq");
    t.key(Key::Backspace);
    EXPECT_EQ(t.ed.replace_text, "z");
    EXPECT_EQ(t.message(), "Almashtirish: ab -> z  (2 ta)  Enter=keyingi  Ctrl+A=hammasi  Esc=bekor");
    t.key(Key::Enter);
    EXPECT_EQ(t.lines(), (std::vector<std::string>{"z", "ab"}));
    EXPECT_EQ(t.ed.cursor, at(0, 1));
    // A click chooses where the next Enter replaces.
    t.send(term::MouseEvent{term::MouseEventKind::Down, term::MouseButton::Left, 3, 2, term::NONE});
    EXPECT_EQ(t.ed.cursor, at(1, 0));
    t.key(Key::Enter);
    EXPECT_EQ(t.lines(), (std::vector<std::string>{"z", "z"}));
    EXPECT_EQ(t.message(), "Almashtirish tugadi");
    // The anchor the click left is still where it was.
    EXPECT_EQ(t.ed.anchor, at(1, 0));
}

TEST(Search, ReplaceAllIsOneUndoStep)
{
    Session s({"x x x", "", "xx"});
    s.ed.cursor = at(0, 3);
    s.replace(U"x");
    s.type(U"yy");
    s.ctrl(U'a');
    EXPECT_EQ(s.lines(), (std::vector<std::string>{"yy yy yy", "", "yyyy"}));
    EXPECT_EQ(s.message(), "5 ta almashtirildi");
    EXPECT_EQ(s.ed.mode, Mode::Normal);
    // The cursor ends after the text put in for the first occurrence.
    EXPECT_EQ(s.ed.cursor, at(0, 2));
    EXPECT_TRUE(s.ed.matches.empty());
    s.ctrl(U'z');
    EXPECT_EQ(s.lines(), (std::vector<std::string>{"x x x", "", "xx"}));
    s.ctrl(U'y');
    EXPECT_EQ(s.lines(), (std::vector<std::string>{"yy yy yy", "", "yyyy"}));

    // Esc in the replacement prompt keeps the matches for Ctrl+N.
    Session t({"x x x"});
    t.ed.cursor = at(0, 1);
    t.replace(U"x");
    t.key(Key::Esc);
    EXPECT_EQ(t.ed.mode, Mode::Normal);
    EXPECT_EQ(t.message(), "");
    t.ctrl(U'n');
    EXPECT_EQ(t.ed.anchor, at(0, 2));
    EXPECT_EQ(t.message(), counter("x", 2, 3));
}

TEST(Search, ReplaceAllNeverSearchesTheTextItInserts)
{
    struct Case {
        std::vector<std::string> before;
        std::u32string search;
        std::u32string replacement;
        std::vector<std::string> after;
        std::string message;
    };
    const Case cases[] = {
        {{"aaa"}, U"a", U"ab", {"ababab"}, "3 ta almashtirildi"},
        {{"aaa"}, U"a", U"aa", {"aaaaaa"}, "3 ta almashtirildi"},
        {{"aXa", "a"}, U"a", U"bab", {"babXbab", "bab"}, "3 ta almashtirildi"},
        {{"abab"}, U"ab", U"xaby", {"xabyxaby"}, "2 ta almashtirildi"},
        // An occurrence destroyed by the replacement of a later one is dropped.
        {{"aaa"}, U"aa", U"b", {"ab"}, "2 ta almashtirildi"},
        {{"aaaa"}, U"aa", U"b", {"bb"}, "3 ta almashtirildi"},
        // With nothing put in, the text on both sides meets and may form a
        // new occurrence, which is replaced too.
        {{"aabb"}, U"ab", U"", {""}, "1 ta almashtirildi"},
        {{"aabcbc", "xabcy"}, U"abc", U"", {"", "xy"}, "2 ta almashtirildi"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before[0]);
        Session s(c.before);
        s.replace(c.search);
        s.type(c.replacement);
        s.ctrl(U'a');
        EXPECT_EQ(s.lines(), c.after);
        EXPECT_EQ(s.message(), c.message);
        EXPECT_EQ(s.ed.mode, Mode::Normal);
        s.ctrl(U'z');
        EXPECT_EQ(s.lines(), c.before);
    }

    // A line break in the replacement splits the lines.
    Session b({"a-a", "b"});
    b.replace(U"a");
    b.type(U"x\ny");
    b.ctrl(U'a');
    EXPECT_EQ(b.lines(), (std::vector<std::string>{"x", "y-x", "y", "b"}));
    EXPECT_EQ(b.ed.cursor, at(1, 1));
    b.ctrl(U'z');
    EXPECT_EQ(b.lines(), (std::vector<std::string>{"a-a", "b"}));

    // A replacement that shortens the line pulls a selection end past it
    // back to the line end.
    Session s({"xxxxxx"});
    s.key(Key::End);
    s.key(Key::Home, term::SHIFT);
    s.replace(U"xx");
    s.ctrl(U'a');
    EXPECT_EQ(s.lines(), (std::vector<std::string>{""}));
    expect_inside_document(s.ed);
    EXPECT_EQ(s.ed.anchor, at(0, 0));
}

namespace {

// The replace-all loop in its plainest form: rescan the whole text after every
// replacement and replace the last occurrence, until none is left. Nothing
// when it has not ended after many rounds.
struct Rescanned {
    std::vector<std::u32string> lines;
    Position cursor;
    Position first;  // where the first replacement was made
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

}  // namespace

// Wherever the rescanning loop cannot meet the text it put in (an empty
// replacement, or one made of characters the search text lacks), the one-pass
// replacement gives exactly its text and cursor, and undo and redo take it
// back and forth as one step.
TEST(Search, ReplaceAllAgreesWithRescanningAfterEveryReplacement)
{
    std::mt19937 rng(20261208);
    const std::u32string text_letters = U"abж";
    const std::u32string other_letters = U"xy😀";
    auto pick = [&](const std::u32string& letters, std::size_t max_length, std::size_t min_length) {
        std::u32string s(min_length + rng() % (max_length - min_length + 1), U' ');
        for (char32_t& c : s) c = letters[rng() % letters.size()];
        return s;
    };
    int compared = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::u32string> lines(1 + rng() % 3);
        for (auto& line : lines) line = pick(text_letters, 9, 0);
        const std::u32string search = pick(text_letters, 3, 1);
        const std::u32string replacement = rng() % 2 ? std::u32string() : pick(other_letters, 3, 1);
        const auto expected = rescanning_replace_all(lines, search, replacement);
        ASSERT_TRUE(expected.has_value());

        std::vector<std::string> before;
        for (const auto& line : lines) before.push_back(to_utf8(line));
        Session s(before);
        s.replace(search);
        if (s.ed.mode != Mode::ReplaceWith) continue;
        s.type(replacement);
        s.ctrl(U'a');
        std::vector<std::string> after;
        for (const auto& line : expected->lines) after.push_back(to_utf8(line));
        ASSERT_EQ(s.lines(), after) << to_utf8(search) << " -> " << to_utf8(replacement) << " in " << before[0];
        EXPECT_EQ(s.ed.cursor, expected->cursor);
        // Undoing the run ends with undoing its first replacement's first
        // deleted character; redoing it ends after its last replacement.
        s.ctrl(U'z');
        ASSERT_EQ(s.lines(), before);
        EXPECT_EQ(s.ed.cursor, at(expected->first.row, expected->first.column + 1));
        s.ctrl(U'y');
        ASSERT_EQ(s.lines(), after);
        EXPECT_EQ(s.ed.cursor, expected->cursor);
        ++compared;
    }
    EXPECT_GT(compared, 1000);
}
