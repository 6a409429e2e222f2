#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "editor/help.hpp"
#include "screen/support/frame.hpp"
#include "text/utf8.hpp"

namespace {

const Rgb BOX{30, 30, 30};
const Rgb BORDER{140, 140, 140};
const Rgb HEADING{100, 180, 255};
const Rgb TEXT{220, 220, 220};

std::string repeat(const std::string& piece, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) text += piece;
    return text;
}

std::string padded(const std::string& content) { return content + std::string(50 - utf8::length(content), ' '); }

std::string first(const std::string& text, int count) { return std::string(utf8::substr(text, 0, count)); }

// A screen full of 'x' under the box, so that untouched cells are visible.
Editor help_editor(int width, int height)
{
    std::vector<std::string> lines(100, std::string(200, 'x'));
    Editor editor = make_editor(lines, width, height);
    editor.help_visible = true;
    return editor;
}

}  // namespace

TEST(HelpOverlay, CentredBoxWithTheKeyReference)
{
    Editor editor = help_editor(80, 50);
    auto screen = draw(editor);
    EXPECT_EQ(screen->text(3, 15, 52), "╭" + repeat("─", 50) + "╮");
    EXPECT_EQ(screen->text(48, 15, 52), "╰" + repeat("─", 50) + "╯");
    EXPECT_EQ(screen->text(4, 15, 52), "│" + std::string(50, ' ') + "│");
    EXPECT_EQ(screen->text(5, 15, 52), "│" + padded("  ZEP — Terminal matn muharriri") + "│");
    EXPECT_EQ(screen->text(5, 16, 31), "  ZEP — Terminal matn muharriri");
    EXPECT_EQ(screen->text(7, 16, 50), padded("  NAVIGATSIYA"));
    EXPECT_EQ(screen->text(20, 16, 50), padded("  Ikki marta bosish So'zni tanlash"));
    EXPECT_EQ(screen->text(37, 16, 50), padded("  Ctrl+N / Ctrl+P   Keyingi / Oldingi natija"));
    EXPECT_EQ(screen->text(46, 16, 50), padded("  Istalgan tugmani bosib yoping"));
    // Every row of the box spans columns 15 to 66; the editor shows around it.
    for (int row = 3; row <= 48; ++row) {
        EXPECT_EQ(screen->cell(row, 14).glyph, "x") << "row " << row;
        EXPECT_EQ(screen->cell(row, 67).glyph, "x") << "row " << row;
        EXPECT_NE(screen->cell(row, 15).glyph, "x") << "row " << row;
        EXPECT_NE(screen->cell(row, 66).glyph, "x") << "row " << row;
    }
    EXPECT_EQ(screen->cell(2, 15).glyph, "x");
    EXPECT_EQ(screen->cell(49, 15).glyph, " ");  // the message line, empty

    // Colours: border, headings (help lines 4, 12, 20, 31 and 36) and text.
    const std::vector<int> headings = {4, 12, 20, 31, 36};
    for (int k = 1; k <= 44; ++k) {
        const int row = 3 + k;
        const bool heading = std::find(headings.begin(), headings.end(), k) != headings.end();
        for (int column : {15, 66}) {
            EXPECT_EQ(screen->cell(row, column).fg, BORDER) << "line " << k;
            EXPECT_EQ(screen->cell(row, column).bg, BOX) << "line " << k;
        }
        for (int column : {16, 18, 65}) {
            EXPECT_EQ(screen->cell(row, column).fg, heading ? HEADING : TEXT) << "line " << k << " column " << column;
            EXPECT_EQ(screen->cell(row, column).bg, BOX) << "line " << k << " column " << column;
        }
    }
    EXPECT_EQ(screen->cell(3, 40).fg, BORDER);
    EXPECT_EQ(screen->cell(48, 40).bg, BOX);

    // Written inside the frame's synchronized update, so a terminal never
    // shows the frame without it; the cursor stays where the last write of
    // the box ended.
    const std::string bytes = frame_bytes(editor);
    EXPECT_LT(bytes.find("╭"), bytes.find("\x1b[?2026l"));
    EXPECT_EQ(screen->cursor_row(), 48);
    EXPECT_EQ(screen->cursor_column(), 67);
}

