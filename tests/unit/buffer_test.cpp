#include "buffer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/editor_state.hpp"
#include "text/lines.hpp"
#include "text/utf8.hpp"

using test_support::lines_of;

namespace {

using Lines = std::vector<std::string>;

}  // namespace

TEST(Buffer, NewBufferAndNothingToDo)
{
    Buffer buffer;
    EXPECT_EQ(lines_of(buffer), Lines{""});
    EXPECT_FALSE(buffer.path.has_value());
    EXPECT_EQ(buffer.line_ending, LineEnding::CrLf);
    EXPECT_EQ(buffer.encoding, TextEncoding::Utf8);

    // Nothing to do leaves `modified` alone.
    EXPECT_EQ(buffer.insert_text({3, 0}, "lost"), (Position{3, 0}));
    EXPECT_EQ(buffer.insert_text({0, 0}, ""), (Position{0, 0}));
    EXPECT_EQ(buffer.erase_range({0, 0}, {0, 5}), "");
    EXPECT_EQ(buffer.erase_range({0, 0}, {3, 0}), "");
    EXPECT_EQ(lines_of(buffer), Lines{""});
    EXPECT_FALSE(buffer.modified);

    // Made from no lines at all, a buffer still has its one line.
    EXPECT_EQ(lines_of(Buffer(Lines{})), Lines{""});
    Buffer replaced(Lines{"a", "b"});
    replaced.replace_lines({});
    EXPECT_EQ(lines_of(replaced), Lines{""});
    EXPECT_FALSE(replaced.check_invariant());
}

TEST(Buffer, ColumnsCountCharactersNotBytes)
{
    const Buffer buffer(Lines{"aé€😀b", "", "plain ascii text, long enough to skip"});
    EXPECT_EQ(buffer.line_len(0), 5u);
    EXPECT_EQ(buffer.line_len(1), 0u);
    EXPECT_EQ(buffer.line_len(2), 37u);
    EXPECT_EQ(buffer.line_len(99), 0u);
    EXPECT_EQ(buffer.line(3), "");

    const std::vector<std::size_t> offsets = {0, 1, 3, 6, 10, 11, 11, 11};
    for (std::uint64_t column = 0; column < offsets.size(); ++column)
        EXPECT_EQ(buffer.char_to_byte(0, column), offsets[column]) << "column " << column;
    EXPECT_EQ(buffer.char_to_byte(2, 20), 20u);
    EXPECT_EQ(buffer.char_to_byte(2, 1000), 37u);
    EXPECT_EQ(std::u32string({buffer.char_at(0, 0), buffer.char_at(0, 1), buffer.char_at(0, 2), buffer.char_at(0, 3),
                              buffer.char_at(0, 4), buffer.char_at(2, 36)}),
              U"aé€😀bp");
}

TEST(Buffer, InsertTextAndEraseRange)
{
    Buffer buffer({"aé€b", "", "xyz"});
    EXPECT_EQ(buffer.insert_text({0, 2}, "12"), (Position{0, 4}));
    EXPECT_EQ(buffer.insert_text({0, 1}, "\nmid\n"), (Position{2, 0}));
    EXPECT_EQ(lines_of(buffer), (Lines{"a", "mid", "é12€b", "", "xyz"}));
    // A column past the end inserts at the end, and the position after is real.
    EXPECT_EQ(buffer.insert_text({4, 99}, "!"), (Position{4, 4}));
    EXPECT_EQ(buffer.insert_text({4, 99}, "\n?"), (Position{5, 1}));
    EXPECT_EQ(lines_of(buffer), (Lines{"a", "mid", "é12€b", "", "xyz!", "?"}));

    EXPECT_EQ(buffer.erase_range({0, 1}, {2, 2}), "\nmid\né1");
    EXPECT_EQ(lines_of(buffer), (Lines{"a2€b", "", "xyz!", "?"}));
    EXPECT_EQ(buffer.erase_range({0, 3}, {0, 4}), "b");
    // Ends past the document are its end; a reversed range is nothing.
    EXPECT_EQ(buffer.erase_range({2, 1}, {9, 9}), "yz!\n?");
    EXPECT_EQ(buffer.erase_range({1, 0}, {0, 0}), "");
    EXPECT_EQ(lines_of(buffer), (Lines{"a2€", "", "x"}));

    // insert_line sets `modified` like every other primitive, and `modified`
    // stays when the text comes back.
    Buffer lines(Lines{"a", "b"});
    lines.insert_line(0, "first");
    EXPECT_TRUE(lines.modified);
    lines.insert_line(9, "last");
    lines.insert_line(2, "é€");
    EXPECT_EQ(lines_of(lines), (Lines{"first", "a", "é€", "b", "last"}));
    Buffer back(Lines{"ab"});
    back.insert_text({0, 1}, "x\ny");
    back.erase_range({0, 1}, {1, 1});
    EXPECT_EQ(lines_of(back), Lines{"ab"});
    EXPECT_TRUE(back.modified);
}

