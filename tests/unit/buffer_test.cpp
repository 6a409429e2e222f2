#include "buffer.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "encoding/encoding.hpp"

namespace {

using Lines = std::vector<std::string>;

Lines lines_of(const Buffer& buffer)
{
    Lines lines;
    for (std::uint64_t row = 0; row < buffer.line_count(); ++row) lines.emplace_back(buffer.line(row));
    return lines;
}

}  // namespace

TEST(Buffer, NewBufferAndNothingToDo)
{
    Buffer buffer;
    EXPECT_EQ(lines_of(buffer), Lines{""});
    EXPECT_FALSE(buffer.path.has_value());
    EXPECT_FALSE(buffer.modified);
    EXPECT_EQ(buffer.line_ending, LineEnding::CrLf);
    EXPECT_EQ(buffer.encoding, TextEncoding::Utf8);

    EXPECT_EQ(buffer.backspace(0, 0), (Position{0, 0}));
    buffer.delete_char(0, 0);  // end of the last line
    buffer.delete_char(0, 9);
    buffer.insert_char(1, 0, U'x');  // row past the end
    buffer.split_line(1, 0);
    buffer.split_line(7, 3);
    EXPECT_EQ(lines_of(buffer), Lines{""});
    EXPECT_FALSE(buffer.modified);

    // Made from no lines at all, a buffer still has its one line.
    EXPECT_EQ(lines_of(Buffer(Lines{})), Lines{""});
    Buffer replaced(Lines{"a", "b"});
    replaced.replace_lines({});
    EXPECT_EQ(lines_of(replaced), Lines{""});
}

TEST(Buffer, ColumnsCountCharactersNotBytes)
{
    const Buffer buffer(Lines{"aé€😀b", "", "plain ascii text, long enough to skip"});
    EXPECT_EQ(buffer.line_len(0), 5u);
    EXPECT_EQ(buffer.line_len(1), 0u);
    EXPECT_EQ(buffer.line_len(2), 37u);
    EXPECT_EQ(buffer.line_len(3), 0u);
    EXPECT_EQ(buffer.line_len(99), 0u);
    EXPECT_EQ(buffer.line(3), "");

    const std::vector<std::size_t> offsets = {0, 1, 3, 6, 10, 11, 11, 11};
    for (std::uint64_t column = 0; column < offsets.size(); ++column)
        EXPECT_EQ(buffer.char_to_byte(0, column), offsets[column]) << "column " << column;
    EXPECT_EQ(buffer.char_to_byte(2, 20), 20u);
    EXPECT_EQ(buffer.char_to_byte(2, 1000), 37u);

    EXPECT_EQ(buffer.char_at(0, 0), U'a');
    EXPECT_EQ(buffer.char_at(0, 1), U'é');
    EXPECT_EQ(buffer.char_at(0, 2), U'€');
    EXPECT_EQ(buffer.char_at(0, 3), U'😀');
    EXPECT_EQ(buffer.char_at(0, 4), U'b');
    EXPECT_EQ(buffer.char_at(2, 36), U'p');
}

TEST(Buffer, InsertCharSplicesUtf8AtCharacterBoundaries)
{
    Buffer buffer(Lines{"aé"});
    buffer.insert_char(0, 1, U'é');
    EXPECT_EQ(buffer.line(0), "aéé");
    EXPECT_TRUE(buffer.modified);

    Buffer appended(Lines{"aé"});
    appended.insert_char(0, 5, U'é');
    EXPECT_EQ(appended.line(0), "aéé");

    Buffer mixed(Lines{"€😀", "x"});
    mixed.insert_char(0, 1, U'a');
    mixed.insert_char(0, 0, U'😀');
    mixed.insert_char(0, 4, U'€');
    mixed.insert_char(1, 0, U'\r');  // a CR is ordinary text
    mixed.insert_char(1, 2, U'\t');
    EXPECT_EQ(lines_of(mixed), (Lines{"😀€a😀€", "\rx\t"}));
    EXPECT_EQ(mixed.line_len(0), 5u);

    // One, two, three and four bytes, at the start, middle and end of a long ASCII run.
    Buffer long_line(Lines{std::string(40, '.')});
    long_line.insert_char(0, 40, U'😀');
    long_line.insert_char(0, 20, U'ж');
    long_line.insert_char(0, 0, U'€');
    long_line.insert_char(0, 9, U'z');
    EXPECT_EQ(long_line.line(0),
              "€" + std::string(8, '.') + "z" + std::string(12, '.') + "ж" + std::string(20, '.') + "😀");

    Buffer untouched(Lines{"a"});
    untouched.insert_char(1, 0, U'b');
    EXPECT_EQ(lines_of(untouched), Lines{"a"});
    EXPECT_FALSE(untouched.modified);
}

