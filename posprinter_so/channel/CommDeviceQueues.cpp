// The output queues of the device channel: requests in, rendered requests out, the
// print-wait list of written asynchronous requests, resend and clearing.
#include <cstring>
#include <iterator>

#include "CommDevice.h"
#include "LogContext.h"

namespace {

// Response ids go to the printer in DC2 q; each range cycles on its own.
long Cycle(std::mutex& lock, long& counter, long first, long last) {
  std::lock_guard<std::mutex> hold(lock);
  counter = (counter < first || counter >= last) ? first : counter + 1;
  return counter;
}

// The response-id range of a request: 0-11 asynchronous, 12-13 synchronous, 14-15 immediate.
struct IdRange {
  long first, last;
  bool Holds(long id) const { return id >= first && id <= last; }
};
IdRange RangeOf(long id) {
  if (id >= 14) return {14, 15};
  if (id >= 12) return {12, 13};
  return {0, 11};
}
IdRange RangeFor(const COutputRequest* request) {
  if (request->queue == OUTPUT_QUEUE_IMMEDIATE) return {14, 15};
  if (request->completionKind == OUTPUT_COMPLETE_BY_RESULT) return {12, 13};
  return {0, 11};
}
// The send thread writes ids 0-13 in one order, the immediate thread 14-15 in its own.
bool SameWriter(long a, long b) { return (a >= 14) == (b >= 14); }

// Rewrites the id of the request's DC2 q bytes (the last such token of its data).
bool PatchResponseId(COutputRequest* request, long id) {
  const auto old = static_cast<unsigned char>(0x80 | request->responseId);
  for (long at = request->length - 3; at >= 0 && request->data; --at) {
    unsigned char* token = request->data + at;
    if (token[0] != 0x12 || token[1] != 0x71 || token[2] != old) continue;
    token[2] = static_cast<unsigned char>(0x80 | id);
    return true;
  }
  return false;
}

unsigned char* CopyBytes(const unsigned char* data, long length) {
  if (!data || length <= 0) return nullptr;
  auto* copy = new unsigned char[length];
  std::memcpy(copy, data, length);
  return copy;
}

}  // namespace

long CCommDevice::NextAsyncResponseId() { return Cycle(m_asyncIdLock, m_asyncIdCounter, 0, 11); }
long CCommDevice::NextSyncResponseId() { return Cycle(m_syncIdLock, m_syncIdCounter, 12, 13); }
long CCommDevice::NextImmediateResponseId() {
  return Cycle(m_immediateIdLock, m_immediateIdCounter, 14, 15);
}

long CCommDevice::NextOutputID(long queueSelector, long completionKind) {
  std::lock_guard<std::mutex> hold(m_outputIdLock);
  if (queueSelector != 0 && completionKind == OUTPUT_COMPLETE_BY_MESSAGE) {
    m_outputId = FollowingOutputID(m_outputId);
  }
  return m_outputId;
}

void CCommDevice::ResetOutputID() {
  std::lock_guard<std::mutex> hold(m_outputIdLock);
  m_outputId = 0;
}

long CCommDevice::Output(PrnInputProperty* record, PrnStationState* stationState,
                         PrnTokenList* list, long queueSelector, long completionKind,
                         const COutputCompletion& target) {
  static const char kFn[] = "CCommDevice::Output";
  auto* request = new COutputRequest{};
  request->inputProperty = record;
  request->stationState = stationState;
  if (m_responseIdMode == 1) {
    long id = queueSelector == 0                             ? NextImmediateResponseId()
              : completionKind == OUTPUT_COMPLETE_BY_RESULT ? NextSyncResponseId()
                                                             : NextAsyncResponseId();
    if (SetResponseIdToken(&id, &list) != OPOS_SUCCESS) {
      // Without its token the printer would never answer the output: nothing is queued.
      request->list = list;
      FreeRequestData(request);
      delete request;
      return kOutputRefused;
    }
    request->responseId = id;
  }
  request->list = list;
  request->completionKind = completionKind;
  if (completionKind == OUTPUT_COMPLETE_BY_MESSAGE) {
    request->window = target.window;
    request->message = target.message;
    request->messageParam = target.messageParam;
  } else {
    request->resultCell = target.resultCell;
    request->extendedCell = target.extendedCell;
    request->resultLock = target.resultLock;
    request->doneEvent = target.doneEvent;
  }
  const long outputId = NextOutputID(queueSelector, completionKind);
  request->outputId = outputId;
  if (queueSelector != 0) {
    std::lock_guard<std::mutex> hold(m_normalLock);
    request->queue = OUTPUT_QUEUE_NORMAL;
    m_normalQueue.push_back(request);
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "Output", "add data to normal queue and set event.");
    if (m_normalQueueEvent) SetEvent(m_normalQueueEvent);
  } else {
    std::lock_guard<std::mutex> hold(m_immediateLock);
    request->queue = OUTPUT_QUEUE_IMMEDIATE;
    m_immediateQueue.push_back(request);
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "Output", "add data to immediate queue and set event.");
    if (m_immediateQueueEvent) SetEvent(m_immediateQueueEvent);
  }
  return outputId;
}

