#include "buffer.hpp"

#include <algorithm>
#include <memory>
#include <tuple>
#include <utility>

#include "text/lines.hpp"
#include "text/utf8.hpp"

namespace {

std::ptrdiff_t offset_of(std::uint64_t row) { return static_cast<std::ptrdiff_t>(row); }

// Room for `more` elements, in the vector's usual doubling steps so that
// repeated calls stay cheap. An edit makes the room it needs before it
// changes anything: should memory run out, the text is as it was, and the
// steps after cannot fail part-way.
template <class Vector>
void make_room(Vector& vector, std::size_t more)
{
    if (vector.capacity() - vector.size() >= more) return;
    vector.reserve(std::max(vector.size() + more, 2 * vector.capacity()));
}

}  // namespace

Buffer::Buffer() : stretches_(1), lines_{Line::stretch(0)} {}

Buffer::Buffer(std::vector<std::string> lines) { take_lines(std::move(lines)); }

Buffer Buffer::from_text(std::string text)
{
    Buffer buffer;
    buffer.text_ = std::move(text);
    // Counting first spares a million-line file the vector's regrowth and
    // the copies it leaves behind.
    std::vector<Line> lines;
    lines.reserve(count_lines(buffer.text_));
    for_each_line(buffer.text_, [&](std::size_t start, std::size_t) { lines.push_back(Line::stretch(start)); });
    buffer.stretches_ = lines.size();
    buffer.lines_ = std::move(lines);
    return buffer;
}

std::uint64_t Buffer::line_len(std::uint64_t row) const { return utf8::length(line(row)); }

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

std::string& Buffer::own(std::uint64_t row)
{
    Line& record = lines_[row];
    if (!record.is_owned()) {
        record = adopt(std::string(line(row)));
        drop_stretches(1);
    }
    return owned_[record.at()];
}

Buffer::Line Buffer::adopt(std::string text)
{
    if (free_owned_.empty()) {
        owned_.push_back(std::move(text));
        return Line::owned(owned_.size() - 1);
    }
    const std::uint64_t slot = free_owned_.back();
    free_owned_.pop_back();
    owned_[slot] = std::move(text);
    return Line::owned(slot);
}

void Buffer::let_go(const Line& record, std::uint64_t& stretches)
{
    if (!record.is_owned()) {
        ++stretches;
        return;
    }
    // Made anew, the empty string lets the text's memory go now rather than
    // when the place is used again (assigning an empty string would keep it).
    std::destroy_at(&owned_[record.at()]);
    std::construct_at(&owned_[record.at()]);
    free_owned_.push_back(record.at());
}

void Buffer::drop_stretches(std::uint64_t count)
{
    stretches_ -= count;
    if (count > 0 && stretches_ == 0) std::string().swap(text_);
}

Buffer::Changes Buffer::take_changes() { return std::exchange(changes_, Changes{}); }

void Buffer::changed(std::uint64_t row, bool lines_moved)
{
    changes_.first = std::min(changes_.first, row);
    changes_.last = std::max(changes_.last, row);
    changes_.lines_moved = changes_.lines_moved || lines_moved;
}

void Buffer::take_lines(std::vector<std::string> lines)
{
    changes_ = Changes{0, UINT64_MAX, true};
    // The text the old lines pointed into goes with them.
    std::string().swap(text_);
    free_owned_ = {};
    owned_ = std::move(lines);
    std::vector<Line> records;
    if (owned_.empty()) {
        // The one empty line is an empty stretch of the empty text.
        records.push_back(Line::stretch(0));
        stretches_ = 1;
    } else {
        stretches_ = 0;
        records.reserve(owned_.size());
        for (std::uint64_t slot = 0; slot < owned_.size(); ++slot) records.push_back(Line::owned(slot));
    }
    lines_ = std::move(records);
}

void Buffer::insert_line(std::uint64_t index, std::string text)
{
    if (index > lines_.size()) index = lines_.size();
    make_room(lines_, 1);
    make_room(owned_, 1);
    const Line record = adopt(std::move(text));
    lines_.insert(lines_.begin() + offset_of(index), record);
    modified = true;
    changed(index, true);
}

void Buffer::replace_in_line(std::uint64_t row, std::uint64_t from, std::uint64_t to, std::string_view text)
{
    if (row >= lines_.size()) return;
    const std::string_view now = line(row);
    const std::size_t start = utf8::byte_offset(now, from);
    const std::size_t end = to > from ? start + utf8::byte_offset(now.substr(start), to - from) : start;
    std::string next;
    next.reserve(now.size() - (end - start) + text.size());
    next.append(now.substr(0, start)).append(text).append(now.substr(end));
    // `now` is not read after this: making room may move the strings it
    // points into, and the last stretch going frees the text.
    make_room(owned_, 1);
    Line& record = lines_[row];
    if (record.is_owned()) {
        owned_[record.at()].swap(next);
    } else {
        record = adopt(std::move(next));
        drop_stretches(1);
    }
    modified = true;
    changed(row);
}

void Buffer::replace_lines(std::vector<std::string> lines) { take_lines(std::move(lines)); }

