// The console launcher: the child shares the console and gets exactly the
// launcher's three standard handles; a failure is reported on standard error,
// never in a window.
#include "child.h"

// Ctrl+C and Ctrl+Break are the child's to handle: the launcher outlives them
// and relays whatever exit code the child ends with. A handler of its own,
// unlike SetConsoleCtrlHandler(nullptr, TRUE), is not inherited by the child.
// Closing the console still ends the launcher.
static BOOL WINAPI outlive_break(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

// The message and a line break on standard error: as wide characters to a
// console, so that any text shows, and as UTF-8 to a pipe or a file.
static void report_failure()
{
    static const wchar_t text[] = MESSAGE L"\r\n";
    static const char bytes[] = MESSAGE_UTF8 "\r\n";
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE)
        return;
    DWORD mode, written;
    if (GetConsoleMode(err, &mode))
        WriteConsoleW(err, text, sizeof text / sizeof *text - 1, &written, nullptr);
    else
        WriteFile(err, bytes, sizeof bytes - 1, &written, nullptr);
}

// Makes `si` hand the launcher's standard handles to the child, whatever they
// are, and lists the distinct valid ones in `attributes` as the only handles
// the child inherits. Returns whether the child is to inherit any.
static bool hand_over_std_handles(STARTUPINFOEXW &si, LPPROC_THREAD_ATTRIBUTE_LIST attributes, SIZE_T size)
{
    si.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    si.StartupInfo.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.StartupInfo.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.StartupInfo.hStdError = GetStdHandle(STD_ERROR_HANDLE);

    // A handle in the list must be inheritable and listed once; a missing or
    // invalid one is left out, and only its value is passed on. Static: the
    // attribute list points into it until the child has been created.
    const HANDLE std_handles[] = {si.StartupInfo.hStdInput, si.StartupInfo.hStdOutput, si.StartupInfo.hStdError};
    static HANDLE list[3];
    DWORD count = 0;
    for (HANDLE h : std_handles) {
        if (h == nullptr || h == INVALID_HANDLE_VALUE)
            continue;
        bool listed = false;
        for (DWORD i = 0; i < count; ++i)
            listed = listed || list[i] == h;
        if (!listed && SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
            list[count++] = h;
    }
    if (count == 0)
        return false;

    // Should the list fail, the child must not get handle values that mean
    // nothing, or something else, in it: it then gets the console's.
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)) {
        si.StartupInfo.dwFlags = 0;
        return false;
    }
    if (!UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, list, count * sizeof(HANDLE),
                                   nullptr, nullptr)) {
        DeleteProcThreadAttributeList(attributes);
        si.StartupInfo.dwFlags = 0;
        return false;
    }
    si.lpAttributeList = attributes;
    return true;
}

int console_main(const wchar_t *tail)
{
    if (!compose_child(tail))
        return 1;

    SetConsoleCtrlHandler(outlive_break, TRUE);

    // Room for a list of one attribute, whose size the platform does not fix.
    alignas(void *) static unsigned char attributes[256];
    STARTUPINFOEXW si = {};
    si.StartupInfo.cb = sizeof si;
    bool inherit = hand_over_std_handles(si, reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes),
                                         sizeof attributes);
    PROCESS_INFORMATION pi;
    BOOL started = CreateProcessW(python, line, nullptr, nullptr, inherit, inherit ? EXTENDED_STARTUPINFO_PRESENT : 0,
                                  nullptr, dir, &si.StartupInfo, &pi);
    if (inherit)
        DeleteProcThreadAttributeList(si.lpAttributeList);
    if (!started) {
        report_failure();
        return 1;
    }
    return static_cast<int>(wait_for_child(pi));
}
