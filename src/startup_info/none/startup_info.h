// The child gets a zeroed start-up record: no show-window hint, position,
// size or title from the launcher.
#pragma once

#include <windows.h>

static inline void forward_startup_info(STARTUPINFOW &) {}
