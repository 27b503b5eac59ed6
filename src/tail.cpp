#include "tail.h"

const wchar_t *command_tail(const wchar_t *line)
{
    if (!line)
        return L"";

    // The program name runs to the first code unit at or below 0x20 outside
    // double quotes. A quote only toggles: there is no escape character.
    const wchar_t *p = line;
    bool quoted = false;
    for (; *p; ++p) {
        if (*p == L'"')
            quoted = !quoted;
        else if (*p <= 0x20 && !quoted)
            break;
    }

    // Skip the separator: every code from 0x01 to 0x20.
    while (*p && *p <= 0x20)
        ++p;
    return p;
}