TEST(Buffer, DeleteCharRemovesOneCharacterOrJoins)
{
    Buffer buffer(Lines{"a€b"});
    buffer.delete_char(0, 1);
    EXPECT_EQ(buffer.line(0), "ab");
    EXPECT_TRUE(buffer.modified);

    Buffer emoji(Lines{"😀é"});
    emoji.delete_char(0, 0);
    EXPECT_EQ(emoji.line(0), "é");
    emoji.delete_char(0, 0);
    EXPECT_EQ(emoji.line(0), "");

    // At the end of a line, or past it, the next line comes up; empty lines too.
    Buffer joins(Lines{"ab", "", "cd", "", ""});
    joins.delete_char(0, 2);
    EXPECT_EQ(lines_of(joins), (Lines{"ab", "cd", "", ""}));
    joins.delete_char(0, 50);
    EXPECT_EQ(lines_of(joins), (Lines{"abcd", "", ""}));
    joins.delete_char(1, 0);
    EXPECT_EQ(lines_of(joins), (Lines{"abcd", ""}));
    joins.delete_char(0, 4);
    EXPECT_EQ(lines_of(joins), Lines{"abcd"});

    // The end of the last line: nothing, and modified stays as it was.
    Buffer last(Lines{"x", "yz"});
    last.delete_char(1, 2);
    last.delete_char(1, 9);
    EXPECT_EQ(lines_of(last), (Lines{"x", "yz"}));
    EXPECT_FALSE(last.modified);
    last.delete_char(0, 0);
    EXPECT_EQ(lines_of(last), (Lines{"", "yz"}));
    last.delete_char(1, 2);
    EXPECT_TRUE(last.modified);
}

TEST(Buffer, SplitLineAtStartMiddleAndPastTheEnd)
{
    Buffer at_start(Lines{"abc"});
    at_start.split_line(0, 0);
    EXPECT_EQ(lines_of(at_start), (Lines{"", "abc"}));
    EXPECT_TRUE(at_start.modified);

    for (std::uint64_t column : {3u, 7u}) {
        Buffer at_end(Lines{"abc"});
        at_end.split_line(0, column);
        EXPECT_EQ(lines_of(at_end), (Lines{"abc", ""}));
    }

    Buffer middle(Lines{"first", "é€😀x", "last"});
    middle.split_line(1, 2);
    EXPECT_EQ(lines_of(middle), (Lines{"first", "é€", "😀x", "last"}));
    middle.split_line(2, 1);
    EXPECT_EQ(lines_of(middle), (Lines{"first", "é€", "😀", "x", "last"}));
    middle.split_line(4, 4);
    EXPECT_EQ(lines_of(middle), (Lines{"first", "é€", "😀", "x", "last", ""}));
}

