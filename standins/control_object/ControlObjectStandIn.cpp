#include "ControlObjectStandIn.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <set>

namespace costandin {

namespace {

constexpr UINT kRunTask = WM_APP + 1;

struct SinkMethod {
  const wchar_t* name;
  DISPID id;
  UINT argc;
};
const SinkMethod kSinkMethods[] = {
    {L"SODirectIO", 1, 3},
    {L"SOError", 2, 4},
    {L"SOOutputComplete", 3, 1},
    {L"SOStatusUpdate", 4, 1},
};

long ReadLong(const VARIANT* value) {
  if (V_VT(value) == (VT_BYREF | VT_I4)) return V_I4REF(value) ? *V_I4REF(value) : 0;
  VARIANT number;
  VariantInit(&number);
  if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(value), 0, VT_I4))) return 0;
  return V_I4(&number);
}

std::wstring ReadText(const VARIANT* value) {
  BSTR text = nullptr;
  if (V_VT(value) == (VT_BYREF | VT_BSTR)) {
    text = V_BSTRREF(value) ? *V_BSTRREF(value) : nullptr;
  } else if (V_VT(value) == VT_BSTR) {
    text = V_BSTR(value);
  }
  return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

// A method's answer, read as the Control Object reads OPOS result codes.
bool AnsweredSuccess(const VARIANT* result) {
  VARIANT number;
  VariantInit(&number);
  if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(result), 0, VT_I4))) return false;
  return V_I4(&number) == 0;
}

// The Control Object's window: events fired from other threads wait here.
constexpr UINT kPostedEvent = WM_APP + 2;
const wchar_t kWindowClass[] = L"KvrControlObjectStandIn";

}  // namespace

Arg Arg::Long(long value) {
  Arg a;
  a.kind = kLong;
  a.number = value;
  return a;
}
Arg Arg::Text(const std::wstring& value) {
  Arg a;
  a.kind = kText;
  a.text = value;
  return a;
}
Arg Arg::LongRef(long* value) {
  Arg a;
  a.kind = kLongRef;
  a.pointer = value;
  return a;
}
Arg Arg::TextRef(BSTR* value) {
  Arg a;
  a.kind = kTextRef;
  a.pointer = value;
  return a;
}
Arg Arg::VariantRef(VARIANT* value) {
  Arg a;
  a.kind = kVariantRef;
  a.pointer = value;
  return a;
}
Arg Arg::Dispatch(IDispatch* value) {
  Arg a;
  a.kind = kDispatch;
  a.pointer = value;
  return a;
}
Arg Arg::Sink() {
  Arg a;
  a.kind = kSink;
  return a;
}

// The Control Object's dispatch interface as the service object sees it.
class EventSink final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // The stand-in owns the sink; these count what others hold.
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++m_refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--m_refs); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!names || !ids || count != 1) return E_INVALIDARG;
    std::lock_guard<std::mutex> hold(m_lock);
    for (const SinkMethod& method : kSinkMethods) {
      if (_wcsicmp(method.name, names[0]) == 0 && !m_refused.count(method.name)) {
        ids[0] = method.id;
        return S_OK;
      }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    const SinkMethod* method = nullptr;
    for (const SinkMethod& m : kSinkMethods) {
      if (m.id == id) method = &m;
    }
    if (!method) return DISP_E_MEMBERNOTFOUND;
    if (!params || params->cArgs != method->argc) return DISP_E_BADPARAMCOUNT;
    // rgvarg holds the last argument first.
    auto arg = [&](UINT i) { return &params->rgvarg[method->argc - 1 - i]; };
    EventRecord event;
    event.name = method->name;
    event.threadId = GetCurrentThreadId();
    for (UINT i = 0; i < method->argc; ++i) {
      if (id == 1 && i == 2) {
        event.text = ReadText(arg(i));
      } else {
        event.numbers.push_back(ReadLong(arg(i)));
      }
    }
    if (GetCurrentThreadId() != m_threadId) {
      // Through the window, as the standard Control Object takes events from other threads;
      // what SOError's handler answers then goes nowhere.
      auto* posted = new EventRecord(event);
      if (!PostMessageW(m_window, kPostedEvent, 0, reinterpret_cast<LPARAM>(posted))) delete posted;
      return S_OK;
    }
    long* errorResponse = nullptr;
    if (id == 2 && V_VT(arg(3)) == (VT_BYREF | VT_I4)) errorResponse = V_I4REF(arg(3));
    Deliver(event, errorResponse);
    return S_OK;
  }

  // Records the event and runs its handler, on the apartment thread.
  void Deliver(const EventRecord& event, long* errorResponse) {
    EventHandler handler;
    {
      std::lock_guard<std::mutex> hold(m_lock);
      if (errorResponse && m_hasErrorResponse) *errorResponse = m_errorResponse;
      m_events.push_back(event);
      auto found = m_handlers.find(event.name);
      if (found != m_handlers.end()) handler = found->second;
      m_changed.notify_all();
    }
    // Without the lock: the handler's calls may fire further events into this sink.
    if (handler) handler(event, errorResponse);
  }

  // A posted event reaches the handler only while events are legal.
  void DeliverPosted(std::unique_ptr<EventRecord> event) {
    if (!m_legal.load()) return;
    long response = event->name == L"SOError" && event->numbers.size() == 4 ? event->numbers[3] : 0;
    Deliver(*event, event->name == L"SOError" ? &response : nullptr);
  }

  // Drops the posted events not delivered yet. A filtered peek still hands out the
  // thread's WM_QUIT, which is the application's: it is posted again.
  void DiscardPosted() {
    MSG msg;
    bool quit = false;
    WPARAM quitCode = 0;
    while (m_window && PeekMessageW(&msg, m_window, kPostedEvent, kPostedEvent, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        quitCode = msg.wParam;
        continue;
      }
      delete reinterpret_cast<EventRecord*>(msg.lParam);
    }
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
  }

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kPostedEvent) {
      std::unique_ptr<EventRecord> event(reinterpret_cast<EventRecord*>(lParam));
      auto* sink = reinterpret_cast<EventSink*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      if (sink) sink->DeliverPosted(std::move(event));
      return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }

  // On the apartment thread.
  void CreateWindowOnThread() {
    m_threadId = GetCurrentThreadId();
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &EventSink::WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass);  // already there for a second stand-in
    m_window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  void DestroyWindowOnThread() {
    DiscardPosted();
    if (m_window) DestroyWindow(m_window);
    m_window = nullptr;
  }

  std::atomic<long> m_refs{0};
  std::atomic<bool> m_legal{false};  // events from other threads are delivered
  DWORD m_threadId = 0;
  HWND m_window = nullptr;
  mutable std::mutex m_lock;
  mutable std::condition_variable m_changed;
  std::vector<EventRecord> m_events;
  std::set<std::wstring> m_refused;
  bool m_hasErrorResponse = false;
  long m_errorResponse = 0;
  std::map<std::wstring, EventHandler> m_handlers;
};

