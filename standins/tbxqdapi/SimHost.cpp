#include "SimHost.h"

#include <algorithm>

#include "TbxSim.h"

namespace {

struct ThreadStart {
  HMODULE module;
  unsigned generation;
};

// The environment variable naming a file that receives a copy of every accepted byte.
constexpr char kOutputVariable[] = "TBXQD_SIM_OUTPUT";

}  // namespace

SimHost& SimHost::Instance() {
  static SimHost* host = new SimHost;
  return *host;
}

std::string SimHost::Key(const char* name) {
  std::string key = name ? name : "";
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');  // printer names ignore case
  }
  return key;
}

SimPrinter& SimHost::PrinterFor(const std::string& key) {
  auto& printer = printers_[key];
  if (!printer) printer = std::make_unique<SimPrinter>();
  return *printer;
}

LONG SimHost::Enter(const char* entry, LONG handle, std::string* key) {
  auto it = handles_.find(handle);
  if (it == handles_.end()) return TBXQD_ERR_HANDLE;
  *key = it->second;
  LONG injected = TBXQD_OK;
  return PrinterFor(*key).TakeCall(entry, &injected) ? injected : LONG(TBXQD_OK);
}

void SimHost::AfterChange(const std::string& key) {
  SimPrinter& printer = PrinterFor(key);
  printer.Resume(Clock::now());
  const DWORD word = printer.StatusWord();
  if (word != printer.LastReported()) {
    printer.SetLastReported(word);
    for (const Registration& r : registrations_) {
      if (r.key == key) deliveries_.push_back({r.handle, word, Clock::now() + printer.ReportDelay()});
    }
  }
  changed_.notify_all();
}

void SimHost::AppendOutputFile(const BYTE* data, DWORD length) {
  char path[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA(kOutputVariable, path, sizeof path);
  if (n == 0 || n >= sizeof path) return;
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, data, length, &written, nullptr);
  CloseHandle(file);
}

LONG SimHost::Open(LONG type, const char* name) {
  std::lock_guard<std::mutex> l(lock_);
  if (!name) return TBXQD_ERR_PARAMETER;
  const std::string key = Key(name);
  LONG injected = TBXQD_OK;
  if (PrinterFor(key).TakeCall("OpenMonPrinterA", &injected)) return injected;
  const LONG handle = nextHandle_++;
  handles_[handle] = key;
  return handle;
}

LONG SimHost::Close(LONG handle) { return Unregister("CloseMonPrinter", handle, true); }

LONG SimHost::CancelStatusBack(LONG handle) {
  return Unregister("CancelStatusBack", handle, false);
}

LONG SimHost::Unregister(const char* entry, LONG handle, bool closeHandle) {
  // Waiting for dispatch_ first means no callback of this handle runs once this returns.
  std::unique_lock<std::recursive_mutex> dispatch(dispatch_);
  std::unique_lock<std::mutex> l(lock_);
  std::string key;
  const LONG r = Enter(entry, handle, &key);
  if (r != TBXQD_OK) return r;
  registrations_.erase(std::remove_if(registrations_.begin(), registrations_.end(),
                                      [&](const Registration& g) { return g.handle == handle; }),
                       registrations_.end());
  if (closeHandle) {
    SimPrinter& printer = PrinterFor(key);
    while (printer.Unlock(handle)) {
    }
    handles_.erase(handle);
    changed_.notify_all();
  }
  dispatch.unlock();
  StopStatusThreadIfIdle(l);
  return TBXQD_OK;
}

LONG SimHost::GetStatus(LONG handle, DWORD* status) {
  std::lock_guard<std::mutex> l(lock_);
  std::string key;
  const LONG r = Enter("GetStatus", handle, &key);
  if (r != TBXQD_OK) return r;
  if (!status) return TBXQD_ERR_PARAMETER;
  *status = PrinterFor(key).StatusWord();
  return TBXQD_OK;
}