TEST(Buffer, BackspaceRemovesThePreviousCharacterOrJoinsUp)
{
    Buffer buffer(Lines{"ab", "cd"});
    EXPECT_EQ(buffer.backspace(1, 0), (Position{0, 2}));
    EXPECT_EQ(lines_of(buffer), Lines{"abcd"});
    EXPECT_TRUE(buffer.modified);

    // The returned column counts characters of the line above, not bytes.
    Buffer wide(Lines{"é€😀", "x", ""});
    EXPECT_EQ(wide.backspace(1, 0), (Position{0, 3}));
    EXPECT_EQ(lines_of(wide), (Lines{"é€😀x", ""}));
    EXPECT_EQ(wide.backspace(1, 0), (Position{0, 4}));
    EXPECT_EQ(lines_of(wide), Lines{"é€😀x"});
    EXPECT_EQ(wide.backspace(0, 3), (Position{0, 2}));
    EXPECT_EQ(wide.line(0), "é€x");
    EXPECT_EQ(wide.backspace(0, 1), (Position{0, 0}));
    EXPECT_EQ(wide.line(0), "€x");
    EXPECT_EQ(wide.backspace(0, 2), (Position{0, 1}));
    EXPECT_EQ(wide.line(0), "€");

    Buffer empty_lines(Lines{"", ""});
    EXPECT_EQ(empty_lines.backspace(1, 0), (Position{0, 0}));
    EXPECT_EQ(lines_of(empty_lines), Lines{""});
    EXPECT_TRUE(empty_lines.modified);

    Buffer start(Lines{"abc"});
    EXPECT_EQ(start.backspace(0, 0), (Position{0, 0}));
    EXPECT_EQ(start.line(0), "abc");
    EXPECT_FALSE(start.modified);
}

TEST(Buffer, InsertLineLeavesModifiedToTheCaller)
{
    Buffer buffer(Lines{"a", "b"});
    buffer.insert_line(0, "first");
    buffer.insert_line(3, "last");
    buffer.insert_line(2, "é€");
    EXPECT_EQ(lines_of(buffer), (Lines{"first", "a", "é€", "b", "last"}));
    EXPECT_EQ(buffer.line_len(2), 2u);
    EXPECT_FALSE(buffer.modified);
}

TEST(Buffer, ModifiedStaysSetWhenTheTextComesBack)
{
    Buffer buffer(Lines{"ab"});
    buffer.insert_char(0, 1, U'x');
    buffer.delete_char(0, 1);
    EXPECT_EQ(buffer.line(0), "ab");
    EXPECT_TRUE(buffer.modified);

    Buffer split(Lines{"ab"});
    split.split_line(0, 1);
    split.delete_char(0, 1);
    EXPECT_EQ(lines_of(split), Lines{"ab"});
    EXPECT_TRUE(split.modified);
}

// A buffer made from a file's text keeps its lines as stretches of that
// text until they change; edits must behave exactly as on lines that own
// their strings, and the lines around an edit must keep their own text.

TEST(BufferFromText, CutsAsSplitLinesAndLinesReadBackExactly)
{
    for (const std::string text :
         {"", "abc", "\n", "a\nb\n", "a\r\nb\r\n", "a\r\r\nb", "a\rb", "x\r", "\r", "\n\n\r\n", "é\r\n€\n😀"}) {
        const Buffer buffer = Buffer::from_text(text);
        EXPECT_EQ(lines_of(buffer), split_lines(text)) << text;
        EXPECT_FALSE(buffer.modified);
    }
    const Buffer crlf = Buffer::from_text("ab\r\n\r\n€😀\r\nlast");
    EXPECT_EQ(lines_of(crlf), (Lines{"ab", "", "€😀", "last"}));
    EXPECT_EQ(crlf.line_len(2), 2u);
    EXPECT_EQ(crlf.char_to_byte(2, 1), 3u);
    EXPECT_EQ(crlf.char_at(2, 1), U'😀');
    EXPECT_EQ(crlf.line(4), "");
}

