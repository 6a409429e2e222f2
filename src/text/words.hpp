#pragma once
// Word boundaries within a line, as the word motions (Ctrl+Left/Right) and
// the word deletions (Ctrl+Backspace/Delete) both see them: a word is a run
// of word characters (is_word_char). Columns count characters; a column past
// the line's end counts as its end.

#include <cstdint>
#include <string_view>

// Where the word before `column` starts: back over the characters that are
// not word characters, then over those that are.
std::uint64_t word_start_before(std::string_view line, std::uint64_t column);

// Where the next word starts, or the line's end: forward over the rest of
// the word at `column`, then over what is not a word.
std::uint64_t next_word_start(std::string_view line, std::uint64_t column);
