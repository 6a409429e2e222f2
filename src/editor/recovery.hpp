#pragma once
// The text of a run that ends without a save (a signal, a terminal that went
// away, memory run out) kept where the user finds it: in a new file beside
// the document, never in the document itself.

#include <filesystem>
#include <optional>

#include "buffer.hpp"

// Writes the document's text as a save would (its lines joined with its
// line ending, in its encoding, or in UTF-8 when that encoding cannot hold
// the text) into a new file: "{path}.zep-save", or "zep-save.txt" in the
// working directory for an untitled document; ".1", ".2", ... appended while
// the name is taken; the same name in the home directory when the
// document's folder cannot take it. Returns the path written, or nothing
// when no place could take it. Needs little memory: the text is written a
// stretch at a time.
std::optional<std::filesystem::path> write_recovery_file(const Buffer& buffer);
