// The four worker threads of the device channel: send, immediate, receive and
// watch-response; writing, waiting for the printer's answers and completing output.
#include <cstring>
#include <memory>
#include <system_error>

#include "CommDevice.h"
#include "LogContext.h"

namespace {

const char* const kThreadNames[] = {"Send thread.", "Receive thread.", "Immediate thread.",
                                    "Execution response thread."};
constexpr DWORD kIdleWaitMs = 1000;
constexpr DWORD kPollMs = 10;
constexpr DWORD kAnswerPollMs = 1;  // status polls while the printer's answer is due

HANDLE NewManualResetEvent() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }

}  // namespace

HANDLE CCommDevice::StopEvent(int index) const {
  const ScopedHandle* events[] = {&m_sendStopEvent, &m_receiveStopEvent, &m_immediateStopEvent,
                                  &m_watchResponseStopEvent};
  return events[index]->get();
}

BOOL CCommDevice::StartWorker(int index) {
  static const char kFn[] = "CCommDevice::StartThread";
  CWorker& worker = m_workers[index];
  if (worker.thread.joinable()) return 1;
  worker.stop.store(0);
  ResetEvent(StopEvent(index));
  Log(LOG_INFO, kFn, __LINE__, TAG_INFO, kThreadNames[index], "Begin thread.");
  try {
    if (index == m_failThreadStart) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    void (CCommDevice::*const bodies[])() = {&CCommDevice::DoSendThread, &CCommDevice::DoRecvThread,
                                              &CCommDevice::DoImmediateThread,
                                              &CCommDevice::DoWatchResponseThread};
    worker.thread = std::thread(bodies[index], this);
    return 1;
  } catch (...) {
    Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "Failed to begin thread.", kThreadNames[index]);
    worker.stop.store(1);
    ResetEvent(StopEvent(index));
    return 0;
  }
}

BOOL CCommDevice::StopWorker(int index) {
  static const char kFn[] = "CCommDevice::StopThread";
  CWorker& worker = m_workers[index];
  if (!worker.thread.joinable()) return 1;
  worker.stop.store(1);
  SetEvent(StopEvent(index));
  Log(LOG_INFO, kFn, __LINE__, TAG_INFO, kThreadNames[index], "Wait for thread termination.");
  worker.thread.join();
  Log(LOG_INFO, kFn, __LINE__, TAG_INFO, kThreadNames[index], "Thread exited.");
  return 1;
}

BOOL CCommDevice::StartSendThread() { return StartWorker(kSend); }
BOOL CCommDevice::StartRecvThread() { return StartWorker(kRecv); }
BOOL CCommDevice::StartImmediateThread() { return StartWorker(kImmediate); }
BOOL CCommDevice::StartWatchResponseThread() { return StartWorker(kWatch); }
BOOL CCommDevice::StopSendThread() { return StopWorker(kSend); }
BOOL CCommDevice::StopRecvThread() { return StopWorker(kRecv); }
BOOL CCommDevice::StopImmediateThread() { return StopWorker(kImmediate); }
BOOL CCommDevice::StopWatchResponseThread() { return StopWorker(kWatch); }

bool CCommDevice::IsAnyThreadRunning() const {
  for (const CWorker& worker : m_workers)
    if (worker.thread.joinable()) return true;
  return false;
}

BOOL CCommDevice::CreateQueueEvents() {
  HANDLE* events[] = {&m_normalQueueEvent, &m_statusEvent, &m_immediateQueueEvent};
  for (int i = 0; i < 3; ++i) {
    if (!*events[i]) *events[i] = (i == m_failEventCreation) ? nullptr : NewManualResetEvent();
    if (!*events[i]) {
      CloseQueueEvents();
      return 0;
    }
  }
  return 1;
}

BOOL CCommDevice::StartAllThreads() {
  // A thread waiting on a missing event would spin: without all three none starts.
  if (!CreateQueueEvents()) return 0;
  if (StartSendThread() && StartRecvThread() && StartImmediateThread() &&
      StartWatchResponseThread())
    return 1;
  // Stopping a thread that never started does nothing and logs nothing.
  (void)StopAllThreads();
  return 0;
}

