#include "editor/dispatch.hpp"

#include <span>

#include "editor/clipboard_ops.hpp"
#include "editor/cursor.hpp"
#include "editor/document.hpp"
#include "editor/editing.hpp"
#include "editor/messages.hpp"
#include "editor/search.hpp"
#include "editor/view.hpp"
#include "terminal/terminal.hpp"
#include "text/utf8.hpp"

namespace {

using term::Key;

// What a chord does. The character is the key's own, so that the rows for
// typing can insert it; every other action ignores it.
using Action = void (*)(Editor&, char32_t);

// Whether the view follows the cursor after the action. The chords that only
// switch modes, show messages or touch files leave the view alone.
enum class View : bool { Follow, Stay };

// In a Char row: every character.
inline constexpr char32_t ANY_CHAR = 0xFFFFFFFF;

struct Chord {
    Key key;
    char32_t ch = 0;                           // Char rows only
    term::KeyModifiers required = term::NONE;  // bits that must be set (prompt rows only)
};

struct Binding {
    Chord chord;
    Action action;
    View view = View::Follow;
};

bool chord_matches(const Chord& chord, const term::KeyEvent& key)
{
    if (chord.key != key.code.key) return false;
    if ((key.modifiers & chord.required) != chord.required) return false;
    return chord.key != Key::Char || chord.ch == ANY_CHAR || chord.ch == key.code.ch;
}

// ---- Actions of the normal-mode tables -------------------------------------

template <void (*Operation)(Editor&)>
void just(Editor& editor, char32_t)
{
    Operation(editor);
}

// A movement without Shift drops the selection first.
template <void (*Move)(Editor&)>
void moving(Editor& editor, char32_t)
{
    clear_selection(editor);
    Move(editor);
}

// A movement with Shift keeps (or starts) the anchor, so the selection follows the cursor.
template <void (*Move)(Editor&)>
void extending(Editor& editor, char32_t)
{
    start_selection(editor);
    Move(editor);
}

template <std::int64_t Lines>
void scrolling(Editor& editor, char32_t)
{
    scroll_by(editor, Lines);
}

void type_over_selection(Editor& editor, char32_t c)
{
    delete_selection(editor);
    type_char(editor, c);
}

void break_line(Editor& editor, char32_t)
{
    delete_selection(editor);
    new_line(editor);
}

// No tab character is ever inserted: four spaces, each its own undo step.
void tab(Editor& editor, char32_t)
{
    delete_selection(editor);
    for (int i = 0; i < 4; ++i) type_char(editor, U' ');
}

void erase_before(Editor& editor, char32_t)
{
    if (!delete_selection(editor)) backspace_at_cursor(editor);
}

void erase_at(Editor& editor, char32_t)
{
    if (!delete_selection(editor)) delete_at_cursor(editor);
}

// Ctrl+F and Ctrl+H: an empty prompt, and no match from before.
template <Mode Prompt, const std::string_view& Text>
void open_prompt(Editor& editor, char32_t)
{
    editor.mode = Prompt;
    editor.search_text.clear();
    editor.replace_text.clear();
    editor.matches.clear();
    editor.current_match.reset();
    set_message(editor, Text);
}

void toggle_line_numbers(Editor& editor, char32_t)
{
    editor.show_line_numbers = !editor.show_line_numbers;
    set_message(editor, editor.show_line_numbers ? msg::LINE_NUMBERS_ON : msg::LINE_NUMBERS_OFF);
}

// Unsaved changes take a second Ctrl+Q; any plain key in between disarms it.
void quit(Editor& editor, char32_t)
{
    if (editor.buffer.modified && !editor.quit_armed) {
        editor.quit_armed = true;
        set_message(editor, msg::QUIT_CONFIRM);
        return;
    }
    editor.quit_requested = true;
}

// ---- The normal-mode key tables ---------------------------------------------
// One row per chord. A chord without a row does nothing (the view still
// follows the cursor).

constexpr Binding PLAIN_KEYS[] = {
    {{Key::Char, ANY_CHAR}, type_over_selection},
    {{Key::Enter}, break_line},
    {{Key::Tab}, tab},
    {{Key::Backspace}, erase_before},
    {{Key::Delete}, erase_at},
    {{Key::Left}, moving<move_left>},
    {{Key::Right}, moving<move_right>},
    {{Key::Up}, moving<move_up>},
    {{Key::Down}, moving<move_down>},
    {{Key::Home}, moving<line_start>},
    {{Key::End}, moving<line_end>},
    {{Key::PageUp}, moving<page_up>},
    {{Key::PageDown}, moving<page_down>},
    {{Key::Esc}, just<clear_selection>},
};

constexpr Binding SHIFT_KEYS[] = {
    {{Key::Left}, extending<move_left>},
    {{Key::Right}, extending<move_right>},
    {{Key::Up}, extending<move_up>},
    {{Key::Down}, extending<move_down>},
    {{Key::Home}, extending<line_start>},
    {{Key::End}, extending<line_end>},
    {{Key::PageUp}, extending<page_up>},
    {{Key::PageDown}, extending<page_down>},
    // The character as the terminal reports it: upper-case or shifted.
    {{Key::Char, ANY_CHAR}, type_over_selection},
};

// Characters with Ctrl are looked up by code point: only these lower-case
// letters are bound, and no character is typed while Ctrl is held.
constexpr Binding CTRL_KEYS[] = {
    {{Key::Left}, moving<word_left>},
    {{Key::Right}, moving<word_right>},
    {{Key::Home}, moving<doc_start>},
    {{Key::End}, moving<doc_end>},
    {{Key::Up}, scrolling<-1>},
    {{Key::Down}, scrolling<+1>},
    {{Key::Backspace}, just<delete_word_before>},
    {{Key::Delete}, just<delete_word_after>},
    {{Key::Char, U'a'}, just<select_all>},
    {{Key::Char, U'c'}, just<copy_selection>, View::Stay},
    {{Key::Char, U'd'}, just<duplicate_line>},
    {{Key::Char, U'e'}, just<open_encoding_menu>, View::Stay},
    {{Key::Char, U'f'}, open_prompt<Mode::Find, msg::FIND_PROMPT>, View::Stay},
    {{Key::Char, U'h'}, open_prompt<Mode::ReplaceFind, msg::REPLACE_FIND_PROMPT>, View::Stay},
    {{Key::Char, U'k'}, just<delete_to_line_end>},
    {{Key::Char, U'l'}, toggle_line_numbers, View::Stay},
    {{Key::Char, U'n'}, just<next_match>},
    {{Key::Char, U'p'}, just<previous_match>},
    {{Key::Char, U'q'}, quit, View::Stay},
    {{Key::Char, U's'}, just<save_document>, View::Stay},
    {{Key::Char, U'v'}, just<paste_clipboard>},
    {{Key::Char, U'x'}, just<cut_selection>},
    {{Key::Char, U'y'}, just<redo>},
    {{Key::Char, U'z'}, just<undo>},
};

constexpr Binding CTRL_SHIFT_KEYS[] = {
    {{Key::Left}, extending<word_left>},
    {{Key::Right}, extending<word_right>},
    {{Key::Home}, extending<doc_start>},
    {{Key::End}, extending<doc_end>},
};

// ---- The prompts --------------------------------------------------------------

void pop_code_point(std::string& text)
{
    std::size_t at = text.size();
    if (at == 0) return;
    utf8::previous(text, at);
    text.erase(at);
}

void show_find_prompt(Editor& editor) { set_message(editor, std::string(msg::FIND_PROMPT) + editor.search_text); }

void show_replace_find_prompt(Editor& editor)
{
    set_message(editor, std::string(msg::REPLACE_FIND_PROMPT) + editor.search_text);
}

void show_not_found(Editor& editor) { set_message(editor, msg::not_found(editor.search_text)); }

// Typing into a prompt: the character goes onto the prompt's text, or
// Backspace takes the last one off, and the prompt is shown again.
template <std::string Editor::*Text, void (*Show)(Editor&)>
void prompt_append(Editor& editor, char32_t c)
{
    utf8::append(editor.*Text, c);
    Show(editor);
}

template <std::string Editor::*Text, void (*Show)(Editor&)>
void prompt_erase(Editor& editor, char32_t)
{
    pop_code_point(editor.*Text);
    Show(editor);
}

void find_confirm(Editor& editor, char32_t)
{
    find_matches(editor);
    editor.mode = Mode::Normal;
    if (editor.matches.empty())
        show_not_found(editor);
    else
        next_match(editor);
}

void find_cancel(Editor& editor, char32_t)
{
    editor.mode = Mode::Normal;
    editor.matches.clear();
    editor.current_match.reset();
    clear_message(editor);
}

void replace_find_confirm(Editor& editor, char32_t)
{
    find_matches(editor);
    if (editor.matches.empty()) {
        show_not_found(editor);
        editor.mode = Mode::Normal;
        return;
    }
    editor.mode = Mode::ReplaceWith;
    editor.replace_text.clear();
    show_replace_prompt(editor);
}

// Leaving a replace prompt keeps the matches, so Ctrl+N can still visit them.
void replace_cancel(Editor& editor, char32_t)
{
    editor.mode = Mode::Normal;
    clear_message(editor);
}

struct PromptBinding {
    Mode mode;
    Chord chord;
    Action action;
};

// Modifiers are not looked at, except for Ctrl+A while typing the
// replacement: every character, Ctrl+V and Ctrl+Q included, is prompt text.
// The first row that matches wins.
constexpr PromptBinding PROMPT_KEYS[] = {
    {Mode::Find, {Key::Char, ANY_CHAR}, prompt_append<&Editor::search_text, show_find_prompt>},
    {Mode::Find, {Key::Backspace}, prompt_erase<&Editor::search_text, show_find_prompt>},
    {Mode::Find, {Key::Enter}, find_confirm},
    {Mode::Find, {Key::Esc}, find_cancel},
    {Mode::ReplaceFind, {Key::Char, ANY_CHAR}, prompt_append<&Editor::search_text, show_replace_find_prompt>},
    {Mode::ReplaceFind, {Key::Backspace}, prompt_erase<&Editor::search_text, show_replace_find_prompt>},
    {Mode::ReplaceFind, {Key::Enter}, replace_find_confirm},
    {Mode::ReplaceFind, {Key::Esc}, replace_cancel},
    {Mode::ReplaceWith, {Key::Char, U'a', term::CONTROL}, just<replace_all>},
    {Mode::ReplaceWith, {Key::Char, ANY_CHAR}, prompt_append<&Editor::replace_text, show_replace_prompt>},
    {Mode::ReplaceWith, {Key::Backspace}, prompt_erase<&Editor::replace_text, show_replace_prompt>},
    {Mode::ReplaceWith, {Key::Enter}, just<replace_one>},
    {Mode::ReplaceWith, {Key::Esc}, replace_cancel},
};

// ---- Key steps ------------------------------------------------------------------

// The menu takes every key, whatever the modifiers: Esc closes it, a digit
// picks the encoding with that number, anything else leaves it open.
void encoding_menu_key(Editor& editor, const term::KeyEvent& key)
{
    if (key.code.key == Key::Esc) {
        editor.encoding_menu_open = false;
        clear_message(editor);
        return;
    }
    if (key.code.key != Key::Char) return;
    const std::optional<TextEncoding> choice = encoding_for_menu_key(key.code.ch);
    if (!choice) return;
    editor.encoding_menu_open = false;
    choose_encoding(editor, *choice);
}

void prompt_key(Editor& editor, const term::KeyEvent& key)
{
    for (const PromptBinding& row : PROMPT_KEYS) {
        if (row.mode == editor.mode && chord_matches(row.chord, key)) {
            row.action(editor, key.code.ch);
            return;
        }
    }
}

// Modifiers are tested as bits: Alt and the higher ones do not change the table.
std::span<const Binding> table_for(term::KeyModifiers modifiers)
{
    const bool control = (modifiers & term::CONTROL) != 0;
    const bool shift = (modifiers & term::SHIFT) != 0;
    if (control && shift) return CTRL_SHIFT_KEYS;
    if (control) return CTRL_KEYS;
    if (shift) return SHIFT_KEYS;
    return PLAIN_KEYS;
}

// An empty selection (Shift+Left at the start, a click) selects nothing,
// but kept through an edit that moves the cursor it would grow over the text
// just typed, and the next key would delete that text. It is dropped before
// a key or a paste acts; a Shift movement sets the same anchor again at once.
void drop_empty_selection(Editor& editor)
{
    if (editor.anchor && *editor.anchor == editor.cursor) editor.anchor.reset();
}

void normal_key(Editor& editor, const term::KeyEvent& key)
{
    // Bring a cursor that the wheel or the scroll bar left off screen back
    // first, so the key acts where the user is looking.
    snap_cursor_into_view(editor);
    if (key.code.key == Key::F && key.code.f == 1) {
        editor.help_visible = true;
        return;
    }
    drop_empty_selection(editor);
    const std::span<const Binding> table = table_for(key.modifiers);
    if (table.data() == PLAIN_KEYS) editor.quit_armed = false;

    View view = View::Follow;
    for (const Binding& row : table) {
        if (chord_matches(row.chord, key)) {
            row.action(editor, key.code.ch);
            view = row.view;
            break;
        }
    }
    if (view == View::Follow) keep_cursor_visible(editor);
}

// Ctrl, Alt, Shift, the Windows key and the lock keys pressed alone: the
// Windows console reports them, terminals on Linux never do. They are part
// of a chord or of none, so they neither close help nor disarm a quit.
bool is_modifier_alone(Key key)
{
    return key == Key::Modifier || key == Key::CapsLock || key == Key::NumLock || key == Key::ScrollLock;
}

void handle_key(Editor& editor, const term::KeyEvent& key)
{
    // A save's warning holds for the very next key press only. Should this
    // key not be the Ctrl+S that goes past it (and so changes it), it is
    // gone once the key is handled.
    const SaveWarning armed = editor.save_armed;
    if (editor.help_visible) {
        editor.help_visible = false;
    } else if (editor.encoding_menu_open) {
        encoding_menu_key(editor, key);
    } else if (editor.mode != Mode::Normal) {
        prompt_key(editor, key);
    } else {
        normal_key(editor, key);
    }
    if (editor.save_armed == armed) editor.save_armed = SaveWarning::None;
}

// A bracketed paste is text, not keys: inserted as it is, or in a prompt its
// first line. The encoding menu and the help box take only keys.
bool handle_paste(Editor& editor, const term::PasteEvent& paste)
{
    if (editor.help_visible || editor.encoding_menu_open) return false;
    if (editor.mode != Mode::Normal) {
        const std::string_view first_line = std::string_view(paste.text).substr(0, paste.text.find_first_of("\r\n"));
        if (editor.mode == Mode::ReplaceWith) {
            editor.replace_text += first_line;
            show_replace_prompt(editor);
        } else {
            editor.search_text += first_line;
            editor.mode == Mode::Find ? show_find_prompt(editor) : show_replace_find_prompt(editor);
        }
        return true;
    }
    snap_cursor_into_view(editor);
    drop_empty_selection(editor);
    editor.quit_armed = false;
    editor.save_armed = SaveWarning::None;
    paste_text(editor, paste.text);
    if (paste.cut) set_message(editor, msg::PASTE_CUT);
    keep_cursor_visible(editor);
    return true;
}

}  // namespace

