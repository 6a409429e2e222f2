#pragma once
// Moving the document between the file and memory: open, save, and the
// encoding menu's choice (set the encoding for the next save, or reload).

#include <filesystem>
#include <optional>
#include <string>

#include "buffer.hpp"
#include "editor/editor.hpp"
#include "os/expected.hpp"
#include "os/io_error.hpp"

expected<Buffer, IoError> open_document(const std::optional<std::filesystem::path>& path);
void save_document(Editor& editor);
void open_encoding_menu(Editor& editor);
void choose_encoding(Editor& editor, TextEncoding encoding);
// The document's name as the status bar and the messages show it.
std::string file_display_name(const Buffer& buffer);
