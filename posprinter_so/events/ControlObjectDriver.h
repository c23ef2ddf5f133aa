// The Control Object's dispatch interface as the service object sees it: kept without a
// reference of its own from Attach to Release (the Control Object holds the service object,
// and a reference back would make a cycle that outlives an application dropping both
// without Close), and the four event methods invoked by the DISPIDs looked up by name.
#pragma once
#include <atomic>

#include "Win.h"

#include <oleauto.h>

class CControlObjectDriver {
 public:
  enum Event { kDirectIO, kError, kOutputComplete, kStatusUpdate, kEventCount };

  CControlObjectDriver() = default;
  ~CControlObjectDriver() { Release(); }
  CControlObjectDriver(const CControlObjectDriver&) = delete;
  CControlObjectDriver& operator=(const CControlObjectDriver&) = delete;

  // Keeps the interface pointer, taking no reference. Attaching null leaves it empty.
  void Attach(IDispatch* controlObject);
  // Forgets the interface and its DISPIDs; the Control Object's count is never touched. Any
  // thread: the object's last outside reference may go on another than the firing one.
  void Release();
  bool IsAttached() const { return m_dispatch != nullptr; }

  // Looks up "SODirectIO", "SOError", "SOOutputComplete" and "SOStatusUpdate", one name per
  // call, with the null interface id and LOCALE_SYSTEM_DEFAULT; the first failure's HRESULT.
  [[nodiscard]] HRESULT LookUpEventIds();
  DISPID EventId(Event event) const { return m_ids[event]; }
  static const wchar_t* EventName(Event event);

  // The events; only the ErrorResponse written through `errorResponse` is read back.
  HRESULT SODirectIO(long eventNumber, long* data, BSTR* text);
  HRESULT SOError(long resultCode, long resultCodeExtended, long errorLocus,
                  long* errorResponse);
  HRESULT SOOutputComplete(long outputId);
  HRESULT SOStatusUpdate(long status);

 private:
  HRESULT Call(Event event, VARIANTARG* reversedArgs, UINT count);

  std::atomic<IDispatch*> m_dispatch{nullptr};
  DISPID m_ids[kEventCount] = {DISPID_UNKNOWN, DISPID_UNKNOWN, DISPID_UNKNOWN, DISPID_UNKNOWN};
};
