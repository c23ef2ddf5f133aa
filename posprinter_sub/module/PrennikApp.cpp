#include "PrennikApp.h"

#include "SubSO.h"

CPrennikApp& TheApp() {
  static CPrennikApp app;
  return app;
}

CPrennikApp::CPrennikApp() = default;

long CPrennikApp::AllocateSlot(const char* deviceName, long* slot) {
  if (!deviceName) deviceName = "";
  const bool taken = slots_.Take(deviceName, slot, [this](long i) {
    CSubSO* instance = new CSubSO(i);
    selfReference_.Opened();
    return instance;
  });
  return taken ? 0 : 106;
}

CSubSO* CPrennikApp::Instance(long slot) const { return slots_.At(slot); }

void CPrennikApp::ReleaseSlot(long slot) {
  HMODULE selfReference = nullptr;
  (void)slots_.Empty(slot, nullptr, [&](CSubSO* instance) {
    delete instance;
    selfReference = selfReference_.Closed();
  });
  // The core that called holds the module too: this only gives back the module's own count.
  if (selfReference) FreeLibrary(selfReference);
}

void CPrennikApp::ReleaseAllSlots() {
  for (long i = 0; i < PRN_SLOT_COUNT; ++i) ReleaseSlot(i);
}