// A buffer made from a file's text keeps its lines as stretches of that
// text until they change; edits must behave exactly as on lines that own
// their strings.

TEST(BufferFromText, CutsAsSplitLinesAndLinesReadBackExactly)
{
    for (const std::string text :
         {"", "abc", "\n", "a\nb\n", "a\r\nb\r\n", "a\r\r\nb", "a\rb", "x\r", "\r", "\n\n\r\n", "é\r\n€\n😀"}) {
        const Buffer buffer = Buffer::from_text(text);
        EXPECT_EQ(lines_of(buffer), split_lines(text)) << text;
        EXPECT_FALSE(buffer.modified);
        EXPECT_FALSE(buffer.check_invariant());
    }
    const Buffer crlf = Buffer::from_text("ab\r\n\r\n€😀\r\nlast");
    EXPECT_EQ(lines_of(crlf), (Lines{"ab", "", "€😀", "last"}));
    EXPECT_EQ(crlf.line_len(2), 2u);
    EXPECT_EQ(crlf.char_to_byte(2, 1), 3u);
    EXPECT_EQ(crlf.char_at(2, 1), U'😀');
}

TEST(BufferFromText, CopiesAndMovesKeepTheirLines)
{
    // Short enough to live inside the string object itself, which moves with the buffer.
    Buffer small = Buffer::from_text("ab\ncd");
    Buffer moved = std::move(small);
    EXPECT_EQ(lines_of(moved), (Lines{"ab", "cd"}));
    Buffer copy = moved;
    copy.insert_text({0, 0}, "x");
    copy.insert_line(1, "y");
    EXPECT_EQ(lines_of(copy), (Lines{"xab", "y", "cd"}));
    EXPECT_EQ(lines_of(moved), (Lines{"ab", "cd"}));
    EXPECT_FALSE(copy.check_invariant());
}

namespace {

// The document as one string of code points, lines apart by LF: the plainest
// statement of what the primitives do.
struct Plain {
    std::u32string text;

    // A row past the end stands for the document's end, a column past a
    // line's end for that end.
    std::size_t offset(Position p) const
    {
        std::size_t at = 0;
        for (std::uint64_t row = 0; row < p.row; ++row) {
            at = text.find(U'\n', at);
            if (at == std::u32string::npos) return text.size();
            ++at;
        }
        const std::size_t end = std::min(text.find(U'\n', at), text.size());
        return std::min<std::size_t>(at + p.column, end);
    }
    Position position(std::size_t offset) const
    {
        const auto before = text.substr(0, offset);
        const std::size_t lf = before.rfind(U'\n');
        return {static_cast<std::uint64_t>(std::count(before.begin(), before.end(), U'\n')),
                lf == std::u32string::npos ? offset : offset - lf - 1};
    }
    std::uint64_t rows() const { return static_cast<std::uint64_t>(std::count(text.begin(), text.end(), U'\n')) + 1; }

    Position insert_text(Position at, std::u32string_view inserted)
    {
        if (at.row >= rows() || inserted.empty()) return at;
        const std::size_t o = offset(at);
        text.insert(o, inserted);
        return position(o + inserted.size());
    }
    std::u32string erase_range(Position from, Position to)
    {
        const std::size_t a = offset(from), b = offset(to);
        if (b <= a) return {};
        std::u32string removed = text.substr(a, b - a);
        text.erase(a, b - a);
        return removed;
    }
    void insert_line(std::uint64_t index, std::u32string_view line)
    {
        if (index >= rows())
            text.append(U"\n").append(line);
        else
            text.insert(offset({index, 0}), std::u32string(line) + U'\n');
    }
};

std::string to_utf8(std::u32string_view text)
{
    std::string out;
    for (char32_t c : text) utf8::append(out, c);
    return out;
}

std::u32string from_utf8(std::string_view text)
{
    std::u32string out;
    for (std::size_t at = 0; at < text.size();) out += utf8::next(text, at);
    return out;
}

}  // namespace