LONG SimHost::SetStatusBack(LONG handle, TbxStatusCallback callback) {
  if (!callback) return Unregister("SetStatusBackFunction", handle, false);
  std::lock_guard<std::recursive_mutex> dispatch(dispatch_);
  std::lock_guard<std::mutex> l(lock_);
  std::string key;
  const LONG r = Enter("SetStatusBackFunction", handle, &key);
  if (r != TBXQD_OK) return r;
  auto it = std::find_if(registrations_.begin(), registrations_.end(),
                         [&](const Registration& g) { return g.handle == handle; });
  if (it != registrations_.end()) {
    it->callback = callback;
  } else {
    registrations_.push_back({handle, key, callback});
  }
  // A new registration learns the current word first, as the printer's automatic status
  // sends it when status back is enabled.
  deliveries_.push_back({handle, PrinterFor(key).StatusWord()});
  EnsureStatusThread();
  changed_.notify_all();
  return TBXQD_OK;
}

LONG SimHost::Reset(LONG handle) {
  std::lock_guard<std::mutex> l(lock_);
  std::string key;
  const LONG r = Enter("Reset", handle, &key);
  if (r != TBXQD_OK) return r;
  SimPrinter& printer = PrinterFor(key);
  if (!printer.Online()) return TBXQD_ERR_OFFLINE;
  printer.ResetForRecovery(Clock::now());
  AfterChange(key);  // offline now; the status thread reports the end of the reset
  return TBXQD_OK;
}

bool SimHost::WaitForLock(std::unique_lock<std::mutex>& l, const std::string& key, LONG handle,
                          DWORD timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!PrinterFor(key).LockFree(handle)) {
    if (changed_.wait_until(l, deadline) == std::cv_status::timeout) {
      return PrinterFor(key).LockFree(handle);
    }
  }
  return true;
}

LONG SimHost::Lock(LONG handle, DWORD timeoutMs) {
  std::unique_lock<std::mutex> l(lock_);
  std::string key;
  const LONG r = Enter("LockPrinter", handle, &key);
  if (r != TBXQD_OK) return r;
  if (!WaitForLock(l, key, handle, timeoutMs)) return TBXQD_ERR_TIMEOUT;
  PrinterFor(key).Lock(handle);
  return TBXQD_OK;
}

LONG SimHost::Unlock(LONG handle) {
  std::lock_guard<std::mutex> l(lock_);
  std::string key;
  const LONG r = Enter("UnlockPrinter", handle, &key);
  if (r != TBXQD_OK) return r;
  const bool unlocked = PrinterFor(key).Unlock(handle);
  changed_.notify_all();
  return unlocked ? TBXQD_OK : TBXQD_ERR_FAILURE;
}

LONG SimHost::DirectIOEx(const char* entry, LONG handle, DWORD writeLength,
                         const BYTE* writeData, DWORD* readLength, BYTE* readBuffer,
                         DWORD timeoutMs) {
  std::unique_lock<std::mutex> l(lock_);
  std::string key;
  const LONG r = Enter(entry, handle, &key);
  if (r != TBXQD_OK) return r;
  const bool printWrite = writeLength > 0 && !readLength;
  // Held by the test: waits without the lock until it lets the write go on.
  if (printWrite) WaitForPass(l, key, &SimPrinter::TakeWritePass, &SimPrinter::WaitingWrites,
                              &SimPrinter::SetWaitingWrites);
  // A failure meant for a write of print data must not be taken by a status read.
  LONG injected = TBXQD_OK;
  if (printWrite && PrinterFor(key).TakeCall(std::string(entry) + " write", &injected))
    return injected;
  if ((writeLength > 0 && !writeData) || (readLength && *readLength > 0 && !readBuffer)) {
    return TBXQD_ERR_PARAMETER;
  }
  if (!PrinterFor(key).Online()) return TBXQD_ERR_OFFLINE;
  if (!WaitForLock(l, key, handle, timeoutMs)) return TBXQD_ERR_TIMEOUT;
  if (writeLength > 0) {
    if (const DWORD delay = PrinterFor(key).WriteDelay()) {
      l.unlock();
      Sleep(delay);
      l.lock();
      if (!PrinterFor(key).Online()) return TBXQD_ERR_OFFLINE;
    }
    PrinterFor(key).Accept(writeData, writeLength, Clock::now());
    AppendOutputFile(writeData, writeLength);
    AfterChange(key);
    // Taken, printed and maybe answered; the call returns once the test lets it.
    if (printWrite) WaitForPass(l, key, &SimPrinter::TakeReturnPass, &SimPrinter::WaitingReturns,
                                &SimPrinter::SetWaitingReturns);
  }
  if (!readLength) return TBXQD_OK;
  return ReadReplies(key, l, /*wait=*/writeLength == 0, timeoutMs, readLength, readBuffer);
}