TEST(HelpOverlay, ClippedAtTheBottomOfShortScreens)
{
    // 47 rows: the whole box, from row 1 to row 46.
    Editor editor = help_editor(80, 47);
    auto screen = draw(editor);
    EXPECT_EQ(screen->text(1, 15, 1), "╭");
    EXPECT_EQ(screen->text(46, 15, 1), "╰");

    // 46 rows: from row 1, all 44 lines, no bottom border.
    editor = help_editor(80, 46);
    screen = draw(editor);
    EXPECT_EQ(screen->text(0, 15, 1), " ");
    EXPECT_EQ(screen->text(1, 15, 1), "╭");
    EXPECT_EQ(screen->text(44, 16, 50), padded("  Istalgan tugmani bosib yoping"));
    EXPECT_EQ(screen->text(45, 15, 52), "│" + std::string(50, ' ') + "│");

    // 45 rows: from row 0 over the status bar, all 44 lines.
    editor = help_editor(80, 45);
    screen = draw(editor);
    EXPECT_EQ(screen->text(0, 15, 1), "╭");
    EXPECT_EQ(screen->text(43, 16, 50), padded("  Istalgan tugmani bosib yoping"));
    EXPECT_EQ(screen->text(44, 15, 52), "│" + std::string(50, ' ') + "│");

    // 20 rows: the content stops at the last screen row, help line 19.
    editor = help_editor(80, 20);
    screen = draw(editor);
    EXPECT_EQ(screen->text(0, 15, 1), "╭");
    EXPECT_EQ(screen->text(18, 16, 50), padded("  Esc               Tanlashni bekor qilish"));
    EXPECT_EQ(screen->text(19, 15, 52), "│" + std::string(50, ' ') + "│");
    EXPECT_EQ(screen->cell(19, 14).glyph, " ");  // the message line beside it

    editor = help_editor(80, 1);
    screen = draw(editor);
    EXPECT_EQ(screen->text(0, 15, 3), "╭──");
}

TEST(HelpOverlay, NarrowScreensClipTheBoxAtTheRightEdge)
{
    // Narrower than the box: it starts at column 0 and nothing wraps onto
    // the next row.
    Editor editor = help_editor(40, 50);
    auto screen = draw(editor);
    EXPECT_EQ(screen->text(3), "╭" + repeat("─", 39));
    EXPECT_EQ(screen->text(4), "│" + std::string(39, ' '));
    EXPECT_EQ(screen->text(5), "│" + first(padded("  ZEP — Terminal matn muharriri"), 39));
    EXPECT_EQ(screen->text(48), "╰" + repeat("─", 39));
    EXPECT_EQ(screen->cell(49, 0).glyph, " ");
    EXPECT_EQ(screen->cell(2, 0).glyph, " ");  // the gutter of a text row

    // 52 columns: centring puts the box one column right, one column too far.
    editor = help_editor(52, 50);
    screen = draw(editor);
    EXPECT_EQ(screen->text(3, 1), "╭" + repeat("─", 50));
    EXPECT_EQ(screen->cell(4, 0).glyph, " ");
    EXPECT_EQ(screen->text(4, 0, 2), " │");

    // 53 columns: the whole box fits again.
    editor = help_editor(53, 50);
    screen = draw(editor);
    EXPECT_EQ(screen->text(3, 1), "╭" + repeat("─", 50) + "╮");
    EXPECT_EQ(screen->text(47, 1, 52), "│" + std::string(50, ' ') + "│");

    editor = help_editor(1, 50);
    screen = draw(editor);
    EXPECT_EQ(screen->text(3), "╭");
    EXPECT_EQ(screen->text(4), "│");
}

TEST(HelpOverlay, HeadingRule)
{
    EXPECT_TRUE(is_help_heading("  NAVIGATSIYA"));
    EXPECT_TRUE(is_help_heading("  BOSHQA  "));
    EXPECT_TRUE(is_help_heading("  ÇA VA ŞU"));
    EXPECT_TRUE(is_help_heading("  ΑΒΓ ДЖ"));
    EXPECT_FALSE(is_help_heading("NAVIGATSIYA"));
    EXPECT_FALSE(is_help_heading(" NAVIGATSIYA"));
    EXPECT_FALSE(is_help_heading("  ZEP — Terminal matn muharriri"));
    EXPECT_FALSE(is_help_heading("  F1"));
    EXPECT_FALSE(is_help_heading("  CTRL+Q"));
    EXPECT_FALSE(is_help_heading("  ǅ"));
    EXPECT_FALSE(is_help_heading(""));
}
