// What only the windowed launcher does: it hands the child no handles but,
// with the full error report, a pipe for its standard error, and shows one
// error box when the interpreter cannot be started, or with the full report
// when the app stops with an error after writing to standard error.
#include "harness.h"

#include <string>
#include <vector>

namespace {

bool full_report()
{
    return error_report == L"full";
}

// ---- what the child gets from the launcher ----

TEST_F(Launcher, PassesNoHandleButTheReportPipe)
{
    Package p = make_package(unique_name(L"handles"));

    HANDLE marker = make_marker();
    ASSERT_NE(marker, INVALID_HANDLE_VALUE);

    STARTUPINFOW si = {};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = marker;

    // The stand-in started directly sees the handle: the report can tell an
    // inherited one when it is there.
    Report direct = run_stand_in(p, si);
    EXPECT_TRUE(shows_marker(direct)) << "detector cannot see the handle";

    EXPECT_EQ(run(p.exe, L"\"" + p.exe + L"\"", si, TRUE), 0u);
    CloseHandle(marker);

    Report r = read_report(p);
    ASSERT_FALSE(r.empty()) << "the interpreter did not run";
    EXPECT_FALSE(shows_marker(r)) << "handle inherited";
    // With the report, standard input and output are absent: null, or
    // invalid as Wine gives them beside a standard error. Without it, the
    // child gets no standard handles from the launcher, and Wine gives it its
    // own Unix ones.
    if (full_report()) {
        for (const wchar_t *key : {L"stdin", L"stdout"})
            EXPECT_TRUE(r[key] == L"0" || r[key] == hex(reinterpret_cast<UINT_PTR>(INVALID_HANDLE_VALUE)))
                << testing::PrintToString(std::wstring(key)) << " is " << testing::PrintToString(r[key]);
        EXPECT_EQ(r[L"std_types"], L"0 0 3 ") << "standard error is not a pipe";
    }
}

// ---- the busy cursor ----

// Handing the busy cursor to the child takes a message posted to the
// launcher's own thread and read back, which gives that thread a message
// queue: under Wine, a thread message then reaches it, while the launcher that
// reads no message has no queue to post to. Either way the launcher waits for
// the child and ends with it.
TEST_F(Launcher, HandsTheBusyCursorToTheChildOnlyWhenBuiltTo)
{
    Package p = make_package(unique_name(L"busy cursor"));
    PROCESS_INFORMATION pi;
    std::wstring ready;
    ASSERT_TRUE(start_until_ready(p, L"hold", L"5", pi, ready)) << "the child never got ready";
    BOOL queued = PostThreadMessageW(pi.dwThreadId, WM_NULL, 0, 0);
    if (busy_cursor == L"child") {
        EXPECT_TRUE(queued) << "the launcher's thread has no message queue: error " << GetLastError();
    }
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "ended before the child";

    DeleteFileW(ready.c_str());
    EXPECT_EQ(finish(pi), 5u);
}

// ---- error boxes ----

struct Windows {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK collect_window(HWND hwnd, LPARAM param)
{
    Windows &windows = *reinterpret_cast<Windows *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == windows.pid && IsWindowVisible(hwnd))
        windows.found.push_back(hwnd);
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
    std::wstring text(16384, L'\0');
    text.resize(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size())));
    return text;
}

// The launcher's windows once it shows one, or when it has ended, or after
// `ms`; empty when it shows none.
std::vector<HWND> windows_of(PROCESS_INFORMATION &pi, DWORD ms = 30000)
{
    Windows windows = {pi.dwProcessId, {}};
    for (DWORD waited = 0; waited < ms && windows.found.empty(); waited += 50) {
        if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0)
            break;
        EnumWindows(collect_window, reinterpret_cast<LPARAM>(&windows));
    }
    return windows.found;
}

// Checks that `hwnd` is an error box of the launcher's, with its caption, one
// OK button and no owner; returns its text and dismisses it.
std::wstring read_and_dismiss(HWND hwnd)
{
    wchar_t cls[64];
    GetClassNameW(hwnd, cls, 64);
    EXPECT_STREQ(cls, L"#32770");
    EXPECT_EQ(window_text(hwnd), caption);
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), nullptr);
    std::wstring text = window_text(GetDlgItem(hwnd, 0xFFFF));

    std::vector<HWND> buttons;
    EnumChildWindows(hwnd, collect_buttons, reinterpret_cast<LPARAM>(&buttons));
    EXPECT_EQ(buttons.size(), 1u);
    if (!buttons.empty()) {
        EXPECT_EQ(GetDlgCtrlID(buttons[0]), IDOK);
        EXPECT_EQ(window_text(buttons[0]), L"OK");
    }
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), buttons.empty() ? 0 : reinterpret_cast<LPARAM>(buttons[0]));
    return text;
}

