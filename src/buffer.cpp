#include "buffer.hpp"

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
