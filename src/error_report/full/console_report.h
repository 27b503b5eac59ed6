// A missing interpreter is reported with the launcher's message; any other
// cause of a failed start with the interpreter's path and the system's own
// message and number.
#pragma once

#include "console_error.h"
#include "start_failure.h"

static void report_start_failure()
{
    DWORD error = GetLastError();
    if (is_missing(error)) {
        report_missing_interpreter();
        return;
    }
    int chars = describe_start_failure(error);
    start_failure[chars++] = L'\r';
    start_failure[chars++] = L'\n';
    static char bytes[3 * sizeof start_failure / sizeof *start_failure];
    int size = WideCharToMultiByte(CP_UTF8, 0, start_failure, chars, bytes, sizeof bytes, nullptr, nullptr);
    write_error(start_failure, chars, bytes, size);
}
