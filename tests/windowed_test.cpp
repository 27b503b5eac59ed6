// What only the windowed launcher does: it hands the child no handles and
// no start-up flags, and shows one error box when the interpreter is missing.
#include "harness.h"

#include <string>
#include <vector>

namespace {

// ---- what the child does not get from the launcher ----

TEST_F(Launcher, PassesNoHandleAndNoStartupFlags)
{
    Package p = make_package(unique_name(L"handles"));

    HANDLE marker = make_marker();
    ASSERT_NE(marker, INVALID_HANDLE_VALUE);

    STARTUPINFOW si = {};
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    si.wShowWindow = SW_SHOWMINNOACTIVE;
    si.hStdInput = si.hStdOutput = si.hStdError = marker;

    // The stand-in started directly sees all of it: the report can tell an
    // inherited handle and flags when they are there.
    Report direct = run_stand_in(p, si);
    EXPECT_TRUE(shows_marker(direct)) << "detector cannot see the handle";
    EXPECT_NE(direct[L"flags"], L"0");

    EXPECT_EQ(run(p.exe, L"\"" + p.exe + L"\"", si, TRUE), 0u);
    CloseHandle(marker);

    Report r = read_report(p);
    ASSERT_FALSE(r.empty()) << "the interpreter did not run";
    EXPECT_FALSE(shows_marker(r)) << "handle inherited";
    EXPECT_EQ(r[L"flags"], L"0");
    EXPECT_EQ(r[L"show"], L"0");
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
