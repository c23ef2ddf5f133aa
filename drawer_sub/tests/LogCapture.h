// Records the drawer's finished log lines (from any thread) for the in-process tests.
#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "LogContext.h"

namespace drwtest {

class LogCapture {
 public:
  LogCapture() {
    Clear();
    tollek::CLogContext::SetLineObserver(&Record);
  }
  ~LogCapture() { tollek::CLogContext::SetLineObserver(nullptr); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  static void Clear() {
    std::lock_guard<std::mutex> l(Lock());
    Lines().clear();
  }
  // The category of the first line containing needle; 0 when there is none.
  static DWORD CategoryOf(const std::string& needle) {
    std::lock_guard<std::mutex> l(Lock());
    for (const auto& line : Lines())
      if (line.second.find(needle) != std::string::npos) return line.first;
    return 0;
  }
  static bool Has(const std::string& needle) { return CategoryOf(needle) != 0; }

 private:
  static std::mutex& Lock() {
    static std::mutex lock;
    return lock;
  }
  static std::vector<std::pair<DWORD, std::string>>& Lines() {
    static std::vector<std::pair<DWORD, std::string>> lines;
    return lines;
  }
  static void Record(DWORD category, const char*, const char* line) {
    std::lock_guard<std::mutex> l(Lock());
    Lines().emplace_back(category, line ? line : "");
  }
};

}  // namespace drwtest
