// Runs the built launcher inside throw-away package directories, with a stand-in
// interpreter that reports what it received.
//
//   launcher_test LAUNCHER_EXE FAKE_PYTHON_EXE SETTINGS_DIR [DRIVE] [gtest flags]
//
// SETTINGS_DIR holds the launcher's build-time settings, one UTF-8 file each:
// interpreter, script, message and caption.
// DRIVE, such as "K:", is a drive letter mapped to an empty directory that the
// tests may fill. Without it the tests map one themselves with DefineDosDeviceW.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

std::wstring interpreter;
std::wstring script;
std::wstring message;
std::wstring caption;
const std::wstring echo = L"v\x00e4rde \x65e5\x672c %PATH% \xd83d\xde00";

std::wstring launcher_exe;
std::wstring launcher_name;
std::wstring python_exe;
std::wstring root;
std::wstring mapped_drive;

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

std::wstring read_setting(const std::wstring &dir, const wchar_t *name)
{
    std::string bytes;
    if (!read_file(dir + L"\\" + name, bytes)) {
        fwprintf(stderr, L"cannot read setting %ls\n", name);
        ExitProcess(2);
    }
    std::wstring text(bytes.size(), L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                    text.data(), static_cast<int>(text.size())));
    return text;
}

// Creates every directory on the way to `path` below `base`.
void create_parents(const std::wstring &base, const std::wstring &path)
{
    for (size_t at = 0; (at = path.find(L'\\', at)) != std::wstring::npos; ++at)
        CreateDirectoryW((base + L"\\" + path.substr(0, at)).c_str(), nullptr);
}

std::wstring hex(UINT_PTR v)
{
    wchar_t text[32];
    swprintf(text, 32, L"%llx", static_cast<unsigned long long>(v));
    return text;
}

void remove_tree(const std::wstring &dir)
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
    RemoveDirectoryW(dir.c_str());
}

struct Package {
    std::wstring dir;
    std::wstring exe;
    std::wstring report;
};

// A package directory: the launcher, and optionally the stand-in interpreter
// and an empty script. The report goes to the run's own temporary root.
Package make_package_at(const std::wstring &dir, bool with_python = true, bool with_script = true)
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

Package make_package(const std::wstring &name, bool with_python = true, bool with_script = true)
{
    return make_package_at(root + L"\\" + name, with_python, with_script);
}

std::wstring expected_line(const std::wstring &dir, const std::wstring &tail)
{
    return L"\"" + dir + L"\\" + interpreter + L"\" \"" + dir + L"\\" + script + L"\" " + tail;
}

PROCESS_INFORMATION start(const std::wstring &exe, std::wstring raw, const std::wstring &cwd,
                          STARTUPINFOW si = {}, BOOL inherit = FALSE)
{
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    EXPECT_TRUE(CreateProcessW(exe.c_str(), raw.data(), nullptr, nullptr, inherit, 0, nullptr, cwd.c_str(), &si, &pi))
        << "error " << GetLastError();
    return pi;
}

const DWORD timed_out = 0xFFFFFFFF;

// Waits for a started process and returns its exit code; one that does not
// end in time is a failure and is terminated.
DWORD finish(PROCESS_INFORMATION &pi, DWORD ms = 30000)
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

DWORD run(const std::wstring &exe, const std::wstring &raw, STARTUPINFOW si = {}, BOOL inherit = FALSE)
{
    PROCESS_INFORMATION pi = start(exe, raw, root, si, inherit);
    return finish(pi);
}

using Report = std::map<std::wstring, std::wstring>;

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

class Launcher : public testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableW(L"KELVARETH_TEST_ECHO", echo.c_str());
        SetEnvironmentVariableW(L"KELVARETH_TEST_EXIT", nullptr);
        SetEnvironmentVariableW(L"KELVARETH_TEST_HANDLE", nullptr);
        SetEnvironmentVariableW(L"KELVARETH_TEST_ROLE", nullptr);
    }
};

std::wstring unique_name(const std::wstring &base)
{
    static int serial;
    return base + L" " + std::to_wstring(++serial);
}

// ---- the child's command line, working directory, image and environment ----

struct LineCase {
    const char *name;
    std::wstring dir;  // package directory name
    std::wstring raw;  // the launcher's raw command line; {exe} stands for its path
    std::wstring tail; // what must follow the script path; {exe} as above
};

