// A second process for the lifecycle tests: an application that opens and claims a device
// through the stand-in Control Object, says so, holds the claim until told to release it,
// says so just before it does, and closes.
// Arguments: device name, ready event, release event, releasing event (named events).
#include <string>

#include "ControlObjectStandIn.h"

int main(int argc, char** argv) {
  using costandin::Arg;
  if (argc != 5) return 2;
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
  HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
  HANDLE releasing = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[4]);
  if (!ready || !release || !releasing) return 3;
  const std::string device = argv[1];
  int code = 0;
  {
    costandin::ControlObject co;
    if (FAILED(co.Create(L"OPOS.POSPRINTER.SO.KVR.CORE.TBXQD"))) return 4;
    const std::wstring name(device.begin(), device.end());
    if (co.CallLong(L"OpenService", {Arg::Text(L"POSPrinter"), Arg::Text(name), Arg::Sink()}) != 0)
      return 5;
    if (co.CallLong(L"ClaimDevice", {Arg::Long(-1)}) != 0) return 6;
    SetEvent(ready);
    WaitForSingleObject(release, INFINITE);
    SetEvent(releasing);
    if (co.CallLong(L"ReleaseDevice") != 0) code = 7;
    if (co.CallLong(L"CloseService") != 0) code = 8;
  }
  return code;
}
