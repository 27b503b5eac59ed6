#pragma once

// Returns where the arguments begin in a raw command line: past the program
// name and the blanks and control codes after it. Never null; shares storage
// with `line`, or is a static empty text when `line` is null.
const wchar_t *command_tail(const wchar_t *line);
