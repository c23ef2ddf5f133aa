// Per-instance log context of the drawer sub-module: the "[<device>] " line prefix and the
// device's log settings. Lines go to OutputLogEx under the module tag "OPS_DSB".
#pragma once
#include "Win.h"

#include <string>

namespace tollek {

// Tag, NUL, log folder name: the library reads both parts.
inline constexpr char kModuleLiteral[] = "OPS_DSB\0OposDrawer";

inline constexpr char kTagEnter[] = "[Enter   ]";
inline constexpr char kTagParam[] = "[Param   ]";
inline constexpr char kTagInfo[] = "[Info    ]";
inline constexpr char kTagResult[] = "[Result  ]";
inline constexpr char kTagExit[] = "[Exit    ]";

// printf into a std::string (narrow, C99 rules).
std::string Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

// Level mask for a LogLevelSub setting (-1..4; anything else lets no line pass).
[[nodiscard]] DWORD LogLevelMask(long logLevelSub);

class CLogContext {
 public:
  // Test seam: sees every finished line before it reaches the log library. Set before any
  // device opens; NULL in production.
  using LineObserver = void (*)(DWORD category, const char* function, const char* line);
  static void SetLineObserver(LineObserver observer);

  CLogContext();
  ~CLogContext();
  CLogContext(const CLogContext&) = delete;
  CLogContext& operator=(const CLogContext&) = delete;

  // Prefix from the device name; log name override, level, retention and dump size to the
  // log library.
  void Configure(const char* deviceName, long logFileSize, long logRetentionPeriod,
                 long logLevelSub, const char* logFileNameSub);
  std::string Prefix() const;

  // "%s%s %s %s": prefix, tag, text, detail.
  void Write(DWORD category, const char* function, const char* file, int line, const char* tag,
             const char* text, const char* detail = "") const;
  // Byte dump (0x2000 sent, 0x1000 received), cut at maxBytes.
  void Dump(DWORD category, const char* function, int line, const void* data, DWORD length,
            DWORD maxBytes, const wchar_t* caption) const;

 private:
  mutable CRITICAL_SECTION lock_;
  std::string prefix_;
};

}  // namespace tollek
