// The editor's clipboard on POSIX systems: the session's helpers where
// there are any, else the in-process clipboard, with every copy also sent to
// the terminal.

#include "clipboard/system_clipboard.hpp"

#include <cstdlib>

#include "clipboard/command_clipboard.hpp"
#include "clipboard/osc52.hpp"

std::unique_ptr<ClipboardBackend> make_system_clipboard(term::Output& terminal)
{
    // Without PATH the system's own directories are searched, as execvp
    // does; never the working directory, where any file may be called xclip.
    const char* path = std::getenv("PATH");
    std::unique_ptr<ClipboardBackend> inner;
    if (auto commands = find_clipboard_commands(std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"),
                                                path ? path : "/bin:/usr/bin")) {
        inner = std::make_unique<CommandClipboard>(std::move(*commands));
    } else {
        inner = std::make_unique<InProcessClipboard>();
    }
    return std::make_unique<Osc52Clipboard>(std::move(inner), terminal);
}