BOOL CCommDevice::StopAllThreads() {
  (void)StopSendThread();
  (void)StopRecvThread();
  (void)StopImmediateThread();
  (void)StopWatchResponseThread();
  return 1;
}

void CCommDevice::CloseQueueEvents() {
  for (HANDLE* event : {&m_normalQueueEvent, &m_immediateQueueEvent, &m_statusEvent}) {
    if (*event) CloseHandle(*event);
    *event = nullptr;
  }
}

void CCommDevice::ShutDownOutput() {
  (void)StopAllThreads();
  if (m_module.valid()) ClearAllQueues();
  CloseQueueEvents();
}

long CCommDevice::WriteRequest(const COutputRequest* request, long* errorLevel,
                               std::string* errorText, long* resultCodeExtended,
                               const char* thread) {
  static const char kFn[] = "CCommDevice::WriteRequest";
  *errorLevel = 1;
  *resultCodeExtended = 0;
  const char* text = "";
  PrnWriteArgs args{0, request->data, request->length, errorLevel, &text, resultCodeExtended};
  long result = CallService(PRN_SERVICE_WRITE_PRINTER_DATA, &args);
  *errorText = text ? text : "";
  if (result < 0) {
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "lpotherMethod function failed.",
        Fmt("Return value = %ld", result));
    Log(LOG_INFO, kFn, __LINE__, TAG_EXIT, "lpotherMethod method end.", thread);
    result = OPOS_E_ILLEGAL;
  }
  return result;
}

// Mode 1: waits for the printer's answer to a synchronous request. The answer must carry
// the request's own id; a late answer to an earlier request that timed out is dropped.
long CCommDevice::WaitSyncAnswer(const COutputRequest* request, bool immediate,
                                 long* resultCodeExtended) {
  static const char kFn[] = "CCommDevice::WaitSyncAnswer";
  const int index = immediate ? kImmediate : kSend;
  const char* name = kThreadNames[index];
  HANDLE errorEvent = immediate ? m_immediateErrorEvent.get() : m_sendErrorEvent.get();
  HANDLE responseEvent = immediate ? m_immediateResponseEvent.get() : m_syncResponseEvent.get();
  HANDLE handles[] = {errorEvent, responseEvent, StopEvent(index)};
  const DWORD timeout = m_responseTimeout > 0 ? static_cast<DWORD>(m_responseTimeout) : 0;
  const DWORD start = GetTickCount();
  const CAnswerWait awaiting(this);
  // Unless its answer came, the answer stays owed for no caller.
  struct CAwaited {
    CCommDevice* channel;
    const COutputRequest* request;
    ~CAwaited() { channel->StopAwaiting(request); }
  } awaited{this, request};
  Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "Wait for event notification.");
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    const DWORD wait = WaitForMultipleObjects(3, handles, FALSE, elapsed < timeout ? timeout - elapsed : 0);
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, immediate ? "notification..." : "notification.");
    if (wait == WAIT_TIMEOUT) {
      Log(immediate ? LOG_INFO : LOG_ERROR, kFn, __LINE__, TAG_INFO, name, "Wait notify time out.");
      return immediate ? static_cast<long>(OPOS_SUCCESS) : 112L;
    }
    if (wait == WAIT_OBJECT_0) {
      long rc = 0, rce = 0, current = 0, currentEx = 0;
      TakeNotifiedResultCodes(&rc, &rce);
      GetResultCodes(&current, &currentEx);
      Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name,
          Fmt("Errorevent notified. lResultCode = %ld m_lResultCode = %ld lResultCode-%ld  "
              "lResultCodeEx-%ld", rc, current, rc, rce));
      if (current == 0) return OPOS_SUCCESS;
      *resultCodeExtended = rce;
      return rc;
    }
    if (wait != WAIT_OBJECT_0 + 1) {
      Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "End notification!");
      return OPOS_SUCCESS;
    }
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "Response code notified.");
    // Every answer that came is looked at; once none is left the wait above goes on, an
    // error notice included.
    for (long id; (id = immediate ? PopImmediateResponseId() : PopSyncResponseId()) != -1;) {
      if (CheckResponseCode(id, request->responseId)) {
        Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "Set responsecode received flag true.");
        return OPOS_SUCCESS;
      }
      Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "");
    }
  }
}

