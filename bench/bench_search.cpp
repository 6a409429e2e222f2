// Search and replace on large documents: find_matches over 100 MB, and
// replacing a million occurrences in 20 MB at once (in lines of about 80
// bytes, and in one single line), and undoing that.

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "editor/editing.hpp"
#include "editor/search.hpp"

namespace {

// Lines of 40 to 120 bytes of Uzbek and English words, some of them beyond
// ASCII, as text files usually are.
std::vector<std::string> prose(std::size_t bytes, unsigned seed)
{
    static const char* const WORDS[] = {
        "the",    "of",   "and",    "to",     "in",     "is",    "that",     "for",   "with",     "this",
        "kitob",  "matn", "satr",   "qator",  "shahar", "daryo", "o'quvchi", "yozuv", "tahrir",   "editor",
        "buffer", "line", "screen", "cursor", "window", "value", "ёзув",     "китоб", "Toshkent", "search",
    };
    std::mt19937 rng(seed);
    std::vector<std::string> lines;
    std::size_t total = 0;
    while (total < bytes) {
        std::string line;
        const std::size_t length = 40 + rng() % 81;
        while (line.size() < length) {
            line += WORDS[rng() % std::size(WORDS)];
            line += ' ';
        }
        total += line.size() + 1;
        lines.push_back(std::move(line));
    }
    return lines;
}

std::size_t byte_size(const std::vector<std::string>& lines)
{
    std::size_t total = 0;
    for (const auto& line : lines) total += line.size() + 1;
    return total;
}

// 100 MB with a handful of hits.
void find_in_100_mb(benchmark::State& state, const char* needle)
{
    std::vector<std::string> lines = prose(100'000'000, 1);
    for (std::size_t row = 0; row < lines.size(); row += lines.size() / 8) lines[row] += needle;
    const std::size_t bytes = byte_size(lines);
    Editor editor;
    editor.buffer = Buffer(std::move(lines));
    editor.search_text = needle;
    for (auto _ : state) {
        find_matches(editor);
        benchmark::DoNotOptimize(editor.matches.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["matches"] = static_cast<double>(editor.matches.size());
}

// A needle whose first letter is rare in the text, and one whose first and
// last letters are among the commonest.
void BM_FindMatches100MbRareStart(benchmark::State& state) { find_in_100_mb(state, "qalampir"); }
void BM_FindMatches100MbCommonStart(benchmark::State& state) { find_in_100_mb(state, "these stories"); }
void BM_FindMatches100MbNonAscii(benchmark::State& state) { find_in_100_mb(state, "Самарқанд"); }

// 20 MB with 1,000,000 occurrences of "ab", in lines of about 80 bytes.
std::vector<std::string> dense_document()
{
    std::vector<std::string> lines = prose(18'000'000, 2);
    std::size_t placed = 0;
    for (std::size_t row = 0; placed < 1'000'000; row = (row + 1) % lines.size()) {
        std::string& line = lines[row];
        const std::size_t space = line.find(' ', (placed * 7) % line.size());
        line.insert(space == std::string::npos ? line.size() : space, "ab");
        ++placed;
    }
    return lines;
}

Editor replace_prompt_on(std::vector<std::string> lines)
{
    Editor editor;
    editor.buffer = Buffer(std::move(lines));
    editor.mode = Mode::ReplaceWith;
    editor.search_text = "ab";
    editor.replace_text = "xyz";
    find_matches(editor);
    return editor;
}

// The same text as one line, as a minified file would be.
std::vector<std::string> dense_line()
{
    std::string line;
    for (const std::string& piece : dense_document()) {
        line += piece;
        line += ' ';
    }
    return {line};
}

void replace_all_million(benchmark::State& state, const std::vector<std::string>& lines)
{
    for (auto _ : state) {
        state.PauseTiming();
        Editor editor = replace_prompt_on(lines);
        state.counters["occurrences"] = static_cast<double>(editor.matches.size());
        state.ResumeTiming();
        replace_all(editor);
        state.PauseTiming();
        editor = Editor();  // freeing the history is not part of the run
        state.ResumeTiming();
    }
    state.counters["document_mb"] = static_cast<double>(byte_size(lines)) / 1e6;
}

void undo_replace_all_million(benchmark::State& state, const std::vector<std::string>& lines)
{
    for (auto _ : state) {
        state.PauseTiming();
        Editor editor = replace_prompt_on(lines);
        replace_all(editor);
        state.ResumeTiming();
        undo(editor);
        state.PauseTiming();
        editor = Editor();
        state.ResumeTiming();
    }
}

void BM_ReplaceAllMillion(benchmark::State& state) { replace_all_million(state, dense_document()); }
void BM_UndoReplaceAllMillion(benchmark::State& state) { undo_replace_all_million(state, dense_document()); }
void BM_ReplaceAllMillionOneLine(benchmark::State& state) { replace_all_million(state, dense_line()); }
void BM_UndoReplaceAllMillionOneLine(benchmark::State& state) { undo_replace_all_million(state, dense_line()); }

}  // namespace

BENCHMARK(BM_FindMatches100MbRareStart)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindMatches100MbCommonStart)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindMatches100MbNonAscii)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllMillion)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_UndoReplaceAllMillion)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReplaceAllMillionOneLine)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_UndoReplaceAllMillionOneLine)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
