#include "os/display_name.hpp"

std::optional<std::string> display_name(const std::filesystem::path& path)
{
    const std::string text = path_display_text(path);
    // A drive ("C:") is a root, not a name; "C:notes.txt" names notes.txt.
    std::string_view rest = std::string_view(text).substr(root_prefix_length(text));
    for (;;) {
        while (!rest.empty() && is_path_separator(rest.back())) rest.remove_suffix(1);
        std::size_t cut = rest.size();
        while (cut > 0 && !is_path_separator(rest[cut - 1])) --cut;
        const std::string_view last = rest.substr(cut);
        if (last == "." && cut > 0) {
            rest = rest.substr(0, cut - 1);
            continue;
        }
        if (last.empty() || last == "." || last == "..") return std::nullopt;
        return std::string(last);
    }
}
