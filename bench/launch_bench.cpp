// Median time of one launch through each launcher given against one start of
// a minimal process with the same imports, all measured interleaved in one
// run, so that every figure meets the same machine state.
//
//   launch_bench ROUNDS NAME LAUNCHER_EXE MINIMAL_EXE INTERPRETER [NAME LAUNCHER_EXE MINIMAL_EXE INTERPRETER...]
//
// INTERPRETER is where the launcher looks for its interpreter, relative to
// its package directory; the minimal process stands in for it.
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

// A package whose interpreter is the minimal process, and the timings.
struct Subject {
    std::wstring name, package, exe, minimal, interpreter;
    std::vector<double> through, direct;
};

int wmain(int argc, wchar_t **argv)
{
    if (argc < 6 || (argc - 2) % 4) {
        fwprintf(stderr, L"usage: launch_bench ROUNDS NAME LAUNCHER_EXE MINIMAL_EXE INTERPRETER...\n");
        return 2;
    }
    int rounds = _wtoi(argv[1]);

    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    std::vector<Subject> subjects;
    for (int i = 2; i < argc; i += 4) {
        Subject s;
        s.name = argv[i];
        s.package = std::wstring(temp) + L"kelvareth-bench-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(subjects.size());
        s.exe = s.package + L"\\Kelvareth.exe";
        s.minimal = full_path(argv[i + 2]);
        s.interpreter = s.package + L"\\" + argv[i + 3];
        CreateDirectoryW(s.package.c_str(), nullptr);
        CreateDirectoryW(s.interpreter.substr(0, s.interpreter.rfind(L'\\')).c_str(), nullptr);
        CopyFileW(full_path(argv[i + 1]).c_str(), s.exe.c_str(), FALSE);
        CopyFileW(s.minimal.c_str(), s.interpreter.c_str(), FALSE);
        subjects.push_back(s);
    }

    for (Subject &s : subjects) { // warm the file cache and the loader
        time_start(s.exe, s.package);
        time_start(s.minimal, s.package);
    }
    for (int round = 0; round < rounds; ++round) {
        for (Subject &s : subjects) {
            s.through.push_back(time_start(s.exe, s.package));
            s.direct.push_back(time_start(s.minimal, s.package));
        }
    }

    wprintf(L"rounds %d, interleaved; medians in ms\n", rounds);
    wprintf(L"%-24ls %10ls %10ls %7ls\n", L"launcher", L"through", L"minimal", L"ratio");
    for (Subject &s : subjects) {
        double t = median(s.through), d = median(s.direct);
        wprintf(L"%-24ls %10.3f %10.3f %7.2f\n", s.name.c_str(), t * 1e3, d * 1e3, t / d);
        DeleteFileW(s.exe.c_str());
        DeleteFileW(s.interpreter.c_str());
        RemoveDirectoryW(s.interpreter.substr(0, s.interpreter.rfind(L'\\')).c_str());
        RemoveDirectoryW(s.package.c_str());
    }
    wprintf(L"two process starts: a ratio of about 2.0\n");
    return 0;
}
