#include "editor/document.hpp"

#include "editor/messages.hpp"
#include "encoding/codec.hpp"
#include "encoding/detect.hpp"
#include "os/display_name.hpp"
#include "os/file_io.hpp"
#include "text/lines.hpp"
#include "text/utf8.hpp"

expected<Buffer, IoError> open_document(const std::optional<std::filesystem::path>& path)
{
    if (!path) return Buffer();

    // Whatever keeps us from seeing the file makes it a new one; the first
    // save creates it (or reports why it cannot).
    if (!path_exists(*path)) {
        Buffer buffer;
        buffer.path = path;
        return buffer;
    }

    auto bytes = read_file_bytes(*path);
    if (!bytes) return unexpected(bytes.error());
    const LineEnding line_ending = detect_line_ending(*bytes);
    // The bytes are given up: valid UTF-8 becomes the buffer's text as it
    // is, so a large file is held once, not three times. That common case
    // is checked once, not once to detect and again to decode.
    TextEncoding encoding = TextEncoding::Utf8;
    std::string text;
    if (!has_byte_order_mark(*bytes) && utf8::is_valid(*bytes)) {
        text = std::move(*bytes);
    } else {
        encoding = detect_encoding(*bytes);
        text = decode_text_in_place(std::move(*bytes), encoding);
    }
    Buffer buffer = Buffer::from_text(std::move(text));
    buffer.path = path;
    buffer.encoding = encoding;
    buffer.line_ending = line_ending;
    buffer.modified = false;
    return buffer;
}

void save_document(Editor& editor)
{
    Buffer& buffer = editor.buffer;
    if (!buffer.path) {
        set_message(editor, msg::NO_FILE_NAME);
        return;
    }
    const std::string text = join_lines(
        buffer.line_count(), [&](std::uint64_t row) { return buffer.line(row); }, buffer.line_ending);
    auto bytes = encode_text(text, buffer.encoding);
    if (!bytes) {
        set_message(editor, msg::save_failed(msg::unmappable(bytes.error())));
        return;
    }
    if (auto written = write_file_in_place(*buffer.path, *bytes); !written) {
        set_message(editor, msg::save_failed(msg::error_text(written.error())));
        return;
    }
    buffer.modified = false;
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

    auto bytes = read_file_bytes(*buffer.path);
    if (!bytes) {
        set_message(editor, msg::reload_failed(bytes.error()));
        return;
    }
    const LineEnding line_ending = detect_line_ending(*bytes);
    Buffer reloaded = Buffer::from_text(decode_text_in_place(std::move(*bytes), encoding));
    reloaded.path = std::move(buffer.path);
    reloaded.encoding = encoding;
    reloaded.line_ending = line_ending;
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
