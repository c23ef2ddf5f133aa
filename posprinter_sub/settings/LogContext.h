// Per-device log context of the printer sub-module: lines under the module tag "OPS_PSB",
// byte dumps captioned with the line prefix.
#pragma once
#include "SubLogContext.h"

using subsupport::kTagEnter;
using subsupport::kTagExit;
using subsupport::kTagInfo;
using subsupport::kTagParam;
using subsupport::kTagResult;

// Module literal: tag, NUL, log folder name.
inline constexpr char kPrennikModuleLiteral[] = "OPS_PSB\0OposPrinter";

class CLogContext : public subsupport::CSubLogContext {
 public:
  CLogContext() : CSubLogContext(kPrennikModuleLiteral) {}

  // A byte dump (category 0x1000 received, 0x2000 sent) captioned with the line prefix.
  void Dump(DWORD category, const char* function, int line, const void* data,
            DWORD length) const {
    DumpBytes(category, function, line, data, length, subsupport::Widen(Prefix()).c_str());
  }
};

// A line without a device prefix (before the context is configured, or with none at hand).
inline void WriteLogLine(const CLogContext* context, DWORD category, const char* function,
                         const char* file, int line, const char* tag, const char* text,
                         const char* detail = "") {
  subsupport::CSubLogContext::Emit(kPrennikModuleLiteral,
                                   context ? context->Prefix() : std::string(), category,
                                   function, file, line, tag, text, detail);
}
