#include "os/command_line.hpp"

// A path is bytes here, and argv holds them unchanged.
std::optional<std::filesystem::path> document_path_argument(int argc, char** argv)
{
    if (argc < 2) return std::nullopt;
    return std::filesystem::path(argv[1]);
}
