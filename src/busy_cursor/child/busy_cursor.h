// Hands the "app starting" cursor to the child: Windows ends a process's start
// feedback at its first GetMessageW, so the busy cursor then shows only while
// the child itself starts.
#pragma once

#include <windows.h>

static inline void end_busy_cursor()
{
    // GetMessageW only after a successful post, so that it finds that message
    // at once and can never block.
    MSG msg;
    if (PostMessageW(nullptr, WM_NULL, 0, 0))
        GetMessageW(&msg, nullptr, 0, 0);
}
