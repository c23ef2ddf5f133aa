// Formatting of text lines and hex dump blocks. The formatters are pure functions of their
// inputs (time, ids, texts, bytes) and use no shared buffers, so any number of threads may
// format at once.
#pragma once
#include <cstdarg>
#include <string>

#include "LogSettings.h"

// What the prefix of a text line or a dump header shows.
struct CLogLine {
  SYSTEMTIME time;
  DWORD category;
  DWORD processId;
  DWORD threadId;
  const char* tag;
  const char* function;  // null with both ids 0 selects the short form
  int line;
};

class CMessage : public virtual CLogSettings {
 public:
  explicit CMessage(const CLogOptions& options) : CLogSettings(options) {}

  // Expands a wide format with the platform's own msvcrt rules ("%s" wide, "%hs" narrow): up
  // to 511 characters, else up to 5119, else false. The result is in the ANSI code page.
  [[nodiscard]] static bool ExpandMessage(const wchar_t* format, va_list args, std::string* ansi);
  // The platform's msvcrt _vsnwprintf: -1 when the text does not fit `count` characters.
  static int PlatformVsnwprintf(wchar_t* buffer, size_t count, const wchar_t* format,
                                va_list args);

  static char CategoryLetter(DWORD category);
  static const char* DumpKind(DWORD category);
  // The caption of a dump in the ANSI code page, at most 1023 bytes.
  static std::string CaptionToAnsi(const wchar_t* caption);

  // One text line with its CR LF; false when it does not fit its buffer (1024 bytes, or the
  // message length + 129 for long messages).
  [[nodiscard]] static bool TemplateMessage(const CLogLine& fields, const std::string& message,
                                            std::string* line);
  // One hex dump block (header, address title, rows, continuation line, empty line); empty
  // for no bytes. `length` is the full length, at most `maxDumpBytes` of them are shown.
  static std::string TemplateDump(const CLogLine& fields, const std::string& caption,
                                  const BYTE* data, DWORD length, DWORD maxDumpBytes);

  // The tag a line shows: the literal's, else the module's, else "UNDEF  ".
  std::string LineTag(const CModuleLiteral& literal) const;
};
