#include "editor/editor.hpp"

void set_message(Editor& editor, std::string text)
{
    editor.status_message.text = std::move(text);
    editor.status_message.set_at = editor.now;
}

void clear_message(Editor& editor) { set_message(editor, std::string()); }
