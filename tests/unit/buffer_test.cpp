#include "buffer.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    buffer.delete_char(0, 0);   // end of the last line
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
