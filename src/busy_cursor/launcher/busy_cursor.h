// Windows' "app starting" cursor runs its course: the launcher never reads a
// message, so nothing tells Windows that it has started.
#pragma once

static inline void end_busy_cursor() {}
