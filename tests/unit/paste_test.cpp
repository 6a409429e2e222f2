// A bracketed paste through the dispatcher: text inserted as it is, one undo
// step; in a prompt only its first line; ignored by the menu and the help.

#include <gtest/gtest.h>

#include "editor/messages.hpp"
#include "support/session.hpp"

using test_support::at;
using test_support::Session;

TEST(Paste, ReplacesTheSelectionAsOneUndoStepKeepingTabsAndControls)
{
    Session s({"one two", "three"});
    s.ed.anchor = at(0, 4);
    s.ed.cursor = at(0, 7);
    s.ed.quit_armed = true;
    EXPECT_TRUE(s.send(term::PasteEvent{"a\tb\x01\r\nc\rd\ne"}));
    EXPECT_EQ(s.text(), "one a\tb\x01\nc\nd\ne\nthree");
    EXPECT_EQ(s.ed.cursor, at(3, 1));
    EXPECT_FALSE(s.ed.anchor);
    EXPECT_FALSE(s.ed.quit_armed);
    EXPECT_TRUE(s.ed.buffer.modified);
    s.ctrl(U'z');
    EXPECT_EQ(s.text(), "one two\nthree");
    s.ctrl(U'y');
    EXPECT_EQ(s.text(), "one a\tb\x01\nc\nd\ne\nthree");

    // A paste the decoder had to cut says so.
    EXPECT_TRUE(s.send(term::PasteEvent{"z", true}));
    EXPECT_EQ(s.message(), msg::PASTE_CUT);
}

TEST(Paste, PromptsTakeTheFirstLineMenuAndHelpNothing)
{
    Session s({"beta", "alpha beta"});
    s.ctrl(U'f');
    EXPECT_TRUE(s.send(term::PasteEvent{"bet\r\nrest"}));
    EXPECT_EQ(s.message(), "Qidirish: bet");
    s.key(term::Key::Enter);
    EXPECT_EQ(s.ed.matches.size(), 2u);

    s.ctrl(U'h');
    s.send(term::PasteEvent{"beta\nx"});
    s.key(term::Key::Enter);
    EXPECT_TRUE(s.send(term::PasteEvent{"B\r"}));
    EXPECT_EQ(s.ed.replace_text, "B");
    s.key(term::Key::Esc);

    s.ctrl(U'e');
    EXPECT_FALSE(s.send(term::PasteEvent{"5"}));
    EXPECT_TRUE(s.ed.encoding_menu_open);
    s.key(term::Key::Esc);
    s.key(term::KeyCode::function(1));
    EXPECT_FALSE(s.send(term::PasteEvent{"x"}));
    EXPECT_TRUE(s.ed.help_visible);
    EXPECT_EQ(s.text(), "beta\nalpha beta");
}
