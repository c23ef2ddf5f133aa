// ANSI text inside the module, BSTR at the COM boundary: the two conversions, in the
// process's ANSI code page.
#pragma once
#include <string>

#include "Win.h"

#include <oleauto.h>

// The text up to its first NUL; empty for a null or empty BSTR.
inline std::string BstrToAnsi(BSTR text) {
  if (!text || SysStringLen(text) == 0) return std::string();
  const int length = static_cast<int>(SysStringLen(text));
  const int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, length, &out[0], n, nullptr, nullptr);
  return out.substr(0, out.find('\0'));
}

// A new BSTR the caller frees; null only when allocation fails.
inline BSTR AnsiToBstr(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0);
  BSTR out = SysAllocStringLen(nullptr, n > 0 ? n : 0);
  if (out && n > 0) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out, n);
  }
  return out;
}
