// The Control Object's dispatch interface as the service object sees it: one reference of
// its own from Attach to Release, and the four event methods invoked by the DISPIDs looked
// up by name.
#pragma once
#include "Win.h"

#include <oleauto.h>

class CControlObjectDriver {
 public:
  enum Event { kDirectIO, kError, kOutputComplete, kStatusUpdate, kEventCount };

  CControlObjectDriver() = default;
  ~CControlObjectDriver() { Release(); }
  CControlObjectDriver(const CControlObjectDriver&) = delete;
  CControlObjectDriver& operator=(const CControlObjectDriver&) = delete;

  // Keeps the interface with one reference of its own (a driver attached before is
  // released first). Attaching null leaves the driver empty.
  void Attach(IDispatch* controlObject);
  // Gives back the one reference Attach took; nothing when not attached, so a second
  // Release (Close after a failed open) changes no count.
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

  IDispatch* m_dispatch = nullptr;
  DISPID m_ids[kEventCount] = {DISPID_UNKNOWN, DISPID_UNKNOWN, DISPID_UNKNOWN, DISPID_UNKNOWN};
};
