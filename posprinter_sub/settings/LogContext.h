// Per-device log context of the printer sub-module: the "[<device>] " line prefix and the
// device's log settings. Every line goes to OutputLogEx as the argument of a "%s" format.
#pragma once
#include "Win.h"

#include <string>

// Tags of the sub-module's log lines.
inline constexpr const char kTagEnter[] = "[Enter   ]";
inline constexpr const char kTagParam[] = "[Param   ]";
inline constexpr const char kTagInfo[] = "[Info    ]";
inline constexpr const char kTagResult[] = "[Result  ]";
inline constexpr const char kTagExit[] = "[Exit    ]";

class CLogContext {
 public:
  // Test seam: sees every finished line (category, qualified function, line text) before
  // it goes to the log library. Set once, before any device is opened; NULL in production.
  using LineObserver = void (*)(DWORD category, const char* function, const char* line);
  static void SetLineObserver(LineObserver observer);

  CLogContext();
  ~CLogContext();
  CLogContext(const CLogContext&) = delete;
  CLogContext& operator=(const CLogContext&) = delete;

  // Sets the prefix from the device name and hands the level, retention and dump size of
  // the device key to the log library.
  void Configure(const char* deviceName, long logFileSize, long logRetentionPeriod,
                 long logLevelSub, const char* logFileNameSub);

  std::string Prefix() const;

  // "%s%s %s %s": prefix, tag, text, detail. `function` is the qualified name
  // ("CSubSO::prePrintNormal"), `file` the source file name ("SubSO").
  void Write(DWORD category, const char* function, const char* file, int line, const char* tag,
             const char* text, const char* detail = "") const;
  // A byte dump (category 0x1000 received, 0x2000 sent) captioned with the line prefix.
  void Dump(DWORD category, const char* function, int line, const void* data,
            DWORD length) const;

 private:
  mutable CRITICAL_SECTION lock_;
  std::string prefix_;
};

// A line without a device prefix (before the context is configured, or with none at hand).
void WriteLogLine(const CLogContext* context, DWORD category, const char* function,
                  const char* file, int line, const char* tag, const char* text,
                  const char* detail = "");
