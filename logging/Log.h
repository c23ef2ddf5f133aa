// Trace log entry points. Every module of the suite logs through these; each module links
// its own copy of the library and so has one logger of its own.
#pragma once
#include "Win.h"

// Category bits (one per call) and level masks.
enum : DWORD {
  LOG_CAT_ERROR = 0x2,
  LOG_CAT_WARN = 0x4,
  LOG_CAT_INFO = 0x10,
  LOG_CAT_DEBUG = 0x80,
  LOG_CAT_TRACE = 0x100,
  LOG_CAT_VERBOSE = 0x400,
  LOG_CAT_READ = 0x1000,   // dump of bytes received
  LOG_CAT_SEND = 0x2000,   // dump of bytes sent
  LOG_CAT_RAW = 0x200000,  // raw binary dump
};

// module: the tag, its NUL, then the log folder name and its NUL, e.g. "OPS_PSB\0OposPrinter".
// The folder part is always read: pass both parts. format follows the platform's msvcrt rules
// ("%s" takes a wide string, "%hs" a narrow one); pass a finished line as the argument of
// L"%s", never as the format. Every entry point keeps the caller's last-error value, except
// that SetLogNames sets 87 when it refuses a name.
void OutputLogEx(DWORD category, const char* module, const char* function, const char* file,
                 int line, DWORD processId, DWORD threadId, const wchar_t* format, ...);
// Whether OutputLogEx would write a line of this category now. A caller may skip building a
// line that would not be written, as long as it still makes the call (with an empty format):
// the call keeps the trace ring and the clean-up of old files going.
bool LogLineWanted(DWORD category);
void OutputDump(DWORD category, const void* data, DWORD length, const char* module,
                const char* function, int line, DWORD processId, DWORD threadId,
                const wchar_t* caption);
// Folder used while no call has carried a valid module literal. 0 with last error 87 for a
// null or empty name, or one that is no plain folder name (separators, "..", 260 or more
// characters); 0 when the folder cannot be created; otherwise 1.
int SetLogNames(const wchar_t* name);
// From this call on: level mask (low 20 bits), retention days (0 keeps, at most 90) and
// largest dump size (0 keeps, at most 0xFFFF); the registry is not read any more.
void SetLogLevel(DWORD level, DWORD lifeDays, DWORD maxDumpSize);
void SetLogLevelEx(DWORD level, DWORD lifeDays, DWORD maxDumpSize);
void LogAssert(int condition, const char* file, int line, const char* function,
               DWORD errorCode);
