// The parts of opening a 100 MB windows-1251 text that come before the
// buffer: detecting its encoding and decoding it, each reported apart.
//
// Target: detection plus decoding well under one second (the detector given
// the whole file in one call took 34 s). Detection is the UTF-8 check, which
// fails at the first Cyrillic letter, then the detector on an 8 MiB sample of
// non-ASCII lines; when the detector's answer is no use, the scorer reads
// that sample too (BM_ScoreCodePages is that cost).

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "encoding/codec.hpp"
#include "encoding/detect.hpp"
#include "encoding/scorer.hpp"

namespace {

constexpr std::size_t FILE_SIZE = 100 * 1000 * 1000;

constexpr std::array<std::string_view, 20> RUSSIAN_WORDS = {"вчера",  "вечером",    "мы",        "долго",
                                                            "гуляли", "по",         "старому",   "парку,",
                                                            "листья", "уже",        "пожелтели", "и",
                                                            "ветер",  "медленно",   "кружил",    "их",
                                                            "над",    "дорожками.", "Бабушка",   "рассказывала"};

// Russian prose in windows-1251, lines of about `line_bytes` bytes, up to `size`.
std::string russian_cp1251(std::size_t line_bytes, std::size_t size)
{
    std::string text;
    text.reserve(size * 2 + 128);
    std::uint32_t state = 12345;
    std::size_t line_start = 0;
    while (text.size() < size * 2) {
        state = state * 1103515245u + 12345u;
        text += RUSSIAN_WORDS[(state >> 16) % RUSSIAN_WORDS.size()];
        if (text.size() - line_start >= line_bytes * 2) {
            text += '\n';
            line_start = text.size();
        } else {
            text += ' ';
        }
    }
    // Two bytes a letter in UTF-8, one in the code page.
    return encode_text(text, TextEncoding::Cp1251).value();
}

const std::string& cp1251_file()
{
    static const std::string file = russian_cp1251(100, FILE_SIZE);
    return file;
}

// A 100 MB ASCII log with a Russian line in every hundred.
const std::string& cp1251_log()
{
    static const std::string file = [] {
        const std::string russian = russian_cp1251(100, 100);
        std::string log;
        log.reserve(FILE_SIZE + 4096);
        for (std::size_t n = 0; log.size() < FILE_SIZE; ++n) {
            log += "2024-03-05 12:00:01 INFO worker-" + std::to_string(n % 8) + " request " + std::to_string(n) +
                   " took 17 ms status=200\n";
            if (n % 100 == 0) log += russian;
        }
        return log;
    }();
    return file;
}

void report(benchmark::State& state, std::size_t bytes)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}

void detect(benchmark::State& state, const std::string& file)
{
    for (auto _ : state) {
        if (detect_encoding(file) != TextEncoding::Cp1251) {
            state.SkipWithError("not detected as windows-1251");
            return;
        }
    }
    report(state, file.size());
}

void BM_DetectCp1251(benchmark::State& state) { detect(state, cp1251_file()); }
void BM_DetectCp1251Log(benchmark::State& state) { detect(state, cp1251_log()); }
BENCHMARK(BM_DetectCp1251)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DetectCp1251Log)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeCp1251(benchmark::State& state)
{
    const std::string& file = cp1251_file();
    for (auto _ : state) {
        std::string text = decode_text(file, TextEncoding::Cp1251);
        benchmark::DoNotOptimize(text.data());
    }
    report(state, file.size());
}
BENCHMARK(BM_DecodeCp1251)->Unit(benchmark::kMillisecond)->UseRealTime();

// The pieces of detection apart: gathering the sample ...
void BM_SampleCp1251Log(benchmark::State& state)
{
    const std::string& file = cp1251_log();
    for (auto _ : state) {
        std::string sample = detection_sample(file);
        benchmark::DoNotOptimize(sample.data());
    }
    report(state, file.size());
}
BENCHMARK(BM_SampleCp1251Log)->Unit(benchmark::kMillisecond)->UseRealTime();

// ... and the scorer on as much as the detector ever sees.
void BM_ScoreCodePages(benchmark::State& state)
{
    const std::string_view sample = std::string_view(cp1251_file()).substr(0, DETECTOR_LIMIT);
    for (auto _ : state) benchmark::DoNotOptimize(code_page_scores(sample));
    report(state, sample.size());
}
BENCHMARK(BM_ScoreCodePages)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