void CCommDevice::CompleteRequest(const COutputRequest* request, long result,
                                  long resultCodeExtended) {
  if (request->completionKind == OUTPUT_COMPLETE_BY_MESSAGE) {
    if (m_responseIdMode == 0 && request->window)
      PostMessageA(request->window, request->message, request->messageParam, request->outputId);
    return;
  }
  if (!request->resultCell) return;
  std::unique_lock<std::mutex> hold;
  if (request->resultLock) hold = std::unique_lock<std::mutex>(*request->resultLock);
  if (request->extendedCell) *request->extendedCell = resultCodeExtended;
  *request->resultCell = result;
  // Under the caller's lock: once it sees the result it may close the event.
  if (request->doneEvent) SetEvent(request->doneEvent);
}

// An output error nobody hears of (the device is not enabled) counts as cleared: the failed
// entry, and that of the request whose write was refused, would otherwise hold back every
// later confirmation and the idle message for good.
void CCommDevice::DropFailedPrintWait() {
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  for (size_t i = m_printWait.size(); i-- > 0;) {
    CPrintWaitEntry* entry = m_printWait[i];
    if (entry->failed || !entry->written || (entry->lost && !entry->answered))
      RemovePrintWait(entry);
  }
  (void)CompleteAnsweredPrintWait();
}

// Raises an output error for the oldest written output and carries out the answer.
void CCommDevice::RaiseOutputError(long errorLevel, const std::string& text, long resultCode,
                                   long resultCodeExtended, bool markFailed) {
  static const char kFn[] = "CCommDevice::DoSendThread";
  const HWND window = GetOldestPrintWaitWindow();
  if (!window) return;
  if (markFailed) MarkOldestPrintWaitFailed();
  if (!m_channelOwner || !m_channelOwner->IsEnabled()) {
    if (markFailed) DropFailedPrintWait();
    return;
  }
  const long clears = m_clears.load();
  if (m_channelOwner->PostErrorAndWait(GetOldestPrintWaitStation(), errorLevel, text, resultCode,
                                       resultCodeExtended, window)) {
    RetryPrintReprintQueue();
    return;
  }
  Log(LOG_INFO, kFn, __LINE__, TAG_INFO, kThreadNames[kSend], "ClearPrinterData!!!");
  ClearUnlessClearedSince(clears);
}

void CCommDevice::ClearUnlessClearedSince(long clears) {
  if (m_clears.load() == clears) ClearAllQueues();
}

// Response-id mode, while written output waits for the printer's answers or the next request
// waits for an answer owed with its id. Output the printer lost is raised as an error (a
// refused write's, or a time-out's once the printer stayed silent for the response timeout);
// the wait ends on an error notice, an answer, new output or a stop.
void CCommDevice::WaitForAnswers(bool idWaits) {
  static const char kFn[] = "CCommDevice::DoSendThread";
  const char* name = kThreadNames[kSend];
  if (const long lost = LostOutputCode()) {
    RaiseOutputError(OPOS_SEVERITY_RECOVERABLE,
                     lost == OPOS_E_NOHARDWARE ? "Off/Offline error" : "", lost, 0,
                     /*markFailed=*/true);
    return;
  }
  DWORD wait = kIdleWaitMs;
  bool awaited = false;
  {
    std::lock_guard<std::mutex> hold(m_printWaitLock);
    awaited = AnswerAwaitedForOutput();
  }
  if (awaited || idWaits) {
    // The tick first: one stored after it is never later than now.
    const DWORD tick = m_answerTick.load();
    const DWORD quiet = GetTickCount() - tick;
    const DWORD limit = static_cast<DWORD>(m_responseTimeout);
    if (quiet >= limit) {
      if (awaited)
        GiveUpOwedAnswers();
      else
        ResetForResponseIds();
      return;
    }
    if (limit - quiet < wait) wait = limit - quiet;
  }
  HANDLE set[] = {m_sendErrorEvent.get(), m_syncResponseEvent.get(), m_sendStopEvent.get(),
                  m_printWaitChangedEvent.get(), m_normalQueueEvent};
  const DWORD signalled = WaitForMultipleObjects(5, set, FALSE, wait);
  if (signalled == WAIT_OBJECT_0) {
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "Errorevent notified.");
    long rc = 0, rce = 0, level = 0;
    std::string text;
    TakeNotifiedResultCodes(&rc, &rce);
    TakeErrorNotice(&level, &text);
    if (rc != 0) RaiseOutputError(level, text, rc, rce, /*markFailed=*/false);
  } else if (signalled == WAIT_OBJECT_0 + 1) {
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "Response code notified.");
  } else if (signalled == WAIT_OBJECT_0 + 2) {
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "End notification!");
  } else if (signalled == WAIT_OBJECT_0 + 4) {
    ResetEvent(m_normalQueueEvent);  // manual-reset: the queue is looked at next
  }
}

