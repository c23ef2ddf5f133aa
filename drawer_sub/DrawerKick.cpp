#include "DrawerKick.h"

namespace tollek {

DWORD BuildDrawerKick(long drawerNo, long pulseTime, BYTE (&out)[kDrawerKickMaxBytes]) {
  struct ConnectorRow {
    long drawerNo;
    BYTE connector;
  };
  static const ConnectorRow kConnectors[] = {{1, 0x00}, {2, 0x01}};
  DWORD n = 0;
  out[n++] = 0x10;  // DLE
  out[n++] = 0x14;  // DC4
  out[n++] = 0x01;  // fn 1: pulse
  for (const ConnectorRow& row : kConnectors) {
    if (row.drawerNo == drawerNo) out[n++] = row.connector;
  }
  out[n++] = BYTE(pulseTime & 0xFF);
  return n;
}

}  // namespace tollek
