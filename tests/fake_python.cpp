// Stands in for the package's python\pythonw.exe. It writes down what it was
// given into the file named by KELVARETH_TEST_REPORT, as key=value records
// each ended by a NUL, and exits with the code in KELVARETH_TEST_EXIT.
//
// KELVARETH_TEST_HANDLE  a handle value to look up: the path it names, if valid
// KELVARETH_TEST_ECHO    copied into the report as it stands
// KELVARETH_TEST_ROLE    "spawn": start a grandchild that waits forever, then exit;
//                        "grandchild": wait forever, write nothing
#include <windows.h>

#include <cwchar>
#include <cstdlib>
#include <string>

static std::wstring env(const wchar_t *name)
{
    wchar_t value[32768];
    DWORD n = GetEnvironmentVariableW(name, value, 32768);
    return n && n < 32768 ? std::wstring(value, n) : std::wstring();
}

static std::wstring hex(unsigned long long v)
{
    wchar_t text[32];
    swprintf(text, 32, L"%llx", v);
    return text;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    if (env(L"KELVARETH_TEST_ROLE") == L"grandchild") {
        Sleep(INFINITE);
        return 0;
    }

    std::wstring report;
    auto put = [&](const wchar_t *key, const std::wstring &value) {
        report += key;
        report += L'=';
        report += value;
        report += L'\0';
    };

    put(L"cmdline", GetCommandLineW());

    wchar_t text[32768];
    DWORD n = GetCurrentDirectoryW(32768, text);
    put(L"cwd", std::wstring(text, n < 32768 ? n : 0));
    n = GetModuleFileNameW(nullptr, text, 32768);
    put(L"image", std::wstring(text, n < 32768 ? n : 0));

    STARTUPINFOW si;
    GetStartupInfoW(&si);
    put(L"flags", hex(si.dwFlags));
    put(L"show", hex(si.wShowWindow));
    put(L"stdin", hex(reinterpret_cast<UINT_PTR>(si.hStdInput)));
    put(L"stdout", hex(reinterpret_cast<UINT_PTR>(si.hStdOutput)));
    put(L"stderr", hex(reinterpret_cast<UINT_PTR>(si.hStdError)));

    put(L"echo", env(L"KELVARETH_TEST_ECHO"));

    std::wstring value = env(L"KELVARETH_TEST_HANDLE");
    if (!value.empty()) {
        HANDLE h = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(wcstoull(value.c_str(), nullptr, 16)));
        n = GetFinalPathNameByHandleW(h, text, 32768, 0);
        put(L"handle", std::wstring(text, n && n < 32768 ? n : 0));
    }

    if (env(L"KELVARETH_TEST_ROLE") == L"spawn") {
        SetEnvironmentVariableW(L"KELVARETH_TEST_ROLE", L"grandchild");
        n = GetModuleFileNameW(nullptr, text, 32768);
        STARTUPINFOW gsi = {};
        gsi.cb = sizeof gsi;
        PROCESS_INFORMATION pi;
        std::wstring line = L"grandchild";
        if (CreateProcessW(text, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &gsi, &pi)) {
            put(L"grandchild", std::to_wstring(pi.dwProcessId));
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }

    HANDLE file = CreateFileW(env(L"KELVARETH_TEST_REPORT").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(file, report.data(), static_cast<DWORD>(report.size() * sizeof(wchar_t)), &written, nullptr);
        CloseHandle(file);
    }

    return static_cast<int>(wcstoul(env(L"KELVARETH_TEST_EXIT").c_str(), nullptr, 0));
}
