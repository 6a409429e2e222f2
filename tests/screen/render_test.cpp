#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "editor/palette.hpp"
#include "editor/render.hpp"
#include "encoding/text_encoding.hpp"
#include "screen/support/frame.hpp"
#include "terminal/output.hpp"
#include "terminal/vt_writer.hpp"

namespace {

const Rgb BAR{55, 55, 55};
const Rgb LINE_NUMBER{110, 110, 110};
const Rgb SELECTION{50, 80, 140};
const Rgb THUMB{90, 90, 90};
const Rgb THUMB_HOVER{130, 130, 130};

std::vector<std::string> numbered_lines(int count)
{
    std::vector<std::string> lines;
    for (int i = 1; i <= count; ++i) lines.push_back("line " + std::to_string(i));
    return lines;
}

void expect_bar_colors(const VtermScreen& screen, int row)
{
    for (int column = 0; column < screen.width(); ++column) {
        const Cell cell = screen.cell(row, column);
        EXPECT_EQ(cell.fg, WHITE) << "row " << row << " column " << column;
        EXPECT_EQ(cell.bg, BAR) << "row " << row << " column " << column;
    }
}

bool is_plain(const Cell& cell) { return cell.default_fg && cell.default_bg; }

}  // namespace

TEST(StatusBar, PartsFillTheWidthOrTheLeftPartIsCut)
{
    Editor untitled = make_editor({""}, 80, 24);
    auto screen = draw(untitled);
    EXPECT_EQ(screen->text(0), " [Nomsiz]  " + std::string(49, ' ') + "UTF-8  1:1  1 qator ");
    expect_bar_colors(*screen, 0);

    Editor named = make_editor({"one", "two", "three"}, 60, 10);
    named.buffer.path = "some/dir/notes.txt";
    named.buffer.modified = true;
    named.buffer.encoding = TextEncoding::Cp1251;
    named.cursor = {2, 4};
    screen = draw(named);
    const std::string left = " notes.txt *  ";
    const std::string right = "CP1251  3:5  3 qator ";
    EXPECT_EQ(screen->text(0), left + std::string(60 - left.size() - right.size(), ' ') + right);

    // 11 + 20 characters need 32 columns: at 31 only the left part is left,
    // and the rest of the row still carries the bar's background.
    Editor fits = make_editor({""}, 32, 5);
    EXPECT_EQ(draw(fits)->text(0), " [Nomsiz]   UTF-8  1:1  1 qator ");
    Editor too_narrow = make_editor({""}, 31, 5);
    screen = draw(too_narrow);
    EXPECT_EQ(screen->text(0), " [Nomsiz]  " + std::string(20, ' '));
    expect_bar_colors(*screen, 0);
    Editor tiny = make_editor({""}, 6, 5);
    EXPECT_EQ(draw(tiny)->text(0), " [Noms");
}

TEST(Gutter, GrowsWithTheLineCountAndCanBeTurnedOff)
{
    Editor nine = make_editor(numbered_lines(9), 40, 14);
    auto screen = draw(nine);
    EXPECT_EQ(screen->text(1, 0, 10), " 1 line 1 ");
    EXPECT_EQ(screen->text(9, 0, 10), " 9 line 9 ");
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(screen->cell(1, column).fg, LINE_NUMBER);
        EXPECT_TRUE(screen->cell(1, column).default_bg);
    }
    EXPECT_TRUE(is_plain(screen->cell(1, 3)));
    // Rows past the end: blank gutter cells and nothing else.
    EXPECT_EQ(screen->text(10, 0, 39), std::string(39, ' '));
    EXPECT_TRUE(is_plain(screen->cell(10, 0)));

    Editor ten = make_editor(numbered_lines(10), 40, 14);
    screen = draw(ten);
    EXPECT_EQ(ten.gutter_line_count, 10u);
    EXPECT_EQ(screen->text(1, 0, 10), "  1 line 1");
    EXPECT_EQ(screen->text(10, 0, 11), " 10 line 10");
    EXPECT_EQ(screen->cursor_column(), 4);

    Editor off = make_editor(numbered_lines(3), 40, 8);
    off.show_line_numbers = false;
    screen = draw(off);
    EXPECT_EQ(screen->text(1, 0, 6), "line 1");
    EXPECT_EQ(screen->text(4, 0, 39), std::string(39, ' '));
    EXPECT_EQ(screen->cursor_column(), 0);
}

