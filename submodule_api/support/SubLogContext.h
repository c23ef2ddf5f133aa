// The log context both sub-modules write through: the "[<device>] " line prefix of one
// device, its log settings handed to the log library, and lines that go to OutputLogEx as
// the argument of a "%s" format under the module's literal.
#pragma once
#include "Win.h"

#include <string>

namespace subsupport {

// Tags of the sub-modules' log lines.
inline constexpr char kTagEnter[] = "[Enter   ]";
inline constexpr char kTagParam[] = "[Param   ]";
inline constexpr char kTagInfo[] = "[Info    ]";
inline constexpr char kTagResult[] = "[Result  ]";
inline constexpr char kTagExit[] = "[Exit    ]";

// printf into a std::string (narrow, C99 rules), cut at 511 characters.
std::string Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

// The text in the ANSI code page, widened.
std::wstring Widen(const std::string& text);

// Level mask for a LogLevelSub setting (-1..4; anything else lets no line pass).
[[nodiscard]] DWORD LogLevelMask(long logLevelSub);

class CSubLogContext {
 public:
  // Test seam: sees every finished line (category, qualified function, line text) before it
  // goes to the log library. Set before any device opens; NULL in production. One per
  // module: each module links its own copy of this library.
  using LineObserver = void (*)(DWORD category, const char* function, const char* line);
  static void SetLineObserver(LineObserver observer);

  // moduleLiteral: tag, NUL, log folder name (the library reads both parts); it outlives
  // the context.
  explicit CSubLogContext(const char* moduleLiteral);
  ~CSubLogContext();
  CSubLogContext(const CSubLogContext&) = delete;
  CSubLogContext& operator=(const CSubLogContext&) = delete;

  // Prefix from the device name; log name override, level, retention and dump size to the
  // log library.
  void Configure(const char* deviceName, long logFileSize, long logRetentionPeriod,
                 long logLevelSub, const char* logFileNameSub);
  std::string Prefix() const;

  // "%s%s %s %s": prefix, tag, text, detail. `function` is the qualified name
  // ("CSubSO::prePrintNormal"), `file` the source file name ("SubSO").
  void Write(DWORD category, const char* function, const char* file, int line, const char* tag,
             const char* text, const char* detail = "") const;
  // A byte dump (category 0x1000 received, 0x2000 sent) under the module's literal.
  void DumpBytes(DWORD category, const char* function, int line, const void* data,
                 DWORD length, const wchar_t* caption) const;

  // A line with the given prefix, for a line with no context at hand.
  static void Emit(const char* moduleLiteral, const std::string& prefix, DWORD category,
                   const char* function, const char* file, int line, const char* tag,
                   const char* text, const char* detail);

  const char* ModuleLiteral() const { return module_; }

 private:
  const char* const module_;
  mutable CRITICAL_SECTION lock_;
  std::string prefix_;
};

}  // namespace subsupport