ControlObject::ControlObject()
    : m_ready(CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_sink(new EventSink) {
  m_thread = std::thread([this] { ThreadMain(); });
  WaitForSingleObject(m_ready, INFINITE);
}

ControlObject::~ControlObject() {
  ReleaseObject();
  PostThreadMessageA(m_threadId, WM_QUIT, 0, 0);
  m_thread.join();
  CloseHandle(m_ready);
}

void ControlObject::ThreadMain() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  MSG msg;
  PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // creates the queue
  m_threadId = GetCurrentThreadId();
  m_sink->CreateWindowOnThread();
  SetEvent(m_ready);
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == nullptr && msg.message == kRunTask) {
      (*reinterpret_cast<const std::function<void()>*>(msg.lParam))();
      SetEvent(reinterpret_cast<HANDLE>(msg.wParam));
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  m_sink->DestroyWindowOnThread();
  CoUninitialize();
}

void ControlObject::RunOnThread(const std::function<void()>& task) {
  if (GetCurrentThreadId() == m_threadId) {
    task();
    return;
  }
  HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  PostThreadMessageA(m_threadId, kRunTask, reinterpret_cast<WPARAM>(done),
                     reinterpret_cast<LPARAM>(&task));
  WaitForSingleObject(done, INFINITE);
  CloseHandle(done);
}

HRESULT ControlObject::Create(const wchar_t* progId) {
  HRESULT hr = E_FAIL;
  RunOnThread([&] {
    CLSID clsid;
    hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) return;
    IDispatch* object = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(&object));
    if (SUCCEEDED(hr)) {
      ReleaseObject();
      m_object = object;
    }
  });
  return hr;
}

void ControlObject::Adopt(IDispatch* object) {
  RunOnThread([&] {
    ReleaseObject();
    m_object = object;
  });
}

void ControlObject::ReleaseObject() {
  RunOnThread([&] {
    IDispatch* object = m_object;
    const bool open = m_open;
    m_object = nullptr;
    m_open = false;
    if (object && open) object->Release();
    if (object) object->Release();
  });
}

HRESULT ControlObject::GetIDsOfNames(const std::wstring& name, DISPID* id) {
  HRESULT hr = E_POINTER;
  RunOnThread([&] {
    if (!m_object) return;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    hr = m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, id);
  });
  return hr;
}

HRESULT ControlObject::Invoke(DISPID id, const std::vector<Arg>& args, VARIANT* result) {
  std::vector<VARIANTARG> reversed(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    const Arg& a = args[i];
    VARIANTARG& v = reversed[args.size() - 1 - i];
    VariantInit(&v);
    switch (a.kind) {
      case Arg::kLong: V_VT(&v) = VT_I4; V_I4(&v) = a.number; break;
      case Arg::kText:
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocStringLen(a.text.data(), static_cast<UINT>(a.text.size()));
        break;
      case Arg::kLongRef: V_VT(&v) = VT_BYREF | VT_I4; V_I4REF(&v) = static_cast<long*>(a.pointer); break;
      case Arg::kTextRef: V_VT(&v) = VT_BYREF | VT_BSTR; V_BSTRREF(&v) = static_cast<BSTR*>(a.pointer); break;
      case Arg::kVariantRef:
        V_VT(&v) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&v) = static_cast<VARIANT*>(a.pointer);
        break;
      case Arg::kDispatch: V_VT(&v) = VT_DISPATCH; V_DISPATCH(&v) = static_cast<IDispatch*>(a.pointer); break;
      case Arg::kSink: V_VT(&v) = VT_DISPATCH; V_DISPATCH(&v) = m_sink.get(); break;
    }
  }
  HRESULT hr = E_POINTER;
  RunOnThread([&] {
    if (!m_object) return;
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr,
                         static_cast<UINT>(reversed.size()), 0};
    hr = InvokeObject(id, &params, result);
  });
  for (VARIANTARG& v : reversed) {
    if (V_VT(&v) == VT_BSTR) SysFreeString(V_BSTR(&v));
  }
  return hr;
}

