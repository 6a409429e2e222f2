// Large edits and their undo must cost a bulk splice, not a step per
// character: deleting a 20 MB, 200,000-line selection, undoing and redoing
// it each well under 200 ms; a paste of a million characters well under a
// second; one typed character at the end of a 1 MB line under 1 ms.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "editor/cursor.hpp"
#include "editor/editing.hpp"
#include "editor/editor.hpp"

namespace {

constexpr std::size_t LINES = 200'000;

// About 100 bytes, a few of them outside ASCII so the UTF-8 paths are the
// ones measured; five 'x' per line for the replacement runs.
std::string sample_line(std::size_t n)
{
    std::string line = "Qator " + std::to_string(n) + ": o'zbekcha matn — x ";
    while (line.size() < 96) line += "lorem x ipsum ñ ";
    return line;
}

void load_document(Editor& editor)
{
    std::vector<std::string> lines;
    lines.reserve(LINES);
    for (std::size_t i = 0; i < LINES; ++i) lines.push_back(sample_line(i));
    editor.buffer = Buffer(std::move(lines));
    editor.cursor = {};
    editor.anchor.reset();
}

// Times `change` alone: after each run `restore`, untimed, puts the
// document back as it was before it.
template <typename Change, typename Restore>
void time_alone(benchmark::State& state, Change change, Restore restore)
{
    for (auto _ : state) {
        change();
        state.PauseTiming();
        restore();
        state.ResumeTiming();
    }
}

void time_undo(benchmark::State& state, Editor& editor)
{
    time_alone(
        state, [&] { undo(editor); }, [&] { redo(editor); });
}

void BM_DeleteSelectionAll(benchmark::State& state)
{
    Editor editor;
    load_document(editor);
    time_alone(
        state,
        [&] {
            select_all(editor);
            benchmark::DoNotOptimize(delete_selection(editor));
        },
        [&] { undo(editor); });
}
BENCHMARK(BM_DeleteSelectionAll)->Unit(benchmark::kMillisecond);

void BM_UndoDeleteSelectionAll(benchmark::State& state)
{
    Editor editor;
    load_document(editor);
    select_all(editor);
    delete_selection(editor);
    time_undo(state, editor);
}
BENCHMARK(BM_UndoDeleteSelectionAll)->Unit(benchmark::kMillisecond);

void BM_RedoDeleteSelectionAll(benchmark::State& state)
{
    Editor editor;
    load_document(editor);
    select_all(editor);
    delete_selection(editor);
    undo(editor);
    time_alone(
        state, [&] { redo(editor); }, [&] { undo(editor); });
}
BENCHMARK(BM_RedoDeleteSelectionAll)->Unit(benchmark::kMillisecond);

// A million characters in lines of 80, pasted into the middle of the document.
void paste_million_characters(Editor& editor)
{
    static const std::string text = [] {
        std::string t;
        while (t.size() < 1'000'000) t += std::string(79, 'p') + '\n';
        t.resize(1'000'000);
        return t;
    }();
    editor.cursor = {LINES / 2, 50};
    insert_text(editor, text);
}

void BM_PasteMillionCharacters(benchmark::State& state)
{
    Editor editor;
    load_document(editor);
    time_alone(
        state, [&] { paste_million_characters(editor); }, [&] { undo(editor); });
}
BENCHMARK(BM_PasteMillionCharacters)->Unit(benchmark::kMillisecond);

void BM_UndoPasteMillionCharacters(benchmark::State& state)
{
    Editor editor;
    load_document(editor);
    paste_million_characters(editor);
    time_undo(state, editor);
}
BENCHMARK(BM_UndoPasteMillionCharacters)->Unit(benchmark::kMillisecond);

// Each iteration types one more character at the end of a 1 MB line.
void BM_TypeAtEndOfLongLine(benchmark::State& state)
{
    Editor editor;
    editor.buffer = Buffer({std::string(1'000'000, 'a')});
    editor.cursor = {0, 1'000'000};
    for (auto _ : state) type_char(editor, U'b');
}
BENCHMARK(BM_TypeAtEndOfLongLine)->Unit(benchmark::kMicrosecond);

// Every 'x' of the document (1,000,000 of them) replaced by "yy" in one
// group, last first, as a replace-all run does; then that one step undone.
std::vector<Position> every_x(const Editor& editor)
{
    std::vector<Position> spots;
    for (std::uint64_t row = 0; row < editor.buffer.line_count(); ++row) {
        std::uint64_t column = 0;
        for (char c : editor.buffer.line(row)) {
            if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) continue;
            if (c == 'x') spots.push_back({row, column});
            ++column;
        }
    }
    return spots;
}

void replace_every(Editor& editor, const std::vector<Position>& spots)
{
    begin_group(editor.history);
    for (auto p = spots.rbegin(); p != spots.rend(); ++p) replace_at(editor, *p, 1, "yy");
    end_group(editor.history);
}

void BM_ReplaceMillionOccurrences(benchmark::State& state)
{
    Editor editor;
    load_document(editor);
    const std::vector<Position> spots = every_x(editor);
    state.counters["occurrences"] = static_cast<double>(spots.size());
    time_alone(
        state, [&] { replace_every(editor, spots); }, [&] { undo(editor); });
}
BENCHMARK(BM_ReplaceMillionOccurrences)->Unit(benchmark::kMillisecond);

void BM_UndoReplaceMillionOccurrences(benchmark::State& state)
{
    Editor editor;
    load_document(editor);
    replace_every(editor, every_x(editor));
    time_undo(state, editor);
}
BENCHMARK(BM_UndoReplaceMillionOccurrences)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