// Starts the launcher of `p` and returns the text of the one box it shows,
// dismissed; empty when it shows none.
std::wstring box_of(const Package &p, PROCESS_INFORMATION &pi)
{
    pi = start(p.exe, L"\"" + p.exe + L"\" a", root);
    std::vector<HWND> windows = windows_of(pi);
    if (windows.empty())
        return L"";
    EXPECT_EQ(windows.size(), 1u) << "expected exactly one window of the launcher";
    return read_and_dismiss(windows[0]);
}

TEST_F(Launcher, ShowsOneErrorBoxWithoutTheInterpreter)
{
    Package p = make_package(unique_name(L"no python"), false);
    PROCESS_INFORMATION pi;
    EXPECT_EQ(box_of(p, pi), message);
    EXPECT_EQ(finish(pi), 1u);
}

// A file where the interpreter belongs that is no program: under Wine,
// CreateProcessW fails with error 193. With the full report the box names
// the file, the system's reason and its number, never the missing file.
TEST_F(Launcher, NamesTheCauseWhenTheInterpreterIsNoProgram)
{
    Package p = make_package(unique_name(L"no program"), false);
    std::wstring python = make_no_program(p.dir);

    PROCESS_INFORMATION pi;
    std::wstring text = box_of(p, pi);
    EXPECT_EQ(finish(pi), 1u);
    if (!full_report()) {
        EXPECT_EQ(text, message);
        return;
    }
    EXPECT_EQ(text, python + L" could not be started.\r\n" + system_message(193, python) + L" (error 193)");
    EXPECT_EQ(text.find(message), std::wstring::npos);
}

// ---- the app's last words ----

struct WordsCase {
    const char *name;
    std::string written; // to standard error
    DWORD code;
    std::wstring code_text;             // the code as the box shows it
    std::vector<std::wstring> shown;    // the box shows these
    std::vector<std::wstring> not_shown;
};

void PrintTo(const WordsCase &c, std::ostream *os) { *os << c.name; }

const std::string traceback = "Traceback (most recent call last):\r\n"
                              "  File \"C:\\Pkg\\app\\m\xc3\xa4in.py\", line 3, in <module>\r\n"
                              "    raise ValueError(size)\r\n"
                              "ValueError: Gr\xc3\xb6\xc3\x9f" "e \xe2\x89\xa0 \xe6\x97\xa5\xe6\x9c\xac\r\n";
const std::wstring last_line = L"ValueError: Gr\x00f6\x00df" L"e \x2260 \x65e5\x672c";

// Megabytes of logging, its first and last lines marked.
std::string megabytes()
{
    std::string text = "the very first line\r\n";
    while (text.size() < 3 * 1024 * 1024)
        text += "WARNING:root:a line of logging that the app writes while it runs, again and again\r\n";
    return text + "RuntimeError: the very last line\r\n";
}

// Makes the stand-in write `bytes` to its standard error, then end with `code`.
void stand_in_writes(const std::string &bytes, DWORD code)
{
    std::wstring file = root + L"\\" + unique_name(L"stderr");
    ASSERT_TRUE(write_file(file, bytes));
    SetEnvironmentVariableW(L"KELVARETH_TEST_STDERR", file.c_str());
    SetEnvironmentVariableW(L"KELVARETH_TEST_EXIT", std::to_wstring(code).c_str());
}

class LastWords : public Launcher, public testing::WithParamInterface<WordsCase> {};

// The box comes when the child has ended: within two seconds of it, however
// much it wrote, and never while it runs.
TEST_P(LastWords, ShowInOneBoxWhenTheAppStopsWithAnError)
{
    const WordsCase &c = GetParam();
    Package p = make_package(unique_name(L"last words"));
    stand_in_writes(c.written, c.code);

    PROCESS_INFORMATION pi = start(p.exe, L"\"" + p.exe + L"\"", root);
    Report r = wait_for_report(p);
    ASSERT_FALSE(r.empty()) << "the interpreter did not run";
    HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, std::stoul(r[L"pid"]));
    if (child) {
        EXPECT_EQ(WaitForSingleObject(child, 60000), WAIT_OBJECT_0) << "the child blocked on its standard error";
        CloseHandle(child);
    }
    DWORD ended = GetTickCount();
    std::vector<HWND> windows = windows_of(pi);
    DWORD after = GetTickCount() - ended;

    if (!full_report()) {
        EXPECT_TRUE(windows.empty()) << "a box without the full report";
        EXPECT_EQ(finish(pi), c.code);
        return;
    }
    ASSERT_EQ(windows.size(), 1u) << "expected exactly one window of the launcher";
    EXPECT_LT(after, 2000u) << "the box came " << after << " ms after the child ended";
    std::wstring text = read_and_dismiss(windows[0]);
    EXPECT_EQ(finish(pi), c.code);

    EXPECT_EQ(text.find(failure_message + L"\n\nExit code " + c.code_text + L"\n\n"), 0u)
        << testing::PrintToString(text.substr(0, 200));
    for (const std::wstring &part : c.shown)
        EXPECT_NE(text.find(part), std::wstring::npos) << testing::PrintToString(part) << " is not shown";
    for (const std::wstring &part : c.not_shown)
        EXPECT_EQ(text.find(part), std::wstring::npos) << testing::PrintToString(part) << " is shown";
    EXPECT_LE(text.size(), failure_message.size() + 64 + 3000);
}

