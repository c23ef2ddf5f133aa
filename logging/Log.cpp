// Placeholder entry points; the trace log library replaces this file.
#include "Log.h"
void OutputLogEx(DWORD, const char*, const char*, const char*, int, DWORD, DWORD, const wchar_t*, ...) {}
void OutputDump(DWORD, const void*, DWORD, const char*, const char*, int, DWORD, DWORD, const wchar_t*) {}
int SetLogNames(const wchar_t* name) { return name && *name; }
void SetLogLevel(DWORD, DWORD, DWORD) {}
void SetLogLevelEx(DWORD, DWORD, DWORD) {}
void LogAssert(int, const char*, int, const char*, DWORD) {}
