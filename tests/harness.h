// Helpers shared by the launcher's end-to-end tests: throw-away package
// directories holding the launcher and a stand-in interpreter, starting and
// waiting for processes, and reading what the stand-in reports.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

// The launcher's build-time settings, as given.
extern std::wstring interpreter;
extern std::wstring script;
extern std::wstring message;
extern std::wstring caption;
extern std::wstring subsystem;      // windows or console
extern std::wstring busy_cursor;
extern std::wstring error_report;   // brief or full
extern std::wstring startup_info;   // none or forward
extern std::wstring app_id;         // empty for none
extern std::wstring failure_message;
// Where the settings are, one file each, and one of them.
extern std::wstring settings_dir;
std::wstring read_setting(const wchar_t *name);
// A text the stand-in copies from the environment into its report.
extern const std::wstring echo;

extern std::wstring launcher_exe;
extern std::wstring launcher_name;
extern std::wstring python_exe;
// The run's own temporary directory; packages and reports go below it.
extern std::wstring root;
extern std::wstring mapped_drive;

std::wstring full_path(const std::wstring &path);
bool read_file(const std::wstring &path, std::string &bytes);
bool write_file(const std::wstring &path, const std::string &bytes);
std::wstring hex(UINT_PTR v);
// The system's text for `error`, without its closing line break; its inserts
// (%1) naming `file`.
std::wstring system_message(DWORD error, const std::wstring &file);
// Puts a file that is no program where the interpreter of the package in
// `dir` belongs; returns its path.
std::wstring make_no_program(const std::wstring &dir);
// Removes a directory and all below it; with keep_top, all below it only.
void remove_tree(const std::wstring &dir, bool keep_top = false);
std::wstring unique_name(const std::wstring &base);

using Report = std::map<std::wstring, std::wstring>;

struct Package {
    std::wstring dir;
    std::wstring exe;
    std::wstring report;
};

Package make_package_at(const std::wstring &dir, bool with_python = true, bool with_script = true);
Package make_package(const std::wstring &name, bool with_python = true, bool with_script = true);
std::wstring expected_line(const std::wstring &dir, const std::wstring &tail);

PROCESS_INFORMATION start(const std::wstring &exe, std::wstring raw, const std::wstring &cwd,
                          STARTUPINFOW si = {}, BOOL inherit = FALSE);
extern const DWORD timed_out;
DWORD finish(PROCESS_INFORMATION &pi, DWORD ms = 30000);
DWORD run(const std::wstring &exe, const std::wstring &raw, STARTUPINFOW si = {}, BOOL inherit = FALSE);

// Waits for the stand-in of `p` to have written its report and returns it;
// empty when it has not within `ms`.
Report wait_for_report(const Package &p, DWORD ms = 30000);

// Starts the launcher of `p` with the stand-in in `role`, to end with `code`,
// and waits until the stand-in has created the file `ready` it is given.
// False, with the launcher still started, when it never does.
bool start_until_ready(const Package &p, const wchar_t *role, const wchar_t *code, PROCESS_INFORMATION &pi,
                       std::wstring &ready);

Report read_report(const Package &p);

// An inheritable handle to a marker file; the stand-in reports the file's
// path when the handle has reached it.
HANDLE make_marker();
bool shows_marker(Report &report);
// The stand-in of `p` started directly, with inheritance and `si`: its report
// shows what the child of the launcher should, or must not, see.
Report run_stand_in(const Package &p, STARTUPINFOW si);

// Clears what a test before may have left in the stand-in's environment.
class Launcher : public testing::Test {
protected:
    void SetUp() override;
};
