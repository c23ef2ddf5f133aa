#include "RegistryText.h"

#include "ScopedHandle.h"

namespace subsupport {

long QueryRegistryText(HKEY key, const char* valueName, char* buffer) {
  buffer[0] = '\0';
  DWORD type = 0;
  DWORD size = kRegistryStringSize;
  const LONG rc =
      RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  if (rc != ERROR_SUCCESS || type != REG_SZ) {  // ERROR_MORE_DATA: too long for the buffer
    buffer[0] = '\0';
    return -1;
  }
  // Data written without its terminator comes back unterminated whenever it fills the
  // buffer; one that leaves no room for the NUL is too long.
  if (size > 0 && buffer[size - 1] == '\0') return long(size - 1);
  if (size >= kRegistryStringSize) {
    buffer[0] = '\0';
    return -1;
  }
  buffer[size] = '\0';
  return long(size);
}

long ReadHklmText(const char* keyPath, const char* valueName, char* buffer) {
  buffer[0] = '\0';
  ScopedRegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
    return -1;
  return QueryRegistryText(key.get(), valueName, buffer);
}

}  // namespace subsupport
