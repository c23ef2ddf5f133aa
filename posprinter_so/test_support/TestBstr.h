// A BSTR of narrow text for the calls of the core's tests, and the bounded wait they use.
#pragma once
#include <cstring>
#include <functional>
#include <string>

#include "Win.h"

#include <oleauto.h>

namespace sotest {

// A BSTR of narrow text, each byte widened as it stands.
class Bstr {
 public:
  explicit Bstr(const char* text) {
    std::wstring wide(text, text + strlen(text));
    m_bstr = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }
  ~Bstr() { SysFreeString(m_bstr); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR* Address() { return &m_bstr; }
  operator BSTR() const { return m_bstr; }

 private:
  BSTR m_bstr;
};

// Waits, bounded, until the condition holds; never a fixed sleep.
inline bool WaitUntil(const std::function<bool()>& done, int tenthsOfSeconds = 300) {
  for (int i = 0; i < tenthsOfSeconds * 10; ++i) {
    if (done()) return true;
    Sleep(10);
  }
  return done();
}

}  // namespace sotest
