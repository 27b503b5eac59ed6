// The app's last words. pythonw.exe has no standard error of its own: an app
// that dies of an uncaught exception writes its traceback nowhere, and the
// user sees nothing. Here the child's standard error is a pipe that the
// launcher reads all the while the child runs; when the child ends with a
// nonzero exit code after writing to it, one box shows the end of what it
// wrote. A failure to start names its cause.
#pragma once

#include <string.h>

#include "child.h"
#include "handle_list.h"
#include "last_words.h"
#include "start_failure.h"

// The launcher's end of the pipe, read overlapped; null when the child has
// none. The last bytes the child wrote are kept in a ring, and `written`
// counts them all.
static HANDLE error_pipe;
static char kept[last_words_kept];
static unsigned long long written;

static void close_error_pipe()
{
    CloseHandle(error_pipe);
    error_pipe = nullptr;
}

// Opens the pipe and returns the child's end, to write to; null on failure.
// Anonymous pipes cannot be read overlapped: this is a named one, of one
// instance, which no other process can take once the child's end is open.
static HANDLE open_error_pipe()
{
    wchar_t name[64];
    swprintf(name, 64, L"\\\\.\\pipe\\kelvareth-stderr-%lu", GetCurrentProcessId());
    error_pipe = CreateNamedPipeW(name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                  PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
                                  65536, 0, nullptr);
    if (error_pipe == INVALID_HANDLE_VALUE) {
        error_pipe = nullptr;
        return nullptr;
    }
    HANDLE child_end = CreateFileW(name, GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (child_end == INVALID_HANDLE_VALUE) {
        close_error_pipe();
        return nullptr;
    }
    return child_end;
}

// Starts `application` on `command_line` in `directory`, as CreateProcessW
// does, with the pipe as its standard error, as its only inherited handle,
// and no standard input or output. Should the pipe fail, the app still
// starts, as it would without a report.
static BOOL start_child(const wchar_t *application, wchar_t *command_line, const wchar_t *directory,
                        STARTUPINFOW &record, PROCESS_INFORMATION &pi)
{
    HANDLE child_end = open_error_pipe();
    if (!child_end)
        return CreateProcessW(application, command_line, nullptr, nullptr, FALSE, 0, nullptr, directory, &record, &pi);

    // The standard-handle fields hold the pipe, so they cannot carry a hot
    // key or a monitor as well.
    STARTUPINFOEXW si = {};
    si.StartupInfo = record;
    si.StartupInfo.cb = sizeof si;
    si.StartupInfo.dwFlags &= ~(STARTF_USEHOTKEY | STARTF_HASSHELLDATA);
    si.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
    si.StartupInfo.hStdInput = nullptr;
    si.StartupInfo.hStdOutput = nullptr;
    si.StartupInfo.hStdError = child_end;
    if (!inherit_std_handles_only(si)) {
        CloseHandle(child_end);
        close_error_pipe();
        return CreateProcessW(application, command_line, nullptr, nullptr, FALSE, 0, nullptr, directory, &record, &pi);
    }

    BOOL started = CreateProcessW(application, command_line, nullptr, nullptr, TRUE, EXTENDED_STARTUPINFO_PRESENT,
                                  nullptr, directory, &si.StartupInfo, &pi);
    // What kept the child from starting, kept across the cleaning up.
    DWORD error = GetLastError();
    DeleteProcThreadAttributeList(si.lpAttributeList);
    CloseHandle(child_end);
    if (!started)
        close_error_pipe();
    SetLastError(error);
    return started;
}

// The box's text when the child could not be started: `message` for a
// missing interpreter, else what kept it from starting. Reads the error that
// start_child left.
static const wchar_t *start_failure_text(const wchar_t *message)
{
    DWORD error = GetLastError();
    if (is_missing(error))
        return message;
    describe_start_failure(error);
    return start_failure;
}

// Reads from the pipe into the ring at `ov`; true when the read has begun or
// is done, false when the pipe is broken (every writer has closed it).
static bool read_error_pipe(OVERLAPPED &ov)
{
    DWORD at = static_cast<DWORD>(written % last_words_kept);
    return ReadFile(error_pipe, kept + at, static_cast<DWORD>(last_words_kept - at), nullptr, &ov) ||
           GetLastError() == ERROR_IO_PENDING;
}

// Counts what a read brought; `wait`: until it is done. False when it brought
// nothing.
static bool count_read(OVERLAPPED &ov, BOOL wait)
{
    DWORD got = 0;
    if (!GetOverlappedResult(error_pipe, &ov, &got, wait) || got == 0)
        return false;
    written += got;
    return true;
}

// Reads the pipe as long as the child runs, so that however much it writes it
// never blocks on a full pipe, and what the pipe holds when it has ended. A
// process the child started may hold the pipe open, and go on writing: the
// launcher does not wait for it. Returns when the child has ended, or when
// the pipe can no longer be read.
static void read_until_exit(HANDLE process)
{
    OVERLAPPED ov = {};
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!ov.hEvent)
        return;
    // The child first: when both are signalled, the child has ended.
    const HANDLE events[] = {process, ov.hEvent};
    bool reading = read_error_pipe(ov);
    while (reading && WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        count_read(ov, FALSE);
        reading = read_error_pipe(ov);
    }
    if (reading) {
        // A read under way may still bring the child's last bytes.
        CancelIo(error_pipe);
        count_read(ov, TRUE);
        // Then what the pipe holds now, and no more.
        DWORD left = 0;
        PeekNamedPipe(error_pipe, nullptr, 0, nullptr, &left, nullptr);
        while (left > 0 && read_error_pipe(ov)) {
            unsigned long long before = written;
            if (!count_read(ov, TRUE))
                break;
            DWORD got = static_cast<DWORD>(written - before);
            left = got < left ? left - got : 0;
        }
    }
    CloseHandle(ov.hEvent);
}

// The box for a child that ended with a nonzero code after writing to its
// standard error: the failure message, the code (also in hexadecimal when it
// reads as a crash's status code, 0x80000000 and above) and the end of what
// it wrote.
static void show_last_words(DWORD code)
{
    static char ordered[last_words_kept];
    size_t size = written < last_words_kept ? static_cast<size_t>(written) : last_words_kept;
    size_t at = static_cast<size_t>(written % last_words_kept);
    if (written > last_words_kept) {
        memcpy(ordered, kept + at, last_words_kept - at);
        memcpy(ordered + last_words_kept - at, kept, at);
    } else {
        memcpy(ordered, kept, size);
    }
    static wchar_t text[last_words_shown + 1];
    last_words(ordered, size, written > last_words_kept, text, last_words_shown + 1);

    static wchar_t box[4096 + last_words_shown];
    const size_t capacity = sizeof box / sizeof *box;
    if (code >= 0x80000000)
        swprintf(box, capacity, L"%ls\n\nExit code %lu (0x%08lX)\n\n%ls", FAILURE_MESSAGE, code, code, text);
    else
        swprintf(box, capacity, L"%ls\n\nExit code %lu\n\n%ls", FAILURE_MESSAGE, code, text);
    MessageBoxW(nullptr, box, CAPTION, MB_ICONERROR);
}

// Waits for the child while reading what it writes, and returns its exit
// code; after the box, when one is due.
static DWORD finish_child(PROCESS_INFORMATION &pi)
{
    if (!error_pipe)
        return wait_for_child(pi);
    read_until_exit(pi.hProcess);
    close_error_pipe();
    DWORD code = wait_for_child(pi);
    if (code != 0 && written != 0)
        show_last_words(code);
    return code;
}
