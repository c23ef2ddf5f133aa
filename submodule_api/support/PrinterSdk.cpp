#include "PrinterSdk.h"

#include "Log.h"
#include "SubLogContext.h"

namespace subsupport {

namespace {

constexpr char kFile[] = "CommPrinterDriver";  // the channel that calls these

}  // namespace

std::string PrinterMutexName(const char* printerName) {
  return Format("%s.%s", kPrinterMutexPrefix, printerName ? printerName : "");
}

std::string StatusWordText(DWORD word) {
  return Format("Status = 0x%02X%02X%02X%02X", unsigned(word >> 24) & 0xFF,
                unsigned(word >> 16) & 0xFF, unsigned(word >> 8) & 0xFF, unsigned(word) & 0xFF);
}

ScopedModule LoadSdkLibrary(const char* path, const char* const* required, size_t count,
                            const CSubLogContext& log, const char* function) {
  ScopedModule module(LoadLibraryA(path));
  if (!module.valid()) {
    log.Write(LOG_CAT_ERROR, function, kFile, __LINE__, kTagInfo, "LoadLibrary failed.",
              Format("GetLastError = %lu", GetLastError()).c_str());
    return module;
  }
  for (size_t i = 0; i < count; ++i) {
    if (!GetProcAddress(module.get(), required[i])) {
      // An ordinal-only entry is named by its number; the one the sub-modules need is 31.
      const std::string name = IS_INTRESOURCE(required[i])
                                   ? Format("#%u", unsigned(reinterpret_cast<UINT_PTR>(required[i])))
                                   : std::string(required[i]);
      log.Write(LOG_CAT_ERROR, function, kFile, __LINE__, kTagInfo, "GetProcAddress failed.",
                name.c_str());
      return ScopedModule();  // the module is freed on the way out
    }
  }
  return module;
}

LONG OpenSdkPrinter(const ScopedModule& module, const char* name) {
  auto open = SdkEntry<OpenMonPrinterFn>(module, "OpenMonPrinterA");
  return open ? open(2, name) : kSdkMissingEntry;
}

bool CReplyFrame::Feed(const BYTE* data, DWORD length) {
  for (DWORD i = 0; i < length; ++i) {
    const BYTE b = data[i];
    if (b == kStart) {  // a start byte begins the frame again
      index_ = 0;
      inFrame_ = true;
    } else if (!inFrame_ || (b != kEnd && b < kDataMin)) {
      continue;
    }
    if (index_ < room_) frame_[index_] = b;  // never past the caller's room
    ++index_;
    if (b == kEnd) return true;
  }
  return false;
}

}  // namespace subsupport
