#include "editor/editor.hpp"

void set_message(Editor& editor, std::string_view text)
{
    editor.status_message.text = text;
    editor.status_message.set_at = editor.now;
}

void clear_message(Editor& editor) { set_message(editor, {}); }