COutputRequest* CCommDevice::GetSendQueue(long queue) {
  static const char kFn[] = "CCommDevice::GetSendQueue";
  COutputRequest* request = nullptr;
  auto take = [&](std::mutex& lock, std::deque<COutputRequest*>& q, const char* text) {
    std::lock_guard<std::mutex> hold(lock);
    if (q.empty()) return false;
    request = q.front();
    q.pop_front();
    // Under the queue's lock: a clear that missed this request counts from here on.
    if (queue == OUTPUT_QUEUE_NORMAL) m_takenClears = m_clears.load();
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "Send thread.", text);
    return true;
  };
  if (queue == OUTPUT_QUEUE_NORMAL) {
    if (!take(m_priorLock, m_priorQueue, "get data from prior send queue"))
      take(m_normalLock, m_normalQueue, "get data from normal send queue");
  } else if (queue == OUTPUT_QUEUE_IMMEDIATE) {
    take(m_immediateLock, m_immediateQueue, "get data from immediate queue");
  }
  if (!request || !request->list) return request;

  (void)BuildRequestData(request->inputProperty, request->stationState, request->list, queue);
  if (request->stationState) {
    delete request->stationState;
    request->stationState = nullptr;
    if (m_channelOwner) m_channelOwner->FreePropertyRecord(request->inputProperty);
    else delete request->inputProperty;
    request->inputProperty = nullptr;
  }
  const long total = request->list->totalBytes;
  if (total > 0) {
    request->data = new unsigned char[total];
    long at = 0;
    for (const PrnTokenNode* n = PrnOldestToken(request->list); n; n = PrnNewerToken(n)) {
      const PrnCommandToken* token = n->token;
      if (!token || !token->data || token->length <= 0) continue;
      // The running total is the sub-module's; never copy past what was allocated.
      const long take = token->length < total - at ? token->length : total - at;
      std::memcpy(request->data + at, token->data, take);
      at += take;
    }
    request->length = at;
  }
  return request;
}

void CCommDevice::AppendPrintWait(const COutputRequest* request) {
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  AppendPrintWaitLocked(request);
}

void CCommDevice::AppendPrintWaitLocked(const COutputRequest* request) {
  // A resent output keeps its place in the list: completions stay in OutputID order.
  CPrintWaitEntry* entry = FindPrintWait(request->outputId, /*written=*/false);
  if (entry) {
    delete[] entry->copy.data;
    entry->copy.responseId = request->responseId;
    entry->resending = 0;
  } else {
    entry = new CPrintWaitEntry{};
    entry->copy = *request;
    entry->copy.inputProperty = nullptr;
    entry->copy.stationState = nullptr;
    entry->copy.list = nullptr;
    entry->station = request->list ? request->list->station : 0;
    m_printWait.push_back(entry);
  }
  entry->copy.data = CopyBytes(request->data, request->length);
  entry->copy.length = request->length;
  // Owed before the write: the printer may answer before the write call returns.
  m_owedAnswers.push_back({request->responseId, request->outputId, entry, true, false});
}

