#include "BstrText.h"

#include <oleauto.h>

#include <cwchar>

std::string BstrToAnsi(const wchar_t* text) {
  // Read up to the first NUL: a selection or a command text never holds one.
  if (!text || !*text) return std::string();
  const int wideLength = static_cast<int>(wcslen(text));
  const int size = WideCharToMultiByte(CP_ACP, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string ansi(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, wideLength, &ansi[0], size, nullptr, nullptr);
  return ansi;
}

bool ReplaceBstr(PrnBstr* target, const std::string& text) {
  if (!target) return false;
  const int length = static_cast<int>(text.size());
  int wideLength = 0;
  if (length > 0) {
    wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (wideLength <= 0) return false;
  }
  BSTR fresh = SysAllocStringLen(nullptr, static_cast<UINT>(wideLength));
  if (!fresh) return false;
  if (wideLength > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), length, fresh, wideLength);
  SysFreeString(*target);
  *target = fresh;
  return true;
}