void CCommDevice::DoSendThread() {
  static const char kFn[] = "CCommDevice::DoSendThread";
  const char* name = kThreadNames[kSend];
  const long mode = m_responseIdMode;
  for (HANDLE e : {m_sendErrorEvent.get(), m_syncResponseEvent.get(), m_sendStopEvent.get(),
                   m_normalQueueEvent, m_printWaitChangedEvent.get()})
    ResetEvent(e);
  HWND idleWindow = nullptr;
  bool tookAny = false;
  while (!StopRequested(kSend) || QueuedCount(2) || QueuedCount(1)) {
    while (NextRequestWritable()) {
      Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "Get data from queue.");
      // Set before the request leaves the queue: it counts as pending without a gap.
      m_sendHolding.store(1);
      COutputRequest* request = GetSendQueue(OUTPUT_QUEUE_NORMAL);
      if (!request) {
        m_sendHolding.store(0);
        continue;
      }
      tookAny = true;
      const bool async = request->completionKind == OUTPUT_COMPLETE_BY_MESSAGE;
      if (mode == 1) {
        const WriteEntry entered = EnterWrite(request, async, m_takenClears);
        if (entered == WriteEntry::kNoId) {
          // Not writable after all: back to the front, to wait for a free id.
          std::lock_guard<std::mutex> hold(m_priorLock);
          m_priorQueue.push_front(request);
          m_sendHolding.store(0);
          break;
        }
        if (entered == WriteEntry::kCleared) {
          Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "Cleared before its write.");
          std::deque<COutputRequest*> cleared{request};
          FreeCleared(cleared);
          m_sendHolding.store(0);
          continue;
        }
        if (async) Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "Append send data to reprint queue.");
      }
      long errorLevel = 1, rce = 0, result = 0;
      std::string errorText;
      bool cleared = false;
      for (;;) {
        result = WriteRequest(request, &errorLevel, &errorText, &rce, name);
        if (mode == 1 && async && !MarkPrintWaitWritten(request, result == 0)) {
          // Cleared while it was written: whatever the printer did with it is no error, and
          // its answer, if one comes, stands for no output.
          cleared = true;
          break;
        }
        if (mode == 1 && !async) NoteSyncWriteReturned(request, result == 0);
        if (mode == 1 && result == 0 && async) {
          // Its entry waits for the answer now, not this thread: the window that gets the
          // last completion finds nothing pending.
          m_sendHolding.store(0);
          PollNow();
        }
        if (mode == 1 && result == 0 && !async) result = WaitSyncAnswer(request, false, &rce);
        if (mode == 1 && m_cutPending.load()) {
          result = WaitForCut(result, &rce);
          m_cutPending.store(0);
        }
        if (result == 0 || !async) break;
        if (mode == 1) MarkOldestPrintWaitFailed();
        const bool enabled = m_channelOwner && m_channelOwner->IsEnabled();
        const long clears = m_clears.load();
        const bool retry =
            enabled && m_channelOwner->PostErrorAndWait(request->list ? request->list->station : 0,
                                                        errorLevel, errorText, result, rce,
                                                        request->window);
        if (!enabled) {
          if (mode == 1) DropFailedPrintWait();
          cleared = true;
          break;
        }
        if (retry && mode == 1) {
          RetryPrintReprintQueue();
          cleared = true;
          break;
        }
        // Retrying in mode 0 writes the request again; a stop request ends the retries.
        if (retry && !StopRequested(kSend)) continue;
        Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "ClearPrinterData!!!");
        ClearUnlessClearedSince(clears);
        cleared = true;
        break;
      }
      // A synchronous caller that has its answer, or the window that gets the last
      // completion, finds nothing pending: the flag goes before the answer or the completion
      // is posted, not after the request is freed.
      m_sendHolding.store(0);
      if (!cleared) CompleteRequest(request, result, rce);
      if (request->window) idleWindow = request->window;
      FreeRequestData(request);
      delete request;
    }
    const bool held = QueuedCount(2) || QueuedCount(1);  // no id free for it yet
    // Ending: what is queued is still written, each request as an answer frees an id; once
    // the printer has answered nothing for the response timeout the rest is dropped, never
    // written with an id whose answer may still come.
    if (mode == 1 && held && StopRequested(kSend)) {
      const DWORD tick = m_answerTick.load();
      if (GetTickCount() - tick >= static_cast<DWORD>(m_responseTimeout)) break;
    }
    if (mode == 1 && (held || HasPrintWait())) {
      WaitForAnswers(held);
      continue;
    }
    if (idleWindow && !HasPendingOutput()) {
      PostMessageA(idleWindow, WhenIdleMessage(), 0, 0);
      idleWindow = nullptr;
    }
    HANDLE idleSet[] = {m_normalQueueEvent, m_sendStopEvent.get()};
    const DWORD wait = WaitForMultipleObjects(2, idleSet, FALSE, kIdleWaitMs);
    if (wait == WAIT_OBJECT_0) {
      ResetEvent(m_normalQueueEvent);
      ResetEvent(m_sendErrorEvent.get());
      ResetEvent(m_syncResponseEvent.get());
      Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "Event notification!\n");
    } else if (wait == WAIT_OBJECT_0 + 1) {
      Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "End notification!");
    }
  }
  // What could not be written is dropped; answers owed stay owed for the next claim, whose
  // writes wait for them as any other.
  if (tookAny || QueuedCount(2) || QueuedCount(1)) ClearAllQueues();
}

