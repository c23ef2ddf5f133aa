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
  auto* entry = new CPrintWaitEntry{};
  entry->copy = *request;
  entry->copy.inputProperty = nullptr;
  entry->copy.stationState = nullptr;
  entry->copy.list = nullptr;
  entry->copy.data = CopyBytes(request->data, request->length);
  entry->station = request->list ? request->list->station : 0;
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  m_printWait.push_back(entry);
  // Owed before the write: the printer may answer before the write call returns.
  m_owedAnswers.push_back({request->responseId, request->outputId, entry, true});
}

void CCommDevice::MarkPrintWaitWritten(const COutputRequest* request, bool accepted) {
  static const char kFn[] = "CCommDevice::CompletePrintWait";
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  CPrintWaitEntry* entry = FindPrintWait(request->outputId, /*written=*/false);
  for (auto it = m_owedAnswers.rbegin(); it != m_owedAnswers.rend(); ++it) {
    if (!it->pending || it->outputId != request->outputId) continue;
    it->pending = false;
    // A refused write owes no answer.
    if (!accepted) m_owedAnswers.erase(std::next(it).base());
    break;
  }
  if (!entry) return;  // cleared meanwhile
  if (accepted) {
    entry->written = 1;
    (void)CompleteAnsweredPrintWait();
  } else if (entry->answered) {
    // Not this write's answer after all: the printer refused its bytes.
    entry->answered = 0;
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "",
        Fmt("  Answer for OutputID %ld dropped: its write was refused", entry->copy.outputId));
  }
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
  for (COwedAnswer& owed : m_owedAnswers)
    if (owed.entry == entry) owed.entry = nullptr;
}

void CCommDevice::RemovePrintWait(CPrintWaitEntry* entry) {
  // Answers still owed for any copy of this output stand for no output any more.
  for (COwedAnswer& owed : m_owedAnswers) {
    if (owed.entry != entry && owed.outputId != entry->copy.outputId) continue;
    owed.entry = nullptr;
    owed.outputId = kNoOutput;
  }
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

// The oldest answer owed with this id. The printer answers in the order it took the writes,
// so every answer owed before it was lost (the printer dropped those bytes): an output that
// waited on one of them is lost. Only one output at a time owes answers with a given id
// (NextRequestWritable), so whichever of its copies this answer stands for, it is that
// output's.
bool CCommDevice::TakeOwedAnswer(long responseId, COwedAnswer* taken) {
  static const char kFn[] = "CCommDevice::CompletePrintWait";
  auto match = m_owedAnswers.begin();
  while (match != m_owedAnswers.end() && match->responseId != responseId) ++match;
  if (match == m_owedAnswers.end()) return false;
  for (auto it = m_owedAnswers.begin(); it != match; ++it) {
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "",
        Fmt("  No answer came for a copy of OutputID %ld", it->outputId));
    if (it->entry) MarkLost(it->entry, OPOS_E_NOHARDWARE);
  }
  *taken = *match;
  m_owedAnswers.erase(m_owedAnswers.begin(), match + 1);
  return true;
}

long CCommDevice::ExpectedAnswerId(long responseId) const {
  for (const COwedAnswer& owed : m_owedAnswers)
    if (owed.responseId == responseId) return responseId;
  return m_owedAnswers.empty() ? -1 : m_owedAnswers.front().responseId;
}

bool CCommDevice::OwedByAnotherOutput(long responseId, long outputId) const {
  for (const COwedAnswer& owed : m_owedAnswers)
    if (owed.responseId == responseId && owed.outputId != outputId) return true;
  return false;
}

bool CCommDevice::NextRequestWritable() {
  if (QueuedCount(1)) return true;  // a resend: its id is owed only for its own output
  long responseId = 0, outputId = 0;
  {
    std::lock_guard<std::mutex> hold(m_normalLock);
    if (m_normalQueue.empty()) return false;
    const COutputRequest* next = m_normalQueue.front();
    if (m_responseIdMode != 1 || next->completionKind != OUTPUT_COMPLETE_BY_MESSAGE) return true;
    responseId = next->responseId;
    outputId = next->outputId;
  }
  // Ending: what is queued is written all the same.
  if (StopRequested(kSend)) return true;
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  if (!OwedByAnotherOutput(responseId, outputId)) return true;
  if (m_heldLogged != outputId) {
    m_heldLogged = outputId;
    Log(LOG_INFO, "CCommDevice::DoSendThread", __LINE__, TAG_INFO, "Send thread.",
        Fmt("OutputID %ld waits for the answer owed with its response id %ld", outputId,
            responseId));
  }
  return false;
}

void CCommDevice::GiveUpOwedAnswers() {
  static const char kFn[] = "CCommDevice::DoSendThread";
  std::lock_guard<std::mutex> hold(m_printWaitLock);
  Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "Send thread.",
      Fmt("No answer within the response timeout: %ld owed answers given up",
          static_cast<long>(m_owedAnswers.size())));
  for (const COwedAnswer& owed : m_owedAnswers)
    if (owed.entry) MarkLost(owed.entry, OPOS_E_TIMEOUT);
  m_owedAnswers.clear();
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
    m_owedAnswers.clear();
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
    // of which was first written after them).
    while (!m_printWait.empty()) {
      CPrintWaitEntry* entry = m_printWait.back();
      m_printWait.pop_back();
      // Answers still owed for this copy may come, but no entry waits on them any more.
      ForgetOwedAnswers(entry);
      auto* request = new COutputRequest(entry->copy);
      request->list = nullptr;
      m_priorQueue.push_front(request);  // the entry's data moves with it
      delete entry;
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
  std::lock_guard<std::mutex> hold(lock);
  while (!queue.empty()) {
    COutputRequest* request = queue.front();
    queue.pop_front();
    // A synchronous caller polls its result cell until it changes: a cleared request
    // answers failure instead of leaving the caller waiting for good.
    if (request->completionKind == OUTPUT_COMPLETE_BY_RESULT) CompleteRequest(request, 111, 0);
    FreeRequestData(request);
    delete request;
  }
}

void CCommDevice::ClearAllQueues() {
  ++m_clears;
  for (auto* ids : {&m_immediateIds, &m_syncIds, &m_asyncIds}) {
    std::mutex& lock = ids == &m_immediateIds ? m_immediateIdsLock
                       : ids == &m_syncIds    ? m_syncIdsLock
                                              : m_asyncIdsLock;
    std::lock_guard<std::mutex> hold(lock);
    ids->clear();
  }
  ClearPrintWait();
  ClearQueue(m_normalLock, m_normalQueue);
  ClearQueue(m_priorLock, m_priorQueue);
  ClearQueue(m_immediateLock, m_immediateQueue);
}

// ---- what the callbacks leave for the threads ----

void CCommDevice::PushId(std::mutex& lock, std::deque<long>& ids, HANDLE event, long id) {
  {
    std::lock_guard<std::mutex> hold(lock);
    ids.push_back(id);
  }
  SetEvent(event);  // only once the id can be taken
}

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