long CCommDevice::UsableResponseId(const COutputRequest* request) const {
  const IdRange range = RangeFor(request);
  bool owed[16] = {};
  bool standsForOutput = false;
  for (const COwedAnswer& a : m_owedAnswers) {
    if (!range.Holds(a.responseId)) continue;
    owed[a.responseId] = true;
    standsForOutput = standsForOutput || a.entry || a.outputId != kNoOutput || a.awaited;
  }
  long free = 0;
  for (long id = range.first; id <= range.last; ++id) free += owed[id] ? 0 : 1;
  // The last free id only once nothing waits on an owed answer: the answer to its write,
  // or those before it, then end every wait, whatever the printer lost.
  if (free == 0 || (free == 1 && standsForOutput)) return -1;
  const long own = range.Holds(request->responseId) ? request->responseId : range.first;
  for (long id = own;; id = id == range.last ? range.first : id + 1)
    if (!owed[id]) return id;
}

CCommDevice::WriteEntry CCommDevice::EnterWrite(COutputRequest* request, bool async,
                                                long takenClears) {
  static const char kFn[] = "CCommDevice::EnterWrite";
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  if (takenClears != m_clears.load()) return WriteEntry::kCleared;
  const long id = UsableResponseId(request);
  if (id < 0) return WriteEntry::kNoId;
  if (id != request->responseId) {
    if (!PatchResponseId(request, id)) return WriteEntry::kNoId;
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "",
        Fmt("  OutputID %ld goes with response id %ld: %ld is still owed", request->outputId,
            id, request->responseId));
    request->responseId = id;
  }
  if (async) {
    AppendPrintWaitLocked(request);
    return WriteEntry::kWrite;
  }
  // An answer left in the list belongs to a write before this one.
  const bool immediate = request->queue == OUTPUT_QUEUE_IMMEDIATE;
  {
    std::lock_guard<std::mutex> ids(immediate ? m_immediateIdsLock : m_syncIdsLock);
    (immediate ? m_immediateIds : m_syncIds).clear();
  }
  m_owedAnswers.push_back({id, kNoOutput, nullptr, true, true});
  return WriteEntry::kWrite;
}

void CCommDevice::NoteSyncWriteReturned(const COutputRequest* request, bool accepted) {
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  for (auto it = m_owedAnswers.rbegin(); it != m_owedAnswers.rend(); ++it) {
    if (!it->pending || !it->awaited || it->responseId != request->responseId) continue;
    it->pending = false;
    if (!accepted) m_owedAnswers.erase(std::next(it).base());
    return;
  }
}

void CCommDevice::StopAwaiting(const COutputRequest* request) {
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  for (COwedAnswer& owed : m_owedAnswers)
    if (owed.awaited && owed.responseId == request->responseId) owed.awaited = false;
}

bool CCommDevice::MarkPrintWaitWritten(const COutputRequest* request, bool accepted) {
  static const char kFn[] = "CCommDevice::CompletePrintWait";
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  CPrintWaitEntry* entry = FindPrintWait(request->outputId, /*written=*/false);
  for (auto it = m_owedAnswers.rbegin(); it != m_owedAnswers.rend(); ++it) {
    if (!it->pending || it->responseId != request->responseId) continue;
    it->pending = false;
    // A refused write owes no answer.
    if (!accepted) m_owedAnswers.erase(std::next(it).base());
    break;
  }
  if (!entry) return false;  // cleared meanwhile
  if (accepted) {
    entry->written = 1;
    (void)CompleteAnsweredPrintWait();
  } else if (entry->answered) {
    // Not this write's answer after all: the printer refused its bytes.
    entry->answered = 0;
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "",
        Fmt("  Answer for OutputID %ld dropped: its write was refused", entry->copy.outputId));
  }
  return true;
}

CPrintWaitEntry* CCommDevice::FindPrintWait(long outputId, bool written) const {
  for (auto it = m_printWait.rbegin(); it != m_printWait.rend(); ++it)
    if ((*it)->copy.outputId == outputId && ((*it)->written != 0) == written) return *it;
  return nullptr;
}

CPrintWaitEntry* CCommDevice::FindPrintWait(long outputId) const {
  for (CPrintWaitEntry* entry : m_printWait)
    if (entry->copy.outputId == outputId) return entry;
  return nullptr;
}

