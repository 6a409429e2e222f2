#include "buffer.hpp"

#include <iterator>
#include <tuple>

#include "utf8.hpp"

Buffer::Buffer() : lines_(1) {}

Buffer::Buffer(std::vector<std::string> lines) : lines_(std::move(lines))
{
    if (lines_.empty()) lines_.emplace_back();
}

std::string_view Buffer::line(std::uint64_t row) const
{
    return row < lines_.size() ? std::string_view(lines_[row]) : std::string_view();
}

std::uint64_t Buffer::line_len(std::uint64_t row) const
{
    return row < lines_.size() ? utf8::length(lines_[row]) : 0;
}

std::size_t Buffer::char_to_byte(std::uint64_t row, std::uint64_t column) const
{
    return utf8::byte_offset(line(row), column);
}

char32_t Buffer::char_at(std::uint64_t row, std::uint64_t column) const
{
    const std::string_view text = line(row);
    std::size_t at = utf8::byte_offset(text, column);
    return at < text.size() ? utf8::next(text, at) : U'\0';
}

void Buffer::insert_char(std::uint64_t row, std::uint64_t column, char32_t c)
{
    if (row >= lines_.size()) return;
    std::string& text = lines_[row];
    text.insert(utf8::byte_offset(text, column), utf8::encode(c));
    modified = true;
}

void Buffer::delete_char(std::uint64_t row, std::uint64_t column)
{
    if (row >= lines_.size()) return;
    std::string& text = lines_[row];
    const std::size_t at = utf8::byte_offset(text, column);
    if (at < text.size()) {
        text.erase(at, utf8::sequence_length(static_cast<unsigned char>(text[at])));
        modified = true;
    } else if (row + 1 < lines_.size()) {
        text += lines_[row + 1];
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(row + 1));
        modified = true;
    }
}

void Buffer::split_line(std::uint64_t row, std::uint64_t column)
{
    if (row >= lines_.size()) return;
    std::string& text = lines_[row];
    const std::size_t at = utf8::byte_offset(text, column);
    std::string tail = text.substr(at);
    text.erase(at);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(row + 1), std::move(tail));
    modified = true;
}

Position Buffer::backspace(std::uint64_t row, std::uint64_t column)
{
    if (row >= lines_.size()) return {row, column};
    if (column > 0) {
        std::string& text = lines_[row];
        std::size_t at = utf8::byte_offset(text, column);
        if (at == 0) return {row, 0};
        utf8::previous(text, at);
        const std::size_t end = utf8::byte_offset(text, column);
        text.erase(at, end - at);
        modified = true;
        return {row, column - 1};
    }
    if (row == 0) return {0, 0};
    const std::uint64_t joined_at = utf8::length(lines_[row - 1]);
    lines_[row - 1] += lines_[row];
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(row));
    modified = true;
    return {row - 1, joined_at};
}

void Buffer::insert_line(std::uint64_t index, std::string text)
{
    if (index > lines_.size()) index = lines_.size();
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index), std::move(text));
}

void Buffer::replace_lines(std::vector<std::string> lines)
{
    lines_ = std::move(lines);
    if (lines_.empty()) lines_.emplace_back();
}

Position Buffer::insert_text(Position at, std::string_view text)
{
    if (at.row >= lines_.size() || text.empty()) return at;
    std::string& head = lines_[at.row];
    const std::size_t offset = utf8::byte_offset(head, at.column);
    // A column past the end inserts at the end, so the text starts at the
    // line's real length.
    const std::uint64_t column = offset == head.size() ? utf8::length(head) : at.column;
    modified = true;

    std::size_t lf = text.find('\n');
    if (lf == std::string_view::npos) {
        head.insert(offset, text);
        return {at.row, column + utf8::length(text)};
    }

    // The head keeps its text up to the offset plus the first piece; every
    // further piece becomes a line, and the last one takes the head's tail.
    std::string tail = head.substr(offset);
    head.erase(offset);
    head.append(text.substr(0, lf));
    std::vector<std::string> added;
    std::size_t start = lf + 1;
    while ((lf = text.find('\n', start)) != std::string_view::npos) {
        added.emplace_back(text.substr(start, lf - start));
        start = lf + 1;
    }
    const std::string_view last = text.substr(start);
    const std::uint64_t end_column = utf8::length(last);
    std::string final_line;
    final_line.reserve(last.size() + tail.size());
    final_line.append(last);
    final_line.append(tail);
    added.push_back(std::move(final_line));
    const std::uint64_t end_row = at.row + added.size();
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at.row + 1),
                  std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
    return {end_row, end_column};
}

std::string Buffer::erase_range(Position from, Position to)
{
    const std::uint64_t last = lines_.size() - 1;
    // Rows and byte offsets, clamped into the document.
    auto locate = [&](Position p) -> std::pair<std::uint64_t, std::size_t> {
        if (p.row > last) return {last, lines_[last].size()};
        return {p.row, utf8::byte_offset(lines_[p.row], p.column)};
    };
    const auto [first_row, first_at] = locate(from);
    std::uint64_t end_row = first_row;
    std::size_t end_at = first_at;
    if (to.row == from.row && from.row <= last) {
        // Within one line the end is found from the start, not from column 0.
        if (to.column > from.column)
            end_at += utf8::byte_offset(std::string_view(lines_[first_row]).substr(first_at), to.column - from.column);
    } else {
        std::tie(end_row, end_at) = locate(to);
    }
    if (end_row < first_row || (end_row == first_row && end_at <= first_at)) return {};
    modified = true;

    std::string& head = lines_[first_row];
    if (first_row == end_row) {
        std::string removed = head.substr(first_at, end_at - first_at);
        head.erase(first_at, end_at - first_at);
        return removed;
    }

    std::size_t size = head.size() - first_at + end_at;
    for (std::uint64_t row = first_row + 1; row < end_row; ++row) size += lines_[row].size();
    std::string removed;
    removed.reserve(size + (end_row - first_row));
    removed.append(head, first_at);
    for (std::uint64_t row = first_row + 1; row < end_row; ++row) {
        removed.push_back('\n');
        removed.append(lines_[row]);
    }
    removed.push_back('\n');
    removed.append(lines_[end_row], 0, end_at);

    head.erase(first_at);
    head.append(lines_[end_row], end_at);
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(first_row + 1),
                 lines_.begin() + static_cast<std::ptrdiff_t>(end_row + 1));
    return removed;
}
