#include "BarcodeData.h"

#include "Win.h"

#include <cstring>
#include <vector>

CBarcodeData::CBarcodeData() : m_data(), m_length(0) {}

void CBarcodeData::Set(const char* ansiText) {
  if (!ansiText) return;
  std::memset(m_data, 0, sizeof m_data);
  m_length = 0;
  const size_t length = std::strlen(ansiText);
  if (length == 0 || length >= static_cast<size_t>(kCapacity)) return;
  // ANSI -> UTF-16 -> UTF-8: the ANSI code page has no direct route to UTF-8.
  const int wideCount =
      MultiByteToWideChar(CP_ACP, 0, ansiText, static_cast<int>(length), nullptr, 0);
  if (wideCount <= 0) return;
  std::vector<wchar_t> wide(static_cast<size_t>(wideCount));
  if (MultiByteToWideChar(CP_ACP, 0, ansiText, static_cast<int>(length), wide.data(),
                          wideCount) != wideCount)
    return;
  const int utf8Count =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideCount, nullptr, 0, nullptr, nullptr);
  if (utf8Count <= 0 || utf8Count >= kCapacity) return;
  if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideCount, reinterpret_cast<char*>(m_data),
                          utf8Count, nullptr, nullptr) != utf8Count) {
    std::memset(m_data, 0, sizeof m_data);
    return;
  }
  m_length = utf8Count;
}