void SimHost::WaitForPass(std::unique_lock<std::mutex>& l, const std::string& key,
                          bool (SimPrinter::*take)(), LONG (SimPrinter::*waiting)() const,
                          void (SimPrinter::*setWaiting)(LONG)) {
  SimPrinter& printer = PrinterFor(key);
  if ((printer.*take)()) return;
  (printer.*setWaiting)((printer.*waiting)() + 1);
  changed_.notify_all();
  changed_.wait(l, [&] { return (PrinterFor(key).*take)(); });
  SimPrinter& after = PrinterFor(key);  // a reset may have made the printer anew
  if ((after.*waiting)() > 0) (after.*setWaiting)((after.*waiting)() - 1);
}

LONG SimHost::ReadReplies(const std::string& key, std::unique_lock<std::mutex>& l, bool wait,
                          DWORD timeoutMs, DWORD* readLength, BYTE* readBuffer) {
  const DWORD capacity = *readLength;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    SimPrinter& printer = PrinterFor(key);
    const auto now = Clock::now();
    const size_t n = capacity ? printer.TakeReplies(readBuffer, capacity, now) : 0;
    if (n > 0 || !wait || capacity == 0 || now >= deadline) {
      *readLength = DWORD(n);
      return TBXQD_OK;
    }
    auto until = deadline;
    Clock::time_point next;
    if (printer.NextReplyTime(&next) && next < until) until = next;
    changed_.wait_until(l, until);
  }
}

LONG SimHost::GetCapability(LONG handle, BYTE index, BYTE* type, BYTE* data) {
  std::lock_guard<std::mutex> l(lock_);
  std::string key;
  const LONG r = Enter("GetPrnCapability", handle, &key);
  if (r != TBXQD_OK) return r;
  if (!type || !data) return TBXQD_ERR_PARAMETER;
  SimPrinter& printer = PrinterFor(key);
  if (!printer.Online()) return TBXQD_ERR_OFFLINE;
  BYTE value = 0;
  printer.PrinterId(index, type, &value);
  if (*type == 1) data[0] = value;
  return TBXQD_OK;
}

LONG SimHost::GetCounter(LONG handle, WORD index, DWORD* value) {
  std::lock_guard<std::mutex> l(lock_);
  std::string key;
  const LONG r = Enter("GetCounter", handle, &key);
  if (r != TBXQD_OK) return r;
  if (!value) return TBXQD_ERR_PARAMETER;
  SimPrinter& printer = PrinterFor(key);
  if (!printer.Online()) return TBXQD_ERR_OFFLINE;
  return printer.Counter(index, value) ? TBXQD_OK : TBXQD_ERR_FAILURE;
}

LONG SimHost::ReadImmediate(LONG handle, DWORD* length, BYTE* buffer) {
  std::lock_guard<std::mutex> l(lock_);
  std::string key;
  const LONG r = Enter("#31", handle, &key);
  if (r != TBXQD_OK) return r;
  if (!length || (*length > 0 && !buffer)) return TBXQD_ERR_PARAMETER;
  SimPrinter& printer = PrinterFor(key);
  if (!printer.Online()) return TBXQD_ERR_OFFLINE;
  *length = DWORD(printer.TakeCompletions(buffer, *length, Clock::now()));
  return TBXQD_OK;
}

void SimHost::Change(const char* name, const std::function<void(SimPrinter&)>& change) {
  std::lock_guard<std::mutex> l(lock_);
  const std::string key = Key(name);
  change(PrinterFor(key));
  AfterChange(key);
}

