// The app's own AppUserModelID, when the build was given one: Windows then
// groups, pins and shows the child's windows as this app's, not the
// interpreter's. A link name or an app ID already in the record (a shortcut
// started the launcher, and the record was forwarded) is kept instead: the
// two cannot be combined.
#pragma once

#include <windows.h>

#include "settings.h"

static inline void set_app_id(STARTUPINFOW &si)
{
    if (APP_ID[0] == L'\0' || (si.dwFlags & (STARTF_TITLEISLINKNAME | STARTF_TITLEISAPPID)))
        return;
    si.dwFlags |= STARTF_TITLEISAPPID;
    si.lpTitle = const_cast<LPWSTR>(APP_ID);
}
