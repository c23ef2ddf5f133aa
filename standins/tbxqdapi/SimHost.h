// The process-wide side of the simulated SDK: printers by name, open handles, the printer
// lock waits, and the status callback thread. One lock guards all of it; callbacks are
// called without it.
#pragma once
#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "SimPrinter.h"

using TbxStatusCallback = LONG(__stdcall*)(DWORD statusWord);

class SimHost {
 public:
  // The one host of the process; never destroyed, so that nothing waits on the status
  // thread while the loader tears the module down.
  static SimHost& Instance();

  // SDK entry points (see TbxQdApi.def for the export names).
  LONG Open(LONG type, const char* name);
  LONG Close(LONG handle);
  LONG GetStatus(LONG handle, DWORD* status);
  LONG SetStatusBack(LONG handle, TbxStatusCallback callback);
  LONG CancelStatusBack(LONG handle);
  LONG Reset(LONG handle);
  LONG Lock(LONG handle, DWORD timeoutMs);
  LONG Unlock(LONG handle);
  LONG DirectIOEx(const char* entry, LONG handle, DWORD writeLength, const BYTE* writeData,
                  DWORD* readLength, BYTE* readBuffer, DWORD timeoutMs);
  LONG GetCapability(LONG handle, BYTE index, BYTE* type, BYTE* data);
  LONG GetCounter(LONG handle, WORD index, DWORD* value);
  LONG ReadImmediate(LONG handle, DWORD* length, BYTE* buffer);

  // Test controls: runs change on the named printer under the lock, then reports a changed
  // status word and prints held bytes the change released.
  void Change(const char* name, const std::function<void(SimPrinter&)>& change);
  // Runs look on the named printer under the lock.
  void Inspect(const char* name, const std::function<void(SimPrinter&)>& look);
  void ResetAll();
  LONG OpenHandleCount(const char* name);
  bool StatusThreadRunning();

 private:
  using Clock = SimPrinter::Clock;
  struct Registration {
    LONG handle;
    std::string key;
    TbxStatusCallback callback;
  };
  struct Delivery {
    LONG handle;
    DWORD word;
    Clock::time_point due;  // the printer's report delay after the change
  };

  SimHost() = default;
  static std::string Key(const char* name);
  SimPrinter& PrinterFor(const std::string& key);
  // Counts the call of entry on handle's printer; returns TBXQD_OK with *key set, an
  // injected result, or TBXQD_ERR_HANDLE.
  LONG Enter(const char* entry, LONG handle, std::string* key);
  void AfterChange(const std::string& key);
  void AppendOutputFile(const BYTE* data, DWORD length);
  // A write held by the test (take finds no pass left) waits without the lock, counted in
  // the waiting count, until a pass is given.
  void WaitForPass(std::unique_lock<std::mutex>& lock, const std::string& key,
                   bool (SimPrinter::*take)(), LONG (SimPrinter::*waiting)() const,
                   void (SimPrinter::*setWaiting)(LONG));
  LONG ReadReplies(const std::string& key, std::unique_lock<std::mutex>& lock, bool wait,
                   DWORD timeoutMs, DWORD* readLength, BYTE* readBuffer);
  bool WaitForLock(std::unique_lock<std::mutex>& lock, const std::string& key, LONG handle,
                   DWORD timeoutMs);

  // Status thread; the caller holds neither lock_ nor dispatch_ unless said.
  void EnsureStatusThread();           // lock_ held
  void StopStatusThreadIfIdle(std::unique_lock<std::mutex>& lock);
  LONG Unregister(const char* entry, LONG handle, bool closeHandle);
  static DWORD WINAPI StatusThreadMain(void* start);
  void RunStatusThread(unsigned generation);
  // lock_ held: the earliest end of a reset not reported yet; reporting those that are over.
  bool NextResetEnd(Clock::time_point* when);
  void FinishResets(Clock::time_point now);

  std::mutex lock_;
  std::condition_variable changed_;
  std::map<std::string, std::unique_ptr<SimPrinter>> printers_;
  std::map<LONG, std::string> handles_;
  LONG nextHandle_ = 1;

  std::recursive_mutex dispatch_;  // held while a callback runs; taken before lock_
  std::vector<Registration> registrations_;
  std::deque<Delivery> deliveries_;
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  bool stopThread_ = false;
  unsigned generation_ = 0;  // a thread left over from an earlier start sees it change
};
