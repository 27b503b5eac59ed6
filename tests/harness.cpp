// The end-to-end tests' helpers and their main: see harness.h.
#include "harness.h"

#include <cstring>

std::wstring interpreter;
std::wstring script;
std::wstring message;
std::wstring caption;
std::wstring subsystem;
std::wstring busy_cursor;
std::wstring error_report;
std::wstring startup_info;
std::wstring app_id;
std::wstring failure_message;
const std::wstring echo = L"v\x00e4rde \x65e5\x672c %PATH% \xd83d\xde00";

std::wstring launcher_exe;
std::wstring launcher_name;
std::wstring python_exe;
std::wstring root;
std::wstring mapped_drive;
std::wstring settings_dir;

std::wstring full_path(const std::wstring &path)
{
    wchar_t full[32768];
    DWORD n = GetFullPathNameW(path.c_str(), 32768, full, nullptr);
    return std::wstring(full, n);
}

// A whole file's bytes; false when it cannot be opened.
bool read_file(const std::wstring &path, std::string &bytes)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    bytes.assign(GetFileSize(f, nullptr), '\0');
    DWORD got = 0;
    ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(f);
    bytes.resize(got);
    return true;
}

bool write_file(const std::wstring &path, const std::string &bytes)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
    return ok && written == bytes.size();
}

std::wstring read_setting(const wchar_t *name)
{
    std::string bytes;
    if (!read_file(settings_dir + L"\\" + name, bytes)) {
        fwprintf(stderr, L"cannot read setting %ls\n", name);
        ExitProcess(2);
    }
    std::wstring text(bytes.size(), L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                    text.data(), static_cast<int>(text.size())));
    return text;
}

// Creates every directory on the way to `path` below `base`.
static void create_parents(const std::wstring &base, const std::wstring &path)
{
    for (size_t at = 0; (at = path.find(L'\\', at)) != std::wstring::npos; ++at)
        CreateDirectoryW((base + L"\\" + path.substr(0, at)).c_str(), nullptr);
}

// The system's text for `error`, its inserts (%1) naming `file`.
std::wstring system_message(DWORD error, const std::wstring &file)
{
    wchar_t text[4096];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, 4096,
                             nullptr);
    std::wstring message(text, n);
    message.erase(message.find_last_not_of(L" \r\n") + 1);
    for (size_t at; (at = message.find(L"%1")) != std::wstring::npos;)
        message.replace(at, 2, file);
    return message;
}

std::wstring hex(UINT_PTR v)
{
    wchar_t text[32];
    swprintf(text, 32, L"%llx", static_cast<unsigned long long>(v));
    return text;
}

void remove_tree(const std::wstring &dir, bool keep_top)
{
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = dir + L"\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    if (!keep_top)
        RemoveDirectoryW(dir.c_str());
}

