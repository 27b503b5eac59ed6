#include "last_words.h"

#include <windows.h>

void last_words(const char *bytes, size_t size, bool cut, wchar_t *text, size_t capacity)
{
    // Where the start was cut, begin after its first line break: the start of
    // a line is the start of a character in UTF-8 and in every ANSI code page.
    // Within one endless line, at least no UTF-8 sequence is begun halfway.
    size_t from = 0;
    if (cut) {
        while (from < size && bytes[from] != '\n')
            ++from;
        if (from < size) {
            ++from;
        } else {
            from = 0;
            while (from < 3 && from < size && (static_cast<unsigned char>(bytes[from]) & 0xC0) == 0x80)
                ++from;
        }
    }
    while (size > from && (bytes[size - 1] == '\n' || bytes[size - 1] == '\r'))
        --size;

    static wchar_t wide[last_words_kept];
    size_t n = 0;
    if (size > from) {
        int length = static_cast<int>(size - from);
        n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes + from, length, wide, last_words_kept);
        if (n == 0)
            n = MultiByteToWideChar(CP_ACP, 0, bytes + from, length, wide, last_words_kept);
    }

    // The last characters, again from the start of a line where there is one,
    // and never from the second half of a surrogate pair.
    size_t start = 0;
    if (n > last_words_shown) {
        start = n - last_words_shown;
        size_t at = start;
        while (at < n && wide[at] != L'\n')
            ++at;
        if (at < n)
            start = at + 1;
        else if (IS_LOW_SURROGATE(wide[start]))
            ++start;
    }

    // A NUL would end the text there and hide the rest.
    size_t out = 0;
    for (size_t i = start; i < n && out + 1 < capacity; ++i)
        text[out++] = wide[i] ? wide[i] : L'\xFFFD';
    text[out] = L'\0';
}