TEST(ScrollBar, ThumbPositionSizeAndHoverGlyphs)
{
    Editor editor = make_editor(numbered_lines(100), 40, 22);
    editor.top_line = 40;
    editor.cursor = {40, 0};
    auto screen = draw(editor);
    for (int row = 1; row <= 20; ++row) {
        const Cell cell = screen->cell(row, 39);
        if (row >= 9 && row <= 12) {
            EXPECT_EQ(cell.glyph, "│") << "row " << row;
            EXPECT_EQ(cell.fg, THUMB);
            EXPECT_TRUE(cell.default_bg);
        } else {
            EXPECT_EQ(cell.glyph, " ") << "row " << row;
            EXPECT_TRUE(is_plain(cell));
        }
    }
    EXPECT_EQ(screen->text(1, 0, 13), "  41 line 41 ");

    editor.scrollbar_hover = true;
    screen = draw(editor);
    EXPECT_EQ(screen->cell(8, 39).glyph, " ");
    EXPECT_EQ(screen->cell(9, 39).glyph, "▄");
    EXPECT_EQ(screen->cell(10, 39).glyph, "█");
    EXPECT_EQ(screen->cell(11, 39).glyph, "█");
    EXPECT_EQ(screen->cell(12, 39).glyph, "▀");
    EXPECT_EQ(screen->cell(13, 39).glyph, " ");
    EXPECT_EQ(screen->cell(10, 39).fg, THUMB_HOVER);

    // 20 * 20 / 1000 rounds to nothing: a one-row thumb, at the bottom when
    // the last screenful is shown.
    Editor long_doc = make_editor(numbered_lines(1000), 40, 22);
    long_doc.top_line = 980;
    long_doc.scrollbar_hover = true;
    screen = draw(long_doc);
    EXPECT_EQ(screen->cell(20, 39).glyph, "▆");
    EXPECT_EQ(screen->cell(19, 39).glyph, " ");

    Editor short_doc = make_editor(numbered_lines(3), 40, 10);
    screen = draw(short_doc);
    for (int row = 1; row <= 8; ++row) EXPECT_EQ(screen->cell(row, 39).glyph, "│") << "row " << row;
}

TEST(MessageLine, PaddedToTheWidthOrCut)
{
    Editor editor = make_editor({""}, 30, 6);
    set_message(editor, "Saqlandi: a.txt");
    auto screen = draw(editor);
    EXPECT_EQ(screen->text(5), " Saqlandi: a.txt" + std::string(14, ' '));
    expect_bar_colors(*screen, 5);

    const std::string long_message = "Saqlashda xato: No space left on device (os error 28)";
    set_message(editor, long_message);
    screen = draw(editor);
    const std::string cut = long_message.substr(0, 29);
    EXPECT_EQ(screen->text(5), " " + cut);
    expect_bar_colors(*screen, 5);

    clear_message(editor);
    screen = draw(editor);
    EXPECT_EQ(screen->text(5), std::string(30, ' '));
    for (int column = 0; column < 30; ++column) EXPECT_TRUE(is_plain(screen->cell(5, column)));
}

TEST(SmallScreens, StatusAndMessageRowsShareWhatThereIs)
{
    Editor two = make_editor(numbered_lines(5), 30, 2);
    set_message(two, "salom");
    auto screen = draw(two);
    EXPECT_EQ(screen->text(0).substr(0, 11), " [Nomsiz]  ");
    EXPECT_EQ(screen->text(1), " salom" + std::string(24, ' '));
    // No text row, so no line number and no scroll bar anywhere.
    EXPECT_EQ(screen->text(0).find("line"), std::string::npos);
    EXPECT_EQ(screen->cell(0, 29).bg, BAR);

    // One row: the message line is row 0 and takes the status bar's place.
    Editor one = make_editor({""}, 30, 1);
    set_message(one, "salom");
    screen = draw(one);
    EXPECT_EQ(screen->text(0), " salom" + std::string(24, ' '));

    // Three rows: one text row, its one-row thumb covering the whole track.
    Editor three = make_editor(numbered_lines(1), 12, 3);
    screen = draw(three);
    EXPECT_EQ(screen->text(1), " 1 line 1  │");

    // A screen narrower than the gutter still shows every row in its place.
    Editor narrow = make_editor(numbered_lines(1000), 2, 5);
    set_message(narrow, "xy");
    screen = draw(narrow);
    EXPECT_EQ(screen->text(0), " [");
    EXPECT_EQ(screen->text(1), " │");
    EXPECT_EQ(screen->text(3), "  ");
    EXPECT_EQ(screen->text(4), " x");

    // Zero sizes draw nothing that could be misplaced and do not fail.
    Editor empty = make_editor({"abc"}, 0, 0);
    set_message(empty, "salom");
    EXPECT_EQ(frame_bytes(empty).find("abc"), std::string::npos);
}

TEST(ControlCharacters, ShownAsOneVisibleColumnEach)
{
    EXPECT_EQ(visible_text("a\tb"), "a␉b");
    EXPECT_EQ(visible_text(std::string("\0\x1b\x1f\x7f", 4)), "␀␛␟␡");
    EXPECT_EQ(visible_text("\u0080x\u009f\u00a0\u00e9"), "\uFFFDx\uFFFD\u00a0\u00e9");

    Editor editor = make_editor({"a\tb\x1b[31mc\x7f\u0085d", "\r\x01", "0123456789abcdef\x1b[41mX\u009b",
                                 "0123456\x7f"
                                 "89abcdef",
                                 "012345\u008589abcdef"},
                                40, 8);
    editor.buffer.path = "dir/evil\x1b]0;title\x07.txt";
    set_message(editor, "Topilmadi: \x1b[2J");
    auto screen = draw(editor);
    EXPECT_EQ(screen->text(1, 3, 12), "a␉b␛[31mc␡�d");
    EXPECT_EQ(screen->text(2, 3, 2), "␍␁");
    EXPECT_EQ(screen->text(3, 3, 23), "0123456789abcdef␛[41mX�");
    EXPECT_TRUE(is_plain(screen->cell(3, 24)));
    EXPECT_EQ(screen->text(4, 3, 16), "0123456␡89abcdef");
    EXPECT_EQ(screen->text(5, 3, 15), "012345�89abcdef");
    // The escape sequence did not colour anything.
    EXPECT_TRUE(is_plain(screen->cell(1, 12)));
    EXPECT_EQ(screen->text(0, 0, 20), " evil␛]0;title␇.txt ");
    EXPECT_EQ(screen->text(7, 0, 17), " Topilmadi: ␛[2J ");
    expect_bar_colors(*screen, 7);
}

