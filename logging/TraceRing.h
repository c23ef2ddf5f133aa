// The latest 32 trace entries that the level suppressed, written out before every error line.
#pragma once
#include <string>

#include "LogLock.h"
#include "Win.h"

class CTraceRing {
 public:
  static constexpr int kEntries = 32;
  static constexpr int kEntrySize = 128;

  CTraceRing() = default;
  CTraceRing(const CTraceRing&) = delete;
  CTraceRing& operator=(const CTraceRing&) = delete;

  // Keeps where the call came from; the message itself is not kept.
  void Add(const SYSTEMTIME& time, DWORD processId, DWORD threadId, const char* function,
           int line);
  // The kept entries from the oldest to the newest, joined. The ring is not emptied.
  std::string GetText();

  // One entry: "$$$ [hh:mm(ss.mmm)] [pid(tid)] function(line)\r\n", at most 127 characters;
  // a longer one keeps its first 125 characters and ends with CR LF.
  static void FormatEntry(char (&entry)[kEntrySize], const SYSTEMTIME& time, DWORD processId,
                          DWORD threadId, const char* function, int line);

 private:
  CLogLock m_lock;
  char m_entries[kEntries][kEntrySize] = {};
  BYTE m_counter = 0;  // entries added, wrapping at 256; the next entry is counter mod 32
};
