// zep: entry, console set-up and the main loop.

#include <chrono>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

#include "clipboard/system_clipboard.hpp"
#include "editor/dispatch.hpp"
#include "editor/document.hpp"
#include "editor/editor.hpp"
#include "editor/messages.hpp"
#include "editor/palette.hpp"
#include "editor/recovery.hpp"
#include "editor/render.hpp"
#include "os/command_line.hpp"
#include "os/display_name.hpp"
#include "terminal/guard.hpp"
#include "terminal/screen.hpp"
#include "terminal/terminal.hpp"

namespace {

int fail(std::string_view prefix, const IoError& error, const std::optional<std::filesystem::path>& recovery = {})
{
    std::string line(prefix);
    line += msg::error_text(error);
    if (recovery) line += msg::unsaved_text_at(path_display_text(*recovery));
    term::write_error_line(line);
    return 1;
}

// The editing screen goes to standard output, descriptor 1 on every platform.
constexpr int SCREEN = 1;

// Memory set aside at start and given back when an allocation fails, so
// that ending the run (the text written out, the console put back, the
// error line) still has some to work with.
constexpr std::size_t MEMORY_RESERVE = 4 << 20;

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
    // The terminal shows nothing of ours any more: the next frame is whole.
    void repaint_whole() { writer_->invalidate(); }

private:
    Frame frame_;
    std::unique_ptr<term::FrameWriter> writer_;
};

// Job control: the console is put back while the process is stopped, and
// switched over again when it runs, then drawn whole, at the size the
// terminal has now (it may well have been resized meanwhile).
std::optional<IoError> step_aside(Editor& editor, term::TerminalGuard& guard, Screen& screen, term::JobControl job)
{
    guard.restore();
    if (job == term::JobControl::Stop) term::stop_process();
    if (auto failed = guard.resume()) return failed;
    auto size = term::size();
    if (!size) return size.error();
    handle_event(editor, term::ResizeEvent{size->columns, size->rows}, Clock::now());
    screen.repaint_whole();
    return std::nullopt;
}

std::optional<IoError> run(Editor& editor, term::TerminalGuard& guard)
{
    Screen screen(guard.output());
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
        if (const term::JobControl job = term::take_job_control(); job != term::JobControl::None) {
            if (auto failed = step_aside(editor, guard, screen, job)) return failed;
            redraw = true;
        }
        const bool expired = expire_message(editor, Clock::now());
        if (redraw || expired) {
            if (auto drawn = screen.draw(editor); !drawn) return drawn.error();
        }
    }
    return std::nullopt;
}

// Edits until the user quits or something ends the run. Running out of
// memory ends it like any failure, with the reserve given back first.
std::optional<IoError> run_guarded(Editor& editor, term::TerminalGuard& guard, std::unique_ptr<char[]>& reserve)
{
    try {
        return run(editor, guard);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
        // A size past what any allocation can give: memory, all the same.
    }
    reserve.reset();
    return IoError::out_of_memory();
}

int start(int argc, char** argv, std::unique_ptr<char[]>& reserve)
{
    const std::optional<std::filesystem::path> path = document_path_argument(argc, argv);

    // The file is read before the console is touched, so that a read error
    // shows in the user's normal console.
    auto buffer = open_document(path);
    if (!buffer) return fail(msg::STARTUP_ERROR, buffer.error());

    term::TerminalGuard guard(SCREEN);
    if (guard.failure()) return fail(msg::STARTUP_ERROR, *guard.failure());
    auto size = term::size();
    if (!size) {
        guard.restore();
        return fail(msg::STARTUP_ERROR, size.error());
    }
    // Made after the guard, the editor goes first at the end, the buffer
    // with it; then the guard restores the console.
    Editor editor;
    // Copies also go to the terminal (OSC 52), through the guard's output.
    editor.clipboard = make_system_clipboard(guard.output());
    editor.buffer = std::move(*buffer);
    editor.screen_width = size->columns;
    editor.screen_height = size->rows;
    editor.now = Clock::now();
    set_message(editor, msg::STARTUP_HINT);

    const std::optional<IoError> error = run_guarded(editor, guard, reserve);
    if (!error) return 0;
    // Whatever ended the run, unsaved text is kept before anything else;
    // then the console is put back, so that the line shows in the user's
    // normal console.
    const std::optional<std::filesystem::path> recovery = editor.buffer.modified ? write_recovery_file(editor.buffer)
                                                                                 : std::nullopt;
    guard.restore();
    return fail(msg::RUNTIME_ERROR, *error, recovery);
}

}  // namespace

int main(int argc, char** argv)
{
    auto reserve = std::make_unique_for_overwrite<char[]>(MEMORY_RESERVE);
    try {
        return start(argc, argv, reserve);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    // Only start-up gets here (the run catches its own): nothing was edited
    // yet, and the guard, if there was one, has put the console back.
    reserve.reset();
    return fail(msg::STARTUP_ERROR, IoError::out_of_memory());
}
