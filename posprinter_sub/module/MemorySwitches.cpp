#include "MemorySwitches.h"

#include <cstring>

void WantedSwitchBytes(long markMode, long paperSize, long printSpeed, BYTE wanted[kSwitchBytes]) {
  std::memset(wanted, 0, kSwitchBytes);
  wanted[0] = markMode == 1 ? 0x00 : 0x04;
  const bool narrowPaper = paperSize == 0;
  if (printSpeed == 2)
    wanted[3] = narrowPaper ? 0x40 : 0x48;
  else
    wanted[3] = narrowPaper ? 0xC0 : 0xC8;
  wanted[4] = 0x04;
}

bool PlanSwitchWrite(const BYTE wanted[kSwitchBytes], const BYTE current[kSwitchBytes],
                     BYTE pairs[6]) {
  bool change = false;
  int i = 0;
  for (const CManagedSwitch& sw : kManagedSwitches) {
    const BYTE want = wanted[sw.number - 1] & sw.mask;
    const BYTE have = current[sw.number - 1];
    BYTE value = have;
    if (want != (have & sw.mask)) {
      value = static_cast<BYTE>(want | (have & ~sw.mask));
      change = true;
    }
    pairs[i++] = static_cast<BYTE>(0x80 | sw.number);
    pairs[i++] = value;
  }
  return change;
}
