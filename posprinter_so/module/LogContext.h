// The per-device log context: the line prefix of every log line of one service object and
// the settings it hands to the trace log library once the device key has been read.
#pragma once
#include <mutex>
#include <string>
#include <string_view>

#include "Win.h"

// Module literal of every log call of this module: tag, NUL, log folder name.
extern const char kCoreLogModule[];

enum : DWORD { LOG_ERROR = 0x2, LOG_INFO = 0x10, LOG_TRACE = 0x100 };

// printf-style formatting into a std::string (the narrow C99 rules of MinGW).
std::string Fmt(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

class CLogContext {
 public:
  CLogContext() = default;
  CLogContext(const CLogContext&) = delete;
  CLogContext& operator=(const CLogContext&) = delete;

  // Sets the prefix "[<device>] ", maps the configured level to the library's category
  // mask and hands name, mask, retention and dump size to the trace log library.
  void Configure(const std::string& deviceName, long dumpSize, long retentionDays,
                 long level, const std::string& logFileName);

  std::string Prefix() const;

  // One line "<prefix><tag> <text> <detail>" through the trace log library. A line the
  // level would not write is not built: the library only gets the call.
  void Write(DWORD category, const char* function, const char* file, int line,
             const char* tag, std::string_view text, std::string_view detail = {}) const;

  // Write with the text formatted printf-style, and formatted only when the line is written.
  void WriteF(DWORD category, const char* function, const char* file, int line, const char* tag,
              const char* format, ...) const __attribute__((format(gnu_printf, 7, 8)));

  // The library's category mask for a configured LogLevelCore value.
  static DWORD MaskForLevel(long level);

 private:
  mutable std::mutex m_lock;  // guards the prefix, read by every thread that logs
  std::string m_prefix;
};

// Log tags of the core's lines.
#define TAG_ENTER "[Enter   ]"
#define TAG_PARAM "[Param   ]"
#define TAG_INFO "[Info    ]"
#define TAG_RESULT "[Result  ]"
#define TAG_EXIT "[Exit    ]"
