#include "editor/document.hpp"

#include <utility>

#include "editor/messages.hpp"
#include "encoding/codec.hpp"
#include "encoding/detect.hpp"
#include "os/display_name.hpp"
#include "os/file_io.hpp"
#include "text/lines.hpp"
#include "text/utf8.hpp"

namespace {

// The bytes decoded in the given encoding into a buffer that notes what it
// could not read. The bytes are given up: valid UTF-8 becomes the buffer's
// text as it is, so a large file is held once, not three times. Bytes known
// to be valid UTF-8 without a mark are not checked again.
Buffer decode_document(std::string bytes, TextEncoding encoding, bool valid_utf8 = false)
{
    const LineEnding line_ending = detect_line_ending(bytes, encoding);
    std::size_t unreadable = 0;
    Buffer buffer = Buffer::from_text(valid_utf8 ? std::move(bytes)
                                                 : decode_text_in_place(std::move(bytes), encoding, &unreadable));
    buffer.encoding = encoding;
    buffer.line_ending = line_ending;
    buffer.unreadable_bytes = unreadable;
    buffer.modified = false;
    return buffer;
}

// Only a regular file is stamped: a pipe has no content to compare.
std::optional<FileStamp> stamp_of(const FileStatus& facts)
{
    return facts.kind == FileKind::Regular ? std::optional(facts.stamp) : std::nullopt;
}

// Whether a save would overwrite what another program wrote since the file
// was read or saved here. A file that has gone is simply made again; a file
// where there was none is someone else's.
bool changed_on_disk(const Buffer& buffer, const std::optional<FileStatus>& now)
{
    if (!now || now->kind != FileKind::Regular) return false;
    return buffer.stamp != now->stamp;
}

}  // namespace

expected<Buffer, IoError> open_document(const std::optional<std::filesystem::path>& path)
{
    if (!path) return Buffer();

    // Only a path that names nothing is a new document, which the first
    // save creates. A path we cannot look at may well name a file, and
    // opening it empty would let a save destroy it: start-up fails instead.
    auto facts = file_status(*path);
    if (!facts) return unexpected(facts.error());
    if (!*facts) {
        Buffer buffer;
        buffer.path = path;
        return buffer;
    }
    // A device would be read for ever (/dev/zero) or not at all.
    if ((*facts)->kind == FileKind::Device) return unexpected(IoError::not_regular());

    auto bytes = read_file_bytes(*path);
    if (!bytes) return unexpected(bytes.error());
    // Valid UTF-8 without a mark, the common case, is checked once, not once
    // to detect and again to decode.
    const bool plain_utf8 = !has_byte_order_mark(*bytes) && utf8::is_valid(*bytes);
    const TextEncoding encoding = plain_utf8 ? TextEncoding::Utf8 : detect_encoding(*bytes);
    Buffer buffer = decode_document(std::move(*bytes), encoding, plain_utf8);
    buffer.path = path;
    buffer.stamp = stamp_of(**facts);
    return buffer;
}

void save_document(Editor& editor)
{
    Buffer& buffer = editor.buffer;
    if (!buffer.path) {
        set_message(editor, msg::NO_FILE_NAME);
        return;
    }
    // A save that would lose something warns first, one warning per press;
    // the press right after a warning goes past it.
    const SaveWarning confirmed = std::exchange(editor.save_armed, SaveWarning::None);
    if (buffer.unreadable_bytes > 0 && confirmed < SaveWarning::UnreadableBytes) {
        editor.save_armed = SaveWarning::UnreadableBytes;
        set_message(editor, msg::unreadable_bytes(buffer.unreadable_bytes));
        return;
    }
    if (confirmed < SaveWarning::ChangedOnDisk) {
        auto facts = file_status(*buffer.path);
        if (!facts) {
            set_message(editor, msg::save_failed(msg::error_text(facts.error())));
            return;
        }
        if (changed_on_disk(buffer, *facts)) {
            editor.save_armed = SaveWarning::ChangedOnDisk;
            set_message(editor, msg::CHANGED_ON_DISK);
            return;
        }
    }

    const std::string text = join_lines(
        buffer.line_count(), [&](std::uint64_t row) { return buffer.line(row); }, buffer.line_ending);
    auto bytes = encode_text(text, buffer.encoding);
    if (!bytes) {
        set_message(editor, msg::save_failed(msg::unmappable(bytes.error())));
        return;
    }
    auto written = write_file_in_place(*buffer.path, *bytes);
    if (!written) {
        // The failed write may have touched the file (its time, at least)
        // while putting its content back: that is no other program's change.
        if (auto now = file_status(*buffer.path); now && *now) buffer.stamp = stamp_of(**now);
        set_message(editor, msg::save_failed(msg::error_text(written.error())));
        return;
    }
    buffer.modified = false;
    // The file now holds exactly what the editor shows.
    buffer.unreadable_bytes = 0;
    buffer.stamp = *written;
    set_message(editor, msg::saved(file_display_name(buffer)));
}

void open_encoding_menu(Editor& editor)
{
    editor.encoding_menu_open = true;
    set_message(editor, msg::ENCODING_MENU);
}

void choose_encoding(Editor& editor, TextEncoding encoding)
{
    // Whatever the choice leads to, the menu has done its work.
    editor.encoding_menu_open = false;
    Buffer& buffer = editor.buffer;

    // Unsaved changes must not be thrown away by a reload, and an untitled
    // document has nothing to reload: the choice is for the next save.
    if (buffer.modified || !buffer.path) {
        buffer.encoding = encoding;
        set_message(editor, msg::save_encoding(encoding));
        return;
    }

    // The stamp is taken before the read: should the file change in
    // between, the next save asks rather than overwrites.
    auto facts = file_status(*buffer.path);
    if (!facts) {
        set_message(editor, msg::reload_failed(facts.error()));
        return;
    }
    auto bytes = read_file_bytes(*buffer.path);
    if (!bytes) {
        set_message(editor, msg::reload_failed(bytes.error()));
        return;
    }
    Buffer reloaded = decode_document(std::move(*bytes), encoding);
    reloaded.path = std::move(buffer.path);
    reloaded.stamp = *facts ? stamp_of(**facts) : std::nullopt;
    buffer = std::move(reloaded);
    editor.cursor = Position{};
    editor.top_line = 0;
    editor.left_column = 0;
    // These describe rows and columns of the text that is gone.
    editor.anchor.reset();
    editor.history = History{};
    editor.matches.clear();
    editor.current_match.reset();
    set_message(editor, msg::reloaded(encoding));
}

std::string file_display_name(const Buffer& buffer)
{
    std::optional<std::string> name = buffer.path ? display_name(*buffer.path) : std::nullopt;
    return name ? std::move(*name) : std::string(msg::UNTITLED);
}