// Mode 1, a cut pending: while the status request reports something, the printer's current
// codes become the result, until they show an error or the response timeout has passed.
long CCommDevice::WaitForCut(long result, long* resultCodeExtended) {
  const DWORD start = GetTickCount();
  const DWORD limit = static_cast<DWORD>(m_responseTimeout);
  // Polled every millisecond meanwhile; each poll's end is looked at.
  const CAnswerWait awaiting(this);
  HANDLE set[] = {m_statusPolledEvent.get(), m_sendStopEvent.get()};
  while (result == 0 && m_statusRequest.load() == 1) {
    GetResultCodes(&result, resultCodeExtended);
    const DWORD elapsed = GetTickCount() - start;
    if (result != 0 || elapsed > limit) break;
    if (WaitForMultipleObjects(2, set, FALSE, limit - elapsed + 1) == WAIT_OBJECT_0 + 1) {
      SetEvent(m_sendStopEvent.get());  // left signalled for the send thread's own waits
      break;
    }
  }
  return result;
}

void CCommDevice::DoImmediateThread() {
  static const char kFn[] = "CCommDevice::DoImmediateThread";
  const char* name = kThreadNames[kImmediate];
  for (HANDLE e : {m_immediateErrorEvent.get(), m_immediateResponseEvent.get(),
                   m_immediateStopEvent.get(), m_immediateQueueEvent})
    ResetEvent(e);
  while (!StopRequested(kImmediate)) {
    while (QueuedCount(0)) {
      COutputRequest* request = GetSendQueue(OUTPUT_QUEUE_IMMEDIATE);
      if (!request) continue;
      long errorLevel = 1, rce = 0;
      std::string errorText;
      long result = 0;
      if (m_responseIdMode == 1 && !WaitForImmediateId(request)) {
        result = OPOS_E_TIMEOUT;  // never written: both ids still owed
        CompleteRequest(request, result, rce);
        FreeRequestData(request);
        delete request;
        continue;
      }
      if (m_responseIdMode == 1) SetImmediateWaitFlag(true);
      result = WriteRequest(request, &errorLevel, &errorText, &rce, name);
      if (m_responseIdMode == 1) NoteSyncWriteReturned(request, result == 0);
      if (m_responseIdMode == 1 && result == 0) result = WaitSyncAnswer(request, true, &rce);
      SetImmediateWaitFlag(false);
      CompleteRequest(request, result, rce);
      FreeRequestData(request);
      delete request;
    }
    HANDLE idleSet[] = {m_immediateQueueEvent, m_immediateStopEvent.get()};
    const DWORD wait = WaitForMultipleObjects(2, idleSet, FALSE, INFINITE);
    if (wait == WAIT_OBJECT_0) {
      ResetEvent(m_immediateQueueEvent);
      Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "Event notification!\n");
    } else {
      Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "End notification!");
    }
  }
}

