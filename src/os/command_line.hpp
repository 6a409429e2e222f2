#pragma once
// The document path from the command line: argument 1, exactly as typed;
// arguments after it are ignored.

#include <filesystem>
#include <optional>

// On Windows `argv` is not used: it holds the arguments in the ANSI code
// page, which loses every character outside it, so the path is taken from
// the wide command line instead.
std::optional<std::filesystem::path> document_path_argument(int argc, char** argv);
