#include "editor/history.hpp"

#include <algorithm>
#include <limits>

#include "buffer.hpp"
#include "text/utf8.hpp"

namespace {

bool is_delete(const EditRecord& r) { return r.kind == EditKind::DeleteBackward || r.kind == EditKind::DeleteForward; }

// A deletion of one character (or line break) is as much a backward run as a
// forward one: either direction may continue it.
bool is_single(const EditRecord& r)
{
    return !r.text.empty() && utf8::sequence_length(static_cast<unsigned char>(r.text[0])) == r.text.size();
}

bool continues_forward(const EditRecord& r) { return r.kind == EditKind::DeleteForward || is_single(r); }
bool continues_backward(const EditRecord& r) { return r.kind == EditKind::DeleteBackward || is_single(r); }

// Joins `next` onto `last` when it continues the same run; the joined record
// undoes and redoes exactly as the two did one after the other.
bool join(EditRecord& last, EditRecord& next)
{
    if (last.kind == EditKind::Insert && next.kind == EditKind::Insert && next.from == last.to) {
        last.text += next.text;
        last.to = next.to;
        return true;
    }
    if (!is_delete(last) || !is_delete(next)) return false;
    if (next.from == last.from && continues_forward(last) && continues_forward(next)) {
        // The text `next` removed stood right after the run's text.
        last.kind = EditKind::DeleteForward;
        last.to = position_after(last.to, next.text);
        last.text += next.text;
        return true;
    }
    if (next.to == last.from && continues_backward(last) && continues_backward(next)) {
        last.kind = EditKind::DeleteBackward;
        last.from = next.from;
        last.text.insert(0, next.text);
        return true;
    }
    return false;
}

// Past any line's end: a column that stands for "the end of the line".
constexpr std::uint64_t LINE_END = std::numeric_limits<std::uint64_t>::max();

}  // namespace

Position position_after(Position from, std::string_view text)
{
    const std::size_t last_lf = text.rfind('\n');
    if (last_lf == std::string_view::npos) return {from.row, from.column + utf8::length(text)};
    const auto breaks = static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
    return {from.row + breaks, utf8::length(text.substr(last_lf + 1))};
}

namespace {

void record(History& history, EditRecord record)
{
    history.redo_list.clear();
    if (!history.grouping) {
        history.undo_list.push_back(EditGroup{std::move(record)});
        return;
    }
    if (!history.open_group.empty() && join(history.open_group.back(), record)) return;
    history.open_group.push_back(std::move(record));
}

}  // namespace

Position apply_edit(Buffer& buffer, History& history, EditKind kind, Position from, Position to, std::string text)
{
    switch (kind) {
    case EditKind::Insert:
        if (text.empty()) return from;
        to = buffer.insert_text(from, text);
        break;
    case EditKind::DeleteBackward:
    case EditKind::DeleteForward:
        text = buffer.erase_range(from, to);
        if (text.empty()) return from;
        to = position_after(from, text);
        break;
    case EditKind::DuplicateLine:
        text = buffer.line(from.row);
        buffer.insert_line(from.row + 1, text);
        to = {from.row + 1, from.column};
        break;
    }
    record(history, {kind, from, to, std::move(text)});
    return kind == EditKind::Insert || kind == EditKind::DuplicateLine ? to : from;
}

void begin_group(History& history)
{
    end_group(history);
    history.grouping = true;
}

void end_group(History& history)
{
    if (!history.open_group.empty()) {
        history.undo_list.push_back(std::move(history.open_group));
        history.open_group = EditGroup();
    }
    history.grouping = false;
}

Position revert_group(Buffer& buffer, const EditGroup& group)
{
    Position cursor;
    for (auto r = group.rbegin(); r != group.rend(); ++r) {
        switch (r->kind) {
        case EditKind::Insert:
            buffer.erase_range(r->from, r->to);
            cursor = r->from;
            break;
        case EditKind::DeleteBackward: cursor = buffer.insert_text(r->from, r->text); break;
        case EditKind::DeleteForward: {
            buffer.insert_text(r->from, r->text);
            // Undoing the first forward step puts the cursor after the
            // character it brings back.
            const auto first = utf8::sequence_length(static_cast<unsigned char>(r->text[0]));
            cursor = position_after(r->from, std::string_view(r->text).substr(0, first));
            break;
        }
        case EditKind::DuplicateLine:
            buffer.erase_range({r->from.row, LINE_END}, {r->from.row + 1, LINE_END});
            cursor = r->from;
            break;
        }
    }
    return cursor;
}

Position reapply_group(Buffer& buffer, const EditGroup& group)
{
    Position cursor;
    for (const EditRecord& r : group) {
        switch (r.kind) {
        case EditKind::Insert:
            buffer.insert_text(r.from, r.text);
            cursor = r.to;
            break;
        case EditKind::DeleteBackward:
        case EditKind::DeleteForward:
            buffer.erase_range(r.from, r.to);
            cursor = r.from;
            break;
        case EditKind::DuplicateLine:
            buffer.insert_line(r.from.row + 1, r.text);
            cursor = r.to;
            break;
        }
    }
    return cursor;
}
