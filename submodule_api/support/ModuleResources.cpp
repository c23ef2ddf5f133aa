#include "ModuleResources.h"

#include <vector>

#include "Win.h"

namespace subsupport {

namespace {

// The module this code is linked into: the sub-module's DLL, or a test program that carries
// the same resources.
HMODULE OwnModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&OwnModule), &module);
  return module;
}

}  // namespace

bool GetModuleVersionNumber(long* version) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(OwnModule(), path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return false;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoA(path, 0, size, block.data())) return false;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
      fixed == nullptr || fixedSize < sizeof(VS_FIXEDFILEINFO))
    return false;
  const long major = HIWORD(fixed->dwFileVersionMS);
  const long minor = LOWORD(fixed->dwFileVersionMS);
  const long build = HIWORD(fixed->dwFileVersionLS);
  *version = major * 1000000 + minor * 1000 + build;
  return true;
}

std::string LoadModuleString(unsigned id) {
  char text[512];
  const int length = LoadStringA(OwnModule(), id, text, sizeof(text));
  return length > 0 ? std::string(text, length) : std::string();
}

}  // namespace subsupport
