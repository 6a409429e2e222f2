// The system clipboard through helper programs: which ones a session has,
// and running them.

#include "clipboard/command_clipboard.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include "clipboard/helper.hpp"

namespace {

bool is_set(const char* variable) { return variable != nullptr && *variable != '\0'; }

// The full path of an executable regular file called `name` on the search
// path; an empty entry means the working directory, as for the shell.
std::optional<std::string> find_program(std::string_view search_path, std::string_view name)
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = search_path.find(':', start);
        std::string_view dir = search_path.substr(start, end == std::string_view::npos ? end : end - start);
        std::string candidate = dir.empty() ? std::string(".") : std::string(dir);
        candidate += '/';
        candidate += name;
        struct stat facts {};
        if (::stat(candidate.c_str(), &facts) == 0 && S_ISREG(facts.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string_view::npos) return std::nullopt;
        start = end + 1;
    }
}

}  // namespace

bool CommandClipboard::put_text(std::string_view utf8)
{
    return run_helper(commands_.copy, utf8, nullptr, HELPER_TIMEOUT);
}

std::optional<std::string> CommandClipboard::take_text()
{
    std::string text;
    if (!run_helper(commands_.paste, {}, &text, HELPER_TIMEOUT)) return std::nullopt;
    return text;
}

std::optional<ClipboardCommands> find_clipboard_commands(const char* wayland_display, const char* display,
                                                         std::string_view search_path)
{
    if (is_set(wayland_display)) {
        auto copy = find_program(search_path, "wl-copy");
        auto paste = find_program(search_path, "wl-paste");
        // "text" asks wl-paste for any textual type, so an image on the
        // clipboard gives nothing rather than its bytes; without
        // --no-newline it would add a line break of its own.
        if (copy && paste) return ClipboardCommands{{*copy}, {*paste, "--no-newline", "--type", "text"}};
    }
    if (is_set(display)) {
        if (auto xclip = find_program(search_path, "xclip"))
            return ClipboardCommands{{*xclip, "-selection", "clipboard", "-in"},
                                     {*xclip, "-selection", "clipboard", "-out", "-target", "UTF8_STRING"}};
        if (auto xsel = find_program(search_path, "xsel"))
            return ClipboardCommands{{*xsel, "--clipboard", "--input"}, {*xsel, "--clipboard", "--output"}};
    }
    return std::nullopt;
}
