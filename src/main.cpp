// zep: entry, console set-up and the main loop.

#include <filesystem>
#include <optional>
#include <string>

#include "clipboard/system_clipboard.hpp"
#include "editor/dispatch.hpp"
#include "editor/document.hpp"
#include "editor/editor.hpp"
#include "editor/messages.hpp"
#include "editor/render.hpp"
#include "os/command_line.hpp"
#include "terminal/terminal.hpp"

namespace {

int fail(std::string_view prefix, const IoError& error)
{
    term::write_error_line(std::string(prefix) + msg::error_text(error));
    return 1;
}

// The editing screen goes to standard output, descriptor 1 on every platform.
constexpr int SCREEN = 1;


// Turns the console back after a start-up failure that came before the guard.
void undo_partial_setup()
{
    term::Output out(SCREEN);
    term::leave_editing_input(out);
    out.reset_color();
    out.show_cursor();
    out.leave_alternate_screen();
    (void)out.flush();
    (void)term::disable_raw_mode();
}

std::optional<IoError> run(Editor& editor)
{
    if (auto drawn = render(editor, editor.terminal->output()); !drawn) return drawn.error();
    while (!editor.quit_requested) {
        auto handled = dispatch_event(editor);
        if (!handled) return handled.error();
        bool redraw = *handled;

        // The menu's text stays until the menu closes; every other message
        // goes once it is more than five seconds old.
        const TimePoint now = Clock::now();
        StatusMessage& message = editor.status_message;
        if (!editor.encoding_menu_open && !message.text.empty() && now - message.set_at > STATUS_MESSAGE_TIMEOUT) {
            message.text.clear();
            redraw = true;
        }
        if (redraw) {
            if (auto drawn = render(editor, editor.terminal->output()); !drawn) return drawn.error();
        }
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::optional<std::filesystem::path> path = document_path_argument(argc, argv);

    // The file is read before the console is touched, so that a read error
    // shows in the user's normal console.
    auto buffer = open_document(path);
    if (!buffer) return fail(msg::STARTUP_ERROR, buffer.error());

    if (auto raw = term::enable_raw_mode(); !raw) return fail(msg::STARTUP_ERROR, raw.error());
    {
        term::Output out(SCREEN);
        out.enter_alternate_screen();
        auto switched = term::enter_editing_input(out);
        if (switched) switched = out.flush();
        if (!switched) {
            undo_partial_setup();
            return fail(msg::STARTUP_ERROR, switched.error());
        }
    }

    std::optional<IoError> error;
    bool startup = true;
    {
        Editor editor;
        editor.terminal = std::make_unique<term::TerminalGuard>(SCREEN);
        // Copies also go to the terminal (OSC 52), so the guard comes first.
        editor.clipboard = make_system_clipboard(editor.terminal->output());
        if (auto size = term::size(); !size) {
            error = size.error();
        } else {
            editor.buffer = std::move(*buffer);
            editor.screen_width = size->columns;
            editor.screen_height = size->rows;
            editor.now = Clock::now();
            set_message(editor, msg::STARTUP_HINT);
            startup = false;
            error = run(editor);
        }
        // Leaving this scope destroys the editor: the buffer first, then the
        // guard, which restores the console before any error is printed.
    }
    if (error) return fail(startup ? msg::STARTUP_ERROR : msg::RUNTIME_ERROR, *error);
    return 0;
}
