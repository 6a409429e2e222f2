// One frame of an 80 x 50 screen must cost the same whatever the size of the
// document: only the lines on screen are read, each only as far as it shows.
// A whole frame (the first, or after a resize) is drawn into the screen model
// and written out in full; a frame after one typed character is drawn and
// only its difference written, which must cost a fraction of a whole one.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "editor/editing.hpp"
#include "editor/editor.hpp"
#include "editor/messages.hpp"
#include "editor/palette.hpp"
#include "editor/render.hpp"
#include "terminal/output.hpp"
#include "terminal/screen.hpp"
#include "terminal/vt_writer.hpp"

namespace {

// Longer than the text area, with a few non-ASCII letters, so every row is
// cut and walked character by character at least in part.
std::string sample_line(std::size_t n)
{
    std::string line = "Qator " + std::to_string(n) + ": o'zbekcha matn — ";
    while (line.size() < 140) line += "lorem ipsum dolor sit amet ñ ";
    return line;
}

Editor make_editor(std::size_t line_count)
{
    std::vector<std::string> lines;
    lines.reserve(line_count);
    for (std::size_t i = 0; i < line_count; ++i) lines.push_back(sample_line(i));
    Editor editor;
    editor.buffer = Buffer(std::move(lines));
    editor.screen_width = 80;
    editor.screen_height = 50;
    editor.top_line = line_count / 2;
    editor.cursor = {line_count / 2, 0};
    editor.status_message.text = std::string(msg::STARTUP_HINT);
    return editor;
}

// Whole frames, as after a resize: every row drawn, every cell written.
void run_frames(benchmark::State& state, Editor& editor)
{
    term::Output out;
    Frame frame;
    term::VtWriter writer(style::PALETTE);
    for (auto _ : state) {
        frame.grid.reset(editor.screen_width, editor.screen_height);
        render(editor, frame);
        writer.write(frame.grid, out);
        benchmark::DoNotOptimize(out.pending().data());
        (void)out.flush();
        out.clear_written();
    }
}

void BM_FrameOneLine(benchmark::State& state)
{
    Editor editor = make_editor(1);
    editor.top_line = 0;
    run_frames(state, editor);
}

// The same visible lines as the million-line case, but a document that
// holds only one screenful: isolates the cost of the document's size from
// the cost of the text drawn.
void BM_FrameOneScreenful(benchmark::State& state)
{
    Editor editor = make_editor(48);
    editor.top_line = 0;
    run_frames(state, editor);
}

void BM_FrameMillionLines(benchmark::State& state)
{
    Editor editor = make_editor(1'000'000);
    run_frames(state, editor);
}

// One screenful with the cursor in the middle of a line, where each
// iteration types a character or deletes it again.
struct Typing {
    Editor editor = make_editor(48);
    bool typed = false;

    Typing()
    {
        editor.top_line = 0;
        editor.cursor = {10, 20};
        editor.status_message.text.clear();
    }
    void step()
    {
        if (typed)
            backspace_at_cursor(editor);
        else
            type_char(editor, U'x');
        typed = !typed;
    }
};

// Each frame after a typed character draws the whole state and writes only
// what changed.
void BM_FrameAfterTypedCharacter(benchmark::State& state)
{
    Typing typing;
    term::Output out;
    Frame frame;
    term::VtWriter writer(style::PALETTE);
    render(typing.editor, frame);
    writer.write(frame.grid, out);
    for (auto _ : state) {
        typing.step();
        render(typing.editor, frame);
        writer.write(frame.grid, out);
        benchmark::DoNotOptimize(out.pending().data());
        (void)out.flush();
        out.clear_written();
    }
}

// The typing and deleting alone that the frame above pays for as well, so
// that the frame's own cost is the difference.
void BM_TypedCharacterEditAlone(benchmark::State& state)
{
    Typing typing;
    for (auto _ : state) {
        typing.step();
        benchmark::DoNotOptimize(typing.editor.buffer.take_changes());
    }
}

}  // namespace

BENCHMARK(BM_FrameAfterTypedCharacter);
BENCHMARK(BM_TypedCharacterEditAlone);
BENCHMARK(BM_FrameOneLine);
BENCHMARK(BM_FrameOneScreenful);
BENCHMARK(BM_FrameMillionLines);

BENCHMARK_MAIN();
