// Records the sub-module's finished log lines for the channel and status store tests. The
// lines may come from several threads (the SDK's status thread, a writer thread).
#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "LogContext.h"

namespace chantest {

struct CapturedLine {
  DWORD category;
  std::string function;
  std::string text;
};

class LogCapture {
 public:
  LogCapture() {
    Clear();
    CLogContext::SetLineObserver(&Record);
  }
  ~LogCapture() { CLogContext::SetLineObserver(nullptr); }

  static void Clear() {
    std::lock_guard<std::mutex> l(Lock());
    Lines().clear();
  }
  static std::vector<CapturedLine> All() {
    std::lock_guard<std::mutex> l(Lock());
    return Lines();
  }
  // Lines whose text contains needle.
  static size_t Count(const std::string& needle) {
    size_t n = 0;
    for (const CapturedLine& line : All()) n += line.text.find(needle) != std::string::npos;
    return n;
  }
  static bool Has(const std::string& needle) { return Count(needle) > 0; }
  // The category of the first line containing needle, 0 when there is none.
  static DWORD CategoryOf(const std::string& needle) {
    for (const CapturedLine& line : All()) {
      if (line.text.find(needle) != std::string::npos) return line.category;
    }
    return 0;
  }

 private:
  static std::mutex& Lock() {
    static std::mutex lock;
    return lock;
  }
  static std::vector<CapturedLine>& Lines() {
    static std::vector<CapturedLine> lines;
    return lines;
  }
  static void Record(DWORD category, const char* function, const char* line) {
    std::lock_guard<std::mutex> l(Lock());
    Lines().push_back({category, function ? function : "", line ? line : ""});
  }
};

}  // namespace chantest
