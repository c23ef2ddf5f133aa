// Per-instance log context of the drawer sub-module: lines under the module tag "OPS_DSB",
// byte dumps cut at a size the caller names.
#pragma once
#include "SubLogContext.h"

namespace tollek {

// Tag, NUL, log folder name: the library reads both parts.
inline constexpr char kModuleLiteral[] = "OPS_DSB\0OposDrawer";

using subsupport::Format;
using subsupport::kTagEnter;
using subsupport::kTagExit;
using subsupport::kTagInfo;
using subsupport::kTagParam;
using subsupport::kTagResult;
using subsupport::LogLevelMask;

class CLogContext : public subsupport::CSubLogContext {
 public:
  CLogContext() : CSubLogContext(kModuleLiteral) {}

  // Byte dump (0x2000 sent, 0x1000 received), cut at maxBytes.
  void Dump(DWORD category, const char* function, int line, const void* data, DWORD length,
            DWORD maxBytes, const wchar_t* caption) const {
    DumpBytes(category, function, line, data, length < maxBytes ? length : maxBytes, caption);
  }
};

}  // namespace tollek