Position Buffer::insert_text(Position at, std::string_view text)
{
    if (at.row >= lines_.size() || text.empty()) return at;
    std::string& head = own(at.row);
    const std::size_t offset = utf8::byte_offset(head, at.column);
    // A column past the end inserts at the end, so the text starts at the
    // line's real length.
    const std::uint64_t column = offset == head.size() ? utf8::length(head) : at.column;
    modified = true;
    changed(at.row, text.find('\n') != std::string_view::npos);

    std::size_t lf = text.find('\n');
    if (lf == std::string_view::npos) {
        head.insert(offset, text);
        return {at.row, column + utf8::length(text)};
    }

    // The head keeps its text up to the offset plus the first piece; every
    // further piece becomes a line, and the last one takes the head's tail.
    // All of it is made before the buffer changes, and the room for it too.
    std::string new_head;
    new_head.reserve(offset + lf);
    new_head.append(std::string_view(head).substr(0, offset)).append(text.substr(0, lf));
    std::vector<std::string> pieces;
    std::size_t start = lf + 1;
    while ((lf = text.find('\n', start)) != std::string_view::npos) {
        pieces.emplace_back(text.substr(start, lf - start));
        start = lf + 1;
    }
    const std::string_view last = text.substr(start);
    const std::uint64_t end_column = utf8::length(last);
    std::string final_line;
    final_line.reserve(last.size() + head.size() - offset);
    final_line.append(last).append(std::string_view(head).substr(offset));
    pieces.push_back(std::move(final_line));
    std::vector<Line> added;
    added.reserve(pieces.size());
    make_room(lines_, pieces.size());
    // Making room may move the owned strings, the head among them.
    make_room(owned_, pieces.size());

    for (std::string& piece : pieces) added.push_back(adopt(std::move(piece)));
    owned_[lines_[at.row].at()].swap(new_head);
    const std::uint64_t end_row = at.row + added.size();
    lines_.insert(lines_.begin() + offset_of(at.row + 1), added.begin(), added.end());
    return {end_row, end_column};
}

std::string Buffer::erase_range(Position from, Position to)
{
    const std::uint64_t last = lines_.size() - 1;
    // Rows and byte offsets, clamped into the document.
    auto locate = [&](Position p) -> std::pair<std::uint64_t, std::size_t> {
        if (p.row > last) return {last, line(last).size()};
        return {p.row, utf8::byte_offset(line(p.row), p.column)};
    };
    const auto [first_row, first_at] = locate(from);
    std::uint64_t end_row = first_row;
    std::size_t end_at = first_at;
    if (to.row == from.row && from.row <= last) {
        // Within one line the end is found from the start, not from column 0.
        if (to.column > from.column)
            end_at += utf8::byte_offset(line(first_row).substr(first_at), to.column - from.column);
    } else {
        std::tie(end_row, end_at) = locate(to);
    }
    if (end_row < first_row || (end_row == first_row && end_at <= first_at)) return {};
    modified = true;
    changed(first_row, end_row != first_row);

    if (first_row == end_row) {
        std::string& head = own(first_row);
        std::string removed = head.substr(first_at, end_at - first_at);
        head.erase(first_at, end_at - first_at);
        return removed;
    }

    // What is removed, the joined line and the room for the change are all
    // made first; from there on nothing can fail part-way.
    std::size_t size = line(first_row).size() - first_at + end_at;
    for (std::uint64_t row = first_row + 1; row < end_row; ++row) size += line(row).size();
    std::string removed;
    removed.reserve(size + (end_row - first_row));
    std::string joined;
    joined.reserve(first_at + line(end_row).size() - end_at);
    joined.append(line(first_row).substr(0, first_at)).append(line(end_row).substr(end_at));
    make_room(free_owned_, end_row - first_row + 1);
    make_room(owned_, 1);

    removed.append(line(first_row).substr(first_at));
    // Each line goes while its text is still at hand: one pass over them,
    // not two.
    std::uint64_t stretches = 0;
    for (std::uint64_t row = first_row + 1; row < end_row; ++row) {
        removed.push_back('\n');
        removed.append(line(row));
        let_go(lines_[row], stretches);
    }
    removed.push_back('\n');
    removed.append(line(end_row).substr(0, end_at));
    let_go(lines_[end_row], stretches);

    Line& head = lines_[first_row];
    if (head.is_owned()) {
        owned_[head.at()].swap(joined);
    } else {
        head = adopt(std::move(joined));
        ++stretches;
    }
    lines_.erase(lines_.begin() + offset_of(first_row + 1), lines_.begin() + offset_of(end_row + 1));
    drop_stretches(stretches);
    return removed;
}

std::optional<std::string> Buffer::check_invariant() const
{
    if (lines_.empty()) return "no line at all";
    std::uint64_t stretches = 0;
    std::vector<bool> slot_used(owned_.size(), false);
    for (std::uint64_t row = 0; row < lines_.size(); ++row) {
        const Line& record = lines_[row];
        const std::string where = "line " + std::to_string(row);
        if (record.is_owned()) {
            if (record.at() >= owned_.size() || slot_used[record.at()]) return where + ": a bad or shared owned slot";
            slot_used[record.at()] = true;
        } else {
            // A stretch is a whole line of the text: it starts after an LF.
            if (record.at() > text_.size() || (record.at() > 0 && text_[record.at() - 1] != '\n'))
                return where + ": a stretch that is not a line of the text";
            ++stretches;
        }
        const std::string_view text = line(row);
        if (text.find('\n') != std::string_view::npos) return where + ": holds an LF";
        if (!utf8::is_valid(text)) return where + ": not valid UTF-8";
    }
    if (stretches != stretches_)
        return "stretch count " + std::to_string(stretches_) + ", not " + std::to_string(stretches);
    for (const std::uint64_t slot : free_owned_)
        if (slot >= owned_.size() || slot_used[slot] || !owned_[slot].empty()) return "a bad free slot";
    return std::nullopt;
}
