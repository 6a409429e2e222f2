#pragma once
// How text is cut into lines and joined again: the one rule behind opening a
// file, the buffer made from it and saving it. A cut at every LF; one CR
// right before an LF belongs to the line ending and goes, any other CR is
// text; at least one line, so the empty text is one empty line.
//
// A CR at the very end of the text has no LF after it: it is no line ending
// but the last line's own character, kept so that saving writes it back.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// What separates the lines of a file; never shown on screen.
enum class LineEnding : std::uint8_t { CrLf, Lf };

inline std::string_view separator(LineEnding ending) { return ending == LineEnding::CrLf ? "\r\n" : "\n"; }

// The line of the text that starts at `start`: its length without the
// terminator, and where the next line starts (past the text's end for the
// last line).
struct LineAt {
    std::size_t length;
    std::size_t next;
};
inline LineAt line_at(std::string_view text, std::size_t start)
{
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* const from = begin + start;
    // memchr crosses the stretch up to the next LF many bytes at a time.
    const void* lf = from == end ? nullptr : std::memchr(from, '\n', static_cast<std::size_t>(end - from));
    const char* stop = lf ? static_cast<const char*>(lf) : end;
    const std::size_t length = static_cast<std::size_t>(stop - from);
    // The CR of a CR LF belongs to the line ending; a CR that ends the text
    // is text, so that it is written back.
    return {length - (lf && length > 0 && stop[-1] == '\r'), static_cast<std::size_t>(stop - begin) + 1};
}

// Calls line(start, length) for each line of the text in order, offsets into it.
template <class Visit>
void for_each_line(std::string_view text, Visit&& line)
{
    std::size_t start = 0;
    while (true) {
        const LineAt at = line_at(text, start);
        line(start, at.length);
        if (at.next > text.size()) return;
        start = at.next;
    }
}

// The number of lines for_each_line gives: one more than the LFs.
std::size_t count_lines(std::string_view text);

// The lines of a text, each its own string.
std::vector<std::string> split_lines(std::string_view text);

// The `count` lines that line_at(row) gives, with the separator between
// them and nothing after the last.
template <class LineAt>
std::string join_lines(std::uint64_t count, LineAt&& line_at, LineEnding ending)
{
    const std::string_view between = separator(ending);
    std::size_t size = count > 0 ? between.size() * (count - 1) : 0;
    for (std::uint64_t row = 0; row < count; ++row) size += std::string_view(line_at(row)).size();
    std::string text;
    text.reserve(size);
    for (std::uint64_t row = 0; row < count; ++row) {
        if (row > 0) text.append(between);
        text.append(line_at(row));
    }
    return text;
}
