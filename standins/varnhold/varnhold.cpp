// varnhold.exe stand-in: records the command line it was started with, one line per start.
#include "ScopedHandle.h"
#include "Win.h"

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA("VARNHOLD_RECORD", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  ScopedFile file(CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return 2;
  const std::string line = std::string(GetCommandLineA()) + "\r\n";
  DWORD written = 0;
  return WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
                 written == line.size()
             ? 0
             : 3;
}
