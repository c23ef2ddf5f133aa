// The claim object: the way from the device channel back to the service object that holds
// the claim, and the named semaphore that makes a claim exclusive across processes.
#pragma once
#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "OutputRequest.h"
#include "ScopedHandle.h"
#include "Win.h"

class CErrorWaiter;
class CLogContext;
class CPOSPrinter;
struct PrnDirectIOEventRecord;
struct PrnStatusRecord;

// The device channel's owner: every thread and callback of the channel reaches the service
// object through these forwards.
class CDeviceClaim final : public IChannelOwner, public CPrinterParameters {
 public:
  explicit CDeviceClaim(CLogContext* logContext);
  ~CDeviceClaim() override;
  CDeviceClaim(const CDeviceClaim&) = delete;
  CDeviceClaim& operator=(const CDeviceClaim&) = delete;

  // Adds the service object, creates (or opens) the semaphore named by the bare device
  // name and keeps the three fixed printer parameters. false, with nothing registered,
  // when the semaphore can't be created (last error kept).
  [[nodiscard]] bool Register(CPOSPrinter* so, const std::string& deviceName, long cutDistance,
                              long lineEndFlags, long resolution);
  // Removes the service object and closes the semaphore; a claim it still holds is
  // released first, so other processes are not locked out for good.
  void Unregister(CPOSPrinter* so);

  // Waits on the semaphore (-1 without limit). 1 only when the wait returned the
  // semaphore: a time-out, a failed wait, no semaphore (not registered) or a timeout
  // below -1 give 0.
  [[nodiscard]] BOOL Lock(long timeoutMs, CPOSPrinter* so);
  // Releases the semaphore when `so` holds the claim; nothing otherwise.
  void Unlock(CPOSPrinter* so);

  CPOSPrinter* GetOwner() const;
  bool IsClaimed() const { return m_claimed.load() != 0; }
  bool IsRegistered() const;

  // 1 while the device is enabled: output errors are reported as events only then.
  void SetEnabled(bool enabled) { m_enabled.store(enabled ? 1 : 0); }
  bool IsEnabled() override { return m_enabled.load() != 0; }


  // ---- record forwards to the claimer (DeviceClaimEvents.cpp) ----
  // Without a claimer (the channel only calls while claimed) a record is empty and a free
  // only deletes.
  PrnInputProperty* CreateInputProperty() override;
  PrnPropertySnapshot* BuildPropertySnapshot(PrnInputProperty* record) override;
  void FreePropertyRecord(PrnInputProperty* record) override;
  void FreePropertySnapshot(PrnPropertySnapshot* snapshot) override;
  void ApplyStatusRecord(PrnStatusRecord* record) override;
  void UpdateStatusProperties(PrnInputProperty* record) override;
  std::string GetErrorString() override;
  void ClearErrorProperties() override;

  // ---- events (DeviceClaimEvents.cpp): forwards to the claimer's window and queue ----
  // StatusUpdate(code) when the claimer's window reports the code.
  void FireStatusUpdate(PrnStatusRecord* record, long code) override;
  // A DirectIO event from the sub-module's record (pString kept wide).
  void QueueDirectIOEvent(PrnDirectIOEventRecord* record) override;
  // An output error while enabled: raises the error event through `window` and waits
  // for the Control Object's answer. true to retry; false to clear, also at once when not
  // enabled, when the window is gone, or once the device is disabled. The wait ends
  // answered: an event still posted for it is stale and never fired.
  [[nodiscard]] bool PostErrorAndWait(long station, long errorLevel, const std::string& text,
                                      long resultCode, long resultCodeExtended,
                                      HWND window) override;
  // Answers the output error being waited for, whether its event is fired, queued or still
  // posted, with `answer` (the first answer stands); whether one was waiting.
  bool AnswerErrorWait(long answer);

 private:
  std::list<CPOSPrinter*> m_registered;   // newest first
  std::atomic<CPOSPrinter*> m_claimer{nullptr};
  std::atomic<long> m_claimed{0};
  ScopedHandle m_semaphore;
  mutable std::mutex m_listLock;
  CLogContext* m_logContext;              // the creator's context word
  std::atomic<long> m_enabled{0};
  std::shared_ptr<CErrorWaiter> m_errorWait;  // the send thread's, while it waits
  std::mutex m_errorWaitLock;
};
