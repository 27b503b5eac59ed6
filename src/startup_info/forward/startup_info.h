// The child is to appear as the launcher was asked to: a shortcut's "Run:
// Maximized", its hot key, the monitor a start from the taskbar names, the
// shortcut's own path as link name. The launcher's start-up record says so,
// and the child gets what of it concerns how the app appears.
#pragma once

#include "child.h"

// Never the standard handles (STARTF_USESTDHANDLES), never full screen, and
// never lpReserved2, the C runtime's table of inherited files.
static const DWORD forwarded_startup_flags =
    STARTF_USESHOWWINDOW | STARTF_USESIZE | STARTF_USEPOSITION | STARTF_USECOUNTCHARS | STARTF_USEFILLATTRIBUTE |
    STARTF_FORCEONFEEDBACK | STARTF_FORCEOFFFEEDBACK | STARTF_USEHOTKEY | STARTF_HASSHELLDATA |
    STARTF_TITLEISLINKNAME | STARTF_TITLEISAPPID | STARTF_PREVENTPINNING | STARTF_UNTRUSTEDSOURCE;

// A process started without a title gets its image's path as one: that is no
// title to pass on, and the child would show the launcher's path for its own.
static bool is_given_title(const wchar_t *title)
{
    static wchar_t own_path[32768];
    DWORD n = GetModuleFileNameW(nullptr, own_path, 32768);
    return title && !(n > 0 && n < 32768 && CompareStringOrdinal(title, -1, own_path, n, TRUE) == CSTR_EQUAL);
}

static void forward_startup_info(STARTUPINFOW &si)
{
    // Its texts live as long as the process.
    STARTUPINFOW own;
    GetStartupInfoW(&own);
    si.dwFlags = own.dwFlags & forwarded_startup_flags;
    si.wShowWindow = own.wShowWindow;
    si.dwX = own.dwX;
    si.dwY = own.dwY;
    si.dwXSize = own.dwXSize;
    si.dwYSize = own.dwYSize;
    si.dwXCountChars = own.dwXCountChars;
    si.dwYCountChars = own.dwYCountChars;
    si.dwFillAttribute = own.dwFillAttribute;
    if (is_given_title(own.lpTitle))
        si.lpTitle = own.lpTitle;
    si.lpDesktop = own.lpDesktop;
    // The hot key and the monitor travel in standard-handle fields.
    if (si.dwFlags & STARTF_USEHOTKEY)
        si.hStdInput = own.hStdInput;
    if (si.dwFlags & STARTF_HASSHELLDATA)
        si.hStdOutput = own.hStdOutput;
}
