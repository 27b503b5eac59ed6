// The windowed launcher: no console, and one error box when the interpreter
// cannot be started.
#include "child.h"
#include "startup_info.h"
#include "app_id.h"
#include "windowed_report.h"
#include "busy_cursor.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR lpCmdLine, int)
{
    if (!compose_child(lpCmdLine))
        return 1;

    // The child gets no handles, and of the start-up record only what the
    // build forwards and the app's ID.
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    forward_startup_info(si);
    set_app_id(si);
    PROCESS_INFORMATION pi;
    if (!start_child(python, line, dir, si, pi)) {
        MessageBoxW(nullptr, start_failure_text(MESSAGE), CAPTION, MB_ICONERROR);
        return 1;
    }

    end_busy_cursor();
    return static_cast<int>(finish_child(pi));
}
