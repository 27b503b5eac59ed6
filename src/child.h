// What the windowed and the console launcher share: the child's paths and
// command line, composed from the launcher's own path and its command-line
// tail, and the wait for the child. Each launcher includes this once, in the
// file of its main procedure.
#pragma once

#include <windows.h>
#include <wchar.h>

#include "settings.h"

// The start-up flag that says hStdOutput holds the monitor to start on, as a
// start from the taskbar sets it; mingw-w64 does not name it.
#ifndef STARTF_HASSHELLDATA
#define STARTF_HASSHELLDATA 0x00000400
#endif

// Static so that the 64 KiB each takes no stack and no room in the file.
static wchar_t dir[32768];
static wchar_t python[32768];
static wchar_t line[32768];

// Fills `dir` with the package directory (the child's working directory),
// `python` with the interpreter's path and `line` with
//   "<python>" "<dir>\<script>" <tail>
// False when the launcher's own path cannot be read or a text would not fit:
// there is then nothing to start.
static bool compose_child(const wchar_t *tail)
{
    DWORD n = GetModuleFileNameW(nullptr, dir, 32768);
    if (n == 0 || n >= 32768)
        return false;

    wchar_t *slash = wcsrchr(dir, L'\\');
    if (slash)
        *slash = L'\0';

    // A cut interpreter path or argument list must never be started.
    if (swprintf(python, 32768, PYTHON_FORMAT, dir) < 0)
        return false;
    if (swprintf(line, 32768, LINE_FORMAT, python, dir, tail ? tail : L"") < 0)
        return false;

    // A bare drive such as "D:" names that drive's current directory, not its
    // root: a package in a drive's root runs in "D:\". The paths above keep
    // "D:" as their directory.
    if (slash && slash > dir && slash[-1] == L':') {
        slash[0] = L'\\';
        slash[1] = L'\0';
    }
    return true;
}

// Waits for the started child as long as it runs and returns its exit code,
// 0 when that cannot be read. Closes both of the child's handles.
static DWORD wait_for_child(PROCESS_INFORMATION &pi)
{
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return code;
}
