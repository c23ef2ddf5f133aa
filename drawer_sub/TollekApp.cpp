#include "TollekApp.h"

#include <cstring>
#include <utility>

#include "StatusTables.h"
#include "SubSO.h"

namespace tollek {

CHandedOutTexts::CHandedOutTexts() { InitializeCriticalSection(&lock_); }

CHandedOutTexts::~CHandedOutTexts() { DeleteCriticalSection(&lock_); }

char* CHandedOutTexts::Copy(const std::string& text) {
  char* copy = new char[text.size() + 1];
  std::memcpy(copy, text.c_str(), text.size() + 1);
  EnterCriticalSection(&lock_);
  try {
    texts_.insert(copy);
  } catch (...) {
    LeaveCriticalSection(&lock_);
    delete[] copy;
    throw;
  }
  LeaveCriticalSection(&lock_);
  return copy;
}

bool CHandedOutTexts::Free(void* text) {
  EnterCriticalSection(&lock_);
  const bool known = texts_.erase(text) > 0;
  LeaveCriticalSection(&lock_);
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
  InitializeCriticalSection(&lock_);
}

long CTollekApp::AllocateSlot(const char* deviceName, long* slot) {
  EnterCriticalSection(&lock_);
  long result = DRW_E_BAD_CALL;
  for (long i = 0; i < DRW_SLOT_COUNT; ++i) {
    if (!names_[i]) {
      const size_t n = std::strlen(deviceName);
      char* name = nullptr;
      CSubSO* instance = nullptr;
      try {
        name = new char[n + 1];
        instance = new CSubSO(i);
      } catch (...) {
        delete[] name;
        LeaveCriticalSection(&lock_);
        throw;
      }
      std::memcpy(name, deviceName, n + 1);
      names_[i] = name;
      instances_[i] = instance;
      if (taken_++ == 0)
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCSTR>(&TheApp), &selfReference_);
      *slot = i;
      result = 0;
      break;
    }
    if (std::strcmp(names_[i], deviceName) == 0) break;  // the same device, already open
  }
  LeaveCriticalSection(&lock_);
  return result;
}

CSubSORef CTollekApp::Acquire(long slot) {
  if (slot < 0 || slot >= DRW_SLOT_COUNT) return CSubSORef();
  EnterCriticalSection(&lock_);
  CSubSO* instance = instances_[slot];
  if (instance) instance->AddRef();
  LeaveCriticalSection(&lock_);
  return CSubSORef(instance);
}

void CTollekApp::ReleaseSlot(long slot, CSubSO* instance) {
  if (slot < 0 || slot >= DRW_SLOT_COUNT || !instance) return;
  HMODULE selfReference = nullptr;
  // Retired under the lock: a new instance of the same slot number must not open its status
  // queue before the old one has closed it.
  EnterCriticalSection(&lock_);
  if (instances_[slot] == instance) {
    instance->Retire();
    delete[] names_[slot];
    instances_[slot] = nullptr;
    names_[slot] = nullptr;
    CSubSO::Release(instance);
    if (--taken_ == 0) std::swap(selfReference, selfReference_);
  }
  LeaveCriticalSection(&lock_);
  // The core that called holds the module too: this only gives back the module's own count.
  if (selfReference) FreeLibrary(selfReference);
}

}  // namespace tollek