void CCommDevice::ForgetOwedAnswers(const CPrintWaitEntry* entry) {
  for (COwedAnswer& owed : m_owedAnswers) {
    if (owed.entry != entry && owed.outputId != entry->copy.outputId) continue;
    owed.entry = nullptr;
    owed.outputId = kNoOutput;
  }
}

void CCommDevice::RemovePrintWait(CPrintWaitEntry* entry) {
  ForgetOwedAnswers(entry);
  for (auto it = m_printWait.begin(); it != m_printWait.end(); ++it) {
    if (*it != entry) continue;
    m_printWait.erase(it);
    break;
  }
  delete[] entry->copy.data;
  delete entry;
}

void CCommDevice::MarkLost(CPrintWaitEntry* entry, long resultCode) {
  if (!entry->lost && !entry->answered && !entry->failed) entry->lost = resultCode;
}

void CCommDevice::TakeAnswer(long responseId) {
  static const char kFn[] = "CCommDevice::CompletePrintWait";
  const IdRange range = RangeOf(responseId);
  {
    std::lock_guard<std::mutex> hold(m_printWaitLock);
    auto match = m_owedAnswers.begin();
    while (match != m_owedAnswers.end() && match->responseId != responseId) ++match;
    if (match == m_owedAnswers.end()) {
      Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "",
          Fmt("  No write owes answer %ld: it stands for nothing", responseId));
    } else {
      const COwedAnswer taken = *match;
      // The printer answers in the order it took the writes: an older write of the same
      // thread still unanswered was lost, and an output that waited on it with it.
      std::deque<COwedAnswer> kept;
      for (auto it = m_owedAnswers.begin(); it != m_owedAnswers.end(); ++it) {
        if (it == match) continue;
        if (it < match && SameWriter(it->responseId, responseId)) {
          Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "",
              it->outputId == kNoOutput
                  ? Fmt("  No answer came for response id %ld", it->responseId)
                  : Fmt("  No answer came for a copy of OutputID %ld", it->outputId));
          if (it->entry) MarkLost(it->entry, OPOS_E_NOHARDWARE);
          continue;
        }
        kept.push_back(*it);
      }
      m_owedAnswers.swap(kept);
      CPrintWaitEntry* entry = taken.entry;
      if (!entry && taken.outputId != kNoOutput) entry = FindPrintWait(taken.outputId);
      if (entry) {
        entry->answered = 1;
        if (!entry->written)
          Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "",
              Fmt("  Answer for OutputID %ld came before its write returned",
                  entry->copy.outputId));
      } else if (range.first == 0) {
        Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "",
            Fmt("  Answer %ld stands for no output", responseId));
      }
    }
    // Filed under the lock: a synchronous write entered after this drops it from its list.
    if (range.first == 14) {
      std::lock_guard<std::mutex> ids(m_immediateIdsLock);
      m_immediateIds.push_back(responseId);
    } else if (range.first == 12) {
      std::lock_guard<std::mutex> ids(m_syncIdsLock);
      m_syncIds.push_back(responseId);
    } else {
      std::lock_guard<std::mutex> ids(m_asyncIdsLock);
      m_asyncIds.push_back(responseId);
    }
  }
  SetEvent(range.first == 14   ? m_immediateResponseEvent.get()
           : range.first == 12 ? m_syncResponseEvent.get()
                               : m_asyncResponseEvent.get());
  SetEvent(m_printWaitChangedEvent.get());  // an id may be free again
}

bool CCommDevice::AnswerAwaitedForOutput() const {
  for (const COwedAnswer& owed : m_owedAnswers)
    if (owed.entry || owed.outputId != kNoOutput) return true;
  return false;
}

