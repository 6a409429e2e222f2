#pragma once
// Running a clipboard helper program (wl-copy, xclip, ...) directly, never
// through a shell, with a time limit so that a hung helper cannot freeze the
// editor.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Generous for a local display on a busy machine, short enough that a
// helper stuck waiting for an unresponsive clipboard owner is noticed.
inline constexpr std::chrono::milliseconds HELPER_TIMEOUT{2000};

// Runs argv (argv[0] a path to the program) with `input` on its standard
// input. With `output` null its standard output goes to /dev/null: helpers
// that fork a daemon to serve the selection would otherwise keep our pipe
// open for as long as they serve. True when the helper exited with status 0
// within the time limit; a helper that overruns is killed with every process
// it started.
bool run_helper(const std::vector<std::string>& argv, std::string_view input, std::string* output,
                std::chrono::milliseconds timeout);
