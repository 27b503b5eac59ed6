// The child's standard error goes nowhere, and whatever kept the interpreter
// from starting, the box shows the launcher's message.
#pragma once

#include "child.h"

// Starts `application` on `command_line` in `directory`, as CreateProcessW
// does, with no handles inherited.
static inline BOOL start_child(const wchar_t *application, wchar_t *command_line, const wchar_t *directory,
                               STARTUPINFOW &si, PROCESS_INFORMATION &pi)
{
    return CreateProcessW(application, command_line, nullptr, nullptr, FALSE, 0, nullptr, directory, &si, &pi);
}

// The box's text when the child could not be started.
static inline const wchar_t *start_failure_text(const wchar_t *message)
{
    return message;
}

static inline DWORD finish_child(PROCESS_INFORMATION &pi)
{
    return wait_for_child(pi);
}
