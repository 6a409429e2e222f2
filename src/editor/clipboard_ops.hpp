#pragma once
// Copy, cut and paste between the selection and the system clipboard.

#include "editor/editor.hpp"

void copy_selection(Editor& editor);
void cut_selection(Editor& editor);
void paste_clipboard(Editor& editor);