bool CCommDevice::WaitForImmediateId(COutputRequest* request) {
  const DWORD start = GetTickCount();
  const DWORD limit = static_cast<DWORD>(m_responseTimeout);
  for (;;) {
    if (EnterWrite(request, /*async=*/false, m_clears.load()) == WriteEntry::kWrite) return true;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= limit || StopRequested(kImmediate)) return false;
    // Any answer may free one; looked at again at least every poll.
    HANDLE set[] = {m_immediateResponseEvent.get(), m_immediateStopEvent.get()};
    (void)WaitForMultipleObjects(2, set, FALSE, kPollMs);
  }
}

void CCommDevice::DoRecvThread() {
  static const char kFn[] = "CCommDevice::DoRecvThread";
  const char* name = kThreadNames[kRecv];
  PrnInputProperty* record =
      m_channelOwner ? m_channelOwner->CreateInputProperty() : new PrnInputProperty{};
  PrnPropertySnapshot* snapshot =
      m_channelOwner ? m_channelOwner->BuildPropertySnapshot(record) : new PrnPropertySnapshot{};
  auto status = std::make_unique<PrnStatusRecord>();
  ResetEvent(m_statusEvent);
  ResetEvent(m_receiveStopEvent.get());
  const DWORD poll = m_statusPollInterval > 0 ? static_cast<DWORD>(m_statusPollInterval) : kPollMs;
  while (!StopRequested(kRecv)) {
    std::memset(status.get(), 0xFF, sizeof(*status));
    PrnProcStatusArgs args{status.get(), snapshot};
    m_statusRequest.store(CallService(PRN_SERVICE_PROC_CALLBACK_STATUS, &args) != 0 ? 1 : 0);
    if (m_channelOwner) m_channelOwner->ApplyStatusRecord(status.get());
    // Only a waiting output thread looks for it (the cut-pending wait).
    if (m_answerWaits.load() > 0) SetEvent(m_statusPolledEvent.get());
    if (m_responseIdMode == 1) {
      // Sleeps the poll interval, or a millisecond while an answer is awaited; wakes at
      // once for a stop or a request just written whose answer is awaited.
      HANDLE set[] = {m_receiveStopEvent.get(), m_pollNowEvent.get()};
      (void)WaitForMultipleObjects(2, set, FALSE, NextPollWait(poll));
      continue;
    }
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "Wait for event notification.");
    HANDLE set[] = {m_statusEvent, m_receiveStopEvent.get()};
    const DWORD wait = WaitForMultipleObjects(2, set, FALSE, INFINITE);
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "notification.....");
    if (wait == WAIT_OBJECT_0) {
      ResetEvent(m_statusEvent);
      Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "Event notification!\n");
    } else {
      Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "End notification!");
    }
  }
  if (m_channelOwner) {
    m_channelOwner->UpdateStatusProperties(record);
    m_channelOwner->FreePropertyRecord(record);
    m_channelOwner->FreePropertySnapshot(snapshot);
  } else {
    delete record;
    delete snapshot;
  }
}

