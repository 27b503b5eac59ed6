// The console image's entry point. As in the windowed start-up, the compiler
// runtime's start-up code is not linked: find the tail, run the launcher and
// exit with its result.
#include <windows.h>
#include <corecrt_startup.h>
#include <stdlib.h>

#include "tail.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

// Referenced through an absolute address for the same reason as in the
// windowed start-up: a genuine base relocation keeps the relocation table.
static const HINSTANCE volatile self = reinterpret_cast<HINSTANCE>(&__ImageBase);

extern "C" void __cdecl _set_app_type(int);
enum { _crt_console_app = 1 };

int console_main(const wchar_t *tail);

extern "C" void wmainCRTStartup()
{
    _set_app_type(_crt_console_app);
    (void)self; // read, so that it stays in the image with its relocation
    exit(console_main(command_tail(*__p__wcmdln())));
}
