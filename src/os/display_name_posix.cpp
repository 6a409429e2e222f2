#include "os/display_name.hpp"
#include "text/utf8.hpp"

// A path is any bytes; the screen gets valid UTF-8, every ill-formed
// sequence shown as U+FFFD, by the same rule as file contents.
std::string path_display_text(const std::filesystem::path& path) { return utf8::repair(path.native()); }

bool is_path_separator(char c) { return c == '/'; }

std::size_t root_prefix_length(std::string_view) { return 0; }
