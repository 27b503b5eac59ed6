// The image's entry point. The compiler runtime's start-up code is not linked:
// the UCRT initialises itself when it is loaded, so all that is left to do
// here is to find the arguments, call wWinMain and exit with its result.
#include <windows.h>
#include <corecrt_startup.h>
#include <stdlib.h>

#include "tail.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

// The image's own base as an absolute address, which the loader fixes up
// wherever it maps the image. Being a genuine base relocation, it keeps the
// base-relocation table in the image with every linker; lld leaves out a table
// that would be empty.
static const HINSTANCE volatile self = reinterpret_cast<HINSTANCE>(&__ImageBase);

// Declared by the UCRT's own headers but not by mingw-w64's. A GUI app gets
// the runtime's own error reports as message boxes instead of on a console
// it does not have.
extern "C" void __cdecl _set_app_type(int);
enum { _crt_gui_app = 2 };

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nShowCmd);

extern "C" void wWinMainCRTStartup()
{
    _set_app_type(_crt_gui_app);

    // The tail points into the runtime's copy of the command line, which
    // lives as long as the process.
    LPWSTR tail = const_cast<LPWSTR>(command_tail(*__p__wcmdln()));

    STARTUPINFOW si;
    GetStartupInfoW(&si);
    int show = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : SW_SHOWDEFAULT;

    exit(wWinMain(self, nullptr, tail, show));
}
