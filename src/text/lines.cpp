#include "text/lines.hpp"

std::size_t count_lines(std::string_view text)
{
    std::size_t count = 1;
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at != end) {
        const void* lf = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
        if (!lf) break;
        ++count;
        at = static_cast<const char*>(lf) + 1;
    }
    return count;
}

std::vector<std::string> split_lines(std::string_view text)
{
    std::vector<std::string> lines;
    lines.reserve(count_lines(text));
    for_each_line(text, [&](std::size_t start, std::size_t length) { lines.emplace_back(text.substr(start, length)); });
    return lines;
}
