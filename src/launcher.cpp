#include <windows.h>
#include <wchar.h>

#include "settings.h"

// Static so that the 64 KiB each takes no stack and no room in the file.
static wchar_t dir[32768];
static wchar_t python[32768];
static wchar_t line[32768];

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR lpCmdLine, int)
{
    DWORD n = GetModuleFileNameW(nullptr, dir, 32768);
    if (n == 0 || n >= 32768)
        return 1;

    wchar_t *slash = wcsrchr(dir, L'\\');
    if (slash)
        *slash = L'\0';

    // A cut interpreter path or argument list must never be started.
    if (swprintf(python, 32768, PYTHON_FORMAT, dir) < 0)
        return 1;
    if (swprintf(line, 32768, LINE_FORMAT, python, dir, lpCmdLine ? lpCmdLine : L"") < 0)
        return 1;

    // A bare drive such as "D:" names that drive's current directory, not its
    // root: a package in a drive's root runs in "D:\". The paths above keep
    // "D:" as their directory.
    if (slash && slash > dir && slash[-1] == L':') {
        slash[0] = L'\\';
        slash[1] = L'\0';
    }

    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(python, line, nullptr, nullptr, FALSE, 0, nullptr, dir, &si, &pi)) {
        MessageBoxW(nullptr, MESSAGE, CAPTION, MB_ICONERROR);
        return 1;
    }

    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}