bool CCommDevice::NextRequestWritable() {
  COutputRequest next{};
  {
    std::lock_guard<std::mutex> prior(m_priorLock);
    std::lock_guard<std::mutex> normal(m_normalLock);
    const std::deque<COutputRequest*>& q = m_priorQueue.empty() ? m_normalQueue : m_priorQueue;
    if (q.empty()) return false;
    if (m_responseIdMode != 1) return true;
    next = *q.front();
  }
  // Output the printer lost is reported first: the answer to it decides what goes next.
  if (LostOutputCode()) return false;
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  if (UsableResponseId(&next) >= 0) return true;
  const long held = next.outputId * 16 + next.responseId;  // synchronous ones share OutputIDs
  if (m_heldLogged != held) {
    m_heldLogged = held;
    Log(LOG_INFO, "CCommDevice::DoSendThread", __LINE__, TAG_INFO, "Send thread.",
        Fmt("OutputID %ld waits for the answer owed with its response id %ld", next.outputId,
            next.responseId));
  }
  return false;
}

void CCommDevice::GiveUpOwedAnswers() {
  static const char kFn[] = "CCommDevice::DoSendThread";
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "Send thread.",
      Fmt("No answer within the response timeout: %ld owed answers given up",
          static_cast<long>(m_owedAnswers.size())));
  // The printer may still send them: they stay owed, for no output.
  for (COwedAnswer& owed : m_owedAnswers) {
    CPrintWaitEntry* entry = owed.entry;
    if (!entry && owed.outputId != kNoOutput) entry = FindPrintWait(owed.outputId);
    if (entry) MarkLost(entry, OPOS_E_TIMEOUT);
    owed.entry = nullptr;
    owed.outputId = kNoOutput;
  }
}

void CCommDevice::ResetForResponseIds() {
  static const char kFn[] = "CCommDevice::DoSendThread";
  Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "Send thread.",
      "No response id free and no answer within the response timeout: printer reset");
  m_powerReports.store(0);
  (void)OtherMethod1005();
  DropOwedAnswers();
  // Offline until the reset is over (reported offline, then online): nothing is written
  // meanwhile, or it would be refused. A printer that stays online reports nothing.
  const DWORD start = GetTickCount();
  for (;;) {
    const long seen = m_powerReports.load();
    const DWORD elapsed = GetTickCount() - start;
    if (seen == kOnlineAfterOffline || (seen == 0 && elapsed >= kResetReportMs) ||
        elapsed >= static_cast<DWORD>(m_responseTimeout))
      break;
    if (WaitForSingleObject(m_sendStopEvent.get(), 10) == WAIT_OBJECT_0) {
      SetEvent(m_sendStopEvent.get());  // left signalled for the send thread's own waits
      break;
    }
  }
  m_answerTick.store(GetTickCount());
}

long CCommDevice::LostOutputCode() {
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  for (const CPrintWaitEntry* entry : m_printWait)
    if (entry->lost && !entry->answered && !entry->failed) return entry->lost;
  return 0;
}

void CCommDevice::NotePrinterOffline() {
  static const char kFn[] = "CCommDevice::NotePrinterOffline";
  bool marked = false;
  {
    std::lock_guard<std::mutex> hold(m_printWaitLock);
    for (CPrintWaitEntry* entry : m_printWait) {
      if (!entry->written || entry->answered || entry->failed || entry->lost) continue;
      MarkLost(entry, OPOS_E_NOHARDWARE);
      Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "",
          Fmt("  Printer off or offline: OutputID %ld may be lost", entry->copy.outputId));
      marked = true;
    }
  }
  if (marked) SetEvent(m_printWaitChangedEvent.get());
}

size_t CCommDevice::OwedAnswerCount() {
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  return m_owedAnswers.size();
}

void CCommDevice::DropOwedAnswers() {
  {
    std::lock_guard<std::mutex> hold(m_printWaitLock);
    std::deque<COwedAnswer> kept;
    for (const COwedAnswer& owed : m_owedAnswers) {
      if (owed.pending) {
        kept.push_back(owed);  // its bytes may reach the printer after the reset
        continue;
      }
      // No entry may wait for an answer nothing will send.
      CPrintWaitEntry* entry = owed.entry;
      if (!entry && owed.outputId != kNoOutput) entry = FindPrintWait(owed.outputId);
      if (entry) MarkLost(entry, OPOS_E_NOHARDWARE);
    }
    m_owedAnswers.swap(kept);
  }
  SetEvent(m_printWaitChangedEvent.get());
}

