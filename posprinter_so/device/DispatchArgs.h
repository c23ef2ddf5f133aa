// Positional IDispatch arguments, coerced to what a dispatch entry takes. Callers pass
// VARIANTs by value or by reference; out-parameters are written through the caller's
// reference (VT_BYREF|VT_I4, VT_BYREF|VT_BSTR, or a VT_BYREF|VT_VARIANT converted in
// place), and a by-value out-argument gets a local cell that nobody reads afterwards.
#pragma once
#include "Win.h"

#include <oleauto.h>

enum class ArgKind : unsigned char { kLong, kText, kLongRef, kTextRef, kDispatch };

class CDispArgs {
 public:
  static constexpr unsigned kMaxArgs = 8;

  CDispArgs() = default;
  ~CDispArgs();
  CDispArgs(const CDispArgs&) = delete;
  CDispArgs& operator=(const CDispArgs&) = delete;

  // Binds params->rgvarg (last argument first) to `kinds` (first argument first). On
  // failure: DISP_E_BADPARAMCOUNT, DISP_E_TYPEMISMATCH or DISP_E_NONAMEDARGS, with
  // *argErr the rgvarg index of a mismatching argument.
  [[nodiscard]] HRESULT Bind(const DISPPARAMS* params, const ArgKind* kinds, unsigned count,
                             UINT* argErr);

  long Long(unsigned i) const { return m_slots[i].value; }
  // The text of an in-argument, with its length (binary data may hold NULs); null for an
  // empty text.
  BSTR Text(unsigned i) const { return m_slots[i].text; }
  long* LongRef(unsigned i) { return m_slots[i].longRef; }
  BSTR* TextRef(unsigned i) { return m_slots[i].textRef; }
  IDispatch* Dispatch(unsigned i) const { return m_slots[i].dispatch; }

 private:
  struct Slot {
    long value = 0;
    BSTR text = nullptr;         // owned copy of an in-text or a by-value out-text
    long* longRef = nullptr;
    BSTR* textRef = nullptr;
    IDispatch* dispatch = nullptr;  // a reference held for the call
  };
  [[nodiscard]] HRESULT BindOne(VARIANT* arg, ArgKind kind, Slot* slot);

  Slot m_slots[kMaxArgs];
  unsigned m_count = 0;
};
