#pragma once
// Character classes and widths over all of Unicode, from tables generated out
// of the Unicode Character Database (unicode_tables.inc, made by
// tools/gen-unicode-tables).

// Alphabetic, or general category Nd, Nl or No. The underscore is not one.
bool is_word_char(char32_t c);

// The White_Space property.
bool is_white_space(char32_t c);

// A word character or the underscore: what a double click takes as a word.
bool is_ident_char(char32_t c);

// Neither an identifier character nor white space.
bool is_punct_char(char32_t c);

// The Uppercase property (the help overlay's heading rule).
bool is_uppercase(char32_t c);

// The columns a terminal draws the character in: 2 for East Asian wide and
// fullwidth characters and for emoji shown as emoji by default, 0 for
// combining marks and the invisible format characters, which join the
// character before them, and 1 for everything else. Control characters count
// 1: the editor draws each as a one-column stand-in.
int char_width(char32_t c);