// A package directory: the launcher, and optionally the stand-in interpreter
// and an empty script. The report goes to the run's own temporary root.
Package make_package_at(const std::wstring &dir, bool with_python, bool with_script)
{
    static int serial;
    Package p;
    p.dir = dir;
    p.exe = p.dir + L"\\" + launcher_name;
    p.report = root + L"\\report " + std::to_wstring(++serial);
    EXPECT_TRUE(CreateDirectoryW(p.dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        << "package " << testing::PrintToString(p.dir);
    EXPECT_TRUE(CopyFileW(launcher_exe.c_str(), p.exe.c_str(), FALSE));
    if (with_python) {
        create_parents(p.dir, interpreter);
        EXPECT_TRUE(CopyFileW(python_exe.c_str(), (p.dir + L"\\" + interpreter).c_str(), FALSE));
    }
    if (with_script) {
        create_parents(p.dir, script);
        HANDLE f = CreateFileW((p.dir + L"\\" + script).c_str(), GENERIC_WRITE, 0,
                               nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(f, INVALID_HANDLE_VALUE);
        CloseHandle(f);
    }
    SetEnvironmentVariableW(L"KELVARETH_TEST_REPORT", p.report.c_str());
    return p;
}

std::wstring make_no_program(const std::wstring &dir)
{
    std::wstring python = dir + L"\\" + interpreter;
    create_parents(dir, interpreter);
    EXPECT_TRUE(write_file(python, "this is no program\r\n"));
    return python;
}

Package make_package(const std::wstring &name, bool with_python, bool with_script)
{
    return make_package_at(root + L"\\" + name, with_python, with_script);
}

std::wstring expected_line(const std::wstring &dir, const std::wstring &tail)
{
    return L"\"" + dir + L"\\" + interpreter + L"\" \"" + dir + L"\\" + script + L"\" " + tail;
}

PROCESS_INFORMATION start(const std::wstring &exe, std::wstring raw, const std::wstring &cwd,
                          STARTUPINFOW si, BOOL inherit)
{
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    EXPECT_TRUE(CreateProcessW(exe.c_str(), raw.data(), nullptr, nullptr, inherit, 0, nullptr, cwd.c_str(), &si, &pi))
        << "error " << GetLastError();
    return pi;
}

extern const DWORD timed_out = 0xFFFFFFFF;

bool start_until_ready(const Package &p, const wchar_t *role, const wchar_t *code, PROCESS_INFORMATION &pi,
                       std::wstring &ready)
{
    ready = root + L"\\" + unique_name(L"ready");
    SetEnvironmentVariableW(L"KELVARETH_TEST_ROLE", role);
    SetEnvironmentVariableW(L"KELVARETH_TEST_READY", ready.c_str());
    SetEnvironmentVariableW(L"KELVARETH_TEST_EXIT", code);
    pi = start(p.exe, L"\"" + p.exe + L"\"", root);
    for (int i = 0; i < 300 && GetFileAttributesW(ready.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(50);
    return GetFileAttributesW(ready.c_str()) != INVALID_FILE_ATTRIBUTES;
}

Report wait_for_report(const Package &p, DWORD ms)
{
    // The stand-in puts its report in place whole.
    for (DWORD waited = 0; waited < ms && GetFileAttributesW(p.report.c_str()) == INVALID_FILE_ATTRIBUTES; waited += 50)
        Sleep(50);
    return read_report(p);
}

// Waits for a started process and returns its exit code; one that does not
// end in time is a failure and is terminated.
DWORD finish(PROCESS_INFORMATION &pi, DWORD ms)
{
    if (!pi.hProcess)
        return timed_out;
    DWORD code = timed_out;
    if (WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0) {
        GetExitCodeProcess(pi.hProcess, &code);
    } else {
        ADD_FAILURE() << "process did not end within " << ms << " ms";
        TerminateProcess(pi.hProcess, timed_out);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

DWORD run(const std::wstring &exe, const std::wstring &raw, STARTUPINFOW si, BOOL inherit)
{
    PROCESS_INFORMATION pi = start(exe, raw, root, si, inherit);
    return finish(pi);
}

// The stand-in interpreter's report; empty when it never ran.
Report read_report(const Package &p)
{
    Report report;
    std::string bytes;
    if (!read_file(p.report, bytes))
        return report;
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    for (size_t at = 0; at < text.size();) {
        std::wstring record(text.data() + at);
        at += record.size() + 1;
        size_t eq = record.find(L'=');
        report[record.substr(0, eq)] = record.substr(eq + 1);
    }
    return report;
}

HANDLE make_marker()
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    std::wstring path = root + L"\\marker-handle.txt";
    HANDLE marker = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    SetEnvironmentVariableW(L"KELVARETH_TEST_HANDLE", hex(reinterpret_cast<UINT_PTR>(marker)).c_str());
    return marker;
}

bool shows_marker(Report &report)
{
    return report[L"handle"].find(L"marker-handle.txt") != std::wstring::npos;
}

Report run_stand_in(const Package &p, STARTUPINFOW si)
{
    std::wstring python = p.dir + L"\\" + interpreter;
    EXPECT_EQ(run(python, L"\"" + python + L"\"", si, TRUE), 0u);
    Report report = read_report(p);
    DeleteFileW(p.report.c_str());
    return report;
}

void Launcher::SetUp()
{
    SetEnvironmentVariableW(L"KELVARETH_TEST_ECHO", echo.c_str());
    SetEnvironmentVariableW(L"KELVARETH_TEST_EXIT", nullptr);
    SetEnvironmentVariableW(L"KELVARETH_TEST_HANDLE", nullptr);
    SetEnvironmentVariableW(L"KELVARETH_TEST_ROLE", nullptr);
    SetEnvironmentVariableW(L"KELVARETH_TEST_STDERR", nullptr);
}

std::wstring unique_name(const std::wstring &base)
{
    static int serial;
    return base + L" " + std::to_wstring(++serial);
}


// Usage, for both test programs:
//   TEST LAUNCHER_EXE FAKE_PYTHON_EXE SETTINGS_DIR [DRIVE] [gtest flags]
//
// SETTINGS_DIR holds the launcher's build-time settings, one UTF-8 file each:
// interpreter, script, message, caption, subsystem, busy_cursor, error_report,
// startup_info, app_id and failure_message; and, for the version resource,
// version_info, product, description, company, copyright, version and name.
// DRIVE, such as "K:", is a drive letter mapped to an empty directory that the
// tests may fill. Without it the tests map one themselves with DefineDosDeviceW.
int wmain(int argc, wchar_t **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc != 4 && argc != 5) {
        fwprintf(stderr, L"usage: TEST LAUNCHER_EXE FAKE_PYTHON_EXE SETTINGS_DIR [DRIVE] [gtest flags]\n");
        return 2;
    }
    launcher_exe = full_path(argv[1]);
    launcher_name = launcher_exe.substr(launcher_exe.rfind(L'\\') + 1);
    python_exe = full_path(argv[2]);
    settings_dir = full_path(argv[3]);
    interpreter = read_setting(L"interpreter");
    script = read_setting(L"script");
    message = read_setting(L"message");
    caption = read_setting(L"caption");
    subsystem = read_setting(L"subsystem");
    busy_cursor = read_setting(L"busy_cursor");
    error_report = read_setting(L"error_report");
    startup_info = read_setting(L"startup_info");
    app_id = read_setting(L"app_id");
    failure_message = read_setting(L"failure_message");
    if (argc == 5)
        mapped_drive = argv[4];

    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    root = full_path(std::wstring(temp) + L"kelvareth-test-" + std::to_wstring(GetCurrentProcessId()));
    remove_tree(root);
    CreateDirectoryW(root.c_str(), nullptr);

    int status = RUN_ALL_TESTS();
    remove_tree(root);
    return status;
}

