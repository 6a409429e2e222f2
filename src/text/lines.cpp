#include "text/lines.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

std::size_t count_lines(std::string_view text)
{
    std::size_t count = 1;
    std::size_t at = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time: each LF adds one to its lane's byte counter,
    // and the counters are summed before they could overflow. A file of a
    // million short lines costs no call per line.
    const __m128i lf = _mm_set1_epi8('\n');
    while (text.size() - at >= 16) {
        __m128i counters = _mm_setzero_si128();
        for (int round = 0; round < 255 && text.size() - at >= 16; ++round, at += 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
            counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(block, lf));
        }
        const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
        count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
#endif
    for (; at < text.size(); ++at) count += text[at] == '\n';
    return count;
}

std::vector<std::string> split_lines(std::string_view text)
{
    std::vector<std::string> lines;
    lines.reserve(count_lines(text));
    for_each_line(text, [&](std::size_t start, std::size_t length) { lines.emplace_back(text.substr(start, length)); });
    return lines;
}