bool handle_event(Editor& editor, const term::Event& event, TimePoint now)
{
    editor.now = now;
    if (const auto* resize = std::get_if<term::ResizeEvent>(&event)) {
        editor.screen_width = resize->columns;
        editor.screen_height = resize->rows;
        return true;
    }
    if (const auto* mouse = std::get_if<term::MouseEvent>(&event)) {
        handle_mouse(editor, *mouse);
        return true;
    }
    if (const auto* key = std::get_if<term::KeyEvent>(&event)) {
        // A held key (Repeat) and a release never act, nor does a modifier
        // or lock key pressed alone.
        if (key->kind != term::KeyEventKind::Press || is_modifier_alone(key->code.key)) return false;
        handle_key(editor, *key);
    } else if (const auto* paste = std::get_if<term::PasteEvent>(&event)) {
        if (!handle_paste(editor, *paste)) return false;
    } else {
        // Focus changes.
        return false;
    }
    // Edits that do not move the anchor (undo, Ctrl+K, Backspace past an
    // empty selection, a reload) can leave it past a line end or past the last
    // line. It is pulled back to the nearest text, as every use of the
    // selection would take it anyway, so that it always names the document.
    if (editor.anchor) editor.anchor = clamp_to_document(editor.buffer, *editor.anchor);
    return true;
}

expected<std::optional<bool>, IoError> dispatch_event(Editor& editor, std::chrono::milliseconds timeout)
{
    const auto ready = term::poll(timeout);
    if (!ready) return unexpected(ready.error());
    if (!*ready) return std::optional<bool>();
    const auto event = term::read();
    if (!event) return unexpected(event.error());
    return std::optional<bool>(handle_event(editor, *event, Clock::now()));
}
