// Median time of one launch through the launcher against one start of a
// minimal process with the same imports, measured interleaved in one run.
//
//   launch_bench LAUNCHER_EXE MINIMAL_EXE [ROUNDS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

static std::wstring full_path(const wchar_t *path)
{
    wchar_t full[32768];
    return std::wstring(full, GetFullPathNameW(path, 32768, full, nullptr));
}

// Seconds from CreateProcessW until the process has ended.
static double time_start(const std::wstring &exe, const std::wstring &cwd)
{
    std::wstring line = L"\"" + exe + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(), &si, &pi)) {
        fwprintf(stderr, L"cannot start %ls: error %lu\n", exe.c_str(), GetLastError());
        ExitProcess(2);
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    QueryPerformanceCounter(&end);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return double(end.QuadPart - begin.QuadPart) / double(frequency.QuadPart);
}

static double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc < 3) {
        fwprintf(stderr, L"usage: launch_bench LAUNCHER_EXE MINIMAL_EXE [ROUNDS]\n");
        return 2;
    }
    std::wstring launcher = full_path(argv[1]);
    std::wstring minimal = full_path(argv[2]);
    int rounds = argc > 3 ? _wtoi(argv[3]) : 100;

    // A package whose interpreter is the minimal process.
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    std::wstring package = std::wstring(temp) + L"kelvareth-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(package.c_str(), nullptr);
    CreateDirectoryW((package + L"\\python").c_str(), nullptr);
    std::wstring exe = package + L"\\Kelvareth.exe";
    std::wstring python = package + L"\\python\\pythonw.exe";
    CopyFileW(launcher.c_str(), exe.c_str(), FALSE);
    CopyFileW(minimal.c_str(), python.c_str(), FALSE);

    time_start(exe, package); // warm the file cache and the loader
    time_start(minimal, package);
    std::vector<double> through, direct;
    for (int i = 0; i < rounds; ++i) {
        through.push_back(time_start(exe, package));
        direct.push_back(time_start(minimal, package));
    }

    DeleteFileW(exe.c_str());
    DeleteFileW(python.c_str());
    RemoveDirectoryW((package + L"\\python").c_str());
    RemoveDirectoryW(package.c_str());

    double t = median(through), d = median(direct);
    wprintf(L"rounds %d, interleaved\n", rounds);
    wprintf(L"launch through Kelvareth.exe  median %8.3f ms\n", t * 1e3);
    wprintf(L"minimal process alone         median %8.3f ms\n", d * 1e3);
    wprintf(L"ratio %.2f (two process starts: about 2.0)\n", t / d);
    return 0;
}
