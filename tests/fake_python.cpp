// Stands in for the package's python\pythonw.exe. It writes down what it was
// given into the file named by KELVARETH_TEST_REPORT, as key=value records
// each ended by a NUL, and exits with the code in KELVARETH_TEST_EXIT.
//
// KELVARETH_TEST_HANDLE  a handle value to look up: the path it names, if valid
// KELVARETH_TEST_ECHO    copied into the report as it stands
// KELVARETH_TEST_STDERR  a file whose bytes to write to standard error, in
//                        pieces, once the report has been written
// KELVARETH_TEST_ROLE    "spawn": start a grandchild that waits forever, then exit;
//                        "spawn-holding": the same, the grandchild holding
//                        standard error open; "spawn-chatter": the same, the
//                        grandchild writing to it without end, also when
//                        no one reads it;
//                        "grandchild": wait forever, write nothing;
//                        "chatter": write to standard error without end;
//                        "echo": copy standard input to standard output and
//                        standard error, each copy behind a prefix of its own;
//                        "break": wait for Ctrl+C or Ctrl+Break, reporting which
//                        came; create the file KELVARETH_TEST_READY once waiting;
//                        "hold": create the file KELVARETH_TEST_READY, then run
//                        until it has been deleted
//
// Built as a windowed program for the windowed launcher and as a console
// program for the console launcher.
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

// Written whole under another name, then renamed: a test that waits for the
// report never reads half of it.
static void write_report(const std::wstring &report)
{
    std::wstring path = env(L"KELVARETH_TEST_REPORT");
    std::wstring part = path + L".part";
    HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(file, report.data(), static_cast<DWORD>(report.size() * sizeof(wchar_t)), &written, nullptr);
        CloseHandle(file);
        MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
}

// Tells the test that the stand-in is running: creates KELVARETH_TEST_READY.
static std::wstring signal_ready()
{
    std::wstring ready = env(L"KELVARETH_TEST_READY");
    CloseHandle(CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return ready;
}

static DWORD exit_code()
{
    return wcstoul(env(L"KELVARETH_TEST_EXIT").c_str(), nullptr, 0);
}

static void echo_std_input()
{
    std::string input;
    char buffer[4096];
    DWORD got;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got)
        input.append(buffer, got);
    std::string out = "out:" + input, err = "err:" + input;
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), err.data(), static_cast<DWORD>(err.size()), &written, nullptr);
}

static std::wstring break_report;

// Reports the console event and ends the process with the code asked for, as
// an interpreter does that lets a KeyboardInterrupt end it.
static BOOL WINAPI on_break(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    break_report += event == CTRL_C_EVENT ? L"break=ctrl-c" : L"break=ctrl-break";
    break_report += L'\0';
    write_report(break_report);
    ExitProcess(exit_code());
}

// Writes the file KELVARETH_TEST_STDERR names to standard error, in pieces
// as an app that logs does.
static void write_std_error()
{
    std::wstring path = env(L"KELVARETH_TEST_STDERR");
    if (path.empty())
        return;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    char buffer[4096];
    DWORD got, written;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got)
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), buffer, got, &written, nullptr);
    CloseHandle(file);
}

int wmain()
{
    std::wstring role = env(L"KELVARETH_TEST_ROLE");
    if (role == L"grandchild") {
        Sleep(INFINITE);
        return 0;
    }
    if (role == L"chatter") {
        static const char chatter[] = "chatter\r\n";
        DWORD written;
        for (;;) { // also once no one reads it any more
            WriteFile(GetStdHandle(STD_ERROR_HANDLE), chatter, sizeof chatter - 1, &written, nullptr);
            Sleep(1);
        }
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
    put(L"position", std::to_wstring(si.dwX) + L"," + std::to_wstring(si.dwY));
    put(L"size", std::to_wstring(si.dwXSize) + L"," + std::to_wstring(si.dwYSize));
    put(L"counts", std::to_wstring(si.dwXCountChars) + L"," + std::to_wstring(si.dwYCountChars));
    put(L"fill", hex(si.dwFillAttribute));
    put(L"title", si.lpTitle ? si.lpTitle : L"(none)");
    put(L"reserved2", std::to_wstring(si.cbReserved2));
    put(L"pid", std::to_wstring(GetCurrentProcessId()));

    put(L"echo", env(L"KELVARETH_TEST_ECHO"));

    std::wstring value = env(L"KELVARETH_TEST_HANDLE");
    if (!value.empty()) {
        HANDLE h = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(wcstoull(value.c_str(), nullptr, 16)));
        n = GetFinalPathNameByHandleW(h, text, 32768, 0);
        put(L"handle", std::wstring(text, n && n < 32768 ? n : 0));
    }

    const DWORD std_ids[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    std::wstring types;
    for (DWORD id : std_ids)
        types += std::to_wstring(GetFileType(GetStdHandle(id))) + L" ";
    put(L"std_types", types);

    if (role == L"spawn" || role == L"spawn-holding" || role == L"spawn-chatter") {
        SetEnvironmentVariableW(L"KELVARETH_TEST_ROLE", role == L"spawn-chatter" ? L"chatter" : L"grandchild");
        n = GetModuleFileNameW(nullptr, text, 32768);
        STARTUPINFOW gsi = {};
        gsi.cb = sizeof gsi;
        BOOL inherit = role != L"spawn";
        if (inherit) {
            gsi.dwFlags = STARTF_USESTDHANDLES;
            gsi.hStdError = GetStdHandle(STD_ERROR_HANDLE);
            SetHandleInformation(gsi.hStdError, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        }
        PROCESS_INFORMATION pi;
        std::wstring line = L"grandchild";
        if (CreateProcessW(text, line.data(), nullptr, nullptr, inherit, 0, nullptr, nullptr, &gsi, &pi)) {
            put(L"grandchild", std::to_wstring(pi.dwProcessId));
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }

    if (role == L"echo")
        echo_std_input();

    if (role == L"break") {
        break_report = report;
        SetConsoleCtrlHandler(on_break, TRUE);
        signal_ready();
        Sleep(30000);
        put(L"break", L"none");
    }

    if (role == L"hold") {
        std::wstring ready = signal_ready();
        for (int i = 0; i < 600 && GetFileAttributesW(ready.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
            Sleep(50);
    }

    write_report(report);
    write_std_error();
    return static_cast<int>(exit_code());
}
