// A second process for the claim tests: claims a device, says so, holds the claim until
// told to release it, and says so again just before it does.
// Arguments: device name, ready event, release event, releasing event (named events).
#include <cstdio>

#include "DeviceClaim.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
  HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
  HANDLE releasing = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[4]);
  if (!ready || !release || !releasing) return 3;
  CDeviceClaim claim(nullptr);
  if (!claim.Register(nullptr, argv[1], 99, 7, 203)) return 4;
  if (!claim.Lock(-1, nullptr)) return 5;
  SetEvent(ready);
  WaitForSingleObject(release, INFINITE);
  SetEvent(releasing);
  claim.Unlock(nullptr);
  claim.Unregister(nullptr);
  return 0;
}
