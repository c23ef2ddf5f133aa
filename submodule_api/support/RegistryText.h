// Registry strings as both sub-modules read their device entries.
#pragma once
#include "Win.h"

namespace subsupport {

// Size of the buffer a registry string is read into, terminator included.
inline constexpr DWORD kRegistryStringSize = 256;

// Reads a REG_SZ value into buffer (kRegistryStringSize bytes), always NUL-terminated. Data
// stored with or without its terminator reads the same. The length of the data without its
// terminator, or -1 (buffer empty) when the value is missing, of another type, or too long
// for the buffer.
[[nodiscard]] long QueryRegistryText(HKEY key, const char* valueName, char* buffer);

// The same for a value of HKLM\keyPath; -1 also when the key is missing.
[[nodiscard]] long ReadHklmText(const char* keyPath, const char* valueName, char* buffer);

}  // namespace subsupport
