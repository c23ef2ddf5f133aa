#include "PrennikApp.h"

#include "SubSO.h"

#include <cstring>
#include <new>

CPrennikApp& TheApp() {
  static CPrennikApp app;
  return app;
}

CPrennikApp::CPrennikApp() { InitializeCriticalSection(&lock_); }

CPrennikApp::~CPrennikApp() {
  ExitInstance();
  DeleteCriticalSection(&lock_);
}

long CPrennikApp::AllocateSlot(const char* deviceName, long* slot) {
  if (!deviceName) deviceName = "";
  EnterCriticalSection(&lock_);
  long found = -1;
  for (long i = 0; i < PRN_SLOT_COUNT; ++i) {
    if (!names_[i]) {
      found = i;
      break;
    }
    if (std::strcmp(names_[i], deviceName) == 0) break;  // duplicate before the free slot
  }
  long result = 106;
  if (found >= 0) {
    const size_t n = std::strlen(deviceName);
    char* name = new (std::nothrow) char[n + 1];
    CSubSO* instance = nullptr;
    try {
      instance = name ? new CSubSO(found) : nullptr;
    } catch (...) {
      instance = nullptr;
    }
    if (instance) {
      std::memcpy(name, deviceName, n + 1);
      names_[found] = name;
      instances_[found] = instance;
      *slot = found;
      result = 0;
    } else {
      delete[] name;
      result = 111;  // out of memory: the slot stays free
    }
  }
  LeaveCriticalSection(&lock_);
  return result;
}

CSubSO* CPrennikApp::Instance(long slot) const {
  if (slot < 0 || slot >= PRN_SLOT_COUNT) return nullptr;
  return instances_[slot];
}

void CPrennikApp::ReleaseSlot(long slot) {
  if (slot < 0 || slot >= PRN_SLOT_COUNT) return;
  EnterCriticalSection(&lock_);
  delete instances_[slot];
  delete[] names_[slot];
  instances_[slot] = nullptr;
  names_[slot] = nullptr;
  LeaveCriticalSection(&lock_);
}

void CPrennikApp::ExitInstance() {
  for (long i = 0; i < PRN_SLOT_COUNT; ++i) ReleaseSlot(i);
}
