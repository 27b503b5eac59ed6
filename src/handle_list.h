// Hands a child the standard handles of its start-up record as the only
// handles it inherits: through a handle list
// (PROC_THREAD_ATTRIBUTE_HANDLE_LIST), so that whatever else the launcher
// holds inheritable stays its own.
#pragma once

#include <windows.h>

// `si` carries STARTF_USESTDHANDLES and the three handles. Makes the distinct
// valid ones inheritable and lists them; a missing or invalid one is left
// out, and only its value is passed on. Returns whether the child is to
// inherit any: then create it with inheritance and
// EXTENDED_STARTUPINFO_PRESENT, and delete si.lpAttributeList afterwards.
// Should the list fail, the child must not get handle values that mean
// nothing, or something else, in it: it then gets no standard handles.
static bool inherit_std_handles_only(STARTUPINFOEXW &si)
{
    // Static: the attribute list points into them until the child has been
    // created. Room for a list of one attribute, whose size the platform does
    // not fix.
    static HANDLE list[3];
    alignas(void *) static unsigned char attributes[256];

    const HANDLE std_handles[] = {si.StartupInfo.hStdInput, si.StartupInfo.hStdOutput, si.StartupInfo.hStdError};
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

    auto attribute_list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes);
    SIZE_T size = sizeof attributes;
    if (!InitializeProcThreadAttributeList(attribute_list, 1, 0, &size)) {
        si.StartupInfo.dwFlags &= ~STARTF_USESTDHANDLES;
        return false;
    }
    if (!UpdateProcThreadAttribute(attribute_list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, list, count * sizeof(HANDLE),
                                   nullptr, nullptr)) {
        DeleteProcThreadAttributeList(attribute_list);
        si.StartupInfo.dwFlags &= ~STARTF_USESTDHANDLES;
        return false;
    }
    si.lpAttributeList = attribute_list;
    return true;
}
