#include "editor/document.hpp"

#include "encoding/encoding.hpp"
#include "os/file_io.hpp"

namespace {

constexpr std::string_view MENU_TEXT =
    "Encoding: [1]UTF-8  [2]UTF-8 BOM  [3]UTF-16 LE  [4]UTF-16 BE  [5]CP1251  [6]CP1252  [7]CP866   Esc=bekor";
constexpr std::string_view UNTITLED = "[Nomsiz]";

}  // namespace

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
    const TextEncoding encoding = detect_encoding(*bytes);
    const LineEnding line_ending = detect_line_ending(*bytes);
    // The bytes are given up: valid UTF-8 becomes the buffer's text as it
    // is, so a large file is held once, not three times.
    Buffer buffer = Buffer::from_text(decode_text_in_place(std::move(*bytes), encoding));
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
        set_message(editor, "Saqlash uchun fayl nomi yo'q (zep <fayl> bilan oching)");
        return;
    }
    auto bytes = encode_document(join_lines(buffer, buffer.line_ending), buffer.encoding);
    if (!bytes) {
        set_message(editor, "Saqlashda xato: " + bytes.error());
        return;
    }
    if (auto written = write_file_in_place(*buffer.path, *bytes); !written) {
        set_message(editor, "Saqlashda xato: " + written.error().message);
        return;
    }
    buffer.modified = false;
    set_message(editor, "Saqlandi: " + file_display_name(buffer));
}

void open_encoding_menu(Editor& editor)
{
    editor.encoding_menu_open = true;
    set_message(editor, std::string(MENU_TEXT));
}

void choose_encoding(Editor& editor, TextEncoding encoding)
{
    // Whatever the choice leads to, the menu has done its work.
    editor.encoding_menu_open = false;
    Buffer& buffer = editor.buffer;
    const std::string label(encoding_label(encoding));

    // Unsaved changes must not be thrown away by a reload, and an untitled
    // document has nothing to reload: the choice is for the next save.
    if (buffer.modified || !buffer.path) {
        buffer.encoding = encoding;
        set_message(editor, "Saqlash encodingi: " + label);
        return;
    }

    auto bytes = read_file_bytes(*buffer.path);
    if (!bytes) {
        set_message(editor, "Xato: " + bytes.error().message);
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
    set_message(editor, "Qayta o'qildi: " + label);
}

std::string file_display_name(const Buffer& buffer)
{
    if (!buffer.path) return std::string(UNTITLED);
    const std::string text = path_display_text(*buffer.path);
    // A drive ("C:") is a root, not a name; "C:notes.txt" names notes.txt.
    std::string_view rest = std::string_view(text).substr(root_prefix_length(text));
    // The last component that names something: trailing separators and "."
    // steps are skipped, as they name the directory before them.
    for (;;) {
        while (!rest.empty() && is_path_separator(rest.back())) rest.remove_suffix(1);
        std::size_t cut = rest.size();
        while (cut > 0 && !is_path_separator(rest[cut - 1])) --cut;
        const std::string_view last = rest.substr(cut);
        if (last == "." && cut > 0) {
            rest = rest.substr(0, cut - 1);
            continue;
        }
        if (last.empty() || last == "." || last == "..") return std::string(UNTITLED);
        return std::string(last);
    }
}
