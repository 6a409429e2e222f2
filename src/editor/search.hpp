#pragma once
// Literal search, next/previous match, replace one and replace all.

#include "editor/editor.hpp"

void find_matches(Editor& editor);
void next_match(Editor& editor);
void previous_match(Editor& editor);
void show_replace_prompt(Editor& editor);
void replace_one(Editor& editor);
void replace_all(Editor& editor);
