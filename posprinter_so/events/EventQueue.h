// The service object's event queue and its event thread: any thread queues an event, the
// event thread posts each deliverable one to the hidden window, whose handler fires it on
// the Control Object's thread. Nothing is posted while FreezeEvents or COFreezeEvents is
// set. Lock order: freeze lock, Control Object freeze lock, queue lock.
#pragma once
#include <cstddef>
#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

#include "OPOSEvent.h"
#include "ScopedHandle.h"
#include "Win.h"

class CLogContext;

// The owner's two freeze words and the locks that guard them.
struct CEventFreeze {
  std::mutex& freezeLock;
  const long& freezeEvents;
  std::mutex& coFreezeLock;
  const long& coFreezeEvents;
};

class CEventQueue {
 public:
  // `log` is read at each use: the owner creates its log context after its members.
  CEventQueue(CEventFreeze freeze, CLogContext* const& log);
  // Ends the thread and deletes what is still queued.
  ~CEventQueue();
  CEventQueue(const CEventQueue&) = delete;
  CEventQueue& operator=(const CEventQueue&) = delete;

  // The window events are posted to; null holds every event in the queue.
  void SetTarget(HWND window);
  // Appends at the tail and wakes the thread; takes ownership. Any thread.
  void Queue(COPOSEvent* event);
  // Wakes the thread so that it tests the freeze words again (a freeze was cleared).
  void Wake();

  // Starts the thread; true when it runs (already running too).
  [[nodiscard]] bool Start();
  // Ends the thread and waits for it; nothing when none runs. Not on the event thread.
  void End();
  bool IsRunning() const;

  // Deletes every queued event (an error event's waiter is answered clear); the count.
  size_t Purge();
  size_t Count() const;
  // Answers the waiter of every queued error event.
  void AnswerQueuedErrors(long answer);
  // Under the queue lock: answers every queued output error event (locus 1) with `answer`
  // and deletes it; with `alsoOthers` every event that is no error event goes too. Whether
  // an output error event was found.
  bool RemoveOutputErrors(long answer, bool alsoOthers);
  // Test hook: the next Start fails as if no thread could be created.
  void FailNextStartForTest() { m_failNextStart = true; }

 private:
  void Run();
  bool EventDataPresent(size_t* index) const;  // under the queue lock
  void FireEventToCO(size_t index);            // under the queue lock
  void Log(DWORD category, const char* function, int line, const char* text,
           const char* detail = "") const;

  CEventFreeze m_freeze;
  CLogContext* const& m_log;
  std::deque<COPOSEvent*> m_queue;
  mutable std::mutex m_queueLock;
  ScopedHandle m_dataEvent;  // manual reset: an event queued or a freeze cleared
  ScopedHandle m_endEvent;   // auto reset
  mutable std::mutex m_threadLock;  // guards the end flag and the thread object
  bool m_end = false;
  std::thread m_thread;
  std::atomic<HWND> m_target{nullptr};
  bool m_failNextStart = false;
};
