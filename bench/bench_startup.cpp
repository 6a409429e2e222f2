// Opening a large file up to its first frame: read, detect, decode, split
// into lines, build the editor, draw. Run with the file made by
// bench/make-large-file (or let the benchmark make one in /tmp); compare with
// `wc -l` on the same file as the floor.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>

#include "editor/document.hpp"
#include "editor/editor.hpp"
#include "editor/palette.hpp"
#include "editor/render.hpp"
#include "terminal/output.hpp"
#include "terminal/vt_writer.hpp"

namespace {

// 1,000,000 lines of about 100 bytes each, mostly ASCII with some Cyrillic
// and Uzbek letters, so that the UTF-8 path is the one measured.
std::filesystem::path large_file()
{
    if (const char* given = std::getenv("ZEP_BENCH_FILE")) return given;
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "zep-bench-100mb.txt";
    if (std::filesystem::exists(path)) return path;
    std::ofstream out(path, std::ios::binary);
    const std::string words[] = {"matn ", "muharrir ", "oʻzbek ", "текст ", "редактор ", "line ", "file ", "zep "};
    std::string line;
    for (int i = 0; i < 1'000'000; ++i) {
        line.clear();
        for (int w = i; line.size() < 96; w = w * 7 + 3) line += words[static_cast<unsigned>(w) % 8];
        line += '\n';
        out << line;
    }
    return path;
}

void BM_OpenToFirstFrame(benchmark::State& state)
{
    const auto path = large_file();
    for (auto _ : state) {
        auto buffer = open_document(path);
        if (!buffer) {
            state.SkipWithError(buffer.error().message.c_str());
            return;
        }
        Editor editor;
        editor.buffer = std::move(*buffer);
        editor.screen_width = 80;
        editor.screen_height = 50;
        Frame frame;
        render(editor, frame);
        term::VtWriter writer(style::PALETTE);
        term::Output out;
        writer.write(frame.grid, out);
        benchmark::DoNotOptimize(out.pending().size());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_OpenToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
