// One frame of an 80 x 50 screen must cost the same whatever the size of the
// document: only the lines on screen are read, each only as far as it shows.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "editor/editor.hpp"
#include "editor/messages.hpp"
#include "editor/render.hpp"
#include "terminal/output.hpp"

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

void run_frames(benchmark::State& state, Editor& editor)
{
    term::Output out;
    for (auto _ : state) {
        auto result = render(editor, out);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(out.written().data());
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

}  // namespace

BENCHMARK(BM_FrameOneLine);
BENCHMARK(BM_FrameOneScreenful);
BENCHMARK(BM_FrameMillionLines);

BENCHMARK_MAIN();
