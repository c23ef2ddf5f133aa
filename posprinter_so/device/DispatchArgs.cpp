#include "DispatchArgs.h"

namespace {

// The variant a by-reference VARIANT points at, or the argument itself.
VARIANT* Deref(VARIANT* arg) {
  return (V_VT(arg) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(arg)) ? V_VARIANTREF(arg) : arg;
}

}  // namespace

CDispArgs::~CDispArgs() {
  for (unsigned i = 0; i < m_count; ++i) {
    SysFreeString(m_slots[i].text);
    if (m_slots[i].dispatch) m_slots[i].dispatch->Release();
  }
}

HRESULT CDispArgs::Bind(const DISPPARAMS* params, const ArgKind* kinds, unsigned count,
                        UINT* argErr) {
  if (!params) return E_INVALIDARG;
  if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (params->cArgs != count || count > kMaxArgs) return DISP_E_BADPARAMCOUNT;
  if (count > 0 && !params->rgvarg) return E_INVALIDARG;
  for (unsigned i = 0; i < count; ++i) {
    const unsigned index = count - 1 - i;
    m_count = i + 1;
    const HRESULT hr = BindOne(&params->rgvarg[index], kinds[i], &m_slots[i]);
    if (FAILED(hr)) {
      if (argErr) *argErr = index;
      return hr;
    }
  }
  return S_OK;
}

HRESULT CDispArgs::BindOne(VARIANT* arg, ArgKind kind, Slot* slot) {
  switch (kind) {
    case ArgKind::kLong: {
      VARIANT number;
      VariantInit(&number);
      if (FAILED(VariantChangeType(&number, Deref(arg), 0, VT_I4))) return DISP_E_TYPEMISMATCH;
      slot->value = V_I4(&number);
      slot->longRef = &slot->value;
      return S_OK;
    }
    case ArgKind::kText: {
      VARIANT text;
      VariantInit(&text);
      if (FAILED(VariantChangeType(&text, Deref(arg), 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
      slot->text = V_BSTR(&text);
      return S_OK;
    }
    case ArgKind::kLongRef: {
      if (V_VT(arg) == (VT_BYREF | VT_I4)) {
        slot->longRef = V_I4REF(arg);
        return slot->longRef ? S_OK : DISP_E_TYPEMISMATCH;
      }
      if (V_VT(arg) == (VT_BYREF | VT_VARIANT)) {
        VARIANT* target = V_VARIANTREF(arg);
        if (!target || FAILED(VariantChangeType(target, target, 0, VT_I4))) {
          return DISP_E_TYPEMISMATCH;
        }
        slot->longRef = &V_I4(target);
        return S_OK;
      }
      if (V_ISBYREF(arg)) return DISP_E_TYPEMISMATCH;  // a reference we could not write back
      VARIANT number;
      VariantInit(&number);
      if (FAILED(VariantChangeType(&number, arg, 0, VT_I4))) return DISP_E_TYPEMISMATCH;
      slot->value = V_I4(&number);
      slot->longRef = &slot->value;
      return S_OK;
    }
    case ArgKind::kTextRef: {
      if (V_VT(arg) == (VT_BYREF | VT_BSTR)) {
        slot->textRef = V_BSTRREF(arg);
        return slot->textRef ? S_OK : DISP_E_TYPEMISMATCH;
      }
      if (V_VT(arg) == (VT_BYREF | VT_VARIANT)) {
        VARIANT* target = V_VARIANTREF(arg);
        if (!target || FAILED(VariantChangeType(target, target, 0, VT_BSTR))) {
          return DISP_E_TYPEMISMATCH;
        }
        slot->textRef = &V_BSTR(target);
        return S_OK;
      }
      if (V_ISBYREF(arg)) return DISP_E_TYPEMISMATCH;
      VARIANT text;
      VariantInit(&text);
      if (FAILED(VariantChangeType(&text, arg, 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
      slot->text = V_BSTR(&text);
      slot->textRef = &slot->text;
      return S_OK;
    }
    case ArgKind::kDispatch: {
      VARIANT* value = Deref(arg);
      IUnknown* unknown = nullptr;
      switch (V_VT(value)) {
        case VT_DISPATCH: unknown = V_DISPATCH(value); break;
        case VT_DISPATCH | VT_BYREF: unknown = V_DISPATCHREF(value) ? *V_DISPATCHREF(value) : nullptr; break;
        case VT_UNKNOWN: unknown = V_UNKNOWN(value); break;
        case VT_UNKNOWN | VT_BYREF: unknown = V_UNKNOWNREF(value) ? *V_UNKNOWNREF(value) : nullptr; break;
        case VT_EMPTY:
        case VT_NULL:
        case VT_ERROR: return S_OK;  // no object given
        default: return DISP_E_TYPEMISMATCH;
      }
      if (!unknown) return S_OK;
      return SUCCEEDED(unknown->QueryInterface(IID_IDispatch,
                                               reinterpret_cast<void**>(&slot->dispatch)))
                 ? S_OK
                 : DISP_E_TYPEMISMATCH;
    }
  }
  return DISP_E_TYPEMISMATCH;
}
