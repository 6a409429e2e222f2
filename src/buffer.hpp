#pragma once
// The document: its lines of UTF-8 text and the facts about its file.
// Only this class knows how the lines are stored; everyone else reads a line
// as a string_view and changes text through the primitives below.

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/text_encoding.hpp"
#include "os/file_io.hpp"
#include "text/lines.hpp"
#include "text/position.hpp"

class Buffer {
public:
    // One empty line, no path, unmodified, CR LF, UTF-8.
    Buffer();
    // The given lines (at least one is kept), unmodified.
    explicit Buffer(std::vector<std::string> lines);
    // The lines of a decoded text, cut as split_lines cuts them. The text
    // itself becomes their storage: no line is copied or allocated apart,
    // which is what makes a file of a million lines open quickly.
    static Buffer from_text(std::string text);

    std::uint64_t line_count() const { return lines_.size(); }
    // The text of a row without terminator; empty for a row past the end.
    std::string_view line(std::uint64_t row) const
    {
        if (row >= lines_.size()) return {};
        const Line& record = lines_[row];
        if (record.is_owned()) return owned_[record.at()];
        return std::string_view(text_).substr(record.at(), line_at(text_, record.at()).length);
    }
    // Characters of a row; 0 for a row past the end.
    std::uint64_t line_len(std::uint64_t row) const;
    // Byte offset of a column in a row (the line's byte length at or past its end).
    std::size_t char_to_byte(std::uint64_t row, std::uint64_t column) const;
    // The character at (row, column); only for a column inside the line.
    char32_t char_at(std::uint64_t row, std::uint64_t column) const;

    // The primitives every edit is made of. Each sets `modified` when it
    // changes the text. A paste or the deletion of a large selection (and
    // undoing either) is one splice, not a step per character.

    // Puts `text` as a new line at `index` (at the end, if past it).
    void insert_line(std::uint64_t index, std::string text);
    // Inserts UTF-8 text at the position; every LF splits the line there.
    // Returns the position just after the inserted text. A column past the
    // line's end inserts at the end; a row past the end or an empty text:
    // nothing, and the position comes back unchanged.
    Position insert_text(Position at, std::string_view text);
    // Removes the text from `from` up to `to` in document order, a line break
    // between two rows counting as one character, and returns it with an LF
    // for each removed line break. A column past a line end acts as the end,
    // a row past the last line as the end of the document. Nothing when `to`
    // is not after `from`.
    std::string erase_range(Position from, Position to);

    // Replaces the characters [from, to) of a row (columns past its end act
    // as its end) with text that holds no LF, in one step: the new line is
    // made whole before the old one goes. Nothing for a row past the end.
    void replace_in_line(std::uint64_t row, std::uint64_t from, std::uint64_t to, std::string_view text);

    // Replaces the whole text (opening and reloading a file).
    void replace_lines(std::vector<std::string> lines);

    // Which rows' text changed since changes were last taken, so that a
    // frame redraws only those: `first` to `last`, and with `lines_moved`
    // every row from `first` down, as lines came or went there. Nothing
    // changed when `first` is past `last`.
    struct Changes {
        std::uint64_t first = UINT64_MAX;
        std::uint64_t last = 0;
        bool lines_moved = false;
    };
    Changes take_changes();

    // What is wrong with the buffer, if anything: fewer than one line, a line
    // that is not valid UTF-8 or holds an LF, storage counts that do not
    // match the lines. For tests, which call it after every step.
    std::optional<std::string> check_invariant() const;

    std::optional<std::filesystem::path> path;
    bool modified = false;
    LineEnding line_ending = LineEnding::CrLf;
    TextEncoding encoding = TextEncoding::Utf8;
    // Bytes of the file that decoding could not make text of, as of the open
    // or the last reload: a save would lose them, so it asks first.
    std::uint64_t unreadable_bytes = 0;
    // The regular file as it was read or last saved, to notice another
    // program's change before a save overwrites it; nothing for a document
    // whose file did not exist, or is not a regular file.
    std::optional<FileStamp> stamp;

private:
    // A line is a stretch of the text the buffer was made from, until it is
    // first changed; from then on it owns its text, one string in owned_. A
    // stretch is a whole line of the text, so its record needs only where it
    // starts: it ends where that line of the text ends. Records are five
    // bytes, so that inserting and erasing lines moves plain bytes, and a
    // file of a million lines costs 5 MB of them beside its text.
    class Line {
    public:
        static Line stretch(std::uint64_t at) { return Line(at << 1); }
        static Line owned(std::uint64_t slot) { return Line(slot << 1 | 1); }
        bool is_owned() const { return (value() & 1) != 0; }
        // Where the stretch starts in text_, or the owned line's place in owned_.
        std::uint64_t at() const { return value() >> 1; }

    private:
        explicit Line(std::uint64_t value)
        {
            for (unsigned char& byte : bytes_) {
                byte = static_cast<unsigned char>(value);
                value >>= 8;
            }
        }
        // Read as two loads from where the record lies: put together byte
        // by byte from a copy, the record's bytes would wait on their own
        // stores, on the path every drawn line takes.
        std::uint64_t value() const
        {
            std::uint64_t low = 0;
            if constexpr (std::endian::native == std::endian::little) {
                std::uint32_t word = 0;
                std::memcpy(&word, bytes_.data(), sizeof word);
                low = word;
            } else {
                for (std::size_t k = 4; k-- > 0;) low = low << 8 | bytes_[k];
            }
            return std::uint64_t{bytes_[4]} << 32 | low;
        }
        std::array<unsigned char, 5> bytes_;
    };
    static_assert(sizeof(Line) == 5);

    // The line's own string, made from its text on the first change. The
    // reference lasts until another line is made to own its text.
    std::string& own(std::uint64_t row);
    // A record for a line that owns the given text.
    Line adopt(std::string text);
    // Gives back what a line that goes owns; a stretch of the text is
    // counted instead, for drop_stretches once the records are gone.
    void let_go(const Line& record, std::uint64_t& stretches);
    // Every line owned: the given strings, in order.
    void take_lines(std::vector<std::string> lines);
    // Notes that some lines no longer point into the text; once none does,
    // its memory goes (after a large file's lines are all deleted, say).
    void drop_stretches(std::uint64_t count);

    // The text the buffer was made from, never changed while lines point
    // into it; stretches_ counts those lines.
    std::string text_;
    std::uint64_t stretches_ = 0;
    std::vector<Line> lines_;
    std::vector<std::string> owned_;
    // Places in owned_ whose lines are gone, to be used again.
    std::vector<std::uint64_t> free_owned_;

    void changed(std::uint64_t row, bool lines_moved = false);
    // A buffer made anew has changed everywhere.
    Changes changes_{0, UINT64_MAX, true};
};