TEST(BufferFromText, EditsOfLinesStillInTheText)
{
    // The dropped CR must not come back into a line that is changed or cut.
    Buffer buffer = Buffer::from_text("ab\r\ncdé\r\nfg\r\n");
    buffer.insert_char(1, 3, U'!');
    EXPECT_EQ(lines_of(buffer), (Lines{"ab", "cdé!", "fg", ""}));
    EXPECT_TRUE(buffer.modified);

    Buffer cut = Buffer::from_text("ab\r\ncdé\r\nfg");
    cut.split_line(1, 3);
    cut.split_line(1, 1);
    EXPECT_EQ(lines_of(cut), (Lines{"ab", "c", "dé", "", "fg"}));
    // Both halves of a cut stretch change apart from each other.
    cut.insert_char(2, 2, U'x');
    cut.delete_char(1, 0);
    cut.insert_char(1, 0, U'y');
    EXPECT_EQ(lines_of(cut), (Lines{"ab", "y", "déx", "", "fg"}));

    Buffer deleted = Buffer::from_text("a€b\nc");
    deleted.delete_char(0, 1);
    EXPECT_EQ(lines_of(deleted), (Lines{"ab", "c"}));
    EXPECT_EQ(deleted.backspace(0, 2), (Position{0, 1}));
    EXPECT_EQ(lines_of(deleted), (Lines{"a", "c"}));

    // insert_line and insert_text put new lines between stretches of the text.
    Buffer inserted = Buffer::from_text("one\ntwo\nthree");
    inserted.insert_line(1, "new");
    EXPECT_EQ(inserted.insert_text({3, 1}, "X\nY\nZ"), (Position{5, 1}));
    EXPECT_EQ(lines_of(inserted), (Lines{"one", "new", "two", "tX", "Y", "Zhree"}));
}

TEST(BufferFromText, JoinsBetweenTextAndOwnedLines)
{
    Buffer buffer = Buffer::from_text("aa\nbb\ncc\ndd\nee");
    buffer.insert_char(1, 2, U'1');  // "bb1" owns its text now
    buffer.delete_char(0, 2);        // text line + owned line
    EXPECT_EQ(lines_of(buffer), (Lines{"aabb1", "cc", "dd", "ee"}));
    buffer.delete_char(1, 2);  // text line + text line
    EXPECT_EQ(lines_of(buffer), (Lines{"aabb1", "ccdd", "ee"}));
    EXPECT_EQ(buffer.backspace(2, 0), (Position{1, 4}));  // owned line + text line
    EXPECT_EQ(lines_of(buffer), (Lines{"aabb1", "ccddee"}));
    EXPECT_EQ(buffer.backspace(1, 0), (Position{0, 5}));
    EXPECT_EQ(lines_of(buffer), Lines{"aabb1ccddee"});

    // A range from a text line through owned lines into another text line.
    Buffer ranged = Buffer::from_text("first\nsecond\nthird\nfourth");
    ranged.insert_char(1, 0, U'2');
    ranged.insert_line(3, "inserted");
    EXPECT_EQ(ranged.erase_range({0, 2}, {4, 3}), "rst\n2second\nthird\ninserted\nfou");
    EXPECT_EQ(lines_of(ranged), Lines{"firth"});
    EXPECT_EQ(ranged.erase_range({0, 1}, {0, 3}), "ir");
    EXPECT_EQ(lines_of(ranged), Lines{"fth"});
}