// Completes, oldest first, every entry whose answer came and whose newest copy the printer
// took; stops at the first one still waiting, so completions keep the order of output.
int CCommDevice::CompleteAnsweredPrintWait() {
  static const char kFn[] = "CCommDevice::CompletePrintWait";
  int completed = 0;
  while (!m_printWait.empty()) {
    CPrintWaitEntry* entry = m_printWait.front();
    if (!entry->written || !entry->answered || entry->failed) break;
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "",
        Fmt("CCommDevice::CompletePrintWait  OutputID is %ld", entry->copy.outputId));
    if (entry->copy.window)
      PostMessageA(entry->copy.window, entry->copy.message, entry->copy.messageParam,
                   entry->copy.outputId);
    RemovePrintWait(entry);
    ++completed;
  }
  return completed;
}

bool CCommDevice::HasPrintWait() {
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  return !m_printWait.empty() && m_printWait.front()->copy.data != nullptr;
}

void CCommDevice::MarkOldestPrintWaitFailed() {
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  if (!m_printWait.empty()) m_printWait.front()->failed = 1;
}

HWND CCommDevice::GetOldestPrintWaitWindow() {
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  return m_printWait.empty() ? nullptr : m_printWait.front()->copy.window;
}

long CCommDevice::GetOldestPrintWaitStation() {
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  return m_printWait.empty() ? 0 : m_printWait.front()->station;
}

size_t CCommDevice::PrintWaitCount() {
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  return m_printWait.size();
}

size_t CCommDevice::QueuedCount(long queue) {
  std::mutex& lock = queue == 0 ? m_immediateLock : queue == 2 ? m_normalLock : m_priorLock;
  const auto& q = queue == 0 ? m_immediateQueue : queue == 2 ? m_normalQueue : m_priorQueue;
  std::lock_guard<std::mutex> hold(lock);
  return q.size();
}

bool CCommDevice::HasPendingOutput() {
  // The queues before the holding flag: the send thread sets the flag before it takes.
  if (QueuedCount(OUTPUT_QUEUE_NORMAL) || QueuedCount(1) || QueuedCount(OUTPUT_QUEUE_IMMEDIATE))
    return true;
  if (PrintWaitCount()) return true;
  return m_sendHolding.load() != 0;
}

void CCommDevice::RetryPrintReprintQueue() {
  long count = 0;
  {
    std::lock_guard<std::mutex> prior(m_priorLock);  // always before the print-wait lock
    std::lock_guard<std::mutex> wait(m_printWaitLock);
    // Newest first onto the front of the prior queue: the resent requests are written
    // again in their first order, ahead of what an earlier resend still holds there (all
    // of which was first written after them). Each entry keeps its place in the list, so
    // an output the printer answered is not written again and completes in its turn.
    for (auto it = m_printWait.rbegin(); it != m_printWait.rend(); ++it) {
      CPrintWaitEntry* entry = *it;
      if (entry->answered && entry->written && !entry->failed) continue;
      if (entry->resending) continue;  // still queued from an earlier retry
      // Answers still owed for the old copy may come, but stand for no output: the resend's
      // own answer completes it.
      ForgetOwedAnswers(entry);
      auto* request = new COutputRequest(entry->copy);
      request->list = nullptr;
      request->data = CopyBytes(entry->copy.data, entry->copy.length);
      m_priorQueue.push_front(request);
      entry->written = entry->answered = entry->failed = entry->lost = 0;
      entry->resending = 1;
      ++count;
    }
  }
  Log(LOG_INFO, "CCommDevice::RetryPrintReprintQueue", __LINE__, TAG_INFO, "",
      Fmt("  DataCount %ld", count));
}

void CCommDevice::FreeRequestData(COutputRequest* request) {
  if (!request) return;
  if (request->list) (void)ReleaseSubSOData(request->list);
  request->list = nullptr;
  delete request->stationState;
  request->stationState = nullptr;
  if (request->inputProperty) {
    if (m_channelOwner) m_channelOwner->FreePropertyRecord(request->inputProperty);
    else delete request->inputProperty;
  }
  request->inputProperty = nullptr;
  delete[] request->data;
  request->data = nullptr;
}

