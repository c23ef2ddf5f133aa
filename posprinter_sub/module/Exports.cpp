// The nine exports: refuse bad slots, NULL blocks and unknown IDs with 106 (silently),
// hand everything else to the slot's CSubSO. Nothing thrown inside crosses the export.
#include "Exports.h"

#include "ExportGuard.h"
#include "PrennikApp.h"
#include "SubSO.h"

using subsupport::Guarded;
using subsupport::GuardedIf;

extern "C" {

long SUBAPI_CALL initSubSO(const char* deviceName, long coreVersion,
                           PrnPropertySnapshot* snapshot, long* slotOut,
                           void* callbackContext) {
  // A NULL slot variable is refused too: there would be nowhere to put the slot.
  if (!snapshot || !slotOut) return OPOS_E_ILLEGAL;
  return Guarded([&] {
    long slot = -1;
    const long taken = TheApp().AllocateSlot(deviceName, &slot);
    if (taken != 0) return taken;
    *slotOut = slot;
    return TheApp().Instance(slot)->initSubSODet(deviceName, coreVersion, snapshot,
                                                 callbackContext);
  });
}

long SUBAPI_CALL terminateSubSO(long slot) {
  CSubSO* instance = TheApp().Instance(slot);
  if (!instance) return OPOS_E_ILLEGAL;
  const long result = Guarded([&] { return instance->terminateSubSODet(); });
  TheApp().ReleaseSlot(slot);  // emptied whatever the ending answered
  return result;
}

long SUBAPI_CALL connectPrinter(long slot) {
  CSubSO* instance = TheApp().Instance(slot);
  return GuardedIf(instance, OPOS_E_ILLEGAL, [&] { return instance->initPrinterDLL(); });
}

long SUBAPI_CALL disconnectPrinter(long slot) {
  CSubSO* instance = TheApp().Instance(slot);
  return GuardedIf(instance, OPOS_E_ILLEGAL, [&] { return instance->terminatePrinterDLL(); });
}

long SUBAPI_CALL getCapability(long capabilityId, long* args, long slot) {
  CSubSO* instance = TheApp().Instance(slot);
  return GuardedIf(args && instance && capabilityId == PRN_CAPABILITY_BLOCK, OPOS_E_ILLEGAL,
      [&] { return instance->getCapabilityDet(reinterpret_cast<PrnCapabilityArgs*>(args)); });
}

long SUBAPI_CALL preMethod(long methodId, long* args, long slot) {
  CSubSO* instance = TheApp().Instance(slot);
  const CSubSO::MethodRow* row = CSubSO::FindMethod(methodId);
  return GuardedIf(args && instance && row, OPOS_E_ILLEGAL,
                   [&] { return instance->RunPre(*row, args); });
}

long SUBAPI_CALL executeMethod(long methodId, long* args, long slot) {
  CSubSO* instance = TheApp().Instance(slot);
  const CSubSO::MethodRow* row = CSubSO::FindMethod(methodId);
  return GuardedIf(args && instance && row, OPOS_E_ILLEGAL,
                   [&] { return instance->RunExecute(*row, args); });
}

long SUBAPI_CALL otherMethod(long serviceId, long* args, long slot) {
  CSubSO* instance = TheApp().Instance(slot);
  const CSubSO::ServiceRow* row = CSubSO::FindService(serviceId);
  return GuardedIf(instance && row && (args || row->nullBlockAllowed), OPOS_E_ILLEGAL,
                   [&] { return instance->RunService(*row, args); });
}

long SUBAPI_CALL setCallbackFunction(long callbackId, void** record, long slot) {
  CSubSO* instance = TheApp().Instance(slot);
  const CSubSO::CallbackRow* row = CSubSO::FindCallback(callbackId);
  return GuardedIf(record && instance && row, OPOS_E_ILLEGAL,
                   [&] { return instance->RunCallback(*row, record); });
}

}  // extern "C"
