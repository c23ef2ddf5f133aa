#include "ControlObjectDriver.h"

namespace {
const wchar_t* const kEventNames[] = {L"SODirectIO", L"SOError", L"SOOutputComplete",
                                      L"SOStatusUpdate"};

VARIANTARG LongArg(long value) {
  VARIANTARG arg;
  VariantInit(&arg);
  V_VT(&arg) = VT_I4;
  V_I4(&arg) = value;
  return arg;
}

VARIANTARG LongRefArg(long* value) {
  VARIANTARG arg;
  VariantInit(&arg);
  V_VT(&arg) = VT_BYREF | VT_I4;
  V_I4REF(&arg) = value;
  return arg;
}

VARIANTARG TextRefArg(BSTR* value) {
  VARIANTARG arg;
  VariantInit(&arg);
  V_VT(&arg) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&arg) = value;
  return arg;
}
}  // namespace

const wchar_t* CControlObjectDriver::EventName(Event event) { return kEventNames[event]; }

void CControlObjectDriver::Attach(IDispatch* controlObject) {
  Release();
  m_dispatch = controlObject;
}

void CControlObjectDriver::Release() {
  m_dispatch.store(nullptr);
  for (DISPID& id : m_ids) id = DISPID_UNKNOWN;
}

HRESULT CControlObjectDriver::LookUpEventIds() {
  IDispatch* dispatch = m_dispatch.load();
  if (!dispatch) return E_POINTER;
  for (int event = 0; event < kEventCount; ++event) {
    LPOLESTR name = const_cast<LPOLESTR>(kEventNames[event]);
    const HRESULT hr =
        dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_SYSTEM_DEFAULT, &m_ids[event]);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CControlObjectDriver::Call(Event event, VARIANTARG* reversedArgs, UINT count) {
  IDispatch* dispatch = m_dispatch.load();
  const DISPID id = m_ids[event];
  if (!dispatch || id == DISPID_UNKNOWN) return E_UNEXPECTED;
  DISPPARAMS params = {reversedArgs, nullptr, count, 0};
  return dispatch->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params,
                          nullptr, nullptr, nullptr);
}

HRESULT CControlObjectDriver::SODirectIO(long eventNumber, long* data, BSTR* text) {
  VARIANTARG args[] = {TextRefArg(text), LongRefArg(data), LongArg(eventNumber)};
  return Call(kDirectIO, args, 3);
}

HRESULT CControlObjectDriver::SOError(long resultCode, long resultCodeExtended, long errorLocus,
                                      long* errorResponse) {
  VARIANTARG args[] = {LongRefArg(errorResponse), LongArg(errorLocus),
                       LongArg(resultCodeExtended), LongArg(resultCode)};
  return Call(kError, args, 4);
}

HRESULT CControlObjectDriver::SOOutputComplete(long outputId) {
  VARIANTARG args[] = {LongArg(outputId)};
  return Call(kOutputComplete, args, 1);
}

HRESULT CControlObjectDriver::SOStatusUpdate(long status) {
  VARIANTARG args[] = {LongArg(status)};
  return Call(kStatusUpdate, args, 1);
}
