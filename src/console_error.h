// The console launcher's reports on standard error.
#pragma once

#include <windows.h>

#include "settings.h"

// As wide characters to a console, so that any text shows, and as UTF-8 to a
// pipe or a file; nothing when there is no standard error.
static void write_error(const wchar_t *text, DWORD chars, const char *bytes, DWORD size)
{
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE)
        return;
    DWORD mode, written;
    if (GetConsoleMode(err, &mode))
        WriteConsoleW(err, text, chars, &written, nullptr);
    else
        WriteFile(err, bytes, size, &written, nullptr);
}

// The launcher's message and a line break.
static void report_missing_interpreter()
{
    static const wchar_t text[] = MESSAGE L"\r\n";
    static const char bytes[] = MESSAGE_UTF8 "\r\n";
    write_error(text, sizeof text / sizeof *text - 1, bytes, sizeof bytes - 1);
}