const WordsCase words_cases[] = {
    {"TracebackInUtf8", traceback, 1, L"1", {L"Traceback (most recent call last):\r\n", last_line}, {}},
    {"CrashCode", "Fatal Python error: Segmentation fault\r\n", 0xC0000005, L"3221225477 (0xC0000005)",
     {L"Fatal Python error: Segmentation fault"}, {}},
    {"HighBitCodeOfItsOwn", "stopped\r\n", 0x80000000, L"2147483648 (0x80000000)", {L"stopped"}, {}},
    {"MegabytesWhileRunning", megabytes(), 1, L"1",
     {L"\r\nRuntimeError: the very last line", L"again and again"}, {L"the very first line"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, LastWords, testing::ValuesIn(words_cases),
                         [](const testing::TestParamInfo<WordsCase> &info) { return std::string(info.param.name); });

// Python writes to a pipe in the ANSI code page unless its UTF-8 mode is on.
TEST_F(Launcher, LastWordsInTheAnsiCodePageAreDecoded)
{
    const std::wstring text = L"ValueError: Gr\x00f6\x00df" L"e ung\x00fcltig: caf\x00e9";
    std::string bytes(text.size() * 2, '\0');
    BOOL lossy = FALSE;
    bytes.resize(WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, &lossy));
    if (GetACP() == CP_UTF8 || lossy)
        GTEST_SKIP() << "the ANSI code page " << GetACP() << " cannot show the difference";

    Package p = make_package(unique_name(L"ansi"));
    stand_in_writes(bytes + "\r\n", 1);
    PROCESS_INFORMATION pi;
    std::wstring box = box_of(p, pi);
    EXPECT_EQ(finish(pi), 1u);
    if (full_report()) {
        EXPECT_EQ(box, failure_message + L"\n\nExit code 1\n\n" + text);
    } else {
        EXPECT_EQ(box, L"");
    }
}

struct QuietCase {
    const char *name;
    std::string written;
    DWORD code;
};

void PrintTo(const QuietCase &c, std::ostream *os) { *os << c.name; }

class NoBox : public Launcher, public testing::WithParamInterface<QuietCase> {};

// An app that ends well, whatever it wrote, or chose its code without a word,
// as with sys.exit(2), gets no box.
TEST_P(NoBox, WhenTheAppEndsWellOrSaysNothing)
{
    const QuietCase &c = GetParam();
    Package p = make_package(unique_name(L"no box"));
    stand_in_writes(c.written, c.code);
    PROCESS_INFORMATION pi;
    EXPECT_EQ(box_of(p, pi), L"");
    EXPECT_EQ(finish(pi), c.code);
}

const QuietCase quiet_cases[] = {
    {"ExitZeroAfterWriting", traceback, 0},
    {"ExitThreeWithNothingWritten", "", 3},
};

INSTANTIATE_TEST_SUITE_P(Cases, NoBox, testing::ValuesIn(quiet_cases),
                         [](const testing::TestParamInfo<QuietCase> &info) { return std::string(info.param.name); });

// A process the app started may keep its standard error open, and go on
// writing: the launcher still ends with the app.
class Grandchild : public Launcher, public testing::WithParamInterface<const wchar_t *> {};

TEST_P(Grandchild, KeepingTheReportPipeOpenDoesNotHoldTheLauncher)
{
    if (!full_report())
        GTEST_SKIP() << "no report pipe to keep open";
    Package p = make_package(unique_name(L"grandchild"));
    stand_in_writes(traceback, 1);
    SetEnvironmentVariableW(L"KELVARETH_TEST_ROLE", GetParam());

    PROCESS_INFORMATION pi;
    std::wstring text = box_of(p, pi);
    EXPECT_EQ(finish(pi), 1u);
    EXPECT_NE(text.find(last_line), std::wstring::npos) << testing::PrintToString(text.substr(0, 200));

    Report r = read_report(p);
    ASSERT_FALSE(r[L"grandchild"].empty()) << "the grandchild was not started";
    HANDLE grandchild = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, std::stoul(r[L"grandchild"]));
    ASSERT_NE(grandchild, nullptr);
    EXPECT_EQ(WaitForSingleObject(grandchild, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the grandchild was ended";
    TerminateProcess(grandchild, 0);
    CloseHandle(grandchild);
}

INSTANTIATE_TEST_SUITE_P(Roles, Grandchild, testing::Values(L"spawn-holding", L"spawn-chatter"),
                         [](const testing::TestParamInfo<const wchar_t *> &info) {
                             return std::string(info.param == std::wstring(L"spawn-holding") ? "Holding" : "Chattering");
                         });

} // namespace
