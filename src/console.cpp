// The console launcher: the child shares the console and gets exactly the
// launcher's three standard handles; a failure is reported on standard error,
// never in a window.
#include "child.h"
#include "handle_list.h"
#include "startup_info.h"
#include "app_id.h"
#include "console_report.h"

// Ctrl+C and Ctrl+Break are the child's to handle: the launcher outlives them
// and relays whatever exit code the child ends with. A handler of its own,
// unlike SetConsoleCtrlHandler(nullptr, TRUE), is not inherited by the child.
// Closing the console still ends the launcher.
static BOOL WINAPI outlive_break(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

// Makes `si` hand the launcher's standard handles to the child, whatever they
// are, as the only handles it inherits. Returns whether it inherits any. A
// hot key or a monitor travels in the same fields: with either, the child
// gets no standard handles and uses the console as the launcher does.
static bool hand_over_std_handles(STARTUPINFOEXW &si)
{
    if (si.StartupInfo.dwFlags & (STARTF_USEHOTKEY | STARTF_HASSHELLDATA))
        return false;
    si.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
    si.StartupInfo.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.StartupInfo.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.StartupInfo.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    return inherit_std_handles_only(si);
}

int console_main(const wchar_t *tail)
{
    if (!compose_child(tail))
        return 1;

    SetConsoleCtrlHandler(outlive_break, TRUE);

    STARTUPINFOEXW si = {};
    si.StartupInfo.cb = sizeof si;
    forward_startup_info(si.StartupInfo);
    set_app_id(si.StartupInfo);
    bool inherit = hand_over_std_handles(si);
    PROCESS_INFORMATION pi;
    BOOL started = CreateProcessW(python, line, nullptr, nullptr, inherit, inherit ? EXTENDED_STARTUPINFO_PRESENT : 0,
                                  nullptr, dir, &si.StartupInfo, &pi);
    // Reported first: the report may read the error CreateProcessW left.
    if (!started)
        report_start_failure();
    if (inherit)
        DeleteProcThreadAttributeList(si.lpAttributeList);
    if (!started)
        return 1;
    return static_cast<int>(wait_for_child(pi));
}
