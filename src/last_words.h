#pragma once

#include <stddef.h>

// How many of the bytes a child writes last are kept, and how many characters
// of them are shown: a traceback's last lines, the exception itself among them.
const size_t last_words_kept = 16384;
const size_t last_words_shown = 3000;

// Turns the last bytes a child wrote into the text to show: `bytes` holds the
// last `size` (at most last_words_kept) of them; `cut` says whether there were
// more before. The text begins at the start of a line, ends without a line
// break and has at most last_words_shown characters. It is decoded as UTF-8
// when it is valid UTF-8, else in the ANSI code page, as a Python that is not
// in UTF-8 mode writes to a pipe. Writes at most `capacity` characters with
// the terminator into `text`.
void last_words(const char *bytes, size_t size, bool cut, wchar_t *text, size_t capacity);
