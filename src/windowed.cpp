// The windowed launcher: no console, and one error box when the interpreter
// cannot be started.
#include "child.h"
#include "busy_cursor.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR lpCmdLine, int)
{
    if (!compose_child(lpCmdLine))
        return 1;

    // The child gets no handles, no standard handles and no show-window hint.
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(python, line, nullptr, nullptr, FALSE, 0, nullptr, dir, &si, &pi)) {
        MessageBoxW(nullptr, MESSAGE, CAPTION, MB_ICONERROR);
        return 1;
    }

    end_busy_cursor();
    return static_cast<int>(wait_for_child(pi));
}
