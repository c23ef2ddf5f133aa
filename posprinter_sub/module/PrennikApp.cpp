#include "PrennikApp.h"

#include "SubSO.h"


CPrennikApp& TheApp() {
  static CPrennikApp app;
  return app;
}

CPrennikApp::CPrennikApp() = default;

CPrennikApp::~CPrennikApp() { ExitInstance(); }

long CPrennikApp::AllocateSlot(const char* deviceName, long* slot) {
  if (!deviceName) deviceName = "";
  return slots_.Take(deviceName, slot, [](long i) { return new CSubSO(i); }) ? 0 : 106;
}

CSubSO* CPrennikApp::Instance(long slot) const { return slots_.At(slot); }

void CPrennikApp::ReleaseSlot(long slot) {
  (void)slots_.Empty(slot, nullptr, [](CSubSO* instance) { delete instance; });
}

void CPrennikApp::ExitInstance() {
  for (long i = 0; i < PRN_SLOT_COUNT; ++i) ReleaseSlot(i);
}