void CCommDevice::ClearPrintWait() {
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  // The printer still prints and answers what it took: those answers stay owed, for no
  // output, so that none of them completes a later output with the same id.
  for (COwedAnswer& owed : m_owedAnswers) {
    owed.entry = nullptr;
    owed.outputId = kNoOutput;
  }
  while (!m_printWait.empty()) {
    CPrintWaitEntry* entry = m_printWait.back();
    m_printWait.pop_back();
    FreeRequestData(&entry->copy);
    delete entry;
  }
}

void CCommDevice::ClearQueue(std::mutex& lock, std::deque<COutputRequest*>& queue) {
  std::deque<COutputRequest*> taken;
  {
    std::lock_guard<std::mutex> hold(lock);
    taken.swap(queue);
  }
  FreeCleared(taken);
}

void CCommDevice::FreeCleared(std::deque<COutputRequest*>& requests) {
  for (COutputRequest* request : requests) {
    // A synchronous caller polls its result cell until it changes: a cleared request
    // answers failure instead of leaving the caller waiting for good.
    if (request->completionKind == OUTPUT_COMPLETE_BY_RESULT) CompleteRequest(request, 111, 0);
    FreeRequestData(request);
    delete request;
  }
  requests.clear();
}

void CCommDevice::ClearAllQueues() {
  std::deque<COutputRequest*> normal, prior;
  {
    // With the queues taken, under their locks: a request the send thread takes after this
    // was queued after the clear; one it took before is dropped before its write.
    std::lock_guard<std::mutex> priorHold(m_priorLock);
    std::lock_guard<std::mutex> normalHold(m_normalLock);
    ++m_clears;
    normal.swap(m_normalQueue);
    prior.swap(m_priorQueue);
  }
  for (auto* ids : {&m_immediateIds, &m_syncIds, &m_asyncIds}) {
    std::mutex& lock = ids == &m_immediateIds ? m_immediateIdsLock
                       : ids == &m_syncIds    ? m_syncIdsLock
                                              : m_asyncIdsLock;
    std::lock_guard<std::mutex> hold(lock);
    ids->clear();
  }
  ClearPrintWait();
  FreeCleared(normal);
  FreeCleared(prior);
  ClearQueue(m_immediateLock, m_immediateQueue);
}

// ---- what the callbacks leave for the threads ----

long CCommDevice::PopId(std::mutex& lock, std::deque<long>& ids) {
  std::lock_guard<std::mutex> hold(lock);
  if (ids.empty()) return -1;
  const long id = ids.front();
  ids.pop_front();
  return id;
}

long CCommDevice::PopImmediateResponseId() { return PopId(m_immediateIdsLock, m_immediateIds); }
long CCommDevice::PopSyncResponseId() { return PopId(m_syncIdsLock, m_syncIds); }
long CCommDevice::PopAsyncResponseId() { return PopId(m_asyncIdsLock, m_asyncIds); }

bool CCommDevice::HasAsyncResponseId() {
  std::lock_guard<std::mutex> hold(m_asyncIdsLock);
  return !m_asyncIds.empty();
}

void CCommDevice::GetResultCodes(long* resultCode, long* resultCodeExtended) {
  std::lock_guard<std::mutex> hold(m_resultLock);
  *resultCode = m_resultCode;
  *resultCodeExtended = m_resultCodeExtended;
}

void CCommDevice::TakeNotifiedResultCodes(long* resultCode, long* resultCodeExtended) {
  std::lock_guard<std::mutex> hold(m_resultLock);
  *resultCode = m_notifiedResultCode;
  *resultCodeExtended = m_notifiedResultCodeExtended;
  m_notifiedResultCode = m_notifiedResultCodeExtended = 0;
}

void CCommDevice::TakeErrorNotice(long* errorLevel, std::string* text) {
  std::lock_guard<std::mutex> hold(m_resultLock);
  *errorLevel = m_noticeErrorLevel;
  *text = m_noticeText;
  m_noticeErrorLevel = 1;  // taken: back to "no error", never a level OPOS lacks
  m_noticeText.clear();
}