std::wstring expand(std::wstring text, const std::wstring &exe)
{
    for (size_t at; (at = text.find(L"{exe}")) != std::wstring::npos;)
        text.replace(at, 5, exe);
    return text;
}

void PrintTo(const LineCase &c, std::ostream *os) { *os << c.name; }

class ChildLine : public Launcher, public testing::WithParamInterface<LineCase> {};

TEST_P(ChildLine, IsComposedToTheCharacter)
{
    const LineCase &c = GetParam();
    Package p = make_package(unique_name(c.dir));

    EXPECT_EQ(run(p.exe, expand(c.raw, p.exe)), 0u);

    Report r = read_report(p);
    ASSERT_FALSE(r.empty()) << "the interpreter did not run";
    EXPECT_EQ(r[L"cmdline"], expected_line(p.dir, expand(c.tail, p.exe)));
    EXPECT_EQ(r[L"image"], p.dir + L"\\" + interpreter);
    EXPECT_EQ(r[L"cwd"], p.dir) << "launched from " << testing::PrintToString(root);
    EXPECT_EQ(r[L"echo"], echo);
}

const LineCase line_cases[] = {
    {"NoArguments", L"plain", L"\"{exe}\"", L""},
    {"QuotedArgument", L"plain", L"\"{exe}\" --x \"a b\"", L"--x \"a b\""},
    {"BlanksInDirectory", L"with  blanks in it", L"\"{exe}\" --x \"a b\"", L"--x \"a b\""},
    {"PercentSigns", L"100% %PATH% %ls %n", L"\"{exe}\" %ls %s %d %n %% %PATH%", L"%ls %s %d %n %% %PATH%"},
    {"NonLatinDirectory", L"\x00dcn\x00efc\x00f8" L"d\x00e9 \x041f\x0430\x043a\x0435\x0442 \x65e5\x672c \xd834\xdd1e",
     L"\"{exe}\" \x041f\x0440\x0438\x0432\x0435\x0442 \x4e16\x754c", L"\x041f\x0440\x0438\x0432\x0435\x0442 \x4e16\x754c"},
    {"QuotesAndBackslashes", L"plain", L"\"{exe}\"\t\t-- C:\\dir\\ \\\"q\\\" \"\\\\server\\share\\\\\" \"",
     L"-- C:\\dir\\ \\\"q\\\" \"\\\\server\\share\\\\\" \""},
    {"SurrogatesAndControlCodes", L"plain", L"\"{exe}\" \xd83d\xde00 \xd834\xdd1e \xdc00 a\tb\x01" L"c  ",
     L"\xd83d\xde00 \xd834\xdd1e \xdc00 a\tb\x01" L"c  "},
    {"LeadingBlankMakesNameThePartOfTail", L"plain", L" \"{exe}\" x", L"\"{exe}\" x"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ChildLine, testing::ValuesIn(line_cases),
                         [](const testing::TestParamInfo<LineCase> &info) { return std::string(info.param.name); });

// ---- what the child does not get from the launcher ----

TEST_F(Launcher, PassesNoHandleAndNoStartupFlags)
{
    Package p = make_package(unique_name(L"handles"));

    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    std::wstring marker_path = root + L"\\marker-handle.txt";
    HANDLE marker = CreateFileW(marker_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(marker, INVALID_HANDLE_VALUE);
    SetEnvironmentVariableW(L"KELVARETH_TEST_HANDLE", hex(reinterpret_cast<UINT_PTR>(marker)).c_str());

    STARTUPINFOW si = {};
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    si.wShowWindow = SW_SHOWMINNOACTIVE;
    si.hStdInput = si.hStdOutput = si.hStdError = marker;

    // The stand-in started directly, with inheritance, sees all of it: the
    // report can tell an inherited handle and flags when they are there.
    std::wstring python = p.dir + L"\\" + interpreter;
    EXPECT_EQ(run(python, L"\"" + python + L"\"", si, TRUE), 0u);
    Report direct = read_report(p);
    EXPECT_NE(direct[L"handle"].find(L"marker-handle.txt"), std::wstring::npos) << "detector cannot see the handle";
    EXPECT_NE(direct[L"flags"], L"0");
    DeleteFileW(p.report.c_str());

    EXPECT_EQ(run(p.exe, L"\"" + p.exe + L"\"", si, TRUE), 0u);
    CloseHandle(marker);

    Report r = read_report(p);
    ASSERT_FALSE(r.empty()) << "the interpreter did not run";
    EXPECT_EQ(r[L"handle"].find(L"marker-handle.txt"), std::wstring::npos) << "handle inherited";
    EXPECT_EQ(r[L"flags"], L"0");
    EXPECT_EQ(r[L"show"], L"0");
}

// ---- exit status ----

class ExitCode : public Launcher, public testing::WithParamInterface<DWORD> {};

TEST_P(ExitCode, IsRelayedUnchanged)
{
    Package p = make_package(unique_name(L"exit"));
    SetEnvironmentVariableW(L"KELVARETH_TEST_EXIT", std::to_wstring(GetParam()).c_str());
    EXPECT_EQ(run(p.exe, L"\"" + p.exe + L"\" x"), GetParam());
    EXPECT_FALSE(read_report(p).empty());
}

INSTANTIATE_TEST_SUITE_P(Codes, ExitCode, testing::Values(0u, 3u, 0xE0000001u));

TEST_F(Launcher, StartsTheInterpreterWithoutTheScript)
{
    Package p = make_package(unique_name(L"no script"), true, false);
    SetEnvironmentVariableW(L"KELVARETH_TEST_EXIT", L"2");
    EXPECT_EQ(run(p.exe, L"\"" + p.exe + L"\" a"), 2u);
    EXPECT_EQ(read_report(p)[L"cmdline"], expected_line(p.dir, L"a"));
}

TEST_F(Launcher, EndsWithTheChildAndLeavesItsChildRunning)
{
    Package p = make_package(unique_name(L"grandchild"));
    SetEnvironmentVariableW(L"KELVARETH_TEST_ROLE", L"spawn");
    SetEnvironmentVariableW(L"KELVARETH_TEST_EXIT", L"7");

    EXPECT_EQ(run(p.exe, L"\"" + p.exe + L"\""), 7u);

    Report r = read_report(p);
    ASSERT_FALSE(r[L"grandchild"].empty()) << "the grandchild was not started";
    HANDLE grandchild = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, std::stoul(r[L"grandchild"]));
    ASSERT_NE(grandchild, nullptr);
    EXPECT_EQ(WaitForSingleObject(grandchild, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the grandchild was ended";
    TerminateProcess(grandchild, 0);
    CloseHandle(grandchild);
}

// ---- a package in a drive's root ----

TEST_F(Launcher, RunsAPackageInADriveRootInThatRoot)
{
    std::wstring drive = mapped_drive;
    std::wstring target;
    if (drive.empty()) {
        DWORD used = GetLogicalDrives();
        for (wchar_t letter = L'Q'; letter <= L'Y' && drive.empty(); ++letter)
            if (!(used & (1u << (letter - L'A'))))
                drive = std::wstring(1, letter) + L":";
        ASSERT_FALSE(drive.empty()) << "no free drive letter";
        target = root + L"\\" + unique_name(L"drive root");
        ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
        ASSERT_TRUE(DefineDosDeviceW(0, drive.c_str(), target.c_str())) << "error " << GetLastError();
    }
    std::wstring top = drive + L"\\";
    Package p = make_package_at(drive);
    ASSERT_TRUE(CreateDirectoryW((top + L"sub").c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);

    // From a subdirectory of the same drive, the bare "K:" would mean K:\sub.
    PROCESS_INFORMATION pi = start(p.exe, L"\"" + p.exe + L"\" root", top + L"sub");
    EXPECT_EQ(finish(pi), 0u);

    Report r = read_report(p);
    remove_tree(drive);
    if (!target.empty())
        DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, drive.c_str(), target.c_str());

    ASSERT_FALSE(r.empty()) << "the interpreter did not run";
    EXPECT_EQ(r[L"cmdline"], expected_line(drive, L"root"));
    EXPECT_EQ(r[L"image"], drive + L"\\" + interpreter);
    EXPECT_EQ(r[L"cwd"], top);
}

// ---- a command line that does not fit ----

struct LengthCase {
    const char *name;
    size_t line; // characters the child's command line needs, without the terminator
    bool started;
};

void PrintTo(const LengthCase &c, std::ostream *os) { *os << c.name; }

class LongLine : public Launcher, public testing::WithParamInterface<LengthCase> {};

TEST_P(LongLine, IsForwardedWholeOrNotAtAll)
{
    const LengthCase &c = GetParam();
    Package p = make_package(unique_name(L"long"));
    std::wstring tail(c.line - expected_line(p.dir, L"").size(), L'a');
    tail.back() = L'z';

    PROCESS_INFORMATION pi = start(p.exe, L"\"" + p.exe + L"\" " + tail, root);
    // A refusal is silent: waiting shorter than a box would stay makes a box a failure.
    EXPECT_EQ(finish(pi), c.started ? 0u : 1u);

    Report r = read_report(p);
    if (!c.started) {
        EXPECT_TRUE(r.empty()) << "a cut command line was started";
        return;
    }
    ASSERT_FALSE(r.empty()) << "the interpreter did not run";
    EXPECT_EQ(r[L"cmdline"].size(), c.line);
    EXPECT_EQ(r[L"cmdline"], expected_line(p.dir, tail));
}

const LengthCase length_cases[] = {
    {"LongestTheChildCanTake", 32766, true},
    {"OneMoreThanTheBufferHolds", 32768, false},
    {"FarMoreThanTheBufferHolds", 32800, false},
};

INSTANTIATE_TEST_SUITE_P(Lengths, LongLine, testing::ValuesIn(length_cases),
                         [](const testing::TestParamInfo<LengthCase> &info) { return std::string(info.param.name); });

// ---- the error box ----

struct Box {
    DWORD pid;
    std::vector<HWND> windows;
};

BOOL CALLBACK collect_box(HWND hwnd, LPARAM param)
{
    Box &box = *reinterpret_cast<Box *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == box.pid && IsWindowVisible(hwnd))
        box.windows.push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK collect_buttons(HWND hwnd, LPARAM param)
{
    wchar_t cls[64];
    GetClassNameW(hwnd, cls, 64);
    if (lstrcmpiW(cls, L"Button") == 0)
        reinterpret_cast<std::vector<HWND> *>(param)->push_back(hwnd);
    return TRUE;
}

std::wstring window_text(HWND hwnd)
{
    wchar_t text[1024];
    int n = GetWindowTextW(hwnd, text, 1024);
    return std::wstring(text, n);
}

TEST_F(Launcher, ShowsOneErrorBoxWithoutTheInterpreter)
{
    Package p = make_package(unique_name(L"no python"), false);
    PROCESS_INFORMATION pi = start(p.exe, L"\"" + p.exe + L"\" a", root);
    ASSERT_NE(pi.hProcess, nullptr);

    Box box = {pi.dwProcessId, {}};
    for (int i = 0; i < 300 && box.windows.empty(); ++i) {
        if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0)
            break;
        EnumWindows(collect_box, reinterpret_cast<LPARAM>(&box));
    }
    ASSERT_EQ(box.windows.size(), 1u) << "expected exactly one window of the launcher";
    HWND hwnd = box.windows[0];

    wchar_t cls[64];
    GetClassNameW(hwnd, cls, 64);
    EXPECT_STREQ(cls, L"#32770");
    EXPECT_EQ(window_text(hwnd), caption);
    EXPECT_EQ(window_text(GetDlgItem(hwnd, 0xFFFF)), message);
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), nullptr);

    std::vector<HWND> buttons;
    EnumChildWindows(hwnd, collect_buttons, reinterpret_cast<LPARAM>(&buttons));
    ASSERT_EQ(buttons.size(), 1u);
    EXPECT_EQ(GetDlgCtrlID(buttons[0]), IDOK);
    EXPECT_EQ(window_text(buttons[0]), L"OK");

    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(buttons[0]));
    EXPECT_EQ(finish(pi), 1u);
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc != 4 && argc != 5) {
        fwprintf(stderr, L"usage: launcher_test LAUNCHER_EXE FAKE_PYTHON_EXE SETTINGS_DIR [DRIVE] [gtest flags]\n");
        return 2;
    }
    launcher_exe = full_path(argv[1]);
    launcher_name = launcher_exe.substr(launcher_exe.rfind(L'\\') + 1);
    python_exe = full_path(argv[2]);
    std::wstring settings = full_path(argv[3]);
    interpreter = read_setting(settings, L"interpreter");
    script = read_setting(settings, L"script");
    message = read_setting(settings, L"message");
    caption = read_setting(settings, L"caption");
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
