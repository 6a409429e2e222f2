#pragma once
// check(before, keys, after): an editing test that is an undo test for free.
//
// The document `before` (marked up as in editor_state.hpp) gets the keys (as
// in keys.hpp) and must then read `after`, cursor and selection included.
// Then Ctrl+Z is pressed once for every undo step the keys left, which must
// give back the text of `before` with its cursor (or `undone`, where undo
// puts the cursor elsewhere), every step passing through the text the keys
// had made at that depth; then Ctrl+Y as often, which must give back
// `after`'s text with the cursor where the last edit among the keys left it.
// After every single event the buffer's invariant holds and the cursor and
// anchor name existing text.
//
// `modified` is checked too: the keys set it exactly when they left
// something to undo or redo, and undoing and redoing set it again after it
// was cleared, as a save between them would clear it.

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "support/session.hpp"
#include "terminal/input_decoder.hpp"

namespace test_support {

// The texts are views: strings made for a row must outlive the check.
struct Check {
    std::string_view before;
    std::string_view keys;
    std::string_view after;
    // The undo steps the keys leave; -1: not counted.
    int steps = -1;
    // The document once they are all undone, where that is not `before`
    // with its cursor (the anchor is not compared).
    std::string_view undone = {};
    // The message the keys leave, when given.
    const char* message = nullptr;
};

// Whatever is wrong with the editor's state: the buffer's invariant, and a
// cursor or an anchor that names no text.
inline std::optional<std::string> unsound(const Editor& ed)
{
    if (auto wrong = ed.buffer.check_invariant()) return wrong;
    auto outside = [&](Position p) { return p.row >= ed.buffer.line_count() || p.column > ed.buffer.line_len(p.row); };
    auto where = [](Position p) { return std::to_string(p.row) + ":" + std::to_string(p.column); };
    if (outside(ed.cursor)) return "the cursor is outside the document, at " + where(ed.cursor);
    if (ed.anchor && outside(*ed.anchor)) return "the anchor is outside the document, at " + where(*ed.anchor);
    return std::nullopt;
}

// Runs the check on a session, which gives the screen size, the clipboard
// and anything else the keys need; its document becomes c.before.
inline void check(Session& s, const Check& c)
{
    SCOPED_TRACE("before \"" + std::string(c.before) + "\", keys \"" + std::string(c.keys) + "\"");
    s.load(c.before);
    const History& history = s.ed.history;
    // The text at each depth of the undo list, as the keys left it; a depth
    // that later ones took back is forgotten.
    std::map<std::size_t, std::string> texts{{0, s.text()}};
    Position edited = s.ed.cursor;  // where the last edit left the cursor
    auto sound = [&](const std::string& when) {
        const auto wrong = unsound(s.ed);
        if (wrong) ADD_FAILURE() << "after " << when << ": " << *wrong;
        return !wrong;
    };
    auto at_depth = [&](std::size_t depth, const std::string& when) {
        const auto known = texts.find(depth);
        if (known == texts.end() || known->second == s.text()) return true;
        ADD_FAILURE() << "after " << when << ", " << depth << " steps deep: \"" << s.text()
                      << "\", but the keys made \"" << known->second << "\"";
        return false;
    };

    for (const KeyStep& step : parse_keys(c.keys)) {
        s.send(step.event, step.gap);
        if (!sound(term::describe(step.event))) return;
        const std::size_t depth = history.undo_list.size();
        if (texts.rbegin()->first != depth || texts.rbegin()->second != s.text()) edited = s.ed.cursor;
        texts.erase(texts.upper_bound(depth), texts.end());
        texts[depth] = s.text();
    }
    EXPECT_EQ(s.marked(), c.after);
    if (c.message) {
        EXPECT_EQ(s.message(), c.message);
    }
    ASSERT_TRUE(s.ed.mode == Mode::Normal && !s.ed.encoding_menu_open && !s.ed.help_visible)
        << "the keys must end in the normal mode";
    const std::size_t steps = history.undo_list.size();
    if (c.steps >= 0) {
        EXPECT_EQ(steps, static_cast<std::size_t>(c.steps)) << "undo steps";
    }
    EXPECT_EQ(s.ed.buffer.modified, steps > 0 || !history.redo_list.empty()) << "modified after the keys";
    if (steps == 0) {
        EXPECT_EQ(s.text(), texts[0]) << "the text changed, but there is nothing to undo";
        return;
    }

    s.ed.buffer.modified = false;
    for (std::size_t depth = steps; depth-- > 0;) {
        s.press("<C-z>");
        if (!sound("Ctrl+Z") || !at_depth(depth, "Ctrl+Z")) return;
    }
    EXPECT_EQ(history.undo_list.size(), 0u);
    EXPECT_EQ(marked(s.ed, false), without_anchor(c.undone.empty() ? c.before : c.undone)) << "all undone";
    EXPECT_TRUE(s.ed.buffer.modified) << "undoing did not mark the document modified";

    s.ed.buffer.modified = false;
    for (std::size_t depth = 1; depth <= steps; ++depth) {
        s.press("<C-y>");
        if (!sound("Ctrl+Y") || !at_depth(depth, "Ctrl+Y")) return;
    }
    EXPECT_EQ(marked(s.ed, false), format_marked({parse_marked(c.after).lines, edited, {}})) << "all redone";
    EXPECT_TRUE(s.ed.buffer.modified) << "redoing did not mark the document modified";
}

inline void check(const Check& c)
{
    Session s;
    check(s, c);
}

}  // namespace test_support