ControlObject::Method ControlObject::MethodOf(IDispatch* object, DISPID id) {
  static const struct {
    const wchar_t* name;
    Method method;
  } kMethods[] = {
      {L"OpenService", Method::kOpen},
      {L"CloseService", Method::kClose},
      {L"ClaimDevice", Method::kClaim},
      {L"ReleaseDevice", Method::kRelease},
  };
  for (const auto& row : kMethods) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(row.name)};
    DISPID found = DISPID_UNKNOWN;
    if (SUCCEEDED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &found)) &&
        found == id)
      return row.method;
  }
  return Method::kOther;
}

HRESULT ControlObject::InvokeObject(DISPID id, DISPPARAMS* params, VARIANT* result) {
  IDispatch* object = m_object;
  const Method method = MethodOf(object, id);
  const bool wasOpen = m_open;
  if (method == Method::kClose || method == Method::kRelease) m_sink->m_legal.store(false);
  VARIANT answer;
  VariantInit(&answer);
  VARIANT* out = result ? result : &answer;
  UINT argErr = 0;
  const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, params,
                                    out, nullptr, &argErr);
  const bool success = SUCCEEDED(hr) && AnsweredSuccess(out);
  switch (method) {
    case Method::kOpen:
      if (success && !m_open) {
        object->AddRef();
        m_open = true;
      }
      if (success) m_sink->m_legal.store(true);
      break;
    case Method::kClaim:
      if (success) m_sink->m_legal.store(true);
      break;
    case Method::kClose:
      // Once for every Close passed down while open, whatever it answered: a Close inside
      // Close gives it back twice, as the standard Control Object does.
      if (wasOpen) {
        m_open = false;
        object->Release();
      }
      m_sink->DiscardPosted();
      break;
    case Method::kRelease:
    case Method::kOther:
      break;
  }
  VariantClear(&answer);
  return hr;
}

long ControlObject::CallLong(const std::wstring& name, const std::vector<Arg>& args,
                             long fallback) {
  DISPID id = DISPID_UNKNOWN;
  if (FAILED(GetIDsOfNames(name, &id))) return fallback;
  VARIANT result;
  VariantInit(&result);
  if (FAILED(Invoke(id, args, &result))) return fallback;
  VARIANT number;
  VariantInit(&number);
  const HRESULT hr = VariantChangeType(&number, &result, 0, VT_I4);
  VariantClear(&result);
  return SUCCEEDED(hr) ? V_I4(&number) : fallback;
}

IDispatch* ControlObject::Sink() { return m_sink.get(); }

long ControlObject::SinkReferences() const { return m_sink->m_refs.load(); }

std::vector<EventRecord> ControlObject::Events() const {
  std::lock_guard<std::mutex> hold(m_sink->m_lock);
  return m_sink->m_events;
}

void ControlObject::ClearEvents() {
  std::lock_guard<std::mutex> hold(m_sink->m_lock);
  m_sink->m_events.clear();
}

bool ControlObject::WaitForEvents(size_t count, DWORD timeoutMs) const {
  std::unique_lock<std::mutex> hold(m_sink->m_lock);
  return m_sink->m_changed.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                    [&] { return m_sink->m_events.size() >= count; });
}

void ControlObject::SetErrorResponse(long response) {
  std::lock_guard<std::mutex> hold(m_sink->m_lock);
  m_sink->m_hasErrorResponse = true;
  m_sink->m_errorResponse = response;
}

void ControlObject::ClearErrorResponse() {
  std::lock_guard<std::mutex> hold(m_sink->m_lock);
  m_sink->m_hasErrorResponse = false;
}

void ControlObject::RefuseName(const std::wstring& name) {
  std::lock_guard<std::mutex> hold(m_sink->m_lock);
  m_sink->m_refused.insert(name);
}

void ControlObject::SetHandler(const std::wstring& eventName, EventHandler handler) {
  std::lock_guard<std::mutex> hold(m_sink->m_lock);
  if (handler) {
    m_sink->m_handlers[eventName] = std::move(handler);
  } else {
    m_sink->m_handlers.erase(eventName);
  }
}

void ControlObject::ClearHandlers() {
  std::lock_guard<std::mutex> hold(m_sink->m_lock);
  m_sink->m_handlers.clear();
}

}  // namespace costandin
