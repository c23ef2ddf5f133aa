// A stand-in for the OPOS Control Object: it creates a service object by ProgID on a
// single-threaded apartment thread of its own that pumps messages, calls it by DISPID (or
// name) from any test thread, and offers the event sink (an IDispatch with SODirectIO,
// SOError, SOOutputComplete and SOStatusUpdate) that the service object calls back. Every
// event is recorded with its arguments and the thread it arrived on; the sink counts the
// references others hold on it. A test may give an event a handler, which runs on the
// apartment thread inside the event as an application's handler does: it may call the
// service object back (Close, ClearOutput, a print, a property), answer SOError, or drop
// the object.
//
// It treats the calls that open and close the device as the standard Control Object does:
// a successful OpenService takes a reference for the open device, and every Close passed
// down while open gives one back, whatever Close answered. Events are legal from a
// successful OpenService or ClaimDevice until Close or ReleaseDevice. An event fired on the
// apartment thread reaches the handler at once, even inside Close; one fired on another
// thread waits in the Control Object's window and is dropped there when events are no
// longer legal, and Close discards those still waiting.
#pragma once
#include "Win.h"

#include <oleauto.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace costandin {

// One argument of a call, in the order of the method's parameters.
class Arg {
 public:
  static Arg Long(long value);
  static Arg Text(const std::wstring& value);
  static Arg LongRef(long* value);           // VT_BYREF|VT_I4
  static Arg TextRef(BSTR* value);           // VT_BYREF|VT_BSTR
  static Arg VariantRef(VARIANT* value);     // VT_BYREF|VT_VARIANT
  static Arg Dispatch(IDispatch* value);     // VT_DISPATCH, no reference taken
  static Arg Sink();                         // the stand-in's own event sink

  enum Kind { kLong, kText, kLongRef, kTextRef, kVariantRef, kDispatch, kSink };
  Kind kind = kLong;
  long number = 0;
  std::wstring text;
  void* pointer = nullptr;
};

struct EventRecord {
  std::wstring name;             // "SODirectIO", "SOError", "SOOutputComplete", ...
  std::vector<long> numbers;     // the numeric arguments (by-reference ones dereferenced)
  std::wstring text;             // SODirectIO's pString
  DWORD threadId = 0;
};

class EventSink;

// Runs after the event is recorded, on the apartment thread, before the event returns to
// the service object. errorResponse is SOError's ErrorResponse (null for other events).
using EventHandler = std::function<void(const EventRecord& event, long* errorResponse)>;

class ControlObject {
 public:
  ControlObject();   // starts the apartment thread
  ~ControlObject();  // releases the service object, ends the thread
  ControlObject(const ControlObject&) = delete;
  ControlObject& operator=(const ControlObject&) = delete;

  // CLSIDFromProgID + CoCreateInstance(CLSCTX_INPROC_SERVER) on the apartment thread.
  HRESULT Create(const wchar_t* progId);
  // Takes over one reference to a service object made elsewhere (a test's in-process
  // object): calls by name then go to it, and ReleaseObject drops that reference.
  void Adopt(IDispatch* object);
  // Drops the service object (every reference it holds, the open device's too: the last,
  // unless the test kept one). Inside an event handler too, as an application that lets go
  // of the Control Object does.
  void ReleaseObject();
  bool HasObject() const { return m_object != nullptr; }

  HRESULT GetIDsOfNames(const std::wstring& name, DISPID* id);
  // Invoke(DISPATCH_METHOD) on the apartment thread; `result` may be null.
  HRESULT Invoke(DISPID id, const std::vector<Arg>& args, VARIANT* result);
  // Name lookup, call, and the result as a long (or `fallback` when the call failed).
  long CallLong(const std::wstring& name, const std::vector<Arg>& args = {},
                long fallback = -1);

  // Runs `task` on the apartment thread and waits for it.
  void RunOnThread(const std::function<void()>& task);
  DWORD ThreadId() const { return m_threadId; }

  // ---- the event sink ----
  IDispatch* Sink();
  long SinkReferences() const;                 // references held by others
  std::vector<EventRecord> Events() const;
  void ClearEvents();
  // Waits (pumping nothing itself) until at least `count` events were recorded.
  bool WaitForEvents(size_t count, DWORD timeoutMs) const;
  // The ErrorResponse SOError writes back; unset (the default) leaves it as given.
  void SetErrorResponse(long response);
  void ClearErrorResponse();
  // Makes GetIDsOfNames refuse a name, as a Control Object without that method would.
  void RefuseName(const std::wstring& name);
  // The handler of one event ("SOError", ...); an empty one removes it. A handler that
  // sets *errorResponse overrides SetErrorResponse.
  void SetHandler(const std::wstring& eventName, EventHandler handler);
  void ClearHandlers();

 private:
  void ThreadMain();

  // The call to the object and what the Control Object does around the calls that open
  // and close the device. On the apartment thread.
  HRESULT InvokeObject(DISPID id, DISPPARAMS* params, VARIANT* result);
  enum class Method { kOther, kOpen, kClose, kClaim, kRelease };
  Method MethodOf(IDispatch* object, DISPID id);

  std::thread m_thread;
  DWORD m_threadId = 0;
  HANDLE m_ready = nullptr;
  IDispatch* m_object = nullptr;  // used only on the apartment thread
  bool m_open = false;            // a reference held for the open device
  std::unique_ptr<EventSink> m_sink;
};

}  // namespace costandin
