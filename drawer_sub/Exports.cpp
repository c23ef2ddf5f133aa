// The nine exports of tollek.dll: -1 for a null block or record, a bad or free slot and an
// ID not served; everything else goes to the slot's CSubSO, holding a reference to it for
// the whole call. Nothing thrown inside crosses an export.
#include "Exports.h"

#include "ExportGuard.h"
#include "OposCodes.h"
#include "SubSO.h"
#include "TollekApp.h"

namespace tollek {
namespace {

struct ServiceRow {
  long id;
  bool needsBlock;  // the block and its word 0 must be present
  long (*run)(CSubSO& s, long* block);
};
const ServiceRow kServices[] = {
    {DRW_SERVICE_ACTIVATE_DEVICE, false, [](CSubSO& s, long*) { return s.activateDevice(); }},
    {DRW_SERVICE_DEACTIVATE_DEVICE, false,
     [](CSubSO& s, long*) { return s.deactivateDevice(); }},
    {DRW_SERVICE_PROCESS_STATUS, true,
     [](CSubSO& s, long* b) { return s.processStatus(reinterpret_cast<DrwStateWords*>(b[0])); }},
    // A null buffer is ignored, as freeing nothing is.
    {DRW_SERVICE_RELEASE_BUFFER, false,
     [](CSubSO&, long* b) { return b ? CSubSO::releaseBuffer(reinterpret_cast<void*>(b[0]))
                                     : long(DRW_E_BAD_CALL); }},
};

}  // namespace
}  // namespace tollek

using namespace tollek;
using subsupport::Guarded;
using subsupport::GuardedIf;

extern "C" {

// Nothing at detach either: the module stays loaded while an instance exists (see
// CTollekApp), and what a process still holds at its end goes with the process.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

long SUBAPI_CALL initSubSO(const char* deviceName, long coreVersion, DrwInitRecord* initRecord,
                           long* slotOut) {
  if (!deviceName || !initRecord || !slotOut) return DRW_E_BAD_CALL;
  return Guarded([&] {
    long slot = -1;
    if (TheApp().AllocateSlot(deviceName, &slot) != 0) return long(DRW_E_BAD_CALL);
    *slotOut = slot;
    CSubSORef instance = TheApp().Acquire(slot);
    return instance ? instance->initSubSODet(deviceName, coreVersion, initRecord)
                    : long(DRW_E_BAD_CALL);
  });
}

long SUBAPI_CALL terminateSubSO(long slot) {
  CSubSORef instance = TheApp().Acquire(slot);
  if (!instance) return DRW_E_BAD_CALL;
  const long result = Guarded([&] { return instance->terminateSubSODet(); });
  TheApp().ReleaseSlot(slot, instance.get());
  return result;
}

long SUBAPI_CALL connectPrinter(long slot) {
  CSubSORef instance = TheApp().Acquire(slot);
  return GuardedIf(bool(instance), DRW_E_BAD_CALL, [&] { return instance->connectPrinterDet(); });
}

long SUBAPI_CALL disconnectPrinter(long slot) {
  CSubSORef instance = TheApp().Acquire(slot);
  return GuardedIf(bool(instance), DRW_E_BAD_CALL,
                   [&] { return instance->disconnectPrinterDet(); });
}

long SUBAPI_CALL getCapability(long capabilityId, long* block, long slot) {
  CSubSORef instance = TheApp().Acquire(slot);
  const bool goAhead = block && block[0] && instance && capabilityId == DRW_CAPABILITY_BLOCK;
  return GuardedIf(goAhead, DRW_E_BAD_CALL, [&] {
    return instance->getCapabilityDet(reinterpret_cast<DrwCapabilityBlock*>(block[0]));
  });
}

long SUBAPI_CALL preMethod(long methodId, long* block, long slot) {
  CSubSORef instance = TheApp().Acquire(slot);
  const CSubSO::MethodRow* row = CSubSO::FindMethod(methodId);
  return GuardedIf(block && instance && row, DRW_E_BAD_CALL,
                   [&] { return instance->RunPre(*row, block); });
}

long SUBAPI_CALL executeMethod(long methodId, long* block, long slot) {
  CSubSORef instance = TheApp().Acquire(slot);
  const CSubSO::MethodRow* row = CSubSO::FindMethod(methodId);
  return GuardedIf(block && instance && row, DRW_E_BAD_CALL,
                   [&] { return instance->RunExecute(*row, block); });
}

long SUBAPI_CALL otherMethod(long serviceId, long* block, long slot) {
  CSubSORef instance = TheApp().Acquire(slot);
  if (!instance) return DRW_E_BAD_CALL;
  for (const ServiceRow& row : kServices) {
    if (row.id != serviceId) continue;
    if (row.needsBlock && (!block || !block[0])) return DRW_E_BAD_CALL;
    return Guarded([&] { return row.run(*instance.get(), block); });
  }
  return DRW_E_BAD_CALL;
}

long SUBAPI_CALL setCallbackFunction(long callbackId, void** record, long slot, long userWord) {
  CSubSORef instance = TheApp().Acquire(slot);
  return GuardedIf(record && instance, DRW_E_BAD_CALL, [&] {
    if (callbackId == DRW_CALLBACK_EVENT_FUNCTION) {
      instance->setEventFunction(reinterpret_cast<DrwEventFn>(record[1]), record[0], userWord);
      return long(OPOS_SUCCESS);
    }
    if (callbackId == DRW_CALLBACK_STATUS_EVENT && record[0])
      return instance->setStatusEventHandle(static_cast<HANDLE*>(record[0]));
    return long(DRW_E_BAD_CALL);
  });
}

}  // extern "C"
