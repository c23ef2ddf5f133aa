// The library reports its own failures only to the debugger output, through LogAssert. Each
// site has a fixed number (passed as the line) so a report names its site whatever the
// layout of the source.
#pragma once
#include "Log.h"

enum LogReportSite : int {
  kReportDumpCategoryAsText = 57,
  kReportLineLockWait = 93,
  kReportLineFolder = 100,
  kReportLineFormat = 111,
  kReportBaseFolder = 143,
  kReportDumpLockWait = 163,
  kReportDumpFolder = 167,
  kReportRawDumpEmpty = 201,
  kReportRawDumpLockWait = 205,
  kReportNamesFolder = 275,
  kReportNamesTag = 283,
};

#define LOG_REPORT(function, site) LogAssert(0, __FILE_NAME__, (site), (function), GetLastError())

#include <string>

// The debugger text of a failed assertion, as LogAssert hands it to OutputDebugStringW.
std::wstring FormatAssertText(const char* file, int line, const char* function,
                              DWORD errorCode);
