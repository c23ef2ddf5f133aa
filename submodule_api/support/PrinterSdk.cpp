#include "PrinterSdk.h"

#include "Log.h"
#include "SubLogContext.h"

namespace subsupport {

namespace {

constexpr char kFile[] = "CommPrinterDriver";  // the channel that writes these lines

}  // namespace

std::string PrinterMutexName(const char* printerName) {
  return Format("%s.%s", kPrinterMutexPrefix, printerName ? printerName : "");
}

std::string StatusWordText(DWORD word) {
  return Format("Status = 0x%02X%02X%02X%02X", unsigned(word >> 24) & 0xFF,
                unsigned(word >> 16) & 0xFF, unsigned(word >> 8) & 0xFF, unsigned(word) & 0xFF);
}

bool CSdkChannel::LoadSdk(const char* path, const char* const* required, size_t count,
                          const char* function) {
  ScopedModule module(LoadLibraryA(path));
  if (!module.valid()) {
    Log(LOG_CAT_ERROR, function, __LINE__, "LoadLibrary failed.",
        Format("GetLastError = %lu", GetLastError()).c_str());
    return false;
  }
  for (size_t i = 0; i < count; ++i) {
    if (!GetProcAddress(module.get(), required[i])) {
      // An ordinal-only entry is named by its number (the channels need 31).
      const std::string name =
          IS_INTRESOURCE(required[i])
              ? Format("#%u", unsigned(reinterpret_cast<UINT_PTR>(required[i])))
              : std::string(required[i]);
      Log(LOG_CAT_ERROR, function, __LINE__, "GetProcAddress failed.", name.c_str());
      return false;  // the module is freed on the way out
    }
  }
  m_module = std::move(module);
  return true;
}

LONG CSdkChannel::OpenPrinter(const char* name) const {
  auto open = Entry<OpenMonPrinterFn>("OpenMonPrinterA");
  return open ? open(2, name) : kSdkMissingEntry;
}

void CSdkChannel::Log(DWORD category, const char* function, int line, const char* text,
                      const char* detail) const {
  log_.Write(category, function, kFile, line, kTagInfo, text, detail);
}

void CSdkChannel::LogDriverError(const char* function, int line, const char* label,
                                 long result) const {
  Log(LOG_CAT_ERROR, function, line, label, Format("DRIVER_ERROR_CODE = %d", int(result)).c_str());
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