void SimHost::Inspect(const char* name, const std::function<void(SimPrinter&)>& look) {
  std::lock_guard<std::mutex> l(lock_);
  look(PrinterFor(Key(name)));
}

void SimHost::ResetAll() {
  std::unique_lock<std::recursive_mutex> dispatch(dispatch_);
  std::unique_lock<std::mutex> l(lock_);
  registrations_.clear();
  handles_.clear();
  printers_.clear();
  nextHandle_ = 1;
  changed_.notify_all();
  dispatch.unlock();
  StopStatusThreadIfIdle(l);
}

LONG SimHost::OpenHandleCount(const char* name) {
  std::lock_guard<std::mutex> l(lock_);
  const std::string key = Key(name);
  return LONG(std::count_if(handles_.begin(), handles_.end(),
                            [&](const auto& h) { return h.second == key; }));
}

bool SimHost::StatusThreadRunning() {
  std::lock_guard<std::mutex> l(lock_);
  return thread_ != nullptr;
}

void SimHost::EnsureStatusThread() {
  if (thread_) return;
  // The thread holds a reference on this module and drops it as it exits, so an SDK user
  // that frees the library without cancelling cannot unmap code the thread still runs.
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                     reinterpret_cast<LPCSTR>(&SimHost::StatusThreadMain), &module);
  stopThread_ = false;
  auto* start = new ThreadStart{module, ++generation_};
  thread_ = CreateThread(nullptr, 0, &SimHost::StatusThreadMain, start, 0, &threadId_);
  if (!thread_) {
    delete start;
    if (module) FreeLibrary(module);
  }
}

void SimHost::StopStatusThreadIfIdle(std::unique_lock<std::mutex>& l) {
  if (!registrations_.empty() || !thread_) return;
  stopThread_ = true;
  deliveries_.clear();
  changed_.notify_all();
  HANDLE thread = thread_;
  thread_ = nullptr;
  if (GetCurrentThreadId() == threadId_) {
    CloseHandle(thread);  // a callback cancelled itself: the thread ends when it returns
    return;
  }
  l.unlock();
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  l.lock();
}

DWORD WINAPI SimHost::StatusThreadMain(void* start) {
  const ThreadStart s = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  Instance().RunStatusThread(s.generation);
  if (s.module) FreeLibraryAndExitThread(s.module, 0);
  return 0;
}

bool SimHost::NextResetEnd(Clock::time_point* when) {
  bool any = false;
  for (auto& entry : printers_) {
    Clock::time_point end;
    if (entry.second->PendingResetEnd(&end) && (!any || end < *when)) {
      *when = end;
      any = true;
    }
  }
  return any;
}

void SimHost::FinishResets(Clock::time_point now) {
  for (auto& entry : printers_) {
    Clock::time_point end;
    if (!entry.second->PendingResetEnd(&end) || end > now) continue;
    entry.second->FinishReset();
    AfterChange(entry.first);  // back online: reported as any other change
  }
}

void SimHost::RunStatusThread(unsigned generation) {
  auto finished = [&] { return generation != generation_ || stopThread_; };
  for (;;) {
    Delivery delivery{};
    {
      std::unique_lock<std::mutex> l(lock_);
      for (;;) {
        if (finished()) return;
        if (!deliveries_.empty() && deliveries_.front().due <= Clock::now()) break;
        Clock::time_point end;
        const bool delayed = !deliveries_.empty();
        if (delayed && (!NextResetEnd(&end) || deliveries_.front().due < end)) {
          changed_.wait_until(l, deliveries_.front().due);
        } else if (!NextResetEnd(&end)) {
          changed_.wait(l);
        } else if (changed_.wait_until(l, end) == std::cv_status::timeout) {
          FinishResets(Clock::now());
        }
      }
      delivery = deliveries_.front();
      deliveries_.pop_front();
    }
    std::lock_guard<std::recursive_mutex> dispatch(dispatch_);
    TbxStatusCallback callback = nullptr;
    {
      std::lock_guard<std::mutex> l(lock_);
      if (finished()) return;
      for (const Registration& r : registrations_) {
        if (r.handle == delivery.handle) callback = r.callback;
      }
    }
    if (callback) callback(delivery.word);
  }
}
