// Whatever kept the interpreter from starting, the report is the launcher's
// message.
#pragma once

#include "console_error.h"

static inline void report_start_failure()
{
    report_missing_interpreter();
}
