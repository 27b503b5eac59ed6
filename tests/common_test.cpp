// The launcher's behaviour that the windowed and the console variant share:
// the child's command line, working directory, image and environment, its
// exit status, a package in a drive's root and a command line that does not
// fit. Linked into both variants' test programs.
#include "harness.h"

#include <string>

namespace {

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
    remove_tree(drive, true); // the drive stays, empty, for the next run
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


} // namespace

namespace {

// ---- the start-up record ----

// What the test's own starter puts in the launcher's start-up record.
struct RecordCase {
    const char *name;
    DWORD flags;
    WORD show;
    DWORD x, y, xsize, ysize, xcount, ycount, fill;
    const wchar_t *title;
    UINT_PTR std_input, std_output; // a hot key, a monitor
    bool runtime_files;             // lpReserved2: a C runtime's table of inherited files
};

void PrintTo(const RecordCase &c, std::ostream *os) { *os << c.name; }

const DWORD hot_key_or_monitor = STARTF_USEHOTKEY | 0x400;

const RecordCase record_cases[] = {
    {"Maximized", STARTF_USESHOWWINDOW, SW_SHOWMAXIMIZED, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, false},
    {"MinimizedNoActive", STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK, SW_SHOWMINNOACTIVE, 0, 0, 0, 0, 0, 0, 0,
     nullptr, 0, 0, false},
    {"PositionAndSize", STARTF_USEPOSITION | STARTF_USESIZE | STARTF_FORCEONFEEDBACK, 0, 120, 80, 640, 480, 0, 0, 0,
     nullptr, 0, 0, false},
    {"CountsFillAndTitle", STARTF_USECOUNTCHARS | STARTF_USEFILLATTRIBUTE, 0, 0, 0, 0, 0, 100, 40, 0x1F,
     L"A console title \x65e5\x672c", 0, 0, false},
    {"LinkName", STARTF_TITLEISLINKNAME, 0, 0, 0, 0, 0, 0, 0, 0,
     L"C:\\Users\\Public\\Desktop\\Kelvareth \x65e5\x672c.lnk", 0, 0, false},
    {"AppIdPinningAndSource", STARTF_TITLEISAPPID | STARTF_PREVENTPINNING | STARTF_UNTRUSTEDSOURCE, 0, 0, 0, 0, 0, 0, 0,
     0, L"Shortcut.Given.Id", 0, 0, false},
    {"HotKey", STARTF_USEHOTKEY | STARTF_USESHOWWINDOW, SW_SHOWNORMAL, 0, 0, 0, 0, 0, 0, 0, nullptr, 0x0641, 0, false},
    {"Monitor", 0x400, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0x10001, false},
    {"FullScreenAndRuntimeFiles", STARTF_RUNFULLSCREEN, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, true},
};

class StartupRecord : public Launcher, public testing::WithParamInterface<RecordCase> {};

// What reaches the child, compared with the stand-in started directly: with
// `none`, what a zeroed record gives it; with `forward`, what the given
// record gives it, but for the flags, the standard handles and the runtime's
// file table. Wine carries flags, show state, position, size, counts, fill
// and title, not a hot key or a monitor.
TEST_P(StartupRecord, ReachesTheChildAsBuilt)
{
    const RecordCase &c = GetParam();
    Package p = make_package(unique_name(L"record"));
    STARTUPINFOW given = {};
    given.dwFlags = c.flags;
    given.wShowWindow = c.show;
    given.dwX = c.x;
    given.dwY = c.y;
    given.dwXSize = c.xsize;
    given.dwYSize = c.ysize;
    given.dwXCountChars = c.xcount;
    given.dwYCountChars = c.ycount;
    given.dwFillAttribute = c.fill;
    std::wstring title = c.title ? c.title : L"";
    given.lpTitle = c.title ? title.data() : nullptr;
    given.hStdInput = reinterpret_cast<HANDLE>(c.std_input);
    given.hStdOutput = reinterpret_cast<HANDLE>(c.std_output);
    // No file inherited: a count of 0.
    static BYTE no_files[4] = {};
    if (c.runtime_files) {
        given.cbReserved2 = sizeof no_files;
        given.lpReserved2 = no_files;
    }

    Report direct = run_stand_in(p, given);
    Report zeroed = run_stand_in(p, STARTUPINFOW{});
    if (c.runtime_files) {
        EXPECT_EQ(direct[L"reserved2"], L"4") << "detector cannot see the runtime's file table";
    }

    EXPECT_EQ(run(p.exe, L"\"" + p.exe + L"\"", given), 0u);
    Report r = read_report(p);
    ASSERT_FALSE(r.empty()) << "the interpreter did not run";

    bool forward = startup_info == L"forward";
    Report &expected = forward ? direct : zeroed;
    DWORD flags = forward ? c.flags & ~STARTF_RUNFULLSCREEN : 0;
    std::wstring expected_title = expected[L"title"];
    if (!app_id.empty() && !(flags & (STARTF_TITLEISLINKNAME | STARTF_TITLEISAPPID))) {
        flags |= STARTF_TITLEISAPPID;
        expected_title = app_id;
    }
    // The standard-handle fields carry the hot key and the monitor, or
    // standard handles: the console's, or the windowed child's report pipe.
    bool console = subsystem == L"console";
    if (console ? !(flags & hot_key_or_monitor) : error_report == L"full")
        flags |= STARTF_USESTDHANDLES;
    if (!console && error_report == L"full")
        flags &= ~hot_key_or_monitor;

    EXPECT_EQ(r[L"flags"], hex(flags));
    for (const wchar_t *key : {L"show", L"position", L"size", L"counts", L"fill"})
        EXPECT_EQ(r[key], expected[key]) << testing::PrintToString(std::wstring(key));
    EXPECT_EQ(r[L"title"], expected_title);
    EXPECT_EQ(r[L"reserved2"], L"0") << "the runtime's file table was passed on";
}

INSTANTIATE_TEST_SUITE_P(Cases, StartupRecord, testing::ValuesIn(record_cases),
                         [](const testing::TestParamInfo<RecordCase> &info) { return std::string(info.param.name); });

} // namespace