TEST(Selection, HighlightsFromStartUpToButNotIncludingEnd)
{
    Editor editor = make_editor({"abcdefgh", "ijklmnop", "qrstuvwx"}, 40, 8);
    editor.anchor = Position{0, 2};
    editor.cursor = {0, 5};
    auto screen = draw(editor);
    auto selected = [&](int row, int column) {
        const Cell cell = screen->cell(row, column);
        return cell.fg == WHITE && cell.bg == SELECTION && !cell.default_bg;
    };
    EXPECT_EQ(screen->text(1, 3, 8), "abcdefgh");
    for (int k = 0; k < 8; ++k) EXPECT_EQ(selected(1, 3 + k), k >= 2 && k < 5) << "character " << k;

    // Scrolled right by three: d and e are the visible selected ones.
    editor.left_column = 3;
    screen = draw(editor);
    EXPECT_EQ(screen->text(1, 3, 5), "defgh");
    for (int k = 0; k < 5; ++k) EXPECT_EQ(selected(1, 3 + k), k < 2) << "visible character " << k;

    // Across lines, anchor after the cursor: the order does not matter.
    editor.left_column = 0;
    editor.anchor = Position{2, 1};
    editor.cursor = {0, 6};
    screen = draw(editor);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(selected(1, 3 + k), k >= 6) << "line 1 character " << k;
        EXPECT_TRUE(selected(2, 3 + k)) << "line 2 character " << k;
        EXPECT_EQ(selected(3, 3 + k), k < 1) << "line 3 character " << k;
    }
    // Line ends are never drawn as selected, nor is the gutter.
    EXPECT_FALSE(selected(1, 11));
    EXPECT_FALSE(selected(2, 2));

    // An anchor on the cursor selects nothing.
    editor.anchor = editor.cursor;
    screen = draw(editor);
    for (int k = 0; k < 8; ++k) EXPECT_TRUE(is_plain(screen->cell(1, 3 + k)));
}

TEST(TextArea, LongLinesAreCutAndTheCursorFollowsTheScroll)
{
    std::string long_line;
    for (int i = 0; i < 300; ++i) long_line += static_cast<char>('a' + i % 26);
    Editor editor = make_editor({"x", "yy", "zzz", long_line, "ü ö"}, 20, 7);
    editor.top_line = 2;
    editor.left_column = 30;
    editor.cursor = {3, 35};
    auto screen = draw(editor);
    // Text area: 20 - 1 - 3 = 16 columns from character 30 on.
    EXPECT_EQ(screen->text(2, 3, 16), long_line.substr(30, 16));
    EXPECT_EQ(screen->text(1, 0, 19), " 3 " + std::string(16, ' '));
    EXPECT_EQ(screen->text(3, 0, 4), " 5  ");
    EXPECT_EQ(screen->cursor_row(), 2);
    EXPECT_EQ(screen->cursor_column(), 3 + 5);

    // A cursor left of or above the view sits at the text area's corner.
    editor.cursor = {0, 0};
    screen = draw(editor);
    EXPECT_EQ(screen->cursor_row(), 1);
    EXPECT_EQ(screen->cursor_column(), 3);

    // Multi-byte characters count one column each.
    editor.left_column = 1;
    screen = draw(editor);
    EXPECT_EQ(screen->text(3, 3, 3), " ö ");
}

TEST(Frame, OneSynchronizedBatch)
{
    Editor editor = make_editor(numbered_lines(3), 30, 8);
    const std::string bytes = frame_bytes(editor);
    EXPECT_EQ(bytes.rfind("\x1b[?2026h", 0), 0u);
    EXPECT_EQ(bytes.find("\x1b[?2026l"), bytes.size() - 8);
    EXPECT_EQ(editor.gutter_line_count, 3u);

    // A terminal that takes no more bytes: the frame's error comes back, and
    // the gutter keeps the line count the frame was drawn for.
    const int fd = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(fd, 0);
    term::Output full(fd);
    Editor twelve = make_editor(numbered_lines(12), 30, 8);
    twelve.help_visible = true;
    Frame frame;
    render(twelve, frame);
    term::VtWriter writer(style::PALETTE);
    writer.write(frame.grid, full);
    const auto result = full.flush();
    ::close(fd);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().message, IoError::from_errno(ENOSPC).message);
    EXPECT_EQ(twelve.gutter_line_count, 12u);
}
