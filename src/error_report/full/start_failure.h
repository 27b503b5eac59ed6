// Why the interpreter could not be started, in the system's words. A missing
// interpreter, or a missing directory on the way to it, is what the
// launcher's own message already says; any other cause (access denied, a
// damaged file or one that is no program, a path too long) is named as the
// system names it, so that the user is never told to extract the package
// again when that cannot help.
#pragma once

#include "child.h"

static bool is_missing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Room for the interpreter's path twice, in the sentence and in the system's
// message, and the words around it.
static wchar_t start_failure[2 * 32768 + 128];

// "<python> could not be started.\r\n<the system's message> (error <n>)",
// the message in the user's language, into start_failure. Returns its length.
static int describe_start_failure(DWORD error)
{
    // The system's messages name the file as %1; every insert one may hold
    // (%1 to %99) names the interpreter, so that none reads past the array.
    static DWORD_PTR inserts[99];
    for (DWORD_PTR &insert : inserts)
        insert = reinterpret_cast<DWORD_PTR>(python);
    static wchar_t reason[32768];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr, error, 0, reason,
                             32768, reinterpret_cast<va_list *>(inserts));
    while (n > 0 && reason[n - 1] <= L' ') // its closing line break
        --n;
    reason[n] = L'\0';
    int length = n ? swprintf(start_failure, sizeof start_failure / sizeof *start_failure,
                              L"%ls could not be started.\r\n%ls (error %lu)", python, reason, error)
                   : swprintf(start_failure, sizeof start_failure / sizeof *start_failure,
                              L"%ls could not be started (error %lu).", python, error);
    return length > 0 ? length : 0;
}
