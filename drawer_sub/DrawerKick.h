// The drawer-kick command: DLE DC4 1, the connector, the pulse length.
#pragma once
#include "Win.h"

namespace tollek {

inline constexpr DWORD kDrawerKickMaxBytes = 5;

// Writes the command for a drawer connector (DrawerNo 1 or 2; any other number leaves the
// connector byte out) and a pulse of pulseTime x 100 ms (its low byte); returns its length.
DWORD BuildDrawerKick(long drawerNo, long pulseTime, BYTE (&out)[kDrawerKickMaxBytes]);

}  // namespace tollek
