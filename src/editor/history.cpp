#include "editor/history.hpp"

#include <algorithm>
#include <limits>
#include <utility>

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

// ---- Replace records --------------------------------------------------------
// Numbers are packed seven bits to a byte, low bits first, the top bit set
// on every byte but the last: the small distances between places mostly
// take one byte.

void put_number(std::string& out, std::uint64_t n)
{
    while (n >= 0x80) {
        out.push_back(static_cast<char>((n & 0x7F) | 0x80));
        n >>= 7;
    }
    out.push_back(static_cast<char>(n));
}

struct Unpacker {
    std::string_view rest;

    std::uint64_t number()
    {
        std::uint64_t n = 0;
        for (int shift = 0;; shift += 7) {
            const auto byte = static_cast<unsigned char>(rest.front());
            rest.remove_prefix(1);
            n |= std::uint64_t{byte & 0x7Fu} << shift;
            if (byte < 0x80) return n;
        }
    }
    std::string_view text()
    {
        const auto length = static_cast<std::size_t>(number());
        const std::string_view t = rest.substr(0, length);
        rest.remove_prefix(length);
        return t;
    }
};

// A Replace record unpacked: the two texts, then its lines one by one.
struct ReplaceRun {
    std::string_view removed;
    std::string_view inserted;
    std::uint64_t removed_length;   // in characters
    std::uint64_t inserted_length;  // in characters
    Unpacker lines;

    explicit ReplaceRun(std::string_view packed) : lines{packed}
    {
        removed = lines.text();
        inserted = lines.text();
        removed_length = utf8::length(removed);
        inserted_length = utf8::length(inserted);
    }
};

// Where one line's first replacement was made (its rightmost occurrence)
// and where its last one ended (after its leftmost), in the line's terms
// after the replacements.
struct LineEnds {
    Position first;
    Position last;
};

// Makes or takes back the replacements of the run's next line, in one
// splice of the line. Forwards, each place's removed text gives way to the
// inserted one; backwards, the inserted text (each place moved by what the
// places before it changed) gives way to the removed one.
LineEnds replace_line(Buffer& buffer, ReplaceRun& run, std::uint64_t row, bool backwards)
{
    const std::uint64_t count = run.lines.number();
    const std::string_view line = buffer.line(row);
    const std::uint64_t n = run.removed_length;
    const std::uint64_t r = run.inserted_length;
    const std::uint64_t old_length = backwards ? r : n;
    const std::string_view put = backwards ? run.removed : run.inserted;

    std::string stretch;  // from the first place to the end of the last, remade
    std::size_t at = 0;   // bytes of `line` passed
    std::uint64_t column = 0;
    std::uint64_t start = 0;
    std::uint64_t place = 0;  // in the line as it is before the replacements
    LineEnds ends;
    for (std::uint64_t k = 0; k < count; ++k) {
        place = k == 0 ? run.lines.number() : place + n + run.lines.number();
        const std::uint64_t here = backwards ? place - k * n + k * r : place;
        const std::size_t to = at + utf8::byte_offset(line.substr(at), here - column);
        if (k == 0) {
            start = here;
            ends.last = {row, place + r};
        } else {
            stretch.append(line.substr(at, to - at));
        }
        stretch.append(put);
        at = to + utf8::byte_offset(line.substr(to), old_length);
        column = here + old_length;
    }
    ends.first = {row, place};
    buffer.replace_in_line(row, start, column, stretch);
    return ends;
}

// Makes or takes back all replacements of a packed run; where its first
// replacement was made and where its last one ended.
LineEnds replace_run(Buffer& buffer, std::string_view packed, bool backwards)
{
    ReplaceRun run(packed);
    LineEnds run_ends;
    std::uint64_t row = 0;
    for (bool first_line = true; !run.lines.rest.empty(); first_line = false) {
        row = first_line ? run.lines.number() : row - run.lines.number();
        const LineEnds ends = replace_line(buffer, run, row, backwards);
        if (first_line) run_ends.first = ends.first;
        run_ends.last = ends.last;
    }
    return run_ends;
}

}  // namespace

ReplacePlaces::ReplacePlaces(std::string_view removed, std::string_view inserted)
    : removed_length_(utf8::length(removed))
{
    put_number(header_, removed.size());
    header_.append(removed);
    put_number(header_, inserted.size());
    header_.append(inserted);
    packed_ = header_;
}

void ReplacePlaces::add_line(std::uint64_t row, std::span<const std::uint64_t> columns)
{
    put_number(packed_, lines_ == 0 ? row : last_row_ - row);
    put_number(packed_, columns.size());
    for (std::size_t k = 0; k < columns.size(); ++k)
        put_number(packed_, k == 0 ? columns[0] : columns[k] - columns[k - 1] - removed_length_);
    last_row_ = row;
    ++lines_;
}

std::string ReplacePlaces::take()
{
    std::string packed = std::exchange(packed_, header_);
    // The run is kept for as long as the history: without the room it grew into.
    packed.shrink_to_fit();
    lines_ = 0;
    return packed;
}

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
    case EditKind::Replace: {
        const LineEnds ends = replace_run(buffer, text, false);
        from = ends.first;
        to = ends.last;
        break;
    }
    }
    record(history, {kind, from, to, std::move(text)});
    return kind == EditKind::Insert || kind == EditKind::DuplicateLine || kind == EditKind::Replace ? to : from;
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
        case EditKind::Replace:
            replace_run(buffer, r->text, true);
            // Taking back the first replacement ends, as Delete's undo does,
            // after the first character it brings back.
            cursor = {r->from.row, r->from.column + 1};
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
        case EditKind::Replace:
            replace_run(buffer, r.text, false);
            cursor = r.to;
            break;
        }
    }
    return cursor;
}
