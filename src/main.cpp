// zep: entry, console set-up and the main loop.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "clipboard/system_clipboard.hpp"
#include "editor/dispatch.hpp"
#include "editor/document.hpp"
#include "editor/editor.hpp"
#include "editor/messages.hpp"
#include "editor/palette.hpp"
#include "editor/render.hpp"
#include "os/command_line.hpp"
#include "terminal/guard.hpp"
#include "terminal/screen.hpp"
#include "terminal/terminal.hpp"

namespace {

int fail(std::string_view prefix, const IoError& error)
{
    term::write_error_line(std::string(prefix) + msg::error_text(error));
    return 1;
}

// The editing screen goes to standard output, descriptor 1 on every platform.
constexpr int SCREEN = 1;

// During a stream of input (a paste without bracketed paste, a held key) a
// frame still shows at least this often.
constexpr std::chrono::milliseconds BURST_FRAME_INTERVAL{50};

// The frame drawn into the screen model, and what changed sent to the
// screen by the writer the terminal layer picked for it.
class Screen {
public:
    explicit Screen(term::Output& out) : writer_(term::make_frame_writer(style::PALETTES, out)) {}
    expected<void, IoError> draw(Editor& editor)
    {
        render(editor, frame_);
        return writer_->write(frame_.grid);
    }

private:
    Frame frame_;
    std::unique_ptr<term::FrameWriter> writer_;
};

std::optional<IoError> run(Editor& editor, term::Output& out)
{
    Screen screen(out);
    if (auto drawn = screen.draw(editor); !drawn) return drawn.error();
    while (!editor.quit_requested) {
        auto handled = dispatch_event(editor, EVENT_POLL_TIMEOUT);
        if (!handled) return handled.error();
        bool redraw = handled->value_or(false);
        // Every event already waiting is handled before the frame is drawn,
        // so that a burst of input costs one frame, not one per event.
        const TimePoint burst_end = Clock::now() + BURST_FRAME_INTERVAL;
        while (*handled && !editor.quit_requested && Clock::now() < burst_end) {
            handled = dispatch_event(editor, std::chrono::milliseconds(0));
            if (!handled) return handled.error();
            redraw = redraw || handled->value_or(false);
        }
        const bool expired = expire_message(editor, Clock::now());
        if (redraw || expired) {
            if (auto drawn = screen.draw(editor); !drawn) return drawn.error();
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

    std::optional<IoError> error;
    bool startup = true;
    {
        term::TerminalGuard guard(SCREEN);
        if (guard.failure()) {
            error = guard.failure();
        } else if (auto size = term::size(); !size) {
            error = size.error();
        } else {
            Editor editor;
            // Copies also go to the terminal (OSC 52), through the guard's output.
            editor.clipboard = make_system_clipboard(guard.output());
            editor.buffer = std::move(*buffer);
            editor.screen_width = size->columns;
            editor.screen_height = size->rows;
            editor.now = Clock::now();
            set_message(editor, msg::STARTUP_HINT);
            startup = false;
            error = run(editor, guard.output());
            // The editor goes first, the buffer with it; then the guard
            // restores the console, before any error is printed.
        }
    }
    if (error) return fail(startup ? msg::STARTUP_ERROR : msg::RUNTIME_ERROR, *error);
    return 0;
}
