// What the undo history of a replace-all costs in memory. The history must
// hold what the run removed and inserted in a compact form: for a million
// occurrences in 20 MB it stays under twice the bytes removed plus the bytes
// inserted, and a run that fails that is reported as an error.
//
// The history's cost is measured as the heap it holds: the bytes in use after
// the run, less those in use once the history is dropped. The peak of a whole
// replace-all of "a" by "aa" over 100 MB is the process's peak resident size;
// run that benchmark alone (--benchmark_filter=Peak) for a meaningful figure.

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>

#include <random>
#include <string>
#include <vector>

#include "editor/editing.hpp"
#include "editor/search.hpp"

namespace {

// Lines of 40 to 120 bytes of Uzbek and English words, some beyond ASCII,
// as one text the way a file is opened.
std::string prose(std::size_t bytes, unsigned seed)
{
    static const char* const WORDS[] = {
        "the",    "of",   "and",    "to",     "in",     "is",    "that",     "for",   "with",     "this",
        "kitob",  "matn", "satr",   "qator",  "shahar", "daryo", "o'quvchi", "yozuv", "tahrir",   "editor",
        "buffer", "line", "screen", "cursor", "window", "value", "ёзув",     "китоб", "Toshkent", "search",
    };
    std::mt19937 rng(seed);
    std::string text;
    text.reserve(bytes + 200);
    while (text.size() < bytes) {
        const std::size_t end = text.size() + 40 + rng() % 81;
        while (text.size() < end) {
            text += WORDS[rng() % std::size(WORDS)];
            text += ' ';
        }
        text += '\n';
    }
    return text;
}

// 20 MB with `count` occurrences of "ab" spread over lines of about 80 bytes
// (the prose holds no "ab" of its own).
std::string dense_lines(std::size_t count)
{
    std::string text = prose(18'000'000, 2);
    std::vector<std::size_t> spaces;
    for (std::size_t at = text.find(' '); at != std::string::npos; at = text.find(' ', at + 1)) spaces.push_back(at);
    std::string out;
    out.reserve(text.size() + 2 * count);
    std::size_t from = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t at = spaces[k * spaces.size() / count];
        out.append(text, from, at - from).append("ab");
        from = at;
    }
    out.append(text, from);
    return out;
}

// The same as one line, as a minified file would be.
std::string one_line(std::size_t count)
{
    std::string text = dense_lines(count);
    for (char& c : text)
        if (c == '\n') c = ' ';
    return text;
}

// `count` lines of 19 characters, each with one "a": the most lines per
// occurrence, so the cost of a changed line shows the most.
std::string line_per_occurrence(std::size_t count)
{
    std::string text;
    text.reserve(20 * count);
    for (std::size_t k = 0; k < count; ++k) text += "xyzxyz-a-xyzxyzxyz\n";
    return text;
}

std::size_t heap_in_use()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

Editor replace_prompt_on(std::string text, const char* search, const char* replacement)
{
    Editor editor;
    editor.buffer = Buffer::from_text(std::move(text));
    editor.mode = Mode::ReplaceWith;
    editor.search_text = search;
    editor.replace_text = replacement;
    find_matches(editor);
    return editor;
}

void history_of_replace_all(benchmark::State& state, const std::string& text, const char* search,
                            const char* replacement)
{
    double ratio = 0, history = 0, changed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Editor editor = replace_prompt_on(text, search, replacement);
        const std::size_t occurrences = editor.matches.size();
        changed = static_cast<double>(occurrences *
                                      (std::string_view(search).size() + std::string_view(replacement).size()));
        state.ResumeTiming();
        replace_all(editor);
        state.PauseTiming();
        const std::size_t with_history = heap_in_use();
        editor.history = History();
        history = static_cast<double>(with_history - heap_in_use());
        ratio = history / changed;
        state.counters["occurrences"] = static_cast<double>(occurrences);
        state.counters["history_mb"] = history / 1e6;
        state.counters["removed_plus_inserted_mb"] = changed / 1e6;
        state.counters["ratio"] = ratio;
        state.ResumeTiming();
    }
    if (ratio >= 2) {
        // The figures go into the message: a skipped run shows no counters.
        const std::string why = "the history holds " + std::to_string(history / 1e6) + " MB for " +
                                std::to_string(changed / 1e6) + " MB removed and inserted, twice that or more";
        state.SkipWithError(why.c_str());
    }
}

void BM_HistoryReplaceAllMillionInLines(benchmark::State& state)
{
    history_of_replace_all(state, dense_lines(1'000'000), "ab", "xyz");
}
void BM_HistoryReplaceAllMillionOneLine(benchmark::State& state)
{
    history_of_replace_all(state, one_line(1'000'000), "ab", "xyz");
}
void BM_HistoryReplaceAllMillionLineEach(benchmark::State& state)
{
    history_of_replace_all(state, line_per_occurrence(1'000'000), "a", "aa");
}

// The whole process's peak while a 100 MB document has every "a" replaced by
// "aa", as from the prompt: the search, the run and its history.
void BM_PeakReplaceAll100Mb(benchmark::State& state)
{
    for (auto _ : state) {
        Editor editor = replace_prompt_on(prose(100'000'000, 3), "a", "aa");
        state.counters["occurrences"] = static_cast<double>(editor.matches.size());
        replace_all(editor);
        benchmark::DoNotOptimize(editor.buffer.line_count());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_mb"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace

BENCHMARK(BM_HistoryReplaceAllMillionInLines)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_HistoryReplaceAllMillionOneLine)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_HistoryReplaceAllMillionLineEach)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PeakReplaceAll100Mb)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
