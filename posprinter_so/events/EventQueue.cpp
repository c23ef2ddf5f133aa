#include "EventQueue.h"

#include <system_error>

#include "LogContext.h"
#include "WindowMessages.h"

namespace {
const char kSource[] = "POSPrinter";

bool Deliverable(const COPOSEvent* event) {
  return event->Kind() >= kEventDirectIO && event->Kind() <= kEventStatusUpdate;
}

void AnswerIfError(COPOSEvent* event, long answer) {
  if (event->Kind() != kEventError) return;
  auto* error = static_cast<CErrorEvent*>(event);
  if (error->Waiter) error->Waiter->Answer(answer);
}
}  // namespace

CEventQueue::CEventQueue(CEventFreeze freeze, CLogContext* const& log)
    : m_freeze(freeze),
      m_log(log),
      m_dataEvent(CreateEventA(nullptr, /*manualReset=*/TRUE, FALSE, nullptr)),
      m_endEvent(CreateEventA(nullptr, /*manualReset=*/FALSE, FALSE, nullptr)) {}

CEventQueue::~CEventQueue() {
  End();
  (void)Purge();
}

void CEventQueue::Log(DWORD category, const char* function, int line, const char* text,
                      const char* detail) const {
  if (m_log) m_log->Write(category, function, kSource, line, TAG_INFO, text, detail);
}

void CEventQueue::SetTarget(HWND window) {
  m_target.store(window);
  Wake();
}

void CEventQueue::Queue(COPOSEvent* event) {
  if (!event) return;
  {
    std::lock_guard<std::mutex> hold(m_queueLock);
    m_queue.push_back(event);
  }
  Log(LOG_TRACE, "CPOSPrinter::DoQueueEvent", __LINE__, "Add data to event queue and set event.");
  SetEvent(m_dataEvent.get());
}

void CEventQueue::Wake() { SetEvent(m_dataEvent.get()); }

bool CEventQueue::Start() {
  std::lock_guard<std::mutex> hold(m_threadLock);
  if (m_thread.joinable()) return true;
  if (!m_dataEvent.valid() || !m_endEvent.valid()) return false;
  m_end = false;
  try {
    if (m_failNextStart) {
      m_failNextStart = false;
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    m_thread = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    m_end = true;
    return false;
  }
  return true;
}

void CEventQueue::End() {
  static const char kFn[] = "CPOSPrinter::EndEventThread";
  std::thread ending;
  {
    std::lock_guard<std::mutex> hold(m_threadLock);
    if (!m_thread.joinable()) return;
    m_end = true;
    SetEvent(m_endEvent.get());
    ending = std::move(m_thread);
  }
  Log(LOG_INFO, kFn, __LINE__, "Wait for thread termination.");
  ending.join();
  Log(LOG_INFO, kFn, __LINE__, "Thread exited.");
}

bool CEventQueue::IsRunning() const {
  std::lock_guard<std::mutex> hold(m_threadLock);
  return m_thread.joinable();
}

size_t CEventQueue::Purge() {
  std::deque<COPOSEvent*> dropped;
  {
    std::lock_guard<std::mutex> hold(m_queueLock);
    dropped.swap(m_queue);
  }
  for (COPOSEvent* event : dropped) {
    // A send path may still wait for this one: it must not wait for an answer that never comes.
    AnswerIfError(event, CErrorWaiter::kClear);
    delete event;
  }
  return dropped.size();
}

size_t CEventQueue::Count() const {
  std::lock_guard<std::mutex> hold(m_queueLock);
  return m_queue.size();
}

void CEventQueue::AnswerQueuedErrors(long answer) {
  std::lock_guard<std::mutex> hold(m_queueLock);
  for (COPOSEvent* event : m_queue) AnswerIfError(event, answer);
}

bool CEventQueue::RemoveOutputErrors(long answer, bool alsoOthers) {
  std::deque<COPOSEvent*> removed;
  bool found = false;
  {
    std::lock_guard<std::mutex> hold(m_queueLock);
    for (auto it = m_queue.begin(); it != m_queue.end();) {
      COPOSEvent* event = *it;
      const bool error = event->Kind() == kEventError;
      const bool outputError = error && static_cast<CErrorEvent*>(event)->ErrorLocus == 1;
      if (outputError) {
        AnswerIfError(event, answer);
        found = true;
      }
      if (outputError || (alsoOthers && !error)) {
        removed.push_back(event);
        it = m_queue.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (COPOSEvent* event : removed) delete event;
  return found;
}

bool CEventQueue::EventDataPresent(size_t* index) const {
  for (size_t i = 0; i < m_queue.size(); ++i) {
    if (!Deliverable(m_queue[i])) continue;
    Log(LOG_TRACE, "CPOSPrinter::EventDataPresent", __LINE__, "Get data from queue.");
    *index = i;
    return true;
  }
  return false;
}

void CEventQueue::FireEventToCO(size_t index) {
  static const char kFn[] = "CPOSPrinter::DoFireEventToCO";
  COPOSEvent* event = m_queue[index];
  m_queue.erase(m_queue.begin() + static_cast<std::ptrdiff_t>(index));
  Log(LOG_TRACE, kFn, __LINE__, "REGISTER_WM_EVENTNOTIFY");
  if (!PostMessageA(m_target.load(), COFireEventNotifyMessage(),
                    reinterpret_cast<WPARAM>(event), 0)) {
    // The window is gone (or its queue full): the event can't be fired, and nobody else
    // would delete it.
    Log(LOG_ERROR, kFn, __LINE__, "Failed to post event.", Fmt("%lu", GetLastError()).c_str());
    AnswerIfError(event, CErrorWaiter::kClear);
    delete event;
  }
}

void CEventQueue::Run() {
  static const char kFn[] = "CPOSPrinter::DoEventThread";
  {
    std::lock_guard<std::mutex> hold(m_threadLock);
    ResetEvent(m_dataEvent.get());
    ResetEvent(m_endEvent.get());
  }
  for (;;) {
    {
      std::lock_guard<std::mutex> hold(m_threadLock);
      if (m_end) return;
    }
    std::unique_lock<std::mutex> freeze(m_freeze.freezeLock);
    std::unique_lock<std::mutex> coFreeze(m_freeze.coFreezeLock);
    std::unique_lock<std::mutex> queue(m_queueLock);
    size_t index = 0;
    if (m_freeze.freezeEvents || m_freeze.coFreezeEvents || !m_target.load() ||
        !EventDataPresent(&index)) {
      queue.unlock();
      coFreeze.unlock();
      freeze.unlock();
      Log(LOG_TRACE, kFn, __LINE__, "Wait for event notification.");
      HANDLE waits[] = {m_dataEvent.get(), m_endEvent.get()};
      const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
      if (woke == WAIT_OBJECT_0 + 1) {
        ResetEvent(m_endEvent.get());
        Log(LOG_TRACE, kFn, __LINE__, "End notification!");
      } else {
        ResetEvent(m_dataEvent.get());
        Log(LOG_TRACE, kFn, __LINE__, "Event notification!");
      }
      continue;
    }
    while (!m_queue.empty()) {
      Log(LOG_TRACE, kFn, __LINE__,
          Fmt("get data from event queue. count = %u , queueindex = %u",
              static_cast<unsigned>(m_queue.size()), static_cast<unsigned>(index))
              .c_str());
      if (!EventDataPresent(&index)) break;
      Log(LOG_TRACE, kFn, __LINE__, "Fire event postmessage to CO.");
      FireEventToCO(index);
    }
  }
}