TEST(BufferFromText, LinesFreedByEditsAreMadeAgainCorrectly)
{
    Buffer buffer = Buffer::from_text("0\n1\n2\n3\n4\n5");
    for (std::uint64_t row = 0; row < 6; ++row) buffer.insert_char(row, 1, U'+');
    // The owned lines go, then new lines take their places.
    EXPECT_EQ(buffer.erase_range({1, 0}, {4, 0}), "1+\n2+\n3+\n");
    EXPECT_EQ(buffer.insert_text({1, 0}, "x\ny\nz\n"), (Position{4, 0}));
    buffer.insert_line(0, "top");
    buffer.split_line(6, 1);
    EXPECT_EQ(lines_of(buffer), (Lines{"top", "0+", "x", "y", "z", "4+", "5", "+"}));

    // Cut stretches, and lines made from some of them, outlive the lines
    // that went; when the last stretch goes, so does the text.
    const std::string a(40, 'a'), b(40, 'b'), c(40, 'c');
    Buffer long_lines = Buffer::from_text(a + "\n" + b + "\r\n" + c);
    long_lines.split_line(1, 20);
    EXPECT_EQ(long_lines.erase_range({0, 10}, {1, 5}), a.substr(10) + "\n" + b.substr(0, 5));
    EXPECT_EQ(lines_of(long_lines), (Lines{a.substr(0, 10) + b.substr(5, 15), b.substr(20), c}));
    long_lines.delete_char(1, 20);
    EXPECT_EQ(lines_of(long_lines), (Lines{a.substr(0, 10) + b.substr(5, 15), b.substr(20) + c}));
    long_lines.erase_range({0, 0}, {1, 60});
    EXPECT_EQ(lines_of(long_lines), Lines{""});
    long_lines.insert_text({0, 0}, "new\ntext");
    EXPECT_EQ(lines_of(long_lines), (Lines{"new", "text"}));

    // Replacing the lines lets go of the text they came from.
    buffer.replace_lines({"only"});
    EXPECT_EQ(lines_of(buffer), Lines{"only"});
    buffer.insert_text({0, 4}, "\nmore");
    EXPECT_EQ(lines_of(buffer), (Lines{"only", "more"}));
}

TEST(BufferFromText, CopiesAndMovesKeepTheirLines)
{
    // Short enough to live inside the string object itself, which moves with the buffer.
    Buffer small = Buffer::from_text("ab\ncd");
    Buffer moved = std::move(small);
    EXPECT_EQ(lines_of(moved), (Lines{"ab", "cd"}));
    Buffer copy = moved;
    copy.insert_char(0, 0, U'x');
    copy.split_line(2, 1);
    EXPECT_EQ(lines_of(copy), (Lines{"xab", "cd"}));
    EXPECT_EQ(lines_of(moved), (Lines{"ab", "cd"}));
}

TEST(BufferFromText, RandomEditsMatchABufferOfOwnedLines)
{
    // The same edits on the same text, once kept as stretches of it and once
    // as strings from the start: the two must never differ.
    std::string text = "first line\r\nsecond é€😀\n\nfourth\r\n";
    for (int i = 0; i < 30; ++i) text += std::to_string(i) + (i % 3 ? "\n" : "ж\r\n");
    Buffer spans = Buffer::from_text(text);
    Buffer owned(split_lines(text));
    std::uint32_t seed = 7;
    auto next = [&](std::uint32_t bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % bound;
    };
    for (int step = 0; step < 20000; ++step) {
        const std::uint64_t row = next(static_cast<std::uint32_t>(spans.line_count() + 1));
        const std::uint64_t column = next(12);
        const Position to{row + next(3), next(12)};
        switch (next(8)) {
        case 0:
            spans.insert_char(row, column, U'ж');
            owned.insert_char(row, column, U'ж');
            break;
        case 1:
            spans.delete_char(row, column);
            owned.delete_char(row, column);
            break;
        case 2:
            spans.split_line(row, column);
            owned.split_line(row, column);
            break;
        case 3: ASSERT_EQ(spans.backspace(row, column), owned.backspace(row, column)); break;
        case 4:
            spans.insert_line(row, "ins");
            owned.insert_line(row, "ins");
            break;
        case 5:
            ASSERT_EQ(spans.insert_text({row, column}, "p\nq€\n"), owned.insert_text({row, column}, "p\nq€\n"));
            break;
        case 6: ASSERT_EQ(spans.erase_range({row, column}, to), owned.erase_range({row, column}, to)); break;
        default:
            // Now and then the text is read afresh, as reopening a file does.
            if (next(8) == 0) {
                spans = Buffer::from_text(text);
                owned = Buffer(split_lines(text));
            }
        }
        ASSERT_EQ(lines_of(spans), lines_of(owned)) << "step " << step;
    }
}