void CCommDevice::DoWatchResponseThread() {
  static const char kFn[] = "CCommDevice::DoWatchResponseThread";
  const char* name = kThreadNames[kWatch];
  ResetEvent(m_asyncResponseEvent.get());
  ResetEvent(m_watchResponseStopEvent.get());
  HANDLE set[] = {m_asyncResponseEvent.get(), m_watchResponseStopEvent.get()};
  while (!StopRequested(kWatch)) {
    // Drained before every wait: an answer that came before this thread began had its event
    // reset above, and waiting first would leave its output unconfirmed for good.
    while (HasAsyncResponseId() && !StopRequested(kWatch)) {
      Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "IsResponseCodeAsyncExist");
      const long id = PopAsyncResponseId();
      if (CheckResponseCode(id, -1))
        (void)CompletePrintWait(id);
      else
        Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name,
            Fmt("No written output waits for answer %ld: ignored.", id));
    }
    const DWORD wait = WaitForMultipleObjects(2, set, FALSE, INFINITE);
    if (wait != WAIT_OBJECT_0) {
      Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "End notification!");
      continue;
    }
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, name, "Event notification!\n");
  }
}

CCommDevice::CAnswerWait::CAnswerWait(CCommDevice* channel) : m_channel(channel) {
  ++m_channel->m_answerWaits;
  m_channel->PollNow();
}

CCommDevice::CAnswerWait::~CAnswerWait() { --m_channel->m_answerWaits; }

void CCommDevice::PollNow() {
  m_answerTick.store(GetTickCount());
  SetEvent(m_pollNowEvent.get());
}

DWORD CCommDevice::NextPollWait(DWORD interval) {
  if (interval <= kAnswerPollMs) return interval;
  if (m_answerWaits.load() == 0 && OwedAnswerCount() == 0) return interval;
  // An answer is due right after a write or the last answer: polled at once then, and ever
  // further apart while none comes (a stopped printer answers nothing for long), half the
  // quiet time, up to the status poll interval.
  const DWORD tick = m_answerTick.load();
  const DWORD wait = (GetTickCount() - tick) / 2;
  return wait < kAnswerPollMs ? kAnswerPollMs : wait > interval ? interval : wait;
}

BOOL CCommDevice::CheckResponseCode(long responseId, long requestId) {
  static const char kFn[] = "CCommDevice::CheckResponseCode";
  Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "", Fmt("  ResponseCode is %ld", responseId));
  if (requestId == -1 && responseId >= 0 && responseId <= 11) {
    // The answer was matched as the receive thread read it (TakeAnswer): it counts as the
    // oldest entry's when that one is answered now, else that entry's id is the one awaited.
    std::lock_guard<std::mutex> hold(m_printWaitLock);
    if (!m_printWait.empty() && m_printWait.front()->answered)
      requestId = responseId;
    else if (!m_printWait.empty())
      requestId = m_printWait.front()->copy.responseId;
  }
  Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "", Fmt("  RequestCode is %ld", requestId));
  return requestId == responseId ? 1 : 0;
}

BOOL CCommDevice::CompletePrintWait(long responseId) {
  static const char kFn[] = "CCommDevice::CompletePrintWait";
  Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "",
      Fmt("CCommDevice::CompletePrintWait  ResponseCode is %ld", responseId));
  BOOL done = 0;
  {
    std::lock_guard<std::mutex> hold(m_printWaitLock);
    done = CompleteAnsweredPrintWait() > 0;
  }
  Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "", done ? "  Remove OK" : "  Remove FAILURE");
  SetEvent(m_printWaitChangedEvent.get());  // the send thread posts the idle notice
  return done;
}
