// The smallest console process with the console launcher's imports: it loads
// the same DLLs and exits at once. One launch through the console launcher
// costs two such starts.
#include <windows.h>
#include <corecrt_startup.h>
#include <stdlib.h>
#include <wchar.h>

extern "C" void __cdecl _set_app_type(int);

extern "C" void wmainCRTStartup()
{
    // Referenced, never called, so that the import table matches.
    const void *volatile imports[] = {
        reinterpret_cast<const void *>(&GetModuleFileNameW), reinterpret_cast<const void *>(&CreateProcessW),
        reinterpret_cast<const void *>(&WaitForSingleObject), reinterpret_cast<const void *>(&GetExitCodeProcess),
        reinterpret_cast<const void *>(&CloseHandle), reinterpret_cast<const void *>(&GetStdHandle),
        reinterpret_cast<const void *>(&SetHandleInformation),
        reinterpret_cast<const void *>(&InitializeProcThreadAttributeList),
        reinterpret_cast<const void *>(&UpdateProcThreadAttribute),
        reinterpret_cast<const void *>(&DeleteProcThreadAttributeList),
        reinterpret_cast<const void *>(&SetConsoleCtrlHandler), reinterpret_cast<const void *>(&GetConsoleMode),
        reinterpret_cast<const void *>(&WriteConsoleW), reinterpret_cast<const void *>(&WriteFile),
        reinterpret_cast<const void *>(&__stdio_common_vswprintf), reinterpret_cast<const void *>(&_set_app_type),
        reinterpret_cast<const void *>(&__p__wcmdln),
    };
    (void)imports;
    exit(wcsrchr(L"", L'x') ? 1 : 0);
}
