#include "TraceRing.h"

#include <cstdio>
#include <cstring>

void CTraceRing::FormatEntry(char (&entry)[kEntrySize], const SYSTEMTIME& t, DWORD processId,
                             DWORD threadId, const char* function, int line) {
  entry[125] = '\0';
  snprintf(entry, kEntrySize, "$$$ [%02d:%02d(%02d.%03d)] [%08x(%08x)] %s(%d)\r\n", t.wHour,
           t.wMinute, t.wSecond, t.wMilliseconds, static_cast<unsigned>(processId),
           static_cast<unsigned>(threadId), function ? function : "", line);
  if (entry[125] != '\n') {
    entry[125] = '\r';
    entry[126] = '\n';
    entry[127] = '\0';
  }
}

void CTraceRing::Add(const SYSTEMTIME& time, DWORD processId, DWORD threadId,
                     const char* function, int line) {
  char entry[kEntrySize] = {};
  FormatEntry(entry, time, processId, threadId, function, line);
  CLogLockGuard guard(m_lock);
  memcpy(m_entries[m_counter % kEntries], entry, kEntrySize);
  ++m_counter;
}

std::string CTraceRing::GetText() {
  std::string text;
  text.reserve(kEntries * (kEntrySize - 1));
  CLogLockGuard guard(m_lock);
  for (int i = 0; i < kEntries; ++i) {
    // (counter - 32) mod 32 is counter mod 32: the oldest entry comes first.
    const char* entry = m_entries[(m_counter + i) % kEntries];
    if (*entry) text += entry;
  }
  return text;
}
