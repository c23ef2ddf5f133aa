// The four OPOS events as queued objects. Any thread creates one with new and queues it on
// the service object; the hidden window deletes it after firing it on the Control Object's
// thread (or a purge deletes it unfired).
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

enum : long {
  kEventDirectIO = 2,
  kEventError = 3,
  kEventOutputComplete = 4,
  kEventStatusUpdate = 5,
};

class COPOSEvent {
 public:
  explicit COPOSEvent(long kind) : m_kind(kind) { ++s_live; }
  virtual ~COPOSEvent() { --s_live; }
  COPOSEvent(const COPOSEvent&) = delete;
  COPOSEvent& operator=(const COPOSEvent&) = delete;

  long Kind() const { return m_kind; }
  // Event objects alive in this module: a purge or a destroyed window must bring it back.
  static long LiveCount() { return s_live.load(); }

 private:
  long m_kind;
  static std::atomic<long> s_live;
};

class CDirectIOEvent final : public COPOSEvent {
 public:
  CDirectIOEvent(long eventNumber, long data, std::wstring text)
      : COPOSEvent(kEventDirectIO), EventNumber(eventNumber), pData(data),
        pString(std::move(text)) {}
  long EventNumber;
  long pData;
  std::wstring pString;  // kept wide as the sub-module reports it: no code-page round trip
};

// The answer an output error waits for, shared by the waiting send path and the queued
// event: the waiter may give up (device disabled) long before the Control Object answers,
// so the answer never lives on the waiter's stack. The first answer stands.
class CErrorWaiter {
 public:
  enum : long { kNone = 0, kRetry = 1, kClear = 2 };
  void Answer(long answer) {
    {
      std::lock_guard<std::mutex> hold(m_lock);
      if (m_answer != kNone) return;
      m_answer = answer;
    }
    m_answered.notify_all();
  }
  long Get() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_answer;
  }
  // The answer once it comes, or kNone when ms pass first.
  long WaitFor(unsigned ms) const {
    std::unique_lock<std::mutex> hold(m_lock);
    m_answered.wait_for(hold, std::chrono::milliseconds(ms), [this] { return m_answer != kNone; });
    return m_answer;
  }

 private:
  mutable std::mutex m_lock;
  mutable std::condition_variable m_answered;
  long m_answer = kNone;
};

class CErrorEvent : public COPOSEvent {
 public:
  CErrorEvent(long resultCode, long resultCodeExtended, long errorLocus, long errorResponse,
              std::shared_ptr<CErrorWaiter> waiter, long errorStation, long errorLevel,
              std::string errorString)
      : COPOSEvent(kEventError), ResultCode(resultCode), ResultCodeExtended(resultCodeExtended),
        ErrorLocus(errorLocus), ErrorResponse(errorResponse), Waiter(std::move(waiter)),
        ErrorStation(errorStation), ErrorLevel(errorLevel), ErrorString(std::move(errorString)) {}
  long ResultCode;
  long ResultCodeExtended;
  long ErrorLocus;
  long ErrorResponse;
  std::shared_ptr<CErrorWaiter> Waiter;  // none: nobody waits for the answer
  long ErrorStation;
  long ErrorLevel;
  std::string ErrorString;  // ANSI
};

// The only error event ever created.
class CErrorEventExt final : public CErrorEvent {
 public:
  using CErrorEvent::CErrorEvent;
};

class COutputCompleteEvent final : public COPOSEvent {
 public:
  explicit COutputCompleteEvent(long outputId)
      : COPOSEvent(kEventOutputComplete), OutputID(outputId) {}
  long OutputID;
};

class CStatusUpdateEvent final : public COPOSEvent {
 public:
  explicit CStatusUpdateEvent(long status) : COPOSEvent(kEventStatusUpdate), Status(status) {}
  long Status;
};
