#include "editor/clipboard_ops.hpp"

#include "clipboard/clipboard.hpp"
#include "editor/cursor.hpp"
#include "editor/editing.hpp"
#include "editor/messages.hpp"

namespace {

// Puts the selected text on the clipboard; without a selection the
// clipboard is not touched at all, so it keeps what it had. A failure is
// dropped: the user sees the same message either way.
void copy_to_clipboard(Editor& editor)
{
    const std::string text = selection_text(editor);
    if (text.empty()) return;
    (void)set_clipboard_text(*editor.clipboard, text);
}

}  // namespace

void copy_selection(Editor& editor)
{
    copy_to_clipboard(editor);
    set_message(editor, msg::COPIED);
}

void cut_selection(Editor& editor)
{
    copy_to_clipboard(editor);
    delete_selection(editor);
    set_message(editor, msg::CUT);
}

void paste_clipboard(Editor& editor)
{
    const std::optional<std::string> text = get_clipboard_text(*editor.clipboard);
    if (!text) return;
    // The selection goes as an undo step of its own, also for an empty
    // text; the paste is then one more.
    delete_selection(editor);
    if (!text->empty()) insert_text(editor, *text);
}
