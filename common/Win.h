// The one way every file of the suite sees the platform: the same macros before <windows.h>.
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

static_assert(sizeof(void*) == 4, "the suite is a 32-bit Windows build");
static_assert(sizeof(long) == 4 && sizeof(int) == 4 && sizeof(DWORD) == 4, "32-bit words");
