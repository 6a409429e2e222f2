#include "editor/editor.hpp"

void set_message(Editor& editor, std::string_view text)
{
    editor.status_message.text = text;
    editor.status_message.set_at = editor.now;
}

void clear_message(Editor& editor) { set_message(editor, {}); }

bool expire_message(Editor& editor, TimePoint now)
{
    StatusMessage& message = editor.status_message;
    // Exactly five seconds old is not yet expired.
    if (editor.encoding_menu_open || message.text.empty() || now - message.set_at <= STATUS_MESSAGE_TIMEOUT)
        return false;
    message.text.clear();
    return true;
}
