// What only the console launcher does: it hands the child exactly its three
// standard handles and nothing else, outlives Ctrl+C and Ctrl+Break while the
// child decides, and reports a missing interpreter on standard error.
//
// Ctrl+C needs a console: run this program under a pseudo-terminal.
#include "harness.h"

#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring &text)
{
    std::string bytes(text.size() * 4, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, nullptr));
    return bytes;
}

// Whatever a pipe holds now, without waiting for its end: a process that Wine
// keeps alive could hold the other end open.
std::string drain(HANDLE pipe)
{
    std::string bytes;
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available) {
        std::string chunk(available, '\0');
        DWORD got = 0;
        if (!ReadFile(pipe, chunk.data(), available, &got, nullptr))
            break;
        bytes.append(chunk.data(), got);
    }
    return bytes;
}

// What one of the launcher's standard handles is.
enum class End { Pipe, File, Nul, Console, Missing, Invalid, SameAsOutput };

// One standard handle as the launcher gets it, and the test's side of it.
struct StdEnd {
    HANDLE launcher = nullptr; // passed to the launcher
    HANDLE ours = nullptr;     // the pipe's other end, if any
    std::wstring file;         // the file, if any
    bool console = false;
    COORD from = {}; // where the console's cursor stood
};

SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};

// `input`: what to put in front of the launcher's standard input.
StdEnd make_end(End kind, bool reading, const std::string &input, const std::wstring &name)
{
    StdEnd e;
    switch (kind) {
    case End::Pipe: {
        HANDLE read, write;
        EXPECT_TRUE(CreatePipe(&read, &write, &inheritable, 0));
        e.launcher = reading ? read : write;
        e.ours = reading ? write : read;
        SetHandleInformation(e.ours, HANDLE_FLAG_INHERIT, 0);
        if (reading) {
            DWORD written;
            WriteFile(e.ours, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
            CloseHandle(e.ours); // the child then reads to the end
            e.ours = nullptr;
        }
        break;
    }
    case End::File:
        e.file = root + L"\\" + unique_name(name);
        if (reading)
            EXPECT_TRUE(write_file(e.file, input));
        e.launcher = CreateFileW(e.file.c_str(), reading ? GENERIC_READ : GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                 reading ? OPEN_EXISTING : CREATE_ALWAYS, 0, nullptr);
        EXPECT_NE(e.launcher, INVALID_HANDLE_VALUE);
        break;
    case End::Nul:
        e.launcher = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inheritable, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(e.launcher, INVALID_HANDLE_VALUE);
        break;
    case End::Console: {
        e.launcher = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inheritable, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(e.launcher, INVALID_HANDLE_VALUE) << "no console";
        CONSOLE_SCREEN_BUFFER_INFO info;
        EXPECT_TRUE(GetConsoleScreenBufferInfo(e.launcher, &info));
        e.console = true;
        e.from = info.dwCursorPosition;
        break;
    }
    case End::Missing:
        break;
    case End::Invalid:
        e.launcher = INVALID_HANDLE_VALUE;
        break;
    case End::SameAsOutput:
        break; // filled in by the caller
    }
    return e;
}

// What an output end received; from a console, the text it shows from where
// the cursor stood, without the blanks that fill its last line.
std::string received(const StdEnd &e)
{
    if (e.console) {
        HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        std::wstring text(1024, L' ');
        DWORD got = 0;
        ReadConsoleOutputCharacterW(screen, text.data(), static_cast<DWORD>(text.size()), e.from, &got);
        CloseHandle(screen);
        text.resize(got);
        text.erase(text.find_last_not_of(L' ') + 1);
        return utf8(text);
    }
    if (e.ours)
        return drain(e.ours);
    std::string bytes;
    if (!e.file.empty())
        read_file(e.file, bytes);
    return bytes;
}

// Closes the launcher's side, so that a file can be read back.
void release(StdEnd &e)
{
    if (e.launcher && e.launcher != INVALID_HANDLE_VALUE)
        CloseHandle(e.launcher);
    e.launcher = nullptr;
}

void close_end(StdEnd &e)
{
    release(e);
    if (e.ours)
        CloseHandle(e.ours);
    e.ours = nullptr;
}

// ---- standard handles ----

struct HandleCase {
    const char *name;
    End in, out, err;
};

void PrintTo(const HandleCase &c, std::ostream *os) { *os << c.name; }

class StdHandles : public Launcher, public testing::WithParamInterface<HandleCase> {};

// The stand-in copies its input to its output and its error, each behind its
// own prefix: what arrives shows that each handle reached the right place.
// Started directly with the same handles, it shows what the child must see.
TEST_P(StdHandles, ReachTheChildAsIfStartedDirectly)
{
    const HandleCase &c = GetParam();
    Package p = make_package(unique_name(L"std handles"));
    SetEnvironmentVariableW(L"KELVARETH_TEST_ROLE", L"echo");
    const std::string input = "line one\r\nzw\xc3\xb6lf \xe6\x97\xa5\xe6\x9c\xac\r\n";
    std::string given = c.in == End::Pipe || c.in == End::File ? input : "";
    bool out_kept = c.out == End::Pipe || c.out == End::File;
    bool err_kept = c.err == End::Pipe || c.err == End::File;

    Report reports[2];
    for (int through_launcher = 0; through_launcher < 2; ++through_launcher) {
        StdEnd in = make_end(c.in, true, input, L"stdin");
        StdEnd out = make_end(c.out, false, "", L"stdout");
        StdEnd err = c.err == End::SameAsOutput ? out : make_end(c.err, false, "", L"stderr");

        STARTUPINFOW si = {};
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = in.launcher;
        si.hStdOutput = out.launcher;
        si.hStdError = err.launcher;
        std::wstring exe = through_launcher ? p.exe : p.dir + L"\\" + interpreter;
        EXPECT_EQ(run(exe, L"\"" + exe + L"\" x", si, TRUE), 0u);
        release(in);
        release(out);
        if (c.err != End::SameAsOutput)
            release(err);

        reports[through_launcher] = read_report(p);
        DeleteFileW(p.report.c_str());
        ASSERT_FALSE(reports[through_launcher].empty()) << "the interpreter did not run";
        if (c.err == End::SameAsOutput) {
            EXPECT_EQ(received(out), "out:" + given + "err:" + given);
        } else if (out_kept) {
            EXPECT_EQ(received(out), "out:" + given);
        }
        if (err_kept) {
            EXPECT_EQ(received(err), "err:" + given);
        }
        close_end(in);
        close_end(out);
        if (c.err != End::SameAsOutput)
            close_end(err);
    }

    Report &direct = reports[0], &launched = reports[1];
    EXPECT_EQ(launched[L"cmdline"], expected_line(p.dir, L"x"));
    for (const wchar_t *key : {L"stdin", L"stdout", L"stderr", L"std_types"})
        EXPECT_EQ(launched[key], direct[key]) << testing::PrintToString(std::wstring(key));
    if (c.in == End::Nul) {
        EXPECT_EQ(launched[L"std_types"], L"2 2 2 ") << "NUL is a character device";
    }
}

const HandleCase handle_cases[] = {
    {"Pipes", End::Pipe, End::Pipe, End::Pipe},
    {"Files", End::File, End::File, End::File},
    {"NulDevice", End::Nul, End::Nul, End::Nul},
    {"ErrorToOutput", End::Pipe, End::Pipe, End::SameAsOutput},
    {"MissingAndInvalid", End::Missing, End::Invalid, End::Pipe},
    {"AllMissing", End::Missing, End::Missing, End::Missing},
};

INSTANTIATE_TEST_SUITE_P(Cases, StdHandles, testing::ValuesIn(handle_cases),
                         [](const testing::TestParamInfo<HandleCase> &info) { return std::string(info.param.name); });

TEST_F(Launcher, PassesOnlyItsStandardHandles)
{
    Package p = make_package(unique_name(L"marker"));

    HANDLE marker = make_marker();
    ASSERT_NE(marker, INVALID_HANDLE_VALUE);
    StdEnd out = make_end(End::Pipe, false, "", L"stdout");
    STARTUPINFOW si = {};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out.launcher;

    // Started directly, the stand-in sees the marker: the report can tell an
    // inherited handle when it is there.
    Report direct = run_stand_in(p, si);
    EXPECT_TRUE(shows_marker(direct)) << "detector cannot see the handle";

    EXPECT_EQ(run(p.exe, L"\"" + p.exe + L"\"", si, TRUE), 0u);
    CloseHandle(marker);

    Report r = read_report(p);
    ASSERT_FALSE(r.empty()) << "the interpreter did not run";
    EXPECT_FALSE(shows_marker(r)) << "handle inherited";
    EXPECT_EQ(r[L"stdout"], hex(reinterpret_cast<UINT_PTR>(out.launcher)));
    EXPECT_EQ(r[L"std_types"].substr(2, 2), L"3 ") << "standard output is not the pipe";
    close_end(out);
}

// ---- Ctrl+C and Ctrl+Break ----

BOOL WINAPI outlive_break(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

// Ctrl+Break is left untried: Wine 8 refuses to generate it (error 6), for any
// process group. The launcher answers it exactly as it answers Ctrl+C.
TEST_F(Launcher, CtrlCReachesTheChildAndTheLauncherRelaysItsExitCode)
{
    DWORD mode;
    ASSERT_TRUE(GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) || GetConsoleWindow())
        << "no console: run this test under a pseudo-terminal";
    // The event goes to every process on the console, this one included.
    SetConsoleCtrlHandler(outlive_break, TRUE);

    Package p = make_package(unique_name(L"break"));
    PROCESS_INFORMATION pi;
    std::wstring ready;
    ASSERT_TRUE(start_until_ready(p, L"break", L"42", pi, ready)) << "the child never got ready";
    EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << "error " << GetLastError();

    EXPECT_EQ(finish(pi), 42u) << "the launcher did not relay the child's exit code";
    EXPECT_EQ(read_report(p)[L"break"], L"ctrl-c");
    SetConsoleCtrlHandler(outlive_break, FALSE);
}

// ---- a missing interpreter ----

class MissingInterpreter : public Launcher, public testing::WithParamInterface<End> {};

// One line on standard error, exit status 1, and no window: a message box
// would keep the launcher from ending until someone dismissed it.
TEST_P(MissingInterpreter, IsReportedOnStandardError)
{
    Package p = make_package(unique_name(L"no python"), false);
    StdEnd err = make_end(GetParam(), false, "", L"stderr");
    STARTUPINFOW si = {};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdError = err.launcher;

    EXPECT_EQ(run(p.exe, L"\"" + p.exe + L"\" a", si, TRUE), 1u);
    release(err);
    if (GetParam() == End::Console) {
        EXPECT_EQ(received(err), utf8(message)) << "a line break moves on and shows no character";
    } else if (GetParam() != End::Missing) {
        EXPECT_EQ(received(err), utf8(message) + "\r\n");
    }
    close_end(err);
}

INSTANTIATE_TEST_SUITE_P(To, MissingInterpreter, testing::Values(End::Pipe, End::File, End::Console, End::Missing),
                         [](const testing::TestParamInfo<End> &info) {
                             return std::string(info.param == End::Pipe      ? "Pipe"
                                                : info.param == End::File    ? "File"
                                                : info.param == End::Console ? "Console"
                                                                             : "Nothing");
                         });

// A file where the interpreter belongs that is no program: under Wine,
// CreateProcessW fails with error 193. With the full report the line names
// the file, the system's reason and its number, never the missing file.
TEST_F(Launcher, NamesTheCauseWhenTheInterpreterIsNoProgram)
{
    Package p = make_package(unique_name(L"no program"), false);
    std::wstring python = make_no_program(p.dir);
    StdEnd err = make_end(End::Pipe, false, "", L"stderr");
    STARTUPINFOW si = {};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdError = err.launcher;

    EXPECT_EQ(run(p.exe, L"\"" + p.exe + L"\" a", si, TRUE), 1u);
    release(err);
    if (error_report == L"full") {
        EXPECT_EQ(received(err), utf8(python + L" could not be started.\r\n" + system_message(193, python) +
                                      L" (error 193)\r\n"));
    } else {
        EXPECT_EQ(received(err), utf8(message) + "\r\n");
    }
    close_end(err);
}

} // namespace