// The same random edits on the same text, kept as stretches of it, as owned
// strings and as the plain model: the three must never differ, and each edit
// sets `modified` exactly when it changes the text.
TEST(BufferFromText, RandomEditsMatchOwnedLinesAndThePlainModel)
{
    std::string text = "first line\r\nsecond é€😀\n\nfourth\r\n";
    for (int i = 0; i < 30; ++i) text += std::to_string(i) + (i % 3 ? "\n" : "ж\r\n");
    const unsigned seed = 7;
    std::mt19937 rng(seed);
    auto below = [&](std::uint64_t n) { return static_cast<std::uint64_t>(rng() % n); };
    const std::u32string pieces[] = {U"p", U"\n", U"q€", U"😀\n", U"", U"ж\nж", U"\n\n"};

    Buffer spans = Buffer::from_text(text);
    Buffer owned(split_lines(text));
    Plain plain{from_utf8(test_support::text_of(owned))};
    for (int step = 0; step < 20000; ++step) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", step " + std::to_string(step));
        spans.modified = owned.modified = false;
        const std::u32string before = plain.text;
        const Position at{below(plain.rows() + 1), below(12)};
        const Position to{at.row + below(3), below(12)};
        switch (below(8)) {
        case 0:
        case 1:
        case 2: {
            const std::u32string inserted = pieces[below(std::size(pieces))] + pieces[below(std::size(pieces))];
            const Position after = plain.insert_text(at, inserted);
            ASSERT_EQ(spans.insert_text(at, to_utf8(inserted)), after);
            ASSERT_EQ(owned.insert_text(at, to_utf8(inserted)), after);
            break;
        }
        case 3:
        case 4:
        case 5: {
            const std::string removed = to_utf8(plain.erase_range(at, to));
            ASSERT_EQ(spans.erase_range(at, to), removed);
            ASSERT_EQ(owned.erase_range(at, to), removed);
            break;
        }
        case 6:
            plain.insert_line(at.row, U"ins");
            spans.insert_line(at.row, "ins");
            owned.insert_line(at.row, "ins");
            break;
        default:
            // Now and then the text is read afresh, as reopening a file does.
            if (below(8) == 0) {
                spans = Buffer::from_text(text);
                owned = Buffer(split_lines(text));
                plain.text = from_utf8(test_support::text_of(owned));
                continue;
            }
        }
        const Lines expected = split_lines(to_utf8(plain.text));
        ASSERT_EQ(lines_of(spans), expected);
        ASSERT_EQ(lines_of(owned), expected);
        ASSERT_EQ(spans.modified, plain.text != before);
        ASSERT_EQ(owned.modified, plain.text != before);
        ASSERT_FALSE(spans.check_invariant()) << *spans.check_invariant();
        ASSERT_FALSE(owned.check_invariant()) << *owned.check_invariant();
    }
}

// A line of many megabytes reads and changes like any other, and the
// lines around it too.
TEST(BufferFromText, AVeryLongLine)
{
    const std::string long_line(17u << 20, 'w');
    Buffer buffer = Buffer::from_text("first\n" + long_line + "\nlast");
    ASSERT_EQ(buffer.line_count(), 3u);
    EXPECT_EQ(buffer.line(0), "first");
    EXPECT_EQ(buffer.line(1), long_line);
    EXPECT_EQ(buffer.line(2), "last");
    buffer.insert_text({1, 3}, "x\ny");
    EXPECT_EQ(buffer.line(1), "wwwx");
    EXPECT_EQ(buffer.line(2).size(), long_line.size() - 3 + 1);
    EXPECT_EQ(buffer.line(3), "last");
    EXPECT_EQ(buffer.check_invariant(), std::nullopt);
}
