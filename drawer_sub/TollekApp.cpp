#include "TollekApp.h"

#include <cstring>
#include <memory>

#include "CsHold.h"
#include "StatusTables.h"
#include "SubSO.h"

namespace tollek {

CHandedOutTexts::CHandedOutTexts() { InitializeCriticalSection(&lock_); }

CHandedOutTexts::~CHandedOutTexts() { DeleteCriticalSection(&lock_); }

char* CHandedOutTexts::Copy(const std::string& text) {
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  subsupport::CsHold hold(&lock_);
  texts_.insert(copy.get());
  return copy.release();
}

bool CHandedOutTexts::Free(void* text) {
  bool known;
  {
    subsupport::CsHold hold(&lock_);
    known = texts_.erase(text) > 0;
  }
  if (known) delete[] static_cast<char*>(text);
  return known;
}

CTollekApp& TheApp() {
  static CTollekApp app;
  return app;
}

CSubSORef::~CSubSORef() { CSubSO::Release(instance_); }

CTollekApp::CTollekApp() {
  // The status tables must outlive every instance: made first, destroyed after this.
  (void)CStatusTables::Instance();
}

long CTollekApp::AllocateSlot(const char* deviceName, long* slot) {
  const bool taken = slots_.Take(deviceName, slot, [this](long i) {
    CSubSO* instance = new CSubSO(i);
    selfReference_.Opened();
    return instance;
  });
  return taken ? 0 : long(DRW_E_BAD_CALL);
}

CSubSORef CTollekApp::Acquire(long slot) {
  return CSubSORef(slots_.AtLocked(slot, [](CSubSO* instance) { instance->AddRef(); }));
}

void CTollekApp::ReleaseSlot(long slot, CSubSO* instance) {
  if (!instance) return;
  HMODULE selfReference = nullptr;
  // Retired under the lock: a new instance of the same slot number must not open its status
  // queue before the old one has closed it.
  (void)slots_.Empty(slot, instance, [&](CSubSO* retired) {
    retired->Retire();
    CSubSO::Release(retired);
    selfReference = selfReference_.Closed();
  });
  // The core that called holds the module too: this only gives back the module's own count.
  if (selfReference) FreeLibrary(selfReference);
}

}  // namespace tollek
