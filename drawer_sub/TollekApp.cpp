#include "TollekApp.h"

#include <cstring>

#include "StatusTables.h"
#include "SubSO.h"

namespace tollek {

namespace {

volatile LONG g_processEnding = 0;

}  // namespace

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

void CTollekApp::SetProcessEnding() { InterlockedExchange(&g_processEnding, 1); }

CTollekApp::CTollekApp() {
  // The status tables must outlive every instance: made first, destroyed after this.
  (void)CStatusTables::Instance();
  InitializeCriticalSection(&lock_);
}

CTollekApp::~CTollekApp() {
  if (g_processEnding) return;
  ExitInstance();
  DeleteCriticalSection(&lock_);
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
      *slot = i;
      result = 0;
      break;
    }
    if (std::strcmp(names_[i], deviceName) == 0) break;  // the same device, already open
  }
  LeaveCriticalSection(&lock_);
  return result;
}

CSubSO* CTollekApp::Instance(long slot) const {
  return slot >= 0 && slot < DRW_SLOT_COUNT ? instances_[slot] : nullptr;
}

void CTollekApp::ReleaseSlot(long slot) {
  if (slot < 0 || slot >= DRW_SLOT_COUNT) return;
  // Deleted under the lock: a new instance of the same slot number must not open its
  // status queue before the old one has closed it.
  EnterCriticalSection(&lock_);
  delete instances_[slot];
  delete[] names_[slot];
  instances_[slot] = nullptr;
  names_[slot] = nullptr;
  LeaveCriticalSection(&lock_);
}

void CTollekApp::ExitInstance() {
  for (long i = 0; i < DRW_SLOT_COUNT; ++i) ReleaseSlot(i);
}

}  // namespace tollek
